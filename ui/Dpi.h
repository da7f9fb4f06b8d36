#pragma once
// Images that follow a window's DPI (the DPI itself and scaled sizes: win/Dpi.h).
#include <windows.h>

#include "win/Dpi.h"

namespace vw {

// A 32-bit copy of the bitmap at the given size, each pixel the alpha-weighted average of the area
// it covers (alpha kept); null when it could not be made.
HBITMAP ScaleBitmap(HBITMAP bitmap, int width, int height);

}  // namespace vw
