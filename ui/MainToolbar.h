#pragma once
// The main window's toolbar: its buttons and images from toolbar resource 143 (images of the
// normal, hot and disabled looks, scaled to the window's DPI), the labels under the program's
// command ids, and the enabled state the window's rules give each button.
#include <windows.h>

#include "win/UniqueHandle.h"

namespace vw {

class MainToolbar {
public:
    MainToolbar() = default;
    MainToolbar(const MainToolbar&) = delete;
    MainToolbar& operator=(const MainToolbar&) = delete;

    // False leaves the window without a toolbar; everything stays reachable through the menus. A
    // second call replaces the first toolbar (images for a new DPI).
    bool Create(HWND parent, HINSTANCE instance, UINT dpi);
    // Top of the parent's client area, full width; the height it takes.
    int Place();
    void Enable(UINT command, bool enabled);
    bool IsEnabled(UINT command) const;
    bool Visible() const;
    HWND Handle() const noexcept { return toolbar_; }
    // The button's label, also its tooltip; empty for a command without a button.
    static const wchar_t* Label(UINT command);

private:
    HWND toolbar_ = nullptr;  // a child: its parent destroys it
    // Normal, hot and disabled looks; they must outlive the toolbar that shows them.
    UniqueImageList images_[3];
    UniqueGdiObject font_;  // the labels' font at a DPI other than the system's
};

}  // namespace vw
