#pragma once
// Drives a modal window the way a user does, from a second thread: waits until a window of the
// calling thread with the given caption shows, then runs the steps with its handle. Messages the
// steps send are handled by the window's own modal loop. A window still open after the steps is
// cancelled, so a failing test never hangs.
#include <windows.h>

#include <functional>
#include <string>

namespace vwtest {

// Runs `runModal` on this thread and `steps` on the driver's; returns what `runModal` returns.
// `steps` is not run when no such window shows within ten seconds (the test then fails).
INT_PTR DriveModal(const std::wstring& caption, const std::function<INT_PTR()>& runModal,
                   const std::function<void(HWND window)>& steps);

// A click on a push button or check box.
void Click(HWND dialog, int id);
// Replaces a field's text (the field reports the change as typing would).
void Type(HWND dialog, int id, const std::wstring& text);
std::wstring TextOf(HWND dialog, int id);
bool IsChecked(HWND dialog, int id);
// The control that has the keyboard focus in the window's thread.
HWND FocusOf(HWND window);

// The visible balloon tooltip a dialog shows on a field: its window and text (none when none shows).
struct Balloon {
    std::wstring text;
    HWND window = nullptr;
};
Balloon VisibleBalloon(HWND dialog);

}  // namespace vwtest
