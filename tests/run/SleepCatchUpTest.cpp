// After a sleep: which automatic runs are due, and that each due task runs once.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/DestinationWait.h"
#include "engine/Notifications.h"
#include "engine/RunContext.h"
#include "run/RunController.h"
#include "run/SleepCatchUp.h"
#include "support/MessageWindow.h"
#include "support/TestDrives.h"
#include "support/TestRegistry.h"
#include "task/AppSettings.h"
#include "task/CBackupItemList.h"
#include "win/Format.h"
#include "win/ProfileStore.h"

namespace {

using vw::DateSpan;
using vw::DateTime;

class SleepCatchUp : public ::testing::Test {
protected:
    SleepCatchUp() : key_(L"sleep"), profile(key_.path()), context(settings), tasks(profile, settings),
                     controller(tasks, context, settings)
    {
        controller.ResetRun(window.get());
        window.SetHandler([this](UINT message, WPARAM wParam) { controller.HandleMessage(message, wParam); });
    }

    vw::CBackupItem& AddTask(const std::wstring& name, const DateTime& next)
    {
        vw::CBackupItem* task = tasks.AddNew();
        task->Name = name;
        task->Source = folder.path() + name;
        task->Dest = folder.path() + name + L"备份";
        ::CreateDirectoryW(task->Source.c_str(), nullptr);
        vwtest::WriteFileBytes(task->Source + L"\\a.txt", "data");
        task->Save();
        task->SetNextTime(next);
        return *task;
    }

    static std::vector<std::wstring> NamesOf(const std::vector<vw::CBackupItem*>& due)
    {
        std::vector<std::wstring> names;
        for (const auto* task : due)
            names.push_back(task->Name);
        return names;
    }

private:
    vwtest::TestRegistryKey key_;

protected:
    vw::ProfileStore profile;
    vw::AppSettings settings;
    vw::RunContext context;
    vw::CBackupItemList tasks;
    vwtest::MessageWindow window;
    vw::RunController controller;
    vwtest::ScratchFolder folder{vwtest::kDiskM, L"sleep"};
};

TEST_F(SleepCatchUp, TasksWhoseNextRunPassedAreDueOthersAreNot)
{
    const DateTime now = DateTime::FromParts(2024, 3, 5, 8, 0, 0);
    AddTask(L"昨天", now - DateSpan(1.0));
    AddTask(L"刚才", now);
    AddTask(L"明天", now + DateSpan(1.0));
    AddTask(L"从不", DateTime::Never());
    AddTask(L"无效", DateTime::FromParts(2024, 2, 30, 0, 0, 0));
    EXPECT_EQ(NamesOf(vw::TasksDueAt(tasks, now)), (std::vector<std::wstring>{L"昨天", L"刚才"}));
}

TEST_F(SleepCatchUp, EachDueTaskRunsOnceAndNothingElseStarts)
{
    settings.MinTime = 0;
    const DateTime now = DateTime::Now();
    vw::CBackupItem& slept = AddTask(L"过期", now - DateSpan(3.0));  // three daily periods slept through
    vw::CBackupItem& later = AddTask(L"未到", now + DateSpan(1.0));

    vw::CatchUpAfterSleep(controller, tasks, now);
    ASSERT_TRUE(window.PumpUntil(
        [&] { return window.Saw(vw::WM_BACKUP_FINISH_MSG, 0) && context.batchActive.load() == 0; }));
    EXPECT_TRUE(vwtest::FileExists(slept.Dest + L"\\a.txt"));
    EXPECT_FALSE(vwtest::FileExists(later.Dest + L"\\a.txt"));
    int runs = 0;
    for (const auto& received : window.Log())
        runs += received.message == vw::WM_BACKUP_THREAD_START_MSG ? 1 : 0;
    EXPECT_EQ(runs, 1);
}

// Right after a wake the destination's network may not be back: the catch-up run waits for it,
// bounded, and a destination that is there costs no wait.
TEST_F(SleepCatchUp, ACatchUpRunWaitsBoundedForItsDestination)
{
    settings.MinTime = 0;
    const struct {
        const char* what;
        std::wstring dest;
        ULONGLONG atLeastMs;
        ULONGLONG belowMs;
    } cases[] = {
        {"destination there", folder.path() + L"在备份", 0, 1500},
        {"destination's drive not there", std::wstring(1, vwtest::kNoRoot) + L":\\备份", 2000, 6000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const DateTime now = DateTime::Now();
        vw::CBackupItem& task = AddTask(L"过期", now - DateSpan(1.0));
        task.Dest = c.dest;
        window.ClearLog();
        const ULONGLONG start = GetTickCount64();
        vw::CatchUpAfterSleep(controller, tasks, now, 2000);
        ASSERT_TRUE(window.PumpUntil([&] {
            return (window.Saw(vw::WM_BACKUP_FINISH_MSG, 0) || window.Saw(vw::WM_BACKUP_FINISH_MSG, 1)) &&
                   context.batchActive.load() == 0;
        }));
        const ULONGLONG took = GetTickCount64() - start;
        EXPECT_GE(took, c.atLeastMs);
        EXPECT_LT(took, c.belowMs);
        EXPECT_EQ(task.destinationWaitMs.load(), 0u) << "the next run waits for nothing";
        tasks.Remove(task);
    }
}

TEST(DestinationRoot, IsTheDriveOrTheShare)
{
    const struct {
        const wchar_t* dest;
        const wchar_t* root;
    } cases[] = {
        {L"D:\\备份\\文档", L"D:\\"},
        {L"d:", L"d:\\"},
        {L"\\\\nas\\share\\备份", L"\\\\nas\\share\\"},
        {L"\\\\nas\\share", L"\\\\nas\\share\\"},
        {L"\\\\nas", L""},
        {L"备份", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(vw::WideToUtf8(vw::DestinationRoot(c.dest)), vw::WideToUtf8(c.root)) << vw::WideToUtf8(c.dest);
}

TEST_F(SleepCatchUp, NothingDueBeginsNoBatch)
{
    const DateTime now = DateTime::Now();
    AddTask(L"未到", now + DateSpan(1.0));
    vw::CatchUpAfterSleep(controller, tasks, now);
    window.PumpFor(std::chrono::milliseconds(300));
    EXPECT_TRUE(window.Log().empty());
    EXPECT_EQ(context.StatusHistory(), L"");
}

}  // namespace
