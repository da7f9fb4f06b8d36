// Batches as the window sees them: a real message-only window whose messages go to the
// controller first, a pumped queue, real worker threads on real folders.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "engine/CBackupEngine.h"
#include "engine/Notifications.h"
#include "engine/RunContext.h"
#include "run/RunController.h"
#include "support/MessageWindow.h"
#include "support/TestDrives.h"
#include "support/TestRegistry.h"
#include "task/AppSettings.h"
#include "task/CBackupItemList.h"
#include "task/Schedule.h"
#include "win/Format.h"
#include "win/ProfileStore.h"
#include "win/UniqueHandle.h"

namespace {

using namespace vwtest;
using vw::WM_BACKUP_BEGIN_MSG;
using vw::WM_BACKUP_FINISH_MSG;
using vw::WM_BACKUP_THREAD_END_MSG;
using vw::WM_BACKUP_THREAD_PAUSE_MSG;
using vw::WM_BACKUP_THREAD_START_MSG;
using vw::WM_DISK_SPACE_LOW_MSG;

class Batch : public ::testing::Test {
protected:
    Batch() : key_(L"run"), profile(key_.path()), context(settings), tasks(profile, settings),
              controller(tasks, context, settings)
    {
        window.SetHandler([this](UINT message, WPARAM wParam) {
            if (message == WM_TIMER)
                controller.HandleTimer(wParam);
            else
                controller.HandleMessage(message, wParam);
        });
        controller.ResetRun(window.get());
    }
    ~Batch() override
    {
        // Never leave a worker behind a failed assertion.
        controller.StopAll();
        window.PumpFor(std::chrono::milliseconds(50));
    }

    // A task whose source holds `files` small files (and one of `bigBytes` when given).
    vw::CBackupItem& AddTask(const std::wstring& name, int files, uint64_t bigBytes = 0,
                             wchar_t destDrive = kDiskN)
    {
        vw::CBackupItem* task = tasks.AddNew();
        EXPECT_NE(task, nullptr);
        task->Name = name;
        task->Start = 0;
        task->Source = folder.path() + name;
        task->Dest = std::wstring(1, destDrive) + L":\\" + vw::Format(L"run-%lu-", GetCurrentProcessId()) + name;
        destinations.push_back(task->Dest);
        for (int i = 0; i < files; ++i)
            EXPECT_TRUE(WriteFileBytes(task->Source + vw::Format(L"\\f%03d.txt", i), "data"));
        if (bigBytes) {
            EXPECT_TRUE(WriteFileOfSize(task->Source + L"\\big.bin", bigBytes));
        }
        CreateDirectoryW(task->Source.c_str(), nullptr);
        task->Save();
        return *task;
    }

    bool BatchFinished() const
    {
        for (const auto& entry : window.Log())
            if (entry.message == WM_BACKUP_FINISH_MSG)
                return context.batchActive.load() == 0;
        return false;
    }
    bool RunToEnd() { return window.PumpUntil([&] { return BatchFinished(); }); }

    std::wstring History() const { return context.StatusHistory(); }
    bool HistoryHas(const std::wstring& text) const { return History().find(text) != std::wstring::npos; }
    size_t PositionOf(const std::wstring& text) const { return History().find(text); }

