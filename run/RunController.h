#pragma once
// Which task runs and when: queueing, batches, pause, resume and stop, one worker thread at a
// time. Every operation runs on the thread that owns the window (the UI thread): it alone arms
// and kills timers and joins workers. HandleMessage/HandleTimer are the window's side of the
// worker protocol, shared by the main window and the console runner; they draw nothing.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/RunRequest.h"
#include "win/UniqueHandle.h"

namespace vw {

class CBackupItem;
class CBackupItemList;
class RunContext;
struct AppSettings;

// Refreshes the status display while a run is going.
inline constexpr UINT_PTR kStatusTimerId = 10000;
inline constexpr UINT kStatusTimerPeriodMs = 5000;
// How long a stop holds the window's thread for the worker to end. A worker held longer (in a file
// system call a stop cannot cut short, as on a dead share) ends its stop later, when it ends.
inline constexpr DWORD kStopWaitMs = 2000;

// Makes a worker thread, suspended; null, with the system's error as the last error, when none
// could be made.
using WorkerStarter = HANDLE (*)(LPTHREAD_START_ROUTINE procedure, void* parameter);
HANDLE StartSuspendedThread(LPTHREAD_START_ROUTINE procedure, void* parameter);

// What the brake on mass removals held back in a batch, for the question the window asks.
struct HeldRemovals {
    CBackupItem* task = nullptr;
    int32_t files = 0;
    bool cleaning = false;  // held by a cleaning run (deletions), else by a backup (moves into history)
};
// The question: Yes runs the task again with the removals allowed, No keeps the files.
std::wstring HeldRemovalsQuestion(const std::wstring& taskName, int32_t files);

class RunController {
public:
    RunController(CBackupItemList& tasks, RunContext& context, const AppSettings& settings,
                  WorkerStarter startWorker = StartSuspendedThread);
    ~RunController();
    RunController(const RunController&) = delete;
    RunController& operator=(const RunController&) = delete;

    void ResetRun(HWND window);
    void RescheduleAll(bool startupMode);
    // Queues an idle task; an automatic run within MinTime of the task's last run stays idle.
    // False when the task was not queued.
    bool Enqueue(CBackupItem* task, bool startNow, bool manual);
    void StartAll();
    void StartNext();
    void StartCleaning(CBackupItem* task);
    // A cleaning, verify or restore run of an idle task, as a batch of its own; nothing happens
    // while another batch is going. A verify or restore run does what the context's request says.
    void StartOwnBatch(CBackupItem* task, RunKind kind);
    // The window's pause command: asks the running task to pause.
    bool RequestPause();
    void ConfirmPause();
    bool Resume();
    // Stops the batch. When the worker does not end within kStopWaitMs the stop is pending: a status
    // line says what is still running, nothing starts, and the stop ends (its task results, its end
    // line and its finish message, as a stop that could wait) when the worker's end message comes
    // or FinishStopIfWorkerEnded finds the worker gone.
    void StopAll();
    // The exit's first step: asks the worker to stop and waits for its end at most `limitMs`. False
    // when it is still running (held in a file system call a stop cannot cut short, as on a dead
    // share); nothing else changes then, and the caller must not free what the worker uses.
    bool WorkerStopsWithin(DWORD limitMs);
    // Stopping the task of a cleaning run stops its batch, as StopAll does. Pending like StopAll
    // when the worker does not end in time; a StopAll meanwhile makes it a stop of the batch.
    void StopTask(CBackupItem* task);
    // A stop is waiting for its worker to end.
    bool Stopping() const { return pendingStop_ != PendingStop::None; }
    // Ends a pending stop whose worker has ended (the status timer's poll, the exit); false when
    // there is none or its worker still runs.
    bool FinishStopIfWorkerEnded();
    void JoinWorker();
    void EndBatch();

    // True for the six worker messages, after doing the protocol's part of them.
    bool HandleMessage(UINT message, WPARAM wParam);
    // True when the timer was a task's: the task is queued as an automatic run, or, when the timer
    // expired well before the task's NextTime, armed again for the rest of the wait.
    bool HandleTimer(UINT_PTR timerId);
    // The system clock or time zone changed: every task's schedule is computed again.
    void ClockChanged();

    bool HasWorker() const { return worker_.valid(); }

    // At the end of a batch, before HandleMessage closes it: the removals the brake held back,
    // when their task was queued by hand (a scheduled run never asks, and never removes them);
    // no task when there is nothing to ask.
    HeldRemovals HeldRemovalsToAsk() const;
    // The user's yes: the run (backup or cleaning) goes again, in a batch of its own that may
    // remove past the brake. Nothing happens while another batch is going.
    void RunAllowingRemovals(const HeldRemovals& held);

private:
    // The flags, the batch's counters and the retry list, as a new batch starts them.
    void ResetBatchCounters();
    void BeginBatch();
    // Makes the task the current one and starts its worker; false when no thread could be made:
    // the task is idle again with the error in its result and a status line, a cleaning batch
    // has ended (a backup batch ends in StartNext).
    bool StartRun(CBackupItem& task, RunKind kind);
    // Clears what ResetRun and EndBatch both clear.
    void ClearRunFields();
    // A pause the window asked for but that was not confirmed yet: let the worker go on, so
    // that a stop never waits on a copy held by it.
    void ReleasePendingPause();
    enum class PendingStop { None, Task, All };
    // Leaves the stop to the worker's end: says what is still running and polls for the end.
    void BeginPendingStop(PendingStop stop);
    // Joins the ended worker and does what the pending stop left to do.
    void FinishPendingStop();
    // Joins the worker of a stopped run and ends the run's generation.
    void JoinStoppedWorker();
    // What a stop does once its worker has been joined.
    void FinishStopAll(CBackupItem* current);
    void FinishStopTask(CBackupItem& task);
    void EndBatchWithLine(const wchar_t* format);
    // A run that ended itself with its stop flag up (a fatal disk error) ends its batch: the
    // tasks still waiting would otherwise wait forever in a batch that never closes.
    void AbandonBatch();
    int32_t StoppedResult() const;
    // The current task when the run and the task are in these states within a batch, else null.
    CBackupItem* BatchTaskIn(int32_t runState, int32_t taskState) const;
    bool AnyTaskWaiting() const;

    CBackupItemList& tasks_;
    RunContext& context_;
    const AppSettings& settings_;
    WorkerStarter startWorker_;
    UniqueHandle worker_;
    // The tasks of the current batch that the user queued by hand.
    std::vector<const CBackupItem*> queuedByHand_;
    PendingStop pendingStop_ = PendingStop::None;
    CBackupItem* stoppedTask_ = nullptr;  // the task that ran when the pending stop was asked for
};

}  // namespace vw
