#pragma once
// A window's DPI and the layout's pixel values, which are given for 96 DPI.
#include <windows.h>

namespace vw {

// The window's DPI (per monitor where the system knows it), 96 when nothing tells.
UINT WindowDpi(HWND window);
int ScaleForDpi(int pixelsAt96, UINT dpi);

}  // namespace vw