    static bool Copying(const vw::RunContext& context) { return context.copying.load() && context.bytesTransferred.load() > 0; }

private:
    TestRegistryKey key_;

protected:
    vw::ProfileStore profile;
    vw::AppSettings settings;
    vw::RunContext context;
    vw::CBackupItemList tasks;
    MessageWindow window;
    vw::RunController controller;
    ScratchFolder folder{kDiskM, L"run"};
    std::vector<std::wstring> destinations;

public:
    void TearDown() override
    {
        for (const auto& dest : destinations)
            RemoveTree(dest);
    }
};

TEST_F(Batch, StartAllRunsTheTasksInListOrderInOneBatch)
{
    AddTask(L"甲", 2);
    AddTask(L"乙", 3);
    AddTask(L"丙", 1);
    controller.StartAll();
    for (const auto& task : tasks)
        EXPECT_NE(task->state.load(), vw::kTaskIdle);
    ASSERT_TRUE(RunToEnd());

    const std::vector<Received> expected = {
        {WM_BACKUP_BEGIN_MSG, 0},       {WM_BACKUP_THREAD_START_MSG, 0}, {WM_BACKUP_THREAD_END_MSG, 0},
        {WM_BACKUP_THREAD_START_MSG, 0}, {WM_BACKUP_THREAD_END_MSG, 0},   {WM_BACKUP_THREAD_START_MSG, 0},
        {WM_BACKUP_THREAD_END_MSG, 0},   {WM_BACKUP_FINISH_MSG, 0},
    };
    EXPECT_EQ(window.Log(), expected);
    EXPECT_LT(PositionOf(L"启动备份任务..."), PositionOf(L"任务“甲”开始..."));
    EXPECT_LT(PositionOf(L"任务“甲”完成，成功备份2个文件"), PositionOf(L"任务“乙”开始..."));
    EXPECT_LT(PositionOf(L"任务“乙”完成，成功备份3个文件"), PositionOf(L"任务“丙”开始..."));
    EXPECT_TRUE(HistoryHas(L"\t备份任务完成！共完成备份任务3个，成功备份6个文件\r\n"));
    for (const auto& task : tasks) {
        EXPECT_EQ(task->state.load(), vw::kTaskIdle);
        EXPECT_FALSE(task->LastTime.IsNever());
        EXPECT_EQ(task->result.load(), 0u);
    }
    EXPECT_EQ(context.runState.load(), vw::kRunIdle);
    EXPECT_FALSE(controller.HasWorker());
}

TEST_F(Batch, TaskQueuedByItsTimerJoinsTheRunningBatch)
{
    settings.Speed = 20;  // 60 ms a chunk: the first task runs for a while
    vw::CBackupItem& first = AddTask(L"first", 0, 8 << 20);
    vw::CBackupItem& second = AddTask(L"second", 2);
    controller.Enqueue(&first, true, true);
    ASSERT_TRUE(window.PumpUntil([&] { return Copying(context); }));

    SetTimer(window.get(), second.timerId, 1, nullptr);  // the schedule's timer fires
    ASSERT_TRUE(window.PumpUntil([&] { return second.state.load() == vw::kTaskWaiting; }));
    ASSERT_TRUE(RunToEnd());

    int begins = 0;
    int finishes = 0;
    for (const auto& entry : window.Log()) {
        begins += entry.message == WM_BACKUP_BEGIN_MSG;
        finishes += entry.message == WM_BACKUP_FINISH_MSG;
    }
    EXPECT_EQ(begins, 1);
    EXPECT_EQ(finishes, 1);
    EXPECT_LT(PositionOf(L"任务“first”完成"), PositionOf(L"任务“second”开始..."));
    EXPECT_TRUE(HistoryHas(L"共完成备份任务2个"));
}

// A timer that expires well before the task's NextTime (the clock went back, a long period) arms
// itself again for the rest of the wait; one that expires on time queues the task.
TEST_F(Batch, ATimerThatFiresEarlyWaitsForTheRestInsteadOfRunning)
{
    vw::CBackupItem& task = AddTask(L"early", 1);
    const vw::DateTime next = vw::DateTime::Now() + vw::DateSpan::FromParts(0, 1, 0, 0);
    task.SetNextTime(next);
    ASSERT_TRUE(controller.HandleTimer(task.timerId));
    EXPECT_EQ(task.state.load(), vw::kTaskIdle);
    EXPECT_TRUE(task.Snapshot().NextTime == next);
    window.PumpFor(std::chrono::milliseconds(300));
    EXPECT_TRUE(window.Log().empty()) << "nothing ran";

    task.SetNextTime(vw::DateTime::Now() + vw::DateSpan::FromParts(0, 0, 0, 30));
    ASSERT_TRUE(controller.HandleTimer(task.timerId));
    EXPECT_NE(task.state.load(), vw::kTaskIdle);
    ASSERT_TRUE(RunToEnd());
    EXPECT_TRUE(HistoryHas(L"任务“early”完成，成功备份1个文件"));
}

// After a change of the clock or the time zone each task is scheduled anew; a pending start-up run
// stays a start-up run.
TEST_F(Batch, AClockChangeSchedulesEveryTaskAgain)
{
    vw::CBackupItem& daily = AddTask(L"daily", 0);
    daily.Clock = 1;
    daily.ClockHour = 3;
    daily.ClockMinute = 30;
    vw::CBackupItem& startup = AddTask(L"startup", 0);
    startup.Start = 1;
    startup.StartTime = 10;
    startup.AutoTime = 1;
    startup.AutoMinute = 600;
    controller.RescheduleAll(true);
    ASSERT_TRUE(startup.startupRunPending);
    const vw::DateTime stale = vw::DateTime::Now() + vw::DateSpan::FromParts(3, 0, 0, 0);
    daily.SetNextTime(stale);  // as armed under the former clock

    controller.ClockChanged();
    const vw::DateTime now = vw::DateTime::Now();
    const vw::DateTime expected = vw::ComputeSchedule(daily.Snapshot(), settings.MinTime.load(), false, now).nextTime;
    EXPECT_TRUE(daily.Snapshot().NextTime == expected)
        << vw::WideToUtf8(vw::FormatDateTime(daily.Snapshot().NextTime));
    EXPECT_EQ(daily.Snapshot().NextTime.Hour(), 3);
    EXPECT_TRUE(startup.startupRunPending);
    const int64_t wait = (startup.Snapshot().NextTime - now).WholeSeconds();
    EXPECT_GT(wait, 9 * 60);
    EXPECT_LE(wait, 10 * 60);
}

TEST_F(Batch, AutomaticRunWithinMinTimeStaysIdle)
{
    settings.MinTime = 120;
    vw::CBackupItem& task = AddTask(L"recent", 1);
    controller.Enqueue(&task, true, true);
    ASSERT_TRUE(RunToEnd());
    window.ClearLog();

    // Its timer fires minutes after that run ended.
    ASSERT_TRUE(controller.HandleTimer(task.timerId));
    EXPECT_EQ(task.state.load(), vw::kTaskIdle);
    window.PumpFor(std::chrono::milliseconds(100));
    EXPECT_TRUE(window.Log().empty());

    // A manual start ignores MinTime.
    controller.Enqueue(&task, true, true);
    ASSERT_TRUE(RunToEnd());
    EXPECT_TRUE(HistoryHas(L"任务“recent”完成，成功备份0个文件"));
}

TEST_F(Batch, ATimerTheQueueTurnsAwayIsArmedAgain)
{
    settings.MinTime = 120;
    vw::CBackupItem& recent = AddTask(L"recent", 1);
    vw::CBackupItem& busy = AddTask(L"busy", 0);
    for (vw::CBackupItem* task : {&recent, &busy}) {
        task->AutoTime = 1;
        task->AutoMinute = 180;
    }
    controller.StartAll();
    ASSERT_TRUE(RunToEnd());
    for (int i = 0; i < 300; ++i)
        ASSERT_TRUE(WriteFileBytes(busy.Dest + vw::Format(L"\\_历史文件\\h%03d.txt", i), "h"));
    window.ClearLog();

    // Run too recently: refused by MinTime.
    ASSERT_TRUE(controller.HandleTimer(recent.timerId));
    EXPECT_EQ(recent.state.load(), vw::kTaskIdle);
    EXPECT_TRUE(KillTimer(window.get(), recent.timerId)) << "the task has its timer again";

    // Busy: its own cleaning run, held by a pause, has it.
    controller.StartCleaning(&busy);
    ASSERT_TRUE(controller.RequestPause());
    ASSERT_TRUE(window.PumpUntil([&] { return context.runState.load() == vw::kRunPaused; }));
    ASSERT_TRUE(controller.HandleTimer(busy.timerId));
    EXPECT_NE(busy.state.load(), vw::kTaskIdle);
    EXPECT_TRUE(KillTimer(window.get(), busy.timerId)) << "the busy task has its timer again";
    ASSERT_TRUE(controller.Resume());
    ASSERT_TRUE(RunToEnd());
}

TEST_F(Batch, ATaskQueuedDuringACleaningRunStartsWhenItEnds)
{
    vw::CBackupItem& cleaned = AddTask(L"cleaned", 1);
    vw::CBackupItem& timed = AddTask(L"timed", 2);
    controller.Enqueue(&cleaned, true, true);
    ASSERT_TRUE(RunToEnd());
    for (int i = 0; i < 300; ++i)
        ASSERT_TRUE(WriteFileBytes(cleaned.Dest + vw::Format(L"\\_历史文件\\h%03d.txt", i), "h"));
    window.ClearLog();

    controller.StartCleaning(&cleaned);
    ASSERT_TRUE(controller.RequestPause());  // hold the cleaning run while the timer fires
    ASSERT_TRUE(window.PumpUntil([&] { return context.runState.load() == vw::kRunPaused; }));
    ASSERT_TRUE(controller.HandleTimer(timed.timerId));
    EXPECT_EQ(timed.state.load(), vw::kTaskWaiting);
    ASSERT_TRUE(controller.Resume());

    ASSERT_TRUE(window.PumpUntil([&] { return HistoryHas(L"任务“timed”完成，成功备份2个文件"); }));
    ASSERT_TRUE(RunToEnd());
    EXPECT_LT(PositionOf(L"清理任务“cleaned”清理历史文件完成"), PositionOf(L"任务“timed”开始..."));
    EXPECT_EQ(timed.state.load(), vw::kTaskIdle);
}

TEST_F(Batch, HeldRemovalsAreAskedAboutOnlyWhenTheRunWasStartedByHand)
{
    vw::CBackupItem& task = AddTask(L"emptied", 120);
    controller.StartAll();
    ASSERT_TRUE(RunToEnd());
    ASSERT_TRUE(RemoveTree(task.Source));
    ASSERT_TRUE(CreateDirectoryW(task.Source.c_str(), nullptr));
    // What the window reads as a batch ends, before the controller closes it.
    vw::HeldRemovals asked;
    window.SetHandler([&](UINT message, WPARAM wParam) {
        if (message == WM_BACKUP_FINISH_MSG)
            asked = controller.HeldRemovalsToAsk();
        if (message == WM_TIMER)
            controller.HandleTimer(wParam);
        else
            controller.HandleMessage(message, wParam);
    });

    // Its timer, a day after the last run: held, and not asked about.
    task.SetLastTime(vw::DateTime::Now() - vw::DateSpan(1.0), false);
    window.ClearLog();
    ASSERT_TRUE(controller.HandleTimer(task.timerId));
    ASSERT_TRUE(RunToEnd());
    EXPECT_TRUE(HistoryHas(vw::Format(vw::kRemovalsHeldFormat, L"emptied", 120)));
    EXPECT_EQ(asked.task, nullptr);

    // By hand: asked, and the yes runs it again with the removals allowed.
    window.ClearLog();
    controller.Enqueue(&task, true, true);
    ASSERT_TRUE(RunToEnd());
    ASSERT_EQ(asked.task, &task);
    EXPECT_EQ(asked.files, 120);
    EXPECT_FALSE(asked.cleaning);
    window.ClearLog();
    controller.RunAllowingRemovals(asked);
    ASSERT_TRUE(RunToEnd());
    EXPECT_FALSE(FileExists(task.Dest + L"\\f000.txt"));
    EXPECT_TRUE(FileExists(task.Dest + L"\\_历史文件\\f000.txt"));
    EXPECT_EQ(context.allowRemovals.load(), 0) << "the consent ends with its batch";
}

TEST_F(Batch, StopOfAWaitingTaskLeavesTheRunningOneGoing)
{
    settings.Speed = 20;
    vw::CBackupItem& running = AddTask(L"running", 0, 4 << 20);
    vw::CBackupItem& waiting = AddTask(L"waiting", 1);
    controller.StartAll();
    ASSERT_TRUE(window.PumpUntil([&] { return Copying(context); }));

    controller.StopTask(&waiting);
    EXPECT_EQ(waiting.state.load(), vw::kTaskIdle);
    EXPECT_EQ(waiting.result.load(), 1235u);
    EXPECT_EQ(waiting.GetStatusText(false), L"备份终止");
    ASSERT_TRUE(RunToEnd());
    EXPECT_TRUE(HistoryHas(L"任务“running”完成，成功备份1个文件"));
    EXPECT_FALSE(HistoryHas(L"任务“waiting”开始"));
    EXPECT_EQ(running.result.load(), 0u);
    EXPECT_TRUE(window.Saw(WM_BACKUP_FINISH_MSG, 0));
}

TEST_F(Batch, StopOfTheRunningTaskStartsTheNextWaitingOne)
{
    settings.Speed = 20;
    vw::CBackupItem& running = AddTask(L"running", 0, 16 << 20);
    AddTask(L"next", 1);
    AddTask(L"last", 1);
    controller.StartAll();
    ASSERT_TRUE(window.PumpUntil([&] { return Copying(context); }));

    controller.StopTask(&running);
    EXPECT_EQ(running.result.load(), 1235u);
    EXPECT_EQ(running.GetStatusText(false), L"备份终止");
    EXPECT_FALSE(FileExists(running.Dest + L"\\big.bin")) << "a cancelled copy leaves no partial file";
    ASSERT_TRUE(RunToEnd());

    EXPECT_TRUE(window.Saw(WM_BACKUP_THREAD_END_MSG, 1)) << "the stopped worker's own end";
    EXPECT_TRUE(HistoryHas(L"任务“next”完成，成功备份1个文件"));
    EXPECT_TRUE(HistoryHas(L"任务“last”完成，成功备份1个文件"));
    EXPECT_EQ(window.Log().back(), (Received{WM_BACKUP_FINISH_MSG, 0}));
}

TEST_F(Batch, StopAllDuringAPausedLargeCopy)
{
    settings.Speed = 10;
    vw::CBackupItem& big = AddTask(L"big", 0, 32 << 20);
    vw::CBackupItem& waiting = AddTask(L"waiting", 1);
    controller.StartAll();
    ASSERT_TRUE(window.PumpUntil([&] { return Copying(context); }));

    ASSERT_TRUE(controller.RequestPause());
    ASSERT_TRUE(window.PumpUntil([&] { return context.runState.load() == vw::kRunPaused; }));
    EXPECT_EQ(context.pausedInCopy.load(), 1);
    const uint64_t held = context.bytesTransferred.load();
    window.PumpFor(std::chrono::milliseconds(300));
    EXPECT_EQ(context.bytesTransferred.load(), held) << "a paused copy makes no progress";

    window.ClearLog();
    controller.StopAll();
    ASSERT_TRUE(RunToEnd());

    const std::vector<Received> expected = {
        {WM_BACKUP_THREAD_PAUSE_MSG, 2}, {WM_BACKUP_THREAD_END_MSG, 1}, {WM_BACKUP_FINISH_MSG, 1}};
    EXPECT_EQ(window.Log(), expected);
    EXPECT_EQ(big.result.load(), 1235u);
    EXPECT_EQ(waiting.result.load(), 1235u);
    EXPECT_EQ(big.state.load(), vw::kTaskIdle);
    EXPECT_EQ(waiting.state.load(), vw::kTaskIdle);
    EXPECT_TRUE(HistoryHas(L"备份任务被强行终止！共完成备份任务0个，成功备份0个文件"));
    EXPECT_TRUE(HistoryHas(L"请求被终止。")) << "the cancelled copy's error";
    EXPECT_FALSE(context.HasPauseEvent());
}

TEST_F(Batch, PauseAndResumeInsideACopyContinueTheSameCopy)
{
    settings.Speed = 10;
    AddTask(L"big", 0, 12 << 20);
    controller.StartAll();
    ASSERT_TRUE(window.PumpUntil([&] { return Copying(context); }));
    ASSERT_TRUE(controller.RequestPause());
    ASSERT_TRUE(window.PumpUntil([&] { return context.runState.load() == vw::kRunPaused; }));
    EXPECT_TRUE(window.Saw(WM_BACKUP_THREAD_PAUSE_MSG, 0));
    EXPECT_TRUE(window.Saw(WM_BACKUP_THREAD_PAUSE_MSG, 1));
    const uint64_t held = context.bytesTransferred.load();

    ASSERT_TRUE(controller.Resume());
    ASSERT_TRUE(window.PumpUntil([&] { return context.bytesTransferred.load() > held; }));
    EXPECT_GT(context.bytesTransferred.load(), held) << "resumed where it stopped, not from 0";
    ASSERT_TRUE(RunToEnd());
    EXPECT_TRUE(window.Saw(WM_BACKUP_THREAD_PAUSE_MSG, 2));
    EXPECT_TRUE(HistoryHas(L"任务“big”完成，成功备份1个文件"));
}

TEST_F(Batch, PauseBetweenFilesHoldsTheWorkerWithoutSuspendingIt)
{
    settings.Speed = 5;
    AddTask(L"many", 60);
    controller.StartAll();
    ASSERT_TRUE(window.PumpUntil([&] { return context.filesDone.load() >= 3; }));
    ASSERT_TRUE(controller.RequestPause());
    ASSERT_TRUE(window.PumpUntil([&] { return context.runState.load() == vw::kRunPaused; }));
    // Whether the request met the worker between files or inside a small copy, it is held.
    const int done = context.filesDone.load();
    window.PumpFor(std::chrono::milliseconds(400));
    EXPECT_EQ(context.filesDone.load(), done);

    ASSERT_TRUE(controller.Resume());
    ASSERT_TRUE(RunToEnd());
    EXPECT_TRUE(HistoryHas(L"任务“many”完成，成功备份60个文件"));
}

TEST_F(Batch, StopReleasesAPauseRequestNotYetConfirmed)
{
    settings.Speed = 10;
    AddTask(L"big", 0, 16 << 20);
    controller.StartAll();
    ASSERT_TRUE(window.PumpUntil([&] { return Copying(context); }));
    ASSERT_TRUE(controller.RequestPause());
    // The worker may hold on its pause event now, and the window has not confirmed the pause.
    Sleep(200);
    controller.StopAll();  // must not wait forever on the held copy
    ASSERT_TRUE(RunToEnd());
    EXPECT_TRUE(window.Saw(WM_BACKUP_FINISH_MSG, 1));
    EXPECT_EQ(tasks[0].result.load(), 1235u);
}

TEST_F(Batch, StartFailureWritesItsLinesAndTheBatchGoesOn)
{
    vw::CBackupItem& broken = AddTask(L"broken", 0);
    broken.Source = folder.path() + L"missing-source";
    AddTask(L"fine", 2);
    controller.StartAll();
    ASSERT_TRUE(RunToEnd());

    const std::wstring lines[] = {
        L"任务“broken”开始...",
        L"任务“broken”启动失败，请检查任务设置是否正确！",
        L"任务“broken”发生错误，备份已终止，错误原因为：源文件夹不存在。",
        L"任务“broken”已终止，成功备份0个文件",
        L"任务“fine”开始...",
        L"任务“fine”完成，成功备份2个文件",
        L"备份任务完成！共完成备份任务1个，成功备份2个文件",
    };
    size_t at = 0;
    for (const auto& line : lines) {
        const size_t found = History().find(line, at);
        ASSERT_NE(found, std::wstring::npos) << vw::WideToUtf8(line);
        at = found;
    }
    EXPECT_EQ(broken.result.load(), 100004u);
    EXPECT_EQ(broken.GetStatusText(false), L"路径错误");
    EXPECT_TRUE(broken.LastTime.IsNever());
    int ends = 0;
    for (const auto& entry : window.Log())
        ends += entry.message == WM_BACKUP_THREAD_END_MSG;
    EXPECT_EQ(ends, 2) << "one end message per run";
}

// A stored task whose destination leads into its source (or the reverse), however it is written:
// the run refuses to start and says why, and nothing is written into either folder.
TEST_F(Batch, ARunRefusesFoldersThatLeadIntoEachOther)
{
    struct Case {
        const char* what;
        std::wstring source;
        std::wstring dest;
    };
    const std::wstring data = folder.path() + L"Data";
    const Case cases[] = {
        {"the source through \"..\"", data, folder.path() + L"X\\..\\Data"},
        {"inside the source through \"..\"", data, folder.path() + L"Data\\Sub\\..\\Backup"},
        {"the source's parent", data + L"\\Sub", folder.path() + L"Y\\..\\Data"},
        {"inside the source through a directory link", kLinkTarget, std::wstring(kLinkedFolder) + L"\\Backup"},
    };
    ASSERT_NE(GetFileAttributesW(kLinkedFolder), INVALID_FILE_ATTRIBUTES) << "the set-up script makes the link";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteFileBytes(c.source + L"\\keep.txt", "mine"));
        vw::CBackupItem& task = AddTask(L"overlap", 0);
        task.Source = c.source;
        task.Dest = c.dest;
        window.ClearLog();
        controller.StartAll();
        ASSERT_TRUE(RunToEnd());

