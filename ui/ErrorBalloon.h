#pragma once
// The error balloon a dialog shows on the field to correct: the field gets the focus with its whole
// text selected, and a balloon with the error icon, a title and a text points at it. It goes when
// the field's text changes, when another one is shown, or with the dialog.
#include <windows.h>

#include <string>

#include "win/UniqueHandle.h"

namespace vw {

class ErrorBalloon {
public:
    void Show(HWND dialog, int controlId, const std::wstring& title, const std::wstring& text);
    void Hide();
    // Before the dialog goes (the balloon is owned by it).
    void Destroy() { window_.reset(); }
    HWND Handle() const { return window_.get(); }
    // The title shown last (the tooltip control has no message that reads it back everywhere).
    const std::wstring& Title() const { return title_; }

private:
    UniqueWindow window_;
    std::wstring title_;
    std::wstring text_;
};

}  // namespace vw
