#include "engine/WorkerThreads.h"

#include <cstdint>

#include "engine/CBackupEngine.h"
#include "engine/DestinationWait.h"
#include "engine/Notifications.h"
#include "engine/RunContext.h"
#include "engine/RestorePass.h"
#include "engine/SystemErrorText.h"
#include "engine/VerifyPass.h"
#include "task/CBackupItem.h"
#include "win/Format.h"
#include "win/Text.h"

namespace vw {

namespace {

// No exception may leave a thread: a step that throws counts as failed.
template <typename Step>
bool Guarded(Step step) noexcept
{
    try {
        return step();
    } catch (...) {
        return false;
    }
}

bool MayStart(const RunContext* context, RunKind kind)
{
    return context && context->window.load() && context->stopFlag.load() == 0 &&
           context->cleaningRun.load() == static_cast<int32_t>(kind) && context->currentTask.load();
}

wchar_t DestinationLetter(const std::wstring& dest)
{
    const std::wstring trimmed = TrimWhiteSpace(dest);
    return trimmed.empty() ? L'\0' : trimmed.front();
}

const wchar_t* Outcome(bool failed, bool stopped)
{
    if (failed)
        return L"已终止";
    return stopped ? L"被强行终止" : L"完成";
}

// What every run does first: its start line, the start message, fresh per-run fields.
void OpenRun(RunContext& context, const std::wstring& startLine)
{
    context.AppendStatusLine(startLine);
    context.PostToWindow(WM_BACKUP_THREAD_START_MSG, 0);
    context.flags = 0;
    context.filesDone = 0;
    context.ClearRetries();
}

// A failed run leaves its error in the task's result (`setResult`) and names it in the status history.
void RecordFailure(RunContext& context, CBackupItem& task, const wchar_t* errorFormat, bool setResult = true)
{
    ++context.runsFailed;
    const uint32_t error = context.lastError.load();
    if (error == 0)
        return;
    if (setResult)
        task.result = error;
    context.AppendStatusLine(Format(errorFormat, task.Name.c_str(), SystemErrorText(error).c_str()));
}

// The very last step of every run, whatever happened. Once the task and the run are idle the
// window may start the next run (which raises this run's stop flag while it waits for us), edit
// or delete the task: nothing of either is read after this.
void MarkIdle(RunContext& context, CBackupItem& task)
{
    context.workerEnded = 1;
    task.state = kTaskIdle;
    context.runState = kRunIdle;
}

// A verify or a restore: a batch of its own that binds nothing and writes nothing into the
// destination (but a verify's repairs). `pass` runs on the engine once it is ready and gives false
// when the run failed; `summary` gives the end line for the outcome's word.
template <typename Pass, typename Summary>
DWORD ReadingRun(RunContext& context, RunKind kind, const wchar_t* startFormat, Pass pass, Summary summary)
{
    CBackupItem& task = *context.currentTask.load();
    OpenRun(context, Format(startFormat, task.Name.c_str()));
    bool stopped = false;
    {
        CBackupEngine engine(task, context);
        bool failed = !Guarded([&] { return engine.InitForReading(kind == RunKind::Verify); });
        if (!failed) {
            if (context.flags.load() & kFlagDestLetterChanged)
                context.AppendStatusLine(Format(L"任务“%s”自动将目标文件夹盘符更改为%c:", task.Name.c_str(),
                                                DestinationLetter(task.Dest)));
            engine.PauseCheckpoint();
            failed = !Guarded([&] { return pass(engine); });
        }
        stopped = context.stopFlag.load() != 0;
        // What the list says of the task is its backup's state, which a verify or restore leaves alone.
        if (failed)
            RecordFailure(context, task, RunErrorFormat(kind), false);
        context.AppendStatusLine(summary(task.Name, Outcome(failed, stopped)));
        context.ClearRetries();
    }
    // Ended by itself, it ends its batch; a stop closes the batch itself.
    if (!stopped)
        context.batchActive = 0;
    MarkIdle(context, task);
    context.PostToWindow(WM_BACKUP_THREAD_END_MSG, 2);
    if (!stopped)
        context.PostToWindow(WM_BACKUP_FINISH_MSG, 0);
    return 0;
}

}  // namespace

LPTHREAD_START_ROUTINE WorkerProcedure(RunKind kind)
{
    switch (kind) {
    case RunKind::Cleaning:
        return CleanThreadProc;
    case RunKind::Verify:
        return VerifyThreadProc;
    case RunKind::Restore:
        return RestoreThreadProc;
    default:
        return BackupThreadProc;
    }
}

const wchar_t* RunErrorFormat(RunKind kind)
{
    switch (kind) {
    case RunKind::Cleaning:
        return kCleaningErrorFormat;
    case RunKind::Verify:
        return kVerifyErrorFormat;
    case RunKind::Restore:
        return kRestoreErrorFormat;
    default:
        return kBackupErrorFormat;
    }
}

DWORD WINAPI VerifyThreadProc(void* runContext)
{
    auto* context = static_cast<RunContext*>(runContext);
    if (!MayStart(context, RunKind::Verify))
        return 0;
    VerifyCounts counts;
    return ReadingRun(
        *context, RunKind::Verify, L"开始校验任务“%s”的备份...",
        [&](CBackupEngine& engine) {
            VerifyPass pass(engine, *context, context->verifyRequest.repair);
            const bool passed = pass.Run();
            counts = pass.Counts();
            return passed;
        },
        [&](const std::wstring& name, const wchar_t* outcome) { return VerifySummary(name, outcome, counts); });
}

DWORD WINAPI RestoreThreadProc(void* runContext)
{
    auto* context = static_cast<RunContext*>(runContext);
    if (!MayStart(context, RunKind::Restore))
        return 0;
    const RestoreRequest& request = context->restoreRequest;
    RestoreCounts counts;
    return ReadingRun(
        *context, RunKind::Restore, L"开始从任务“%s”的备份恢复文件...",
        [&](CBackupEngine& engine) {
            RestorePass pass(engine, *context, request);
            const bool passed = pass.Run();
            counts = pass.Counts();
            return passed;
        },
        [&](const std::wstring& name, const wchar_t* outcome) {
            return RestoreSummary(name, outcome, request.target, counts);
        });
}

DWORD WINAPI BackupThreadProc(void* runContext)
{
    auto* context = static_cast<RunContext*>(runContext);
    if (!MayStart(context, RunKind::Backup))
        return 0;
    CBackupItem& task = *context->currentTask.load();
    const wchar_t* name = task.Name.c_str();

    OpenRun(*context, Format(L"任务“%s”开始...", name));
    if (const DWORD wait = task.destinationWaitMs.exchange(0); wait > 0)
        WaitForDestination(*context, task.Snapshot().Dest, wait);
    // The batch's count goes on across its runs: this run's failures are what it adds.
    const int32_t failedBefore = context->filesFailed.load();
    bool stopped = false;
    {
        CBackupEngine engine(task, *context);
        const bool started = Guarded([&] { return engine.Init(); });
        bool failed = !started;
        if (!started) {
            context->AppendStatusLine(Format(L"任务“%s”启动失败，请检查任务设置是否正确！", name));
            context->ClearRetries();
        } else {
            const wchar_t letter = DestinationLetter(task.Dest);
            if (context->flags.load() & kFlagDestLetterChanged) {
                context->AppendStatusLine(Format(L"任务“%s”自动将目标文件夹盘符更改为%c:", name, letter));
                context->flags &= ~kFlagDestLetterChanged;
            }
            ULARGE_INTEGER available{};
            if (GetDiskFreeSpaceExW(engine.DestFolder().c_str(), &available, nullptr, nullptr) &&
                available.QuadPart < kLowDiskSpaceBytes)
                context->PostToWindow(WM_DISK_SPACE_LOW_MSG, letter);
            engine.PauseCheckpoint();
            failed = !Guarded([&] { return engine.BackupPass(); });
            if (context->stopFlag.load() == 0) {
                task.SetLastTime(DateTime::Now(), true);
                ++context->tasksDone;
            }
            engine.PauseCheckpoint();
            // Only a destination that passed the check is ours to write into.
            engine.WriteLastTime();
        }

        stopped = context->stopFlag.load() != 0;
        task.result = 0;
        if (failed)
            RecordFailure(*context, task, kBackupErrorFormat);
        std::wstring text = Format(L"任务“%s”%s，成功备份%d个文件", name, Outcome(failed, stopped),
                                   context->filesDone.load());
        if (const int32_t left = context->filesFailed.load() - failedBefore; left > 0)
            text = Format(L"%s，共%d个文件无法备份", text.c_str(), static_cast<int>(left));
        context->AppendStatusLine(text);
        context->ClearRetries();
    }
    // One end message per run, also after a start failure: it carries the stop flag, so a run
    // that could not start lets the batch go on with the next waiting task.
    MarkIdle(*context, task);
    context->PostToWindow(WM_BACKUP_THREAD_END_MSG, stopped ? 1 : 0);
    return 0;
}

DWORD WINAPI CleanThreadProc(void* runContext)
{
    auto* context = static_cast<RunContext*>(runContext);
    if (!MayStart(context, RunKind::Cleaning))
        return 0;
    CBackupItem& task = *context->currentTask.load();
    const wchar_t* name = task.Name.c_str();

    OpenRun(*context, Format(L"清理任务“%s”开始清理历史文件...", name));
    context->freedBytes = 0;
    bool stopped = false;
    {
        CBackupEngine engine(task, *context);
        bool failed = !Guarded([&] { return engine.Init(); });
        if (failed) {
            context->AppendStatusLine(Format(L"清理任务“%s”清理历史文件失败，请检查任务设置是否正确！", name));
            context->ClearRetries();
        } else {
            engine.PauseCheckpoint();
            failed = !Guarded([&] { return engine.CleanPass(); });
            if (context->stopFlag.load() == 0) {
                task.SetLastTime(DateTime::Now(), true);
                ++context->tasksDone;
            }
            engine.PauseCheckpoint();
        }

        stopped = context->stopFlag.load() != 0;
        task.result = 0;
        if (failed)
            RecordFailure(*context, task, kCleaningErrorFormat);
        std::wstring text = Format(L"清理任务“%s”清理历史文件%s，成功清理文件%d个，释放空间%s", name,
                                   Outcome(failed, stopped), context->filesDone.load(),
                                   FormatByteSize(context->freedBytes.load()).c_str());
        // A cleaning run is a batch of its own: the batch's count is the run's.
        if (const int32_t left = context->filesFailed.load(); left > 0)
            text = Format(L"%s，共%d个文件无法清理", text.c_str(), static_cast<int>(left));
        context->AppendStatusLine(text);
        context->ClearRetries();
    }
    // A cleaning run is a batch of its own: ended by itself, it ends its batch. A stopped one
    // leaves that to the stop, which closes the batch with its own line: one stop, one batch end.
    if (!stopped)
        context->batchActive = 0;
    MarkIdle(*context, task);
    context->PostToWindow(WM_BACKUP_THREAD_END_MSG, 2);
    if (!stopped)
        context->PostToWindow(WM_BACKUP_FINISH_MSG, 0);
    return 0;
}

}  // namespace vw