        EXPECT_TRUE(HistoryHas(L"任务“overlap”启动失败，请检查任务设置是否正确！"));
        EXPECT_TRUE(HistoryHas(L"任务“overlap”发生错误，备份已终止，错误原因为：目标文件夹与源文件夹是同一个文件夹，"
                               L"或其中一个位于另一个之中，请修改此任务的目标文件夹。"));
        EXPECT_EQ(task.GetStatusText(false), L"路径错误");
        EXPECT_TRUE(task.LastTime.IsNever());
        EXPECT_EQ(ReadFileBytes(c.source + L"\\keep.txt"), "mine");
        for (const std::wstring made : {L"\\_历史文件", L"\\_TEMP", L"\\Backup", L"\\_Vaultwren.ini"})
            EXPECT_EQ(GetFileAttributesW((c.source + made).c_str()), INVALID_FILE_ATTRIBUTES) << vw::WideToUtf8(made);
        ASSERT_TRUE(tasks.Remove(task));
        DeleteFileW((c.source + L"\\keep.txt").c_str());
    }
}

// A stored destination Windows cannot use as written: the run says what is wrong with it, not
// that the folder is missing and the task should be reset.
TEST_F(Batch, ARunNamesWhatIsWrongWithItsDestination)
{
    const std::wstring isFile = L"目标文件夹的位置上是一个文件，或其路径中有一个文件，请修改此任务的目标文件夹。";
    const std::wstring badName =
        L"目标文件夹路径中有 Windows 不能使用的名称（系统保留的设备名，或以点或空格结尾的名称），请修改此任务的目标文件夹。";
    const std::wstring file = folder.path() + L"a_file";
    ASSERT_TRUE(WriteFileBytes(file, "f"));
    struct Case {
        const char* what;
        std::wstring dest;
        bool ranBefore;  // the destination was bound by an earlier run, then a file took its place
        std::wstring reason;
    };
    const Case cases[] = {
        {"a file, edited in by hand", file, false, isFile},
        {"under a file, edited in by hand", file + L"\\sub", false, isFile},
        {"a file where the bound folder was", folder.path() + L"was-a-folder", true, isFile},
        {"a reserved name", folder.path() + L"aux\\x", false, badName},
        {"a name ending in a dot", folder.path() + L"backup.", false, badName},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        vw::CBackupItem& task = AddTask(L"dest", 1);
        task.RemoveFollow = 0;
        if (c.ranBefore) {
            task.Dest = c.dest;
            controller.StartAll();
            ASSERT_TRUE(RunToEnd());
            ASSERT_TRUE(RemoveTree(c.dest));
            ASSERT_TRUE(WriteFileBytes(c.dest, "now a file"));
        }
        task.Dest = c.dest;
        const size_t before = History().size();
        controller.StartAll();
        ASSERT_TRUE(RunToEnd());
        const std::wstring added = History().substr(before);
        EXPECT_NE(added.find(L"任务“dest”发生错误，备份已终止，错误原因为：" + c.reason), std::wstring::npos)
            << vw::WideToUtf8(added);
        EXPECT_EQ(added.find(L"请重置此任务"), std::wstring::npos);
        EXPECT_EQ(task.GetStatusText(false), L"路径错误");
        const std::wstring source = task.Source;
        ASSERT_TRUE(tasks.Remove(task));
        RemoveTree(source);
    }
    EXPECT_EQ(ReadFileBytes(file), "f");
    EXPECT_EQ(GetFileAttributesW((folder.path() + L"backup").c_str()), INVALID_FILE_ATTRIBUTES)
        << "\"backup.\" must not have been made as \"backup\"";
}

