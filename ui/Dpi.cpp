#include "ui/Dpi.h"

#include "win/GdiScope.h"
#include "win/UniqueHandle.h"

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

HBITMAP ScaleBitmap(HBITMAP bitmap, int width, int height)
{
    BITMAP info{};
    if (!::GetObjectW(bitmap, sizeof(info), &info))
        return nullptr;
    const WindowDC screen(nullptr);
    const UniqueDC from(::CreateCompatibleDC(screen.get()));
    const UniqueDC to(::CreateCompatibleDC(screen.get()));
    if (!from || !to)
        return nullptr;
    BITMAPINFO header{};
    header.bmiHeader.biSize = sizeof(header.bmiHeader);
    header.bmiHeader.biWidth = width;
    header.bmiHeader.biHeight = height;
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueGdiObject scaled(::CreateDIBSection(screen.get(), &header, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!scaled)
        return nullptr;
    {
        const SelectedObject source(from.get(), bitmap);
        const SelectedObject target(to.get(), scaled.get());
        // HALFTONE averages the pixels each target pixel covers instead of dropping some.
        ::SetStretchBltMode(to.get(), HALFTONE);
        ::SetBrushOrgEx(to.get(), 0, 0, nullptr);
        ::StretchBlt(to.get(), 0, 0, width, height, from.get(), 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    }
    return static_cast<HBITMAP>(scaled.release());
}

}  // namespace vw
