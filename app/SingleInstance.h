#pragma once
// One program per signed-in user: the first start holds the program's names and owns the main
// window's class; a later start only brings the first one's window to the front and ends.
#include <windows.h>

#include <string>

#include "win/InstanceName.h"
#include "win/UniqueHandle.h"

namespace vw {

// "Global\CVaultwren-<the user's SID>": the name that reaches across sessions. A job of the Task
// Scheduler that runs whether the user is signed in or not runs in a session of its own, where
// the session's name kInstanceName is another object. Empty when the SID cannot be read.
std::wstring GlobalInstanceName();

// The program's two names (kInstanceName in the session and GlobalInstanceName), held together
// while a Vaultwren.exe or a VaultwrenCmd works on the profile and the destinations; released
// when the lock goes. The session's name stays what Updater.exe and other programs look for.
class InstanceLock {
public:
    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(InstanceLock&& other) noexcept;
    InstanceLock& operator=(InstanceLock&& other) noexcept;

    // Takes both names at once within `timeoutMs`; a name whose holder ended without letting it
    // go counts as taken. False when another process holds either, or no name could be made.
    bool Take(DWORD timeoutMs);
    bool held() const { return held_; }
    // False when not even the session's name could be made.
    bool made() const { return static_cast<bool>(session_); }

private:
    void Release();
    UniqueHandle session_;
    UniqueHandle global_;
    bool held_ = false;
};

// The held names when this is the first instance, whose main window class is then registered.
// When another process holds them and shows its window, that window is brought forward and the
// lock comes back empty: this process then cannot create a main window of its own. When the holder
// shows no window (a console run), this waits until the names are free.
InstanceLock ClaimSingleInstance(HINSTANCE instance);

// The system dialog class under the program's own name, so that a later start finds the window
// by its class whatever its title. True also when the class is registered already.
bool RegisterMainWindowClass(HINSTANCE instance);

// Restores a minimised or hidden window and puts it in front of the other windows.
void BringWindowForward(HWND window);

}  // namespace vw