TEST_F(Batch, BatchLineCountsFilesThatCouldNotBeBackedUp)
{
    vw::CBackupItem& task = AddTask(L"locked", 2);
    vw::UniqueFile lock(CreateFileW((task.Source + L"\\f000.txt").c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock);
    controller.StartAll();
    ASSERT_TRUE(RunToEnd());
    EXPECT_TRUE(HistoryHas(L"任务“locked”完成，成功备份1个文件，共1个文件无法备份\r\n"));
    EXPECT_TRUE(HistoryHas(L"备份任务完成！共完成备份任务1个，成功备份1个文件，1个文件无法备份"));
}

TEST_F(Batch, ACopyCancelledByAStopIsNeitherBackedUpNorFailed)
{
    settings.Speed = 10;
    AddTask(L"big", 0, 32 << 20);
    controller.StartAll();
    ASSERT_TRUE(window.PumpUntil([&] { return Copying(context); }));
    controller.StopAll();
    EXPECT_EQ(context.filesFailed.load(), 0);
    ASSERT_TRUE(RunToEnd());
    EXPECT_TRUE(HistoryHas(L"备份任务被强行终止！共完成备份任务0个，成功备份0个文件\r\n"));
    EXPECT_FALSE(HistoryHas(L"无法备份")) << vw::WideToUtf8(History());
}

// The end message of a run that finished just as the user stopped the batch arrives after the
// stop has ended the batch: the stop's end stays the only one, and nothing starts after it.
TEST_F(Batch, AStopLandingAsARunEndsIsTheBatchsOnlyEnd)
{
    settings.Speed = 10;
    AddTask(L"big", 0, 32 << 20);
    vw::CBackupItem& next = AddTask(L"next", 1);
    controller.StartAll();
    ASSERT_TRUE(window.PumpUntil([&] { return Copying(context); }));
    window.ClearLog();
    controller.StopAll();
    PostMessageW(window.get(), WM_BACKUP_THREAD_END_MSG, 0, 0);
    ASSERT_TRUE(RunToEnd());
    window.PumpFor(std::chrono::milliseconds(300));

    int ends = 0;
    for (const auto& entry : window.Log())
        ends += entry.message == WM_BACKUP_FINISH_MSG;
    EXPECT_EQ(ends, 1);
    EXPECT_TRUE(window.Saw(WM_BACKUP_FINISH_MSG, 1));
    EXPECT_FALSE(HistoryHas(L"备份任务完成！")) << vw::WideToUtf8(History());
    EXPECT_EQ(next.state.load(), vw::kTaskIdle);
    EXPECT_TRUE(next.Snapshot().LastTime.IsNever()) << "the next task never ran";
    EXPECT_EQ(context.runState.load(), vw::kRunIdle);
}

TEST_F(Batch, CleaningRunIsABatchOfItsOwn)
{
    vw::CBackupItem& task = AddTask(L"clean", 2);
    controller.StartAll();
    ASSERT_TRUE(RunToEnd());
    ASSERT_TRUE(WriteFileBytes(task.Dest + L"\\orphan-a.txt", std::string(1024, 'a')));
    ASSERT_TRUE(WriteFileBytes(task.Dest + L"\\orphan-b.txt", std::string(2048, 'b')));
    task.History = 0;

    window.ClearLog();
    controller.StartCleaning(&task);
    ASSERT_TRUE(RunToEnd());
    const std::vector<Received> expected = {
        {WM_BACKUP_THREAD_START_MSG, 0}, {WM_BACKUP_THREAD_END_MSG, 2}, {WM_BACKUP_FINISH_MSG, 0}};
    EXPECT_EQ(window.Log(), expected);
    EXPECT_TRUE(HistoryHas(L"清理任务“clean”开始清理历史文件..."));
    EXPECT_TRUE(HistoryHas(L"清理任务“clean”清理历史文件完成，成功清理文件2个，释放空间3.00KB"));
    EXPECT_EQ(context.cleaningRun.load(), 0) << "the batch was closed";
}

TEST_F(Batch, StopDuringCleaning)
{
    vw::CBackupItem& task = AddTask(L"clean", 0);
    controller.StartAll();
    ASSERT_TRUE(RunToEnd());
    for (int i = 0; i < 300; ++i)
        ASSERT_TRUE(WriteFileBytes(task.Dest + vw::Format(L"\\_历史文件\\h%03d.txt", i), "h"));

    controller.StartCleaning(&task);
    task.state = vw::kTaskPaused;  // hold the walk so the stop lands inside it
    window.PumpFor(std::chrono::milliseconds(150));
    controller.StopAll();
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(task.result.load(), 240u);
    EXPECT_EQ(task.GetStatusText(true), L"清理终止");
    EXPECT_TRUE(HistoryHas(L"清理任务被强行终止！共清理"));
    EXPECT_TRUE(HistoryHas(L"个文件，共释放空间"));
}

// Both stops of a cleaning run end its batch once: one FINISH, the cleaning stop line, no backup batch line.
TEST_F(Batch, EachStopOfACleaningRunEndsItsBatchOnce)
{
    struct Case {
        const char* stop;
        void (*apply)(vw::RunController&, vw::CBackupItem&);
    };
    const Case cases[] = {
        {"stop the task", [](vw::RunController& c, vw::CBackupItem& t) { c.StopTask(&t); }},
        {"stop all", [](vw::RunController& c, vw::CBackupItem&) { c.StopAll(); }},
    };
    vw::CBackupItem& task = AddTask(L"clean", 0);
    controller.StartAll();
    ASSERT_TRUE(RunToEnd());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stop);
        for (int i = 0; i < 300; ++i)
            ASSERT_TRUE(WriteFileBytes(task.Dest + vw::Format(L"\\_历史文件\\h%03d.txt", i), "h"));
        const size_t before = History().size();
        window.ClearLog();
        controller.StartCleaning(&task);
        task.state = vw::kTaskPaused;  // hold the walk so the stop lands inside it
        ASSERT_TRUE(window.PumpUntil([&] { return context.runState.load() == vw::kRunPaused; }));
        c.apply(controller, task);
        ASSERT_TRUE(RunToEnd());
        window.PumpFor(std::chrono::milliseconds(300));  // anything posted late shows now

        int finishes = 0;
        for (const auto& entry : window.Log())
            finishes += entry.message == WM_BACKUP_FINISH_MSG;
        EXPECT_EQ(finishes, 1);
        EXPECT_EQ(window.Log().back(), (Received{WM_BACKUP_FINISH_MSG, 1}));
        const std::wstring added = History().substr(before);
        EXPECT_NE(added.find(L"清理任务被强行终止！共清理"), std::wstring::npos);
        EXPECT_EQ(added.find(L"备份任务"), std::wstring::npos) << vw::WideToUtf8(added);
        EXPECT_EQ(task.result.load(), 240u);
        EXPECT_EQ(context.batchActive.load(), 0);
        EXPECT_FALSE(controller.HasWorker());
    }
}

