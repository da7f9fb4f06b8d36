// The window's side of real batches: a message-only window that, like the main window, reads the
// run's values, decides its reaction, lets the controller do its part and then shows what was
// decided. Real workers copy real folders; the looks, balloons and status texts are recorded.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/Notifications.h"
#include "engine/RunContext.h"
#include "run/NotificationReaction.h"
#include "run/RunController.h"
#include "run/RunView.h"
#include "run/StatusPanel.h"
#include "support/MessageWindow.h"
#include "support/TestDrives.h"
#include "support/TestRegistry.h"
#include "task/AppSettings.h"
#include "task/CBackupItemList.h"
#include "win/Format.h"
#include "win/ProfileStore.h"
#include "win/UniqueHandle.h"

namespace {

using namespace vwtest;
using vw::WideToUtf8;

class WindowSide : public ::testing::Test {
protected:
    WindowSide()
        : key_(L"window-side"), profile_(key_.path()), context(settings), tasks(profile_, settings),
          controller(tasks, context, settings)
    {
        window.SetHandler([this](UINT message, WPARAM wParam) {
            if (message == WM_TIMER) {
                controller.HandleTimer(wParam);
                return;
            }
            const vw::NotificationReaction reaction = vw::ReactionTo(message, wParam, vw::ReadRunView(controller, context));
            controller.HandleMessage(message, wParam);
            if (reaction.balloon)
                balloons.push_back(*reaction.balloon);
            if (reaction.look) {
                looks.push_back(WideToUtf8(reaction.look->tooltip));
                if (message == vw::WM_BACKUP_THREAD_PAUSE_MSG && wParam == 1)
                    pausedPanel = vw::StatusPanelText(vw::ReadRunView(controller, context), vw::DateTime::Now());
            }
        });
        controller.ResetRun(window.get());
    }
    ~WindowSide() override
    {
        controller.StopAll();
        window.PumpFor(std::chrono::milliseconds(50));
        for (const auto& task : tasks)
            RemoveTree(task->Dest);
    }

    vw::CBackupItem& AddTask(const std::wstring& name)
    {
        vw::CBackupItem* task = tasks.AddNew();
        EXPECT_NE(task, nullptr);
        task->Name = name;
        task->Start = 0;
        task->Source = folder.path() + name;
        task->Dest = vw::Format(L"N:\\side-%lu-", GetCurrentProcessId()) + name;
        CreateDirectoryW(task->Source.c_str(), nullptr);
        task->Save();
        return *task;
    }

    bool BatchEnded() const
    {
        return window.Saw(vw::WM_BACKUP_FINISH_MSG, 0) && context.batchActive.load() == 0 && !controller.HasWorker();
    }
    bool Copying() const { return context.copying.load() && context.bytesTransferred.load() > 0; }

    vw::AppSettings settings;

private:
    TestRegistryKey key_;
    vw::ProfileStore profile_;

protected:
    vw::RunContext context;
    vw::CBackupItemList tasks;
    MessageWindow window;
    vw::RunController controller;
    ScratchFolder folder{kDiskM, L"side"};

    std::vector<std::string> looks;
    std::vector<vw::Balloon> balloons;
    std::wstring pausedPanel;
};

// The first file a listing of `folder` yields: the one the pass meets first.
std::wstring FirstListed(const std::wstring& folder)
{
    WIN32_FIND_DATAW data;
    vw::UniqueFindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (find) {
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                return data.cFileName;
        } while (FindNextFileW(find.get(), &data));
    }
    return {};
}

