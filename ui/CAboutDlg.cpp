#include "ui/CAboutDlg.h"

#include <shellapi.h>

#include <utility>

#include "app/AboutTexts.h"
#include "app/Settings.h"
#include "resources/resource.h"
#include "win/DataExchange.h"
#include "win/ProfileStore.h"

namespace vw {

void OpenAddressMaximised(HWND owner, const std::wstring& address)
{
    ::ShellExecuteW(owner, L"open", address.c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
}

CAboutDlg::CAboutDlg(const ProfileStore& profile, OpenAddress open) : profile_(profile), open_(std::move(open)) {}

INT_PTR CAboutDlg::Run(HWND owner)
{
    return DoModal(::GetModuleHandleW(nullptr), IDD_ABOUTBOX, owner);
}

bool CAboutDlg::OnInit()
{
    whiteBrush_.reset(::CreateSolidBrush(RGB(255, 255, 255)));
    SetItemText(Handle(), IDC_ABOUT_VERSION, AboutVersionLine());
    // The version line is the first field and would open with its text selected.
    ::SendMessageW(Handle(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDOK)), TRUE);
    return false;
}

bool CAboutDlg::OnCommand(int id, int code, HWND control)
{
    if (id == IDC_ABOUT_FEEDBACK) {
        const std::wstring address = FeedbackAddress(profile_.GetString(kUrlSection, kReportUrlEntry, L""));
        if (!address.empty())
            open_(Handle(), address);
        return true;
    }
    return Dialog::OnCommand(id, code, control);
}

bool CAboutDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result)
{
    // A white window: the dialog itself and its labels and icon; the version line's text is drawn
    // without a background of its own.
    if (!whiteBrush_ || (message != WM_CTLCOLORDLG && message != WM_CTLCOLORSTATIC))
        return false;
    if (message == WM_CTLCOLORSTATIC) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        if (reinterpret_cast<HWND>(lParam) == Item(IDC_ABOUT_VERSION))
            ::SetBkMode(dc, TRANSPARENT);
        ::SetBkColor(dc, RGB(255, 255, 255));
    }
    result = reinterpret_cast<INT_PTR>(whiteBrush_.get());
    return true;
}

}  // namespace vw