// The moment a run's task turns idle the window may start the next run, which raises the stop
// flag of the one it waits for: the run has said how it ended before that, and it ended "完成".
TEST_F(Batch, ARunHasWrittenItsEndBeforeItsTaskTurnsIdle)
{
    constexpr int kTasks = 40;
    for (int i = 0; i < kTasks; ++i)
        AddTask(vw::Format(L"t%d", i), 0);
    std::atomic<bool> done{false};
    std::atomic<int> early{0};
    std::thread watcher([&] {
        std::vector<bool> seenBusy(kTasks, false), checked(kTasks, false);
        while (!done) {
            for (int i = 0; i < kTasks; ++i) {
                if (tasks[i].state.load() != vw::kTaskIdle) {
                    seenBusy[i] = true;
                } else if (seenBusy[i] && !checked[i]) {
                    checked[i] = true;
                    // What a Start in that instant does to the run it waits for.
                    if (i == kTasks - 1)
                        context.stopFlag = 1;
                    if (!HistoryHas(vw::Format(L"任务“t%d”完成，成功备份", i)))
                        ++early;
                }
            }
        }
    });
    for (int i = 0; i < kTasks; ++i)
        controller.Enqueue(&tasks[i], false, true);
    controller.StartNext();
    const bool finished = RunToEnd();
    done = true;
    watcher.join();
    ASSERT_TRUE(finished);
    EXPECT_EQ(early.load(), 0);
    EXPECT_FALSE(HistoryHas(L"被强行终止"));
    EXPECT_TRUE(HistoryHas(vw::Format(L"备份任务完成！共完成备份任务%d个", kTasks)));
}