TEST_F(WindowSide, BatchOfTwoTasksRunsThenIdlesAndReportsItsCounters)
{
    vw::CBackupItem& first = AddTask(L"甲");
    vw::CBackupItem& second = AddTask(L"乙");
    ASSERT_TRUE(WriteFileBytes(first.Source + L"\\a.txt", "a"));
    ASSERT_TRUE(WriteFileBytes(second.Source + L"\\b.txt", "b"));
    ASSERT_TRUE(WriteFileBytes(second.Source + L"\\c.txt", "c"));
    vw::UniqueFile lock(CreateFileW((second.Source + L"\\c.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    0, nullptr));
    ASSERT_TRUE(lock);

    controller.StartAll();
    ASSERT_TRUE(window.PumpUntil([&] { return BatchEnded(); }));

    const std::vector<std::string> expectedLooks = {
        WideToUtf8(L"Vaultwren（正在运行备份任务“甲”）"),
        WideToUtf8(L"Vaultwren（正在运行备份任务“乙”）"),
        WideToUtf8(L"Vaultwren（空闲中）"),
    };
    EXPECT_EQ(looks, expectedLooks);
    ASSERT_EQ(balloons.size(), 1u);
    EXPECT_EQ(WideToUtf8(balloons[0].title), WideToUtf8(L"备份完成"));
    EXPECT_EQ(WideToUtf8(balloons[0].text), WideToUtf8(L"共完成备份任务2个，成功备份2个文件，1个文件无法备份"));
    EXPECT_EQ(balloons[0].icon, vw::kBalloonInfo);
    EXPECT_EQ(WideToUtf8(vw::StatusCaption(context.runState.load(), context.cleaningRun.load() != 0)),
              WideToUtf8(L"系统状态：空闲中"));
}

TEST_F(WindowSide, PausedRunShowsItsLiveLinesAndFailedFiles)
{
    settings.Speed = 10;
    vw::CBackupItem& task = AddTask(L"locked");
    ASSERT_TRUE(WriteFileOfSize(task.Source + L"\\a.bin", 8 << 20));
    ASSERT_TRUE(WriteFileOfSize(task.Source + L"\\b.bin", 8 << 20));
    // The file the pass meets first is locked, so the second one's slow copy runs after a failure.
    const std::wstring locked = FirstListed(task.Source);
    ASSERT_FALSE(locked.empty());
    const std::wstring copied = locked == L"a.bin" ? L"b.bin" : L"a.bin";
    vw::UniqueFile lock(CreateFileW((task.Source + L"\\" + locked).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    0, nullptr));
    ASSERT_TRUE(lock);

    controller.StartAll();
    ASSERT_TRUE(window.PumpUntil([&] { return context.filesFailed.load() > 0 && Copying(); }));
    ASSERT_TRUE(controller.RequestPause());
    ASSERT_TRUE(window.PumpUntil([&] { return !pausedPanel.empty(); }));

    const vw::RunView view = vw::ReadRunView(controller, context);
    EXPECT_EQ(view.filesFailedInTask, 1);
    EXPECT_EQ(WideToUtf8(view.currentFile), WideToUtf8(copied));
    EXPECT_EQ(WideToUtf8(vw::StatusCaption(view.runState, view.cleaning)), WideToUtf8(L"系统状态：暂停"));
    const std::wstring history = context.StatusHistory();
    ASSERT_EQ(pausedPanel.compare(0, history.size(), history), 0) << "the panel starts with the history";
    const std::wstring live = pausedPanel.substr(history.size());
    EXPECT_NE(live.find(L"\t任务“locked”：当前已备份文件0个，有1个文件无法备份，正在备份文件\r\n"), std::wstring::npos)
        << WideToUtf8(live);
    EXPECT_NE(live.find(L"\t正在备份：“" + copied + L"” "), std::wstring::npos) << WideToUtf8(live);
    EXPECT_EQ(live.size() - live.rfind(L"\t任务“locked”暂停运行"), std::wstring(L"\t任务“locked”暂停运行").size())
        << "the pause line comes last";

    ASSERT_TRUE(controller.Resume());
    ASSERT_TRUE(window.PumpUntil([&] { return BatchEnded(); }));
    const std::vector<std::string> expectedLooks = {
        WideToUtf8(L"Vaultwren（正在运行备份任务“locked”）"),
        WideToUtf8(L"Vaultwren（备份任务“locked”暂停中）"),
        WideToUtf8(L"Vaultwren（正在运行备份任务“locked”）"),
        WideToUtf8(L"Vaultwren（空闲中）"),
    };
    EXPECT_EQ(looks, expectedLooks);
    ASSERT_EQ(balloons.size(), 1u);
    EXPECT_EQ(WideToUtf8(balloons[0].text), WideToUtf8(L"共完成备份任务1个，成功备份1个文件，1个文件无法备份"));
}

TEST_F(WindowSide, StoppedBatchWarnsAndAStaleEndLeavesTheNextBatchRunning)
{
    settings.Speed = 10;
    vw::CBackupItem& task = AddTask(L"big");
    ASSERT_TRUE(WriteFileOfSize(task.Source + L"\\big.bin", 24 << 20));

    controller.StartAll();
    ASSERT_TRUE(window.PumpUntil([&] { return Copying(); }));
    controller.StopAll();
    ASSERT_TRUE(window.PumpUntil([&] { return window.Saw(vw::WM_BACKUP_FINISH_MSG, 1); }));
    ASSERT_EQ(balloons.size(), 1u);
    EXPECT_EQ(WideToUtf8(balloons[0].title), WideToUtf8(L"备份已停止"));
    // The copy the stop cancelled was neither backed up nor failed: the next run copies it.
    EXPECT_EQ(WideToUtf8(balloons[0].text), WideToUtf8(L"共完成备份任务0个，成功备份0个文件"));
    EXPECT_EQ(balloons[0].icon, vw::kBalloonWarning);
    EXPECT_EQ(looks.back(), WideToUtf8(L"Vaultwren（空闲中）"));

    // Stop and start again before the window has seen the stop's messages: their end is past.
    window.ClearLog();
    balloons.clear();
    looks.clear();
    controller.StartAll();
    ASSERT_TRUE(window.PumpUntil([&] { return Copying(); }));
    controller.StopAll();
    controller.StartAll();
    ASSERT_TRUE(controller.HasWorker());
    ASSERT_TRUE(window.PumpUntil([&] { return window.Saw(vw::WM_BACKUP_THREAD_START_MSG, 0) &&
                                              window.Saw(vw::WM_BACKUP_FINISH_MSG, 1) && Copying(); }));
    EXPECT_TRUE(balloons.empty()) << WideToUtf8(balloons.empty() ? L"" : balloons[0].text);
    ASSERT_FALSE(looks.empty());
    EXPECT_EQ(looks.back(), WideToUtf8(L"Vaultwren（正在运行备份任务“big”）"));
    EXPECT_EQ(context.runState.load(), vw::kRunRunning);
}

TEST_F(WindowSide, CleaningBatchEndsIdleWithoutABalloon)
{
    vw::CBackupItem& task = AddTask(L"clean");
    ASSERT_TRUE(WriteFileBytes(task.Source + L"\\a.txt", "a"));
    controller.StartAll();
    ASSERT_TRUE(window.PumpUntil([&] { return BatchEnded(); }));
    window.ClearLog();
    balloons.clear();
    looks.clear();

    controller.StartCleaning(&task);
    ASSERT_TRUE(window.PumpUntil([&] { return BatchEnded(); }));
    const std::vector<std::string> expectedLooks = {
        WideToUtf8(L"Vaultwren（正在运行清理任务“clean”）"),
        WideToUtf8(L"Vaultwren（空闲中）"),
        WideToUtf8(L"Vaultwren（空闲中）"),
    };
    EXPECT_EQ(looks, expectedLooks) << "the cleaning run's end, then its batch's end";
    EXPECT_TRUE(balloons.empty());
}

}  // namespace
