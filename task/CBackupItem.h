#pragma once
// One backup task: its folders, options, schedule, identity and times, stored as the profile
// section "Item<index>", plus the small run-time state the run controller and the window share.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "task/DateTime.h"
#include "task/TaskFieldTable.h"
#include "task/TaskFields.h"
#include "win/SlimLock.h"

namespace vw {

class ProfileStore;
struct AppSettings;

// Run-time states of a task.
enum TaskState : int32_t { kTaskIdle = 0, kTaskWaiting = 1, kTaskPaused = 2, kTaskRunning = 3 };

// A task as a reader sees it at one instant: a plain copy of every stored field, the next
// automatic run and the run-time state. Windows and lists read tasks only through this, on any
// thread, also while a worker runs the task.
struct TaskSnapshot : TaskFields {
    TaskState state = kTaskIdle;
    uint32_t result = 0;  // the last run's error code, 0 for success
};

// The list's status column for a task; `runKind` is the kind of the run going (RunKind, the run
// controller's cleaning-run field), which names what the task is doing.
std::wstring TaskStatusText(const TaskSnapshot& task, int32_t runKind);

// Who may write what: the fields a worker writes during a run (Dest when it follows a disk,
// CreateTime when it binds the destination, LastTime at the run's end) and NextTime change only
// through their setters, under the task's lock. Every other field is written directly, and only on
// the UI thread while no worker runs the task (editing, loading, a new task being set up).
class CBackupItem : public TaskFields {
public:
    // A new task: the defaults of a task the user has just added; index -1 (not stored yet).
    CBackupItem(ProfileStore& profile, const AppSettings& settings, int32_t timerId);
    CBackupItem(const CBackupItem&) = delete;
    CBackupItem& operator=(const CBackupItem&) = delete;

    bool Load();
    bool LoadKey(TaskKey key);
    bool Save();
    bool SaveKey(TaskKey key);
    // Writes one key of `task` into the section of task.index (which need not be this task's own).
    bool WriteKey(const TaskSnapshot& task, TaskKey key);
    // True when the task's section holds every key: a whole-section write was not cut short.
    bool IsStoredWhole() const;
    bool DeleteSection();
    void SetLastTime(const DateTime& time, bool save);
    void SetDest(const std::wstring& dest, bool save);
    void SetCreateTime(const DateTime& time, bool save);
    void SetNextTime(const DateTime& time);
    // Takes the fields the editor shows from `entries` (CopyEditedFields), under the lock.
    void SetEditedFields(const TaskFields& entries);
    TaskSnapshot Snapshot() const;
    // TaskStatusText of this task now.
    std::wstring GetStatusText(int32_t runKind) const;

    // Computes NextTime from the clock and arms the task's timer (id timerId) on `window`,
    // killing the one it had; no automatic run due leaves it without a timer. UI thread only:
    // Windows refuses SetTimer/KillTimer on a window of another thread, so a worker asks the
    // window to call this. False only when the timer could not be armed. (task/Schedule.cpp)
    bool Reschedule(HWND window, int32_t minTime, bool startupMode);
    // Arms the task's timer to expire at its NextTime as the clock reads `now`. UI thread only.
    bool ArmUntilNextTime(HWND window, const DateTime& now);

    // "Item<index>".
    std::wstring SectionName() const;

    int32_t timerId;
    // The timer waits for the start-up run (set by Reschedule). UI thread only.
    bool startupRunPending = false;
    // Set for a run that catches up after the computer woke: its worker first waits up to this
    // long for the destination to be reachable, and clears it. 0: no wait.
    std::atomic<uint32_t> destinationWaitMs{0};
    std::atomic<int32_t> state{kTaskIdle};
    std::atomic<uint32_t> result{0};

private:
    mutable SlimMutex fieldsLock_;
    ProfileStore& profile_;
    const AppSettings& settings_;
};

}  // namespace vw