HANDLE RefuseThread(LPTHREAD_START_ROUTINE, void*)
{
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

// A run whose worker cannot be made says why and ends its batch, so nobody waits for it forever.
TEST(WorkerRefused, EveryStartFailureEndsItsBatch)
{
    struct Case {
        const char* run;
        bool cleaning;
        const wchar_t* line;
    };
    const Case cases[] = {
        {"backup", false, L"任务“t”发生错误，备份已终止，错误原因为："},
        {"cleaning", true, L"清理任务“t”清理历史文件时发生错误，清理已终止，错误原因为："},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.run);
        TestRegistryKey key(L"run-refused");
        vw::ProfileStore profile(key.path());
        vw::AppSettings settings;
        vw::RunContext context(settings);
        vw::CBackupItemList tasks(profile, settings);
        MessageWindow window;
        vw::RunController controller(tasks, context, settings, RefuseThread);
        window.SetHandler([&](UINT message, WPARAM wParam) { controller.HandleMessage(message, wParam); });
        controller.ResetRun(window.get());
        vw::CBackupItem* task = tasks.AddNew();
        ASSERT_NE(task, nullptr);
        task->Name = L"t";

        if (c.cleaning)
            controller.StartCleaning(task);
        else
            controller.Enqueue(task, true, true);
        ASSERT_TRUE(window.PumpUntil([&] { return window.Saw(WM_BACKUP_FINISH_MSG, 0); },
                                     std::chrono::seconds(5)));
        window.PumpFor(std::chrono::milliseconds(100));
        EXPECT_EQ(context.batchActive.load(), 0);
        EXPECT_EQ(context.runState.load(), vw::kRunIdle);
        EXPECT_EQ(task->state.load(), vw::kTaskIdle);
        EXPECT_EQ(task->result.load(), static_cast<uint32_t>(ERROR_NOT_ENOUGH_MEMORY));
        EXPECT_EQ(task->GetStatusText(c.cleaning), L"内存不足");
        EXPECT_NE(context.StatusHistory().find(c.line), std::wstring::npos);
    }
}

