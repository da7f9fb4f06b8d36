#pragma once
// One program per signed-in user: the first start holds the named mutex and owns the main window's
// class; a later start only brings the first one's window to the front and ends.
#include <windows.h>

#include "win/InstanceName.h"
#include "win/UniqueHandle.h"

namespace vw {

// The held mutex when this is the first instance, whose main window class is then registered.
// Empty when another instance runs (its window has been brought forward) or no mutex could be
// made: this process then cannot create a main window of its own.
UniqueHandle ClaimSingleInstance(HINSTANCE instance);

// The system dialog class under the program's own name, so that a later start finds the window
// by its class whatever its title. True also when the class is registered already.
bool RegisterMainWindowClass(HINSTANCE instance);

// Restores a minimised or hidden window and puts it in front of the other windows.
void BringWindowForward(HWND window);

}  // namespace vw
