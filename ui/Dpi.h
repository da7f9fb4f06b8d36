#pragma once
// Sizes that follow a window's DPI: the layout's pixel values are given for 96 DPI.
#include <windows.h>

namespace vw {

// The window's DPI (per monitor where the system knows it), 96 when nothing tells.
UINT WindowDpi(HWND window);
int ScaleForDpi(int pixelsAt96, UINT dpi);
// A 32-bit copy of the bitmap at the given size, each pixel the alpha-weighted average of the area
// it covers (alpha kept); null when it could not be made.
HBITMAP ScaleBitmap(HBITMAP bitmap, int width, int height);

}  // namespace vw