TEST_F(Batch, StatusHistoryIsReadableWhileTheWorkerAppends)
{
    for (int i = 0; i < 6; ++i)
        AddTask(vw::Format(L"t%d", i), 3);
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (!done) {
            const std::wstring text = context.StatusHistory();
            if (!text.empty() && text.substr(text.size() - 2) != L"\r\n")
                ++torn;
        }
    });
    controller.StartAll();
    const bool finished = RunToEnd();
    done = true;
    reader.join();
    ASSERT_TRUE(finished);
    EXPECT_EQ(torn.load(), 0);
}

// The window reads tasks through Snapshot while the worker binds destinations (CreateTime), follows
// a disk to another letter (Dest) and ends runs (LastTime): every copy it takes is whole.
TEST_F(Batch, TaskSnapshotsAreWholeWhileWorkersWriteTheTasks)
{
    std::vector<vw::CBackupItem*> running;
    for (int i = 0; i < 4; ++i)
        running.push_back(&AddTask(vw::Format(L"s%d", i), 3));
    vw::CBackupItem& moving = *running.front();
    const std::wstring onN = moving.Dest;
    const std::wstring onO = vw::Format(L"%c", kDiskO) + onN.substr(1);
    // A followed destination is stored as the engine holds it, with its closing backslash.
    const std::wstring followed = onO + L"\\";
    destinations.push_back(onO);

    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::atomic<long> reads{0};
    std::thread reader([&] {
        while (!done) {
            for (const auto* task : running) {
                const vw::TaskSnapshot s = task->Snapshot();
                const bool destWhole =
                    task != &moving ? s.Dest == destinations[s.index] : s.Dest == onN || s.Dest == followed;
                const bool timesWhole = (s.CreateTime.IsNever() || s.CreateTime.IsValid()) &&
                                        (s.LastTime.IsNever() || s.LastTime.IsValid());
                const bool boundBeforeEnd = s.LastTime.IsNever() || !s.CreateTime.IsNever();
                if (!destWhole || !timesWhole || !boundBeforeEnd || s.Name != vw::Format(L"s%d", s.index) ||
                    vw::TaskStatusText(s, false).empty() != (s.state == vw::kTaskIdle && s.result == 0))
                    ++torn;
                ++reads;
            }
        }
    });

    // First runs bind every destination; then the first task's disk comes back as O: and its run follows it.
    controller.StartAll();
    bool finished = RunToEnd();
    if (finished) {
        window.ClearLog();
        finished = MoveFileW((DriveBackingFolder(kDiskN) + onN.substr(2)).c_str(),
                             (DriveBackingFolder(kDiskO) + onO.substr(2)).c_str()) &&
                   (controller.StartAll(), RunToEnd());
    }
    done = true;
    reader.join();
    ASSERT_TRUE(finished);
    EXPECT_EQ(torn.load(), 0);
    EXPECT_GT(reads.load(), 0);
    EXPECT_EQ(moving.Snapshot().Dest, followed);
    for (const auto* task : running) {
        const vw::TaskSnapshot s = task->Snapshot();
        EXPECT_FALSE(s.CreateTime.IsNever());
        EXPECT_FALSE(s.LastTime.IsNever());
        EXPECT_EQ(s.state, vw::kTaskIdle);
    }
}

