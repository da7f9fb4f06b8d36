#include "win/Dpi.h"

#include "win/GdiScope.h"

namespace vw {

UINT WindowDpi(HWND window)
{
    // GetDpiForWindow exists from Windows 10 1607 on; the program also runs on Windows 7.
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow && window)
        if (const UINT dpi = getDpiForWindow(window))
            return dpi;
    const WindowDC screen(nullptr);
    const int dpi = screen.get() ? ::GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

int ScaleForDpi(int pixelsAt96, UINT dpi)
{
    return ::MulDiv(pixelsAt96, static_cast<int>(dpi), 96);
}

}  // namespace vw
