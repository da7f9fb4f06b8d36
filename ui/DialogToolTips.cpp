#include "ui/DialogToolTips.h"

#include <commctrl.h>

namespace vw {

namespace {
// Long hints wrap instead of running across the screen.
constexpr int kMaxTipWidth = 320;
}  // namespace

bool DialogToolTips::Create(HWND dialog)
{
    dialog_ = dialog;
    window_.reset(::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog, nullptr,
                                    reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(dialog, GWLP_HINSTANCE)),
                                    nullptr));
    if (!window_)
        return false;
    ::SendMessageW(window_.get(), TTM_SETMAXTIPWIDTH, 0, kMaxTipWidth);
    return true;
}

void DialogToolTips::Add(int controlId, const std::wstring& text)
{
    HWND control = ::GetDlgItem(dialog_, controlId);
    if (!window_ || !control)
        return;
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = dialog_;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = const_cast<wchar_t*>(text.c_str());
    ::SendMessageW(window_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void DialogToolTips::Activate(bool on)
{
    if (window_)
        ::SendMessageW(window_.get(), TTM_ACTIVATE, on, 0);
}

}  // namespace vw