class FullDiskBatch : public Batch {};

TEST_F(FullDiskBatch, LowSpaceWarnsAndAFullDiskEndsTheBatch)
{
    if (!DriveAvailable(kFullDisk))
        GTEST_SKIP() << "no full-disk drive: mounting a tmpfs was refused here";
    AddTask(L"full", 0, 6 << 20, kFullDisk);
    vw::CBackupItem& after = AddTask(L"after", 1);
    controller.StartAll();
    ASSERT_TRUE(RunToEnd());

    ASSERT_GE(window.Log().size(), 3u);
    EXPECT_EQ(window.Log()[1], (Received{WM_BACKUP_THREAD_START_MSG, 0}));
    EXPECT_EQ(window.Log()[2], (Received{WM_DISK_SPACE_LOW_MSG, L'F'}));
    EXPECT_TRUE(window.Saw(WM_BACKUP_THREAD_END_MSG, 1));
    EXPECT_TRUE(HistoryHas(L"任务“full”发生错误，备份已终止，错误原因为：磁盘空间不足。"));
    EXPECT_TRUE(HistoryHas(L"任务“full”已终止，成功备份0个文件"));
    EXPECT_FALSE(HistoryHas(L"任务“after”开始")) << "a full disk ends the whole batch";
    EXPECT_EQ(after.state.load(), vw::kTaskIdle);
    EXPECT_EQ(window.Log().back(), (Received{WM_BACKUP_FINISH_MSG, 1}));
}

}  // namespace

namespace {

TEST(RunControllerLifetime, DestructionEndsARunningWorker)
{
    vwtest::TestRegistryKey key(L"run-end");
    vw::ProfileStore profile(key.path());
    vw::AppSettings settings;
    settings.Speed = 20;
    vw::RunContext context(settings);
    vw::CBackupItemList tasks(profile, settings);
    vwtest::MessageWindow window;
    vwtest::ScratchFolder folder(vwtest::kDiskM, L"run-end");
    vw::CBackupItem* task = tasks.AddNew();
    ASSERT_NE(task, nullptr);
    task->Source = folder.path() + L"src";
    task->Dest = folder.path() + L"dst";
    ASSERT_TRUE(vwtest::WriteFileOfSize(task->Source + L"\\big.bin", 32 << 20));
    {
        vw::RunController controller(tasks, context, settings);
        controller.ResetRun(window.get());
        controller.Enqueue(task, true, true);
        ASSERT_TRUE(window.PumpUntil([&] { return context.copying.load() && context.bytesTransferred.load() > 0; }));
        // The window goes away with a copy under way: the controller must not leave the worker behind.
    }
    EXPECT_EQ(context.copying.load(), 0);
    EXPECT_FALSE(vwtest::FileExists(task->Dest + L"\\big.bin")) << "the cancelled copy left no partial file";
}

}  // namespace
