#include "run/RunController.h"

#include <utility>

#include "engine/CBackupEngine.h"
#include "engine/Notifications.h"
#include "engine/RunContext.h"
#include "engine/SystemErrorText.h"
#include "engine/WorkerThreads.h"
#include "run/RunView.h"
#include "run/StatusPanel.h"
#include "task/AppSettings.h"
#include "task/CBackupItem.h"
#include "task/CBackupItemList.h"
#include "task/Schedule.h"
#include "win/Format.h"

namespace vw {

namespace {

constexpr uint32_t kBackupStopped = 1235;
constexpr uint32_t kCleaningStopped = 240;

}  // namespace

HANDLE StartSuspendedThread(LPTHREAD_START_ROUTINE procedure, void* parameter)
{
    return CreateThread(nullptr, 0, procedure, parameter, CREATE_SUSPENDED, nullptr);
}

RunController::RunController(CBackupItemList& tasks, RunContext& context, const AppSettings& settings,
                             WorkerStarter startWorker)
    : tasks_(tasks), context_(context), settings_(settings), startWorker_(startWorker)
{
    ResetRun(nullptr);
}

RunController::~RunController()
{
    if (worker_) {
        context_.stopFlag = 1;
        context_.cancelFlag = 1;
        ReleasePendingPause();
        Resume();
        WaitForSingleObject(worker_.get(), INFINITE);
        worker_.reset();
    }
    context_.ClearRetries();
    context_.ClosePauseEvent();
}

void RunController::ClearRunFields()
{
    context_.cleaningRun = 0;
    context_.lastError = 0;
    context_.batchActive = 0;
    context_.stopFlag = 1;
    context_.currentTask = nullptr;
    context_.ResetCopyFields(L"");
    context_.copying = 0;
    ResetBatchCounters();
    context_.filesDone = 0;
    context_.freedBytes = 0;
    context_.allowRemovals = 0;
    queuedByHand_.clear();
}

void RunController::ResetRun(HWND window)
{
    context_.window = window;
    ClearRunFields();
}

void RunController::RescheduleAll(bool startupMode)
{
    for (const auto& task : tasks_)
        task->Reschedule(context_.window.load(), settings_.MinTime.load(), startupMode);
}

bool RunController::Enqueue(CBackupItem* task, bool startNow, bool manual)
{
    // One run at a time: nothing is queued while a stopped worker is still ending.
    if (!task || task->state.load() != kTaskIdle || Stopping())
        return false;
    if (!manual) {
        const int64_t sinceLast = (DateTime::Now() - task->Snapshot().LastTime).WholeSeconds();
        if (sinceLast <= static_cast<int64_t>(settings_.MinTime.load()) * 60)
            return false;
    }
    task->state = kTaskWaiting;
    if (manual)
        queuedByHand_.push_back(task);
    if (startNow)
        StartNext();
    return true;
}

std::wstring HeldRemovalsQuestion(const std::wstring& taskName, int32_t files)
{
    return Format(L"任务“%s”本次要从目标文件夹中移走%d个文件（移入历史文件夹或删除），超过其中文件的一半，已全部保留未动。\n\n"
                  L"源文件夹可能被清空或更换了，也可能有大量文件被删除或改名（例如被勒索病毒加密）。\n\n"
                  L"确认源文件夹无误，要移走这%d个文件吗？\n"
                  L"选择“是”将立即再次运行此任务并移走它们，选择“否”保留它们。",
                  taskName.c_str(), static_cast<int>(files), static_cast<int>(files));
}

HeldRemovals RunController::HeldRemovalsToAsk() const
{
    CBackupItem* task = context_.removalsHeldTask.load();
    const int32_t files = context_.removalsHeld.load();
    if (!task || files <= 0)
        return {};
    for (const CBackupItem* queued : queuedByHand_)
        if (queued == task)
            return {task, files, context_.cleaningRun.load() != 0};
    return {};
}

void RunController::RunAllowingRemovals(const HeldRemovals& held)
{
    if (!held.task || context_.runState.load() != kRunIdle || context_.batchActive.load() != 0)
        return;
    context_.allowRemovals = 1;
    if (held.cleaning)
        StartCleaning(held.task);
    else
        Enqueue(held.task, true, true);
    if (context_.batchActive.load() == 0)
        context_.allowRemovals = 0;
}

void RunController::StartAll()
{
    if (context_.runState.load() != kRunIdle || tasks_.empty() || Stopping())
        return;
    for (const auto& task : tasks_)
        Enqueue(task.get(), false, true);
    StartNext();
}

void RunController::ResetBatchCounters()
{
    context_.flags = 0;
    context_.tasksDone = 0;
    context_.runsFailed = 0;
    context_.filesCopied = 0;
    context_.filesFailed = 0;
    context_.removalsHeld = 0;
    context_.removalsHeldTask = nullptr;
    context_.ClearRetries();
}

void RunController::BeginBatch()
{
    context_.batchActive = 1;
    ResetBatchCounters();
}

bool RunController::StartRun(CBackupItem& task, RunKind kind)
{
    const bool ownBatch = kind != RunKind::Backup;
    JoinWorker();
    context_.NewGeneration();
    context_.currentTask = &task;
    context_.lastError = 0;
    context_.stopFlag = 0;
    context_.cleaningRun = static_cast<int32_t>(kind);
    task.state = kTaskRunning;
    context_.runState = kRunRunning;
    if (ownBatch) {
        BeginBatch();  // a cleaning, verify or restore run is a batch of its own, begun without a line or a message
    } else if (context_.batchActive.load() == 0) {
        BeginBatch();
        context_.AppendStatusLine(L"启动备份任务...");
        context_.PostToWindow(WM_BACKUP_BEGIN_MSG, 0);
    }

    context_.workerEnded = 0;
    worker_.reset(startWorker_(WorkerProcedure(kind), &context_));
    if (worker_) {
        ResumeThread(worker_.get());
        return true;
    }
    const DWORD error = GetLastError();
    task.state = kTaskIdle;
    context_.runState = kRunIdle;
    context_.currentTask = nullptr;
    context_.stopFlag = 1;
    // Said as a run that failed says it, so the batch's outcome counts it.
    ++context_.runsFailed;
    task.result = error;
    context_.AppendStatusLine(Format(RunErrorFormat(kind), task.Name.c_str(),
                                     SystemErrorText(error).c_str()));
    if (ownBatch) {
        // No worker will end this batch: whoever waits for its end (the console runner) would wait forever.
        context_.batchActive = 0;
        context_.PostToWindow(WM_BACKUP_FINISH_MSG, 0);
    }
    return false;
}

void RunController::StartNext()
{
    if (context_.runState.load() != kRunIdle || tasks_.empty() || Stopping())
        return;
    bool busy = false;
    for (const auto& task : tasks_) {
        const int32_t state = task->state.load();
        if (state == kTaskWaiting) {
            if (StartRun(*task, RunKind::Backup))
                return;
            busy = false;  // no worker: the batch ends here
            break;
        }
        if (state != kTaskIdle)
            busy = true;
    }
    if (busy)
        return;
    EndBatchWithLine(L"备份任务完成！共完成备份任务%d个，成功备份%d个文件");
    context_.PostToWindow(WM_BACKUP_FINISH_MSG, 0);
}

void RunController::EndBatchWithLine(const wchar_t* format)
{
    context_.batchActive = 0;
    context_.runState = kRunIdle;
    KillTimer(context_.window.load(), kStatusTimerId);
    std::wstring text = Format(format, context_.tasksDone.load(), context_.filesCopied.load());
    if (const int32_t failed = context_.filesFailed.load(); failed > 0)
        text = Format(L"%s，%d个文件无法备份", text.c_str(), failed);
    context_.AppendStatusLine(text);
}

void RunController::StartCleaning(CBackupItem* task)
{
    StartOwnBatch(task, RunKind::Cleaning);
}

void RunController::StartOwnBatch(CBackupItem* task, RunKind kind)
{
    if (context_.runState.load() != kRunIdle || !task || task->state.load() != kTaskIdle ||
        context_.batchActive.load() != 0 || kind == RunKind::Backup || Stopping())
        return;
    queuedByHand_.push_back(task);
    StartRun(*task, kind);
}

CBackupItem* RunController::BatchTaskIn(int32_t runState, int32_t taskState) const
{
    CBackupItem* task = context_.currentTask.load();
    if (context_.runState.load() != runState || !context_.batchActive.load() || !task ||
        task->state.load() != taskState)
        return nullptr;
    return task;
}

bool RunController::RequestPause()
{
    CBackupItem* task = BatchTaskIn(kRunRunning, kTaskRunning);
    if (!task || Stopping())
        return false;
    task->state = kTaskPaused;
    return true;
}

void RunController::ConfirmPause()
{
    if (!BatchTaskIn(kRunRunning, kTaskPaused))
        return;
    // The worker holds itself, at its checkpoint or on the copy's pause event: no suspension.
    context_.runState = kRunPaused;
    context_.PostToWindow(WM_BACKUP_THREAD_PAUSE_MSG, 1);
}

bool RunController::Resume()
{
    CBackupItem* task = BatchTaskIn(kRunPaused, kTaskPaused);
    if (!task)
        return false;
    task->state = kTaskRunning;
    context_.runState = kRunRunning;
    if (context_.HasPauseEvent() && context_.pausedInCopy.load()) {
        context_.SetPauseEvent();
        context_.pausedInCopy = 0;
    }
    context_.PostToWindow(WM_BACKUP_THREAD_PAUSE_MSG, 2);
    return true;
}

void RunController::ReleasePendingPause()
{
    CBackupItem* task = context_.currentTask.load();
    if (context_.runState.load() == kRunRunning && task && task->state.load() == kTaskPaused) {
        task->state = kTaskRunning;
        context_.SetPauseEvent();
    }
}

int32_t RunController::StoppedResult() const
{
    // A verify or restore says nothing about the task's backup: a stop of one leaves no result.
    switch (static_cast<RunKind>(context_.cleaningRun.load())) {
    case RunKind::Backup:
        return kBackupStopped;
    case RunKind::Cleaning:
        return kCleaningStopped;
    default:
        return 0;
    }
}

void RunController::StopAll()
{
    if (Stopping()) {
        pendingStop_ = PendingStop::All;
        FinishStopIfWorkerEnded();
        return;
    }
    if (context_.runState.load() == kRunPaused)
        Resume();
    ReleasePendingPause();
    if (context_.runState.load() == kRunIdle)
        return;
    CBackupItem* current = context_.currentTask.load();
    if (!WorkerStopsWithin(kStopWaitMs)) {
        stoppedTask_ = current;
        BeginPendingStop(PendingStop::All);
        return;
    }
    JoinStoppedWorker();
    FinishStopAll(current);
}

void RunController::FinishStopAll(CBackupItem* current)
{
    const uint32_t result = StoppedResult();
    for (const auto& task : tasks_) {
        if (task->state.load() != kTaskIdle) {
            task->state = kTaskIdle;
            task->result = result;
        }
    }
    if (current) {
        current->state = kTaskIdle;
        current->result = result;
    }
    if (context_.cleaningRun.load()) {
        context_.batchActive = 0;
        context_.runState = kRunIdle;
        KillTimer(context_.window.load(), kStatusTimerId);
        // A verify or restore run has said what it did in its own end line.
        if (context_.cleaningRun.load() == static_cast<int32_t>(RunKind::Cleaning))
            context_.AppendStatusLine(Format(L"清理任务被强行终止！共清理%d个文件，共释放空间%s",
                                             context_.filesDone.load(),
                                             FormatByteSize(context_.freedBytes.load()).c_str()));
    } else {
        EndBatchWithLine(L"备份任务被强行终止！共完成备份任务%d个，成功备份%d个文件");
    }
    context_.PostToWindow(WM_BACKUP_FINISH_MSG, 1);
    RescheduleAll(false);
}

void RunController::BeginPendingStop(PendingStop stop)
{
    pendingStop_ = stop;
    context_.AppendStatusLine(StillStoppingText(ReadRunView(*this, context_)));
    // The worker's end message ends the stop; the status timer looks for an end that sent none.
    SetTimer(context_.window.load(), kStatusTimerId, kStatusTimerPeriodMs, nullptr);
}

bool RunController::FinishStopIfWorkerEnded()
{
    if (!Stopping() || (worker_ && !context_.workerEnded.load() && WaitForSingleObject(worker_.get(), 0) != WAIT_OBJECT_0))
        return false;
    FinishPendingStop();
    return true;
}

void RunController::FinishPendingStop()
{
    const PendingStop stop = std::exchange(pendingStop_, PendingStop::None);
    CBackupItem* task = std::exchange(stoppedTask_, nullptr);
    // The worker has ended or is on its last lines (its end flag is up): this join is short.
    JoinStoppedWorker();
    if (stop == PendingStop::All)
        FinishStopAll(task);
    else if (task)
        FinishStopTask(*task);
}

bool RunController::WorkerStopsWithin(DWORD limitMs)
{
    if (!worker_)
        return true;
    if (context_.runState.load() == kRunPaused)
        Resume();
    ReleasePendingPause();
    context_.stopFlag = 1;
    if (context_.copying.load())
        context_.cancelFlag = 1;
    return WaitForSingleObject(worker_.get(), limitMs) == WAIT_OBJECT_0;
}

void RunController::StopTask(CBackupItem* task)
{
    if (!task || Stopping())
        return;
    if (context_.cleaningRun.load() && task == context_.currentTask.load() && task->state.load() != kTaskIdle) {
        StopAll();
        return;
    }
    if (context_.runState.load() == kRunPaused && task->state.load() == kTaskPaused)
        Resume();
    if (task == context_.currentTask.load())
        ReleasePendingPause();

    if (task->state.load() == kTaskWaiting) {
        task->state = kTaskIdle;
        task->result = StoppedResult();
        task->Reschedule(context_.window.load(), settings_.MinTime.load(), false);
        return;
    }
    if (context_.runState.load() != kRunRunning || task->state.load() != kTaskRunning)
        return;
    if (!WorkerStopsWithin(kStopWaitMs)) {
        stoppedTask_ = task;
        BeginPendingStop(PendingStop::Task);
        return;
    }
    JoinStoppedWorker();
    FinishStopTask(*task);
}

void RunController::FinishStopTask(CBackupItem& task)
{
    const HWND window = context_.window.load();
    task.state = kTaskIdle;
    context_.runState = kRunIdle;
    KillTimer(window, kStatusTimerId);
    context_.PostToWindow(WM_BACKUP_THREAD_END_MSG, 0);
    task.result = StoppedResult();
    task.Reschedule(window, settings_.MinTime.load(), false);
}

bool RunController::AnyTaskWaiting() const
{
    for (const auto& task : tasks_)
        if (task->state.load() == kTaskWaiting)
            return true;
    return false;
}

void RunController::JoinWorker()
{
    if (!worker_)
        return;
    CBackupItem* task = context_.currentTask.load();
    const bool cleaning = context_.cleaningRun.load() != 0;
    if (context_.stopFlag.load() == 0)
        context_.stopFlag = 1;
    WaitForSingleObject(worker_.get(), INFINITE);
    worker_.reset();
    context_.currentTask = nullptr;
    // What the worker may not do itself: timers belong to the window's thread.
    const HWND window = context_.window.load();
    KillTimer(window, kStatusTimerId);
    if (task && !cleaning)
        task->Reschedule(window, settings_.MinTime.load(), false);
}

void RunController::JoinStoppedWorker()
{
    JoinWorker();
    // What the stopped run posted and the window has not yet seen is of a run that is over.
    context_.NewGeneration();
}

void RunController::AbandonBatch()
{
    if (!context_.batchActive.load() || context_.runState.load() != kRunIdle)
        return;
    const HWND window = context_.window.load();
    for (const auto& task : tasks_) {
        if (task->state.load() == kTaskWaiting) {
            task->state = kTaskIdle;
            task->Reschedule(window, settings_.MinTime.load(), false);
        }
    }
    EndBatchWithLine(L"备份任务被强行终止！共完成备份任务%d个，成功备份%d个文件");
    context_.PostToWindow(WM_BACKUP_FINISH_MSG, 1);
}

void RunController::EndBatch()
{
    KillTimer(context_.window.load(), kStatusTimerId);
    ClearRunFields();
    context_.runState = kRunIdle;
}

bool RunController::HandleMessage(UINT message, WPARAM wParam)
{
    switch (message) {
    case WM_BACKUP_THREAD_START_MSG:
        if (context_.runState.load() != kRunIdle)
            SetTimer(context_.window.load(), kStatusTimerId, kStatusTimerPeriodMs, nullptr);
        return true;
    case WM_BACKUP_THREAD_END_MSG: {
        // An end message whose worker was joined already (by a stop, or by the start of the
        // next task) must not join, and so stop, the worker that runs now.
        const bool ownEnd = worker_ && context_.workerEnded.load();
        // The end a pending stop waited for: the stop says how the batch goes on.
        if (ownEnd && Stopping()) {
            FinishPendingStop();
            return true;
        }
        if (ownEnd)
            JoinWorker();
        // A stop that came first has ended the batch already: its end is the batch's only one,
        // and no task starts after it.
        if (wParam == 0 && context_.batchActive.load())
            StartNext();
        else if (ownEnd && !context_.cleaningRun.load())
            AbandonBatch();
        return true;
    }
    case WM_BACKUP_FINISH_MSG:
        if (worker_ && !context_.workerEnded.load())
            return true;  // a new batch began after this message was posted: it is not its end
        JoinWorker();
        EndBatch();
        // Tasks whose timers fired during a cleaning run waited for it: their batch starts now.
        if (AnyTaskWaiting())
            StartNext();
        return true;
    case WM_BACKUP_THREAD_PAUSE_MSG:
        if (wParam == 0)
            ConfirmPause();
        return true;
    case WM_BACKUP_BEGIN_MSG:
    case WM_DISK_SPACE_LOW_MSG:
        return true;
    default:
        return false;
    }
}

bool RunController::HandleTimer(UINT_PTR timerId)
{
    if (timerId <= kStatusTimerId)
        return false;
    CBackupItem* task = tasks_.FindByTimerId(static_cast<int32_t>(timerId));
    if (!task)
        return false;
    const HWND window = context_.window.load();
    KillTimer(window, timerId);
    const DateTime now = DateTime::Now();
    if (TimerFiredEarly(task->Snapshot().NextTime, now)) {
        task->ArmUntilNextTime(window, now);
        return true;
    }
    // A task the queue turns away (run too recently, or busy) would otherwise have no timer left.
    if (!Enqueue(task, true, false))
        task->Reschedule(window, settings_.MinTime.load(), false);
    return true;
}

void RunController::ClockChanged()
{
    // A pending start-up run waits its delay again from now; every other run goes to the time the
    // schedule gives under the new clock.
    for (const auto& task : tasks_)
        task->Reschedule(context_.window.load(), settings_.MinTime.load(), task->startupRunPending);
}

}  // namespace vw
