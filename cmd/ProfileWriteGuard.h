#pragma once
// Keeps the console's events from cutting a profile write in two. While a guard lives, Ctrl+C and
// Ctrl+Break are ignored, and a console close, logoff or shutdown (after which the system ends the
// process) waits until the guard is gone, at most about four seconds. A batch loop's own handler,
// set later, comes first and stops the batch instead.
#include <windows.h>

#include "win/UniqueHandle.h"

namespace vw {

// The console control handler while a guard lives.
BOOL WINAPI ProfileWriteConsoleEvent(DWORD event);

class ProfileWriteGuard {
public:
    ProfileWriteGuard();
    ~ProfileWriteGuard();
    ProfileWriteGuard(const ProfileWriteGuard&) = delete;
    ProfileWriteGuard& operator=(const ProfileWriteGuard&) = delete;

private:
    UniqueHandle done_;
};

}  // namespace vw
