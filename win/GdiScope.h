#pragma once
// Scope guards for the GDI calls that must be undone in the same scope: a window's device context
// (GetDC/ReleaseDC) and an object selected into a device context (SelectObject and back).
#include <windows.h>

namespace vw {

class WindowDC {
public:
    // Null window: the screen.
    explicit WindowDC(HWND window) noexcept : window_(window), dc_(::GetDC(window)) {}
    ~WindowDC() { if (dc_) ::ReleaseDC(window_, dc_); }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const noexcept { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(::SelectObject(dc, object)) {}
    ~SelectedObject() { if (previous_ && previous_ != HGDI_ERROR) ::SelectObject(dc_, previous_); }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace vw
