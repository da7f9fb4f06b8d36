#include "run/NotificationReaction.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/Notifications.h"
#include "engine/RunContext.h"
#include "win/Format.h"

namespace {

using vw::ListRefresh;
using vw::RunView;
using vw::WideToUtf8;

constexpr int kIdle = vw::kRunIdle, kPaused = vw::kRunPaused, kRunning = vw::kRunRunning;

RunView RunIn(int runState, bool cleaning = false)
{
    RunView view;
    view.runState = runState;
    view.cleaning = cleaning;
    view.runKind = cleaning ? 1 : 0;  // as ReadRunView gives them together
    view.batchActive = runState != kIdle;
    view.hasCurrentTask = true;
    view.currentTaskName = L"文档";
    view.tasksDone = 2;
    view.filesCopied = 120;
    return view;
}

RunView WithFailed(RunView view, int failed)
{
    view.filesFailed = failed;
    return view;
}

RunView LaterRunGoing(RunView view)
{
    view.workerRunning = true;
    return view;
}

RunView NoTask(RunView view)
{
    view.hasCurrentTask = false;
    view.currentTaskName.clear();
    return view;
}

constexpr const wchar_t* kNoLook = nullptr;
constexpr const wchar_t* kNoBalloon = nullptr;

struct ReactionCase {
    const char* what;
    UINT message;
    WPARAM wParam;
    RunView view;
    ListRefresh refresh;
    bool clearBalloon;
    const wchar_t* balloonTitle;  // kNoBalloon: none
    const wchar_t* lookTooltip;   // kNoLook: the look stays
    const char* logSource;
};

TEST(NotificationReactionTest, EachMessageOfTheWorkerProtocol)
{
    const ReactionCase cases[] = {
        {"batch begins", vw::WM_BACKUP_BEGIN_MSG, 0, RunIn(kRunning), ListRefresh::AfterController, true, kNoBalloon,
         kNoLook, nullptr},
        {"low disk space", vw::WM_DISK_SPACE_LOW_MSG, L'E', RunIn(kRunning), ListRefresh::None, true, L"Vaultwren", kNoLook,
         nullptr},
        {"task starts", vw::WM_BACKUP_THREAD_START_MSG, 0, RunIn(kRunning), ListRefresh::AfterController, false,
         kNoBalloon, L"Vaultwren（正在运行备份任务“文档”）", "CVaultwrenDlg::OnBackupThreadStartMsg"},
        {"cleaning starts", vw::WM_BACKUP_THREAD_START_MSG, 0, RunIn(kRunning, true), ListRefresh::AfterController, false,
         kNoBalloon, L"Vaultwren（正在运行清理任务“文档”）", "CVaultwrenDlg::OnBackupThreadStartMsg"},
        {"start without a current task", vw::WM_BACKUP_THREAD_START_MSG, 0, NoTask(RunIn(kRunning)),
         ListRefresh::AfterController, false, kNoBalloon, L"Vaultwren（正在备份）",
         "CVaultwrenDlg::OnBackupThreadStartMsg"},
        {"task ends, batch goes on", vw::WM_BACKUP_THREAD_END_MSG, 0, RunIn(kIdle), ListRefresh::AfterController, false,
         kNoBalloon, kNoLook, nullptr},
        {"task stopped", vw::WM_BACKUP_THREAD_END_MSG, 1, RunIn(kIdle), ListRefresh::AfterController, false, kNoBalloon,
         L"Vaultwren（空闲中）", "CVaultwrenDlg::OnBackupThreadEndMsg"},
        {"cleaning ended", vw::WM_BACKUP_THREAD_END_MSG, 2, RunIn(kIdle, true), ListRefresh::AfterController, false,
         kNoBalloon, L"Vaultwren（空闲中）", "CVaultwrenDlg::OnBackupThreadEndMsg"},
        {"stopped run's end while a later run goes", vw::WM_BACKUP_THREAD_END_MSG, 1, LaterRunGoing(RunIn(kRunning)),
         ListRefresh::AfterController, false, kNoBalloon, kNoLook, nullptr},
        {"worker saw the pause request", vw::WM_BACKUP_THREAD_PAUSE_MSG, 0, RunIn(kRunning), ListRefresh::AfterController,
         false, kNoBalloon, kNoLook, nullptr},
        {"paused", vw::WM_BACKUP_THREAD_PAUSE_MSG, 1, RunIn(kPaused), ListRefresh::AfterController, false, kNoBalloon,
         L"Vaultwren（备份任务“文档”暂停中）", "CVaultwrenDlg::OnBackupThreadPauseMsg"},
        {"paused message while running: the list only", vw::WM_BACKUP_THREAD_PAUSE_MSG, 1, RunIn(kRunning),
         ListRefresh::AfterController, false, kNoBalloon, kNoLook, nullptr},
        {"resumed", vw::WM_BACKUP_THREAD_PAUSE_MSG, 2, RunIn(kRunning), ListRefresh::AfterController, false, kNoBalloon,
         L"Vaultwren（正在运行备份任务“文档”）", "CVaultwrenDlg::OnBackupThreadPauseMsg"},
        {"resumed message while paused: the list only", vw::WM_BACKUP_THREAD_PAUSE_MSG, 2, RunIn(kPaused),
         ListRefresh::AfterController, false, kNoBalloon, kNoLook, nullptr},
        {"unknown pause code: the list only", vw::WM_BACKUP_THREAD_PAUSE_MSG, 3, RunIn(kPaused),
         ListRefresh::AfterController, false, kNoBalloon, kNoLook, nullptr},
        {"batch ended by itself", vw::WM_BACKUP_FINISH_MSG, 0, RunIn(kIdle), ListRefresh::BeforeController, true,
         L"备份完成", L"Vaultwren（空闲中）", "CVaultwrenDlg::OnBackupFinishMsg"},
        {"batch stopped", vw::WM_BACKUP_FINISH_MSG, 1, RunIn(kIdle), ListRefresh::BeforeController, true, L"备份已停止",
         L"Vaultwren（空闲中）", "CVaultwrenDlg::OnBackupFinishMsg"},
        {"cleaning batch ended: idle look, no balloon", vw::WM_BACKUP_FINISH_MSG, 0, RunIn(kIdle, true),
         ListRefresh::BeforeController, true, kNoBalloon, L"Vaultwren（空闲中）", "CVaultwrenDlg::OnBackupFinishMsg"},
        {"finish of a batch a new one has followed", vw::WM_BACKUP_FINISH_MSG, 1, LaterRunGoing(RunIn(kRunning)),
         ListRefresh::AfterController, false, kNoBalloon, kNoLook, nullptr},
        {"no message of the protocol", WM_TIMER, 0, RunIn(kRunning), ListRefresh::None, false, kNoBalloon, kNoLook,
         nullptr},
    };
    for (const ReactionCase& c : cases) {
        SCOPED_TRACE(c.what);
        const vw::NotificationReaction r = vw::ReactionTo(c.message, c.wParam, c.view);
        EXPECT_EQ(r.refresh, c.refresh);
        EXPECT_EQ(r.clearBalloon, c.clearBalloon);
        ASSERT_EQ(r.balloon.has_value(), c.balloonTitle != nullptr);
        if (r.balloon) {
            EXPECT_EQ(WideToUtf8(r.balloon->title), WideToUtf8(c.balloonTitle));
        }
        ASSERT_EQ(r.look.has_value(), c.lookTooltip != nullptr);
        if (r.look) {
            EXPECT_EQ(WideToUtf8(r.look->tooltip), WideToUtf8(c.lookTooltip));
        }
        EXPECT_STREQ(r.logSource, c.logSource);
    }
}

TEST(NotificationReactionTest, BatchEndBalloonReportsTheCountersSeenBeforeTheBatchCloses)
{
    const vw::NotificationReaction ok = vw::ReactionTo(vw::WM_BACKUP_FINISH_MSG, 0, RunIn(kIdle));
    ASSERT_TRUE(ok.balloon);
    EXPECT_EQ(WideToUtf8(ok.balloon->text), WideToUtf8(L"共完成备份任务2个，成功备份120个文件"));
    EXPECT_EQ(ok.balloon->icon, vw::kBalloonInfo);

    const vw::NotificationReaction failed = vw::ReactionTo(vw::WM_BACKUP_FINISH_MSG, 1, WithFailed(RunIn(kIdle), 3));
    ASSERT_TRUE(failed.balloon);
    EXPECT_EQ(WideToUtf8(failed.balloon->text), WideToUtf8(L"共完成备份任务2个，成功备份120个文件，3个文件无法备份"));
    EXPECT_EQ(failed.balloon->icon, vw::kBalloonWarning);
}

TEST(NotificationReactionTest, LowDiskSpaceNamesTheDriveOfTheLowWord)
{
    const vw::NotificationReaction r = vw::ReactionTo(vw::WM_DISK_SPACE_LOW_MSG, 0x10000 | L'D', RunIn(kRunning));
    ASSERT_TRUE(r.balloon);
    EXPECT_EQ(WideToUtf8(r.balloon->text), WideToUtf8(L"D盘空间已小于100MB，您可以使用清理历史文件功能释放磁盘空间！"));
    EXPECT_EQ(r.balloon->icon, vw::kBalloonInfo);
}

}  // namespace
