#include "ui/NoticePopup.h"

#include <sensapi.h>
#include <wininet.h>

#include <system_error>
#include <thread>

namespace vw {

bool ConnectionAllowsNotice(const std::wstring& address)
{
    DWORD networkFlags = 0;
    DWORD connectionFlags = 0;
    return ::IsNetworkAlive(&networkFlags) && ::InternetGetConnectedState(&connectionFlags, 0) &&
           ::InternetCheckConnectionW(address.c_str(), FLAG_ICC_FORCE_CONNECTION, 0);
}

bool ProbeConnection(const std::wstring& address, HWND window, LPARAM probe)
{
    try {
        std::thread([address, window, probe] {
            const bool allowed = ConnectionAllowsNotice(address);
            ::PostMessageW(window, WM_NOTICE_PROBE_MSG, allowed ? 1 : 0, probe);
        }).detach();
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

bool ShowNotice(std::unique_ptr<CMessageDlg>& popup, HINSTANCE instance, const std::wstring& address,
                int seconds, HWND mainWindow)
{
    if (!popup) {
        auto made = std::make_unique<CMessageDlg>();
        made->SetAddress(address);
        if (!made->Create(instance))
            return false;
        popup = std::move(made);
    }
    popup->Show(seconds);
    if (mainWindow)
        ::SetForegroundWindow(mainWindow);
    return true;
}

}  // namespace vw
