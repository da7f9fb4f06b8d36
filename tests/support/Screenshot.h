#pragma once
// Pictures of real windows for people to look at: the screen area of a window (and of windows it
// shows beside it, such as a balloon) saved as PNG into the folder named by VW_SCREENSHOT_DIR.
// Nothing is saved when that variable is not set.
#include <windows.h>

#include <initializer_list>
#include <string>

namespace vwtest {

// `name` without extension. Returns false when nothing was saved.
bool SaveScreenshot(const std::wstring& name, std::initializer_list<HWND> windows);

// The part `area` of the screen as it is now, saved as a PNG file at `path` (an empty area: the
// whole screen). Returns false when nothing was saved.
bool SaveScreenArea(const std::wstring& path, RECT area);

}  // namespace vwtest
