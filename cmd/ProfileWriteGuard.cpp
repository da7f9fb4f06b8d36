#include "cmd/ProfileWriteGuard.h"

#include <atomic>

namespace vw {

namespace {

std::atomic<HANDLE> g_writesDone{nullptr};

// The system ends the process about five seconds after a close, logoff or shutdown event anyway.
constexpr DWORD kWriteWaitMs = 4000;

}  // namespace

BOOL WINAPI ProfileWriteConsoleEvent(DWORD event)
{
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        if (const HANDLE done = g_writesDone.load())
            WaitForSingleObject(done, kWriteWaitMs);
    }
    return TRUE;
}

ProfileWriteGuard::ProfileWriteGuard() : done_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    g_writesDone = done_.get();
    SetConsoleCtrlHandler(ProfileWriteConsoleEvent, TRUE);
}

ProfileWriteGuard::~ProfileWriteGuard()
{
    SetConsoleCtrlHandler(ProfileWriteConsoleEvent, FALSE);
    SetEvent(done_.get());
    g_writesDone = nullptr;
}

}  // namespace vw
