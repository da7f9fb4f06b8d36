#pragma once
// The main window's controls as they lie under its toolbar, read back from the window, also from a
// window of another process.
#include <windows.h>

namespace vwtest {

// A child window's rectangle in its parent's client coordinates.
RECT ClientRectOf(HWND control);

// Expects the list's label under the toolbar, the list under the label and the status group under
// the list, each a small gap (scaled to `dpi`) further down, and the status panel inside its group.
void ExpectStackedUnderTheToolbar(HWND window, UINT dpi);

}  // namespace vwtest
