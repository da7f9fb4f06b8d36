#include "ui/NoticePopup.h"

#include <sensapi.h>
#include <wininet.h>

namespace vw {

bool ConnectionAllowsNotice(const std::wstring& address)
{
    DWORD networkFlags = 0;
    DWORD connectionFlags = 0;
    return ::IsNetworkAlive(&networkFlags) && ::InternetGetConnectedState(&connectionFlags, 0) &&
           ::InternetCheckConnectionW(address.c_str(), FLAG_ICC_FORCE_CONNECTION, 0);
}

bool ShowNotice(std::unique_ptr<CMessageDlg>& popup, HINSTANCE instance, const std::wstring& address,
                int seconds, HWND mainWindow)
{
    if (!popup) {
        if (!ConnectionAllowsNotice(address))
            return false;
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
