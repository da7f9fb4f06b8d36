#pragma once
// A lock and a condition for the threads of one process, on the system's slim reader/writer lock.
// A thread that has to wait for them sleeps on its own address, inside the process: under Wine that
// is a futex, where the C runtime's mutex and condition wait on kernel objects, a round trip to the
// server each time. The backup's copiers hand over a file at a time, so that cost is per file.
#include <windows.h>

#include <mutex>

namespace vw {

// Meets the standard's Lockable, for std::lock_guard and std::unique_lock.
class SlimMutex {
public:
    SlimMutex() = default;
    SlimMutex(const SlimMutex&) = delete;
    SlimMutex& operator=(const SlimMutex&) = delete;

    void lock() { AcquireSRWLockExclusive(&lock_); }
    void unlock() { ReleaseSRWLockExclusive(&lock_); }
    bool try_lock() { return TryAcquireSRWLockExclusive(&lock_) != FALSE; }

private:
    friend class SlimCondition;
    SRWLOCK lock_ = SRWLOCK_INIT;
};

class SlimCondition {
public:
    SlimCondition() = default;
    SlimCondition(const SlimCondition&) = delete;
    SlimCondition& operator=(const SlimCondition&) = delete;

    // Waits at most `ms` for a notification, the lock held again on return; a caller looks at
    // what it waits for again, as wake-ups may come without one.
    void WaitFor(std::unique_lock<SlimMutex>& held, DWORD ms)
    {
        SleepConditionVariableSRW(&condition_, &held.mutex()->lock_, ms, 0);
    }
    void NotifyOne() { WakeConditionVariable(&condition_); }
    void NotifyAll() { WakeAllConditionVariable(&condition_); }

private:
    CONDITION_VARIABLE condition_ = CONDITION_VARIABLE_INIT;
};

}  // namespace vw
