#pragma once
// The hints a dialog shows when the pointer rests on one of its controls.
#include <windows.h>

#include <string>

#include "win/UniqueHandle.h"

namespace vw {

class DialogToolTips {
public:
    // Makes the tooltip window of `dialog`; false when it could not be made (the dialog works without).
    bool Create(HWND dialog);
    // The control watches its own mouse messages for the tooltip, so the dialog relays nothing.
    void Add(int controlId, const std::wstring& text);
    void Activate(bool on);
    // Before the dialog goes: the tooltip window is owned by it, not a child.
    void Destroy() { window_.reset(); }
    HWND Handle() const { return window_.get(); }

private:
    HWND dialog_ = nullptr;
    UniqueWindow window_;
};

}  // namespace vw
