#include "ui/ErrorBalloon.h"

#include <commctrl.h>

namespace vw {

namespace {
constexpr int kMaxBalloonWidth = 320;

TTTOOLINFOW Tool(HWND owner, const std::wstring& text)
{
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    // Tracked: shown where we put it, for as long as we want, not when the pointer rests somewhere.
    tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
    tool.hwnd = owner;
    tool.uId = 1;
    tool.lpszText = const_cast<wchar_t*>(text.c_str());
    return tool;
}
}  // namespace

void ErrorBalloon::Show(HWND dialog, int controlId, const std::wstring& title, const std::wstring& text)
{
    HWND control = ::GetDlgItem(dialog, controlId);
    if (!control)
        return;
    Hide();
    ::SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
    ::SendMessageW(control, EM_SETSEL, 0, -1);
    ::SendMessageW(control, EM_SCROLLCARET, 0, 0);

    title_ = title;
    text_ = text;
    if (!window_) {
        window_.reset(::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                        WS_POPUP | TTS_BALLOON | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog, nullptr,
                                        reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(dialog, GWLP_HINSTANCE)),
                                        nullptr));
        if (!window_)
            return;
        ::SendMessageW(window_.get(), TTM_SETMAXTIPWIDTH, 0, kMaxBalloonWidth);
        TTTOOLINFOW tool = Tool(dialog, text_);
        ::SendMessageW(window_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    TTTOOLINFOW tool = Tool(dialog, text_);
    ::SendMessageW(window_.get(), TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    ::SendMessageW(window_.get(), TTM_SETTITLEW, TTI_ERROR, reinterpret_cast<LPARAM>(title_.c_str()));

    // The stem points at the middle of the field's lower edge, a little inside it.
    RECT r;
    ::GetWindowRect(control, &r);
    const int x = r.left + (r.right - r.left) / 2;
    const int y = r.bottom - (r.bottom - r.top) / 4;
    ::SendMessageW(window_.get(), TTM_TRACKPOSITION, 0, MAKELPARAM(x, y));
    ::SendMessageW(window_.get(), TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
}

void ErrorBalloon::Hide()
{
    if (!window_)
        return;
    TTTOOLINFOW tool = Tool(::GetWindow(window_.get(), GW_OWNER), text_);
    ::SendMessageW(window_.get(), TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
}

}  // namespace vw
