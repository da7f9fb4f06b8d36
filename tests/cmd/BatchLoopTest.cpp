// The console runner's batch loop in process: the outcome it reads decides the exit code.
#include "cmd/BatchLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "cmd/Commands.h"
#include "cmd/ProfileWriteGuard.h"
#include "engine/RunContext.h"
#include "run/RunController.h"
#include "support/TestDrives.h"
#include "support/TestRegistry.h"
#include "task/AppSettings.h"
#include "task/CBackupItemList.h"
#include "win/ProfileStore.h"

namespace {

HANDLE RefuseThread(LPTHREAD_START_ROUTINE, void*)
{
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

TEST(BatchLoop, TheProgressLineSaysWhatTheRunDoesWithTheFile)
{
    const struct {
        int32_t kind;
        const wchar_t* line;
    } cases[] = {
        {0, L"正在备份：“a.txt” 12.5%   "},
        {1, L"正在清理：“a.txt” 12.5%   "},
        {2, L"正在校验：“a.txt” 12.5%   "},
        {3, L"正在恢复：“a.txt” 12.5%   "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(vw::ProgressLine(c.kind, L"a.txt", 12.5), c.line) << c.kind;
}

// A batch whose worker cannot be made ends before the loop pumps a single message: its end is
// still the one the loop reads, and the runner exits 1.
TEST(BatchLoop, ARefusedWorkerStartIsAFailedBatch)
{
    for (const bool cleaning : {false, true}) {
        SCOPED_TRACE(cleaning ? "cleaning" : "backup");
        vwtest::TestRegistryKey key(L"batchloop-refused");
        vw::ProfileStore profile(key.path());
        vw::AppSettings settings;
        vw::RunContext context(settings);
        vw::CBackupItemList tasks(profile, settings);
        vw::RunController controller(tasks, context, settings, RefuseThread);
        vw::BatchLoop loop(controller, context);
        vw::CBackupItem* task = tasks.AddNew();
        ASSERT_NE(task, nullptr);

        if (cleaning) {
            controller.StartCleaning(task);
        } else {
            controller.Enqueue(task, false, true);
            controller.StartNext();
        }
        const vw::BatchOutcome outcome = loop.Run();
        EXPECT_EQ(outcome.runsFailed, 1);
        EXPECT_EQ(vw::ExitCodeOf(outcome), vw::kExitRunFailed);
    }
}

// A console close, logoff or shutdown ends the process as soon as the handler returns: it returns
// only once the stopped batch has ended (its lines written), well within the system's grace time.
TEST(BatchLoop, AConsoleCloseReturnsOnlyAfterTheBatchHasEnded)
{
    vwtest::TestRegistryKey key(L"batchloop-close");
    vw::ProfileStore profile(key.path());
    vw::AppSettings settings;
    settings.Speed = 100;  // 300 ms a chunk
    vw::RunContext context(settings);
    vw::CBackupItemList tasks(profile, settings);
    vw::RunController controller(tasks, context, settings);
    vwtest::ScratchFolder source{vwtest::kDiskM, L"batchloop-close"};
    vwtest::ScratchFolder dest{vwtest::kDiskN, L"batchloop-close"};
    ASSERT_TRUE(vwtest::WriteFileOfSize(source / L"big.bin", 8 << 20));
    vw::CBackupItem* task = tasks.AddNew();
    ASSERT_NE(task, nullptr);
    task->Source = source.path();
    task->Dest = dest / L"copy";
    ASSERT_TRUE(task->Save());

    vw::BatchLoop loop(controller, context);
    controller.Enqueue(task, false, true);
    controller.StartNext();
    std::atomic<bool> closed{false};
    bool endedFirst = false;
    ULONGLONG took = 0;
    std::thread console([&] {
        for (int i = 0; i < 600 && !context.copying.load(); ++i)
            Sleep(50);
        const ULONGLONG start = GetTickCount64();
        vw::BatchConsoleEvent(CTRL_CLOSE_EVENT);
        took = GetTickCount64() - start;
        endedFirst = context.StatusHistory().find(L"备份任务被强行终止！") != std::wstring::npos;
        closed = true;
    });
    const vw::BatchOutcome outcome = loop.Run();
    console.join();
    ASSERT_TRUE(closed.load());
    EXPECT_TRUE(outcome.stopped);
    EXPECT_TRUE(endedFirst) << "the handler returned before the batch had ended";
    EXPECT_LT(took, 4500u);
}

// "add", "remove" and "reset" write the profile: Ctrl+C does not cut them short, and a console
// close waits until they are done.
TEST(ProfileWriteGuard, ACloseWaitsUntilTheWritesAreDone)
{
    auto guard = std::make_unique<vw::ProfileWriteGuard>();
    EXPECT_TRUE(vw::ProfileWriteConsoleEvent(CTRL_C_EVENT)) << "handled: the process goes on";
    std::atomic<bool> returned{false};
    std::thread console([&] {
        vw::ProfileWriteConsoleEvent(CTRL_CLOSE_EVENT);
        returned = true;
    });
    Sleep(500);
    EXPECT_FALSE(returned.load());
    guard.reset();
    console.join();
    EXPECT_TRUE(returned.load());
}

}  // namespace
