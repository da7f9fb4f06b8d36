// The run notifications on their own: a real controller with real workers posting to a plain
// window whose only handler is RunNotifications, a tray on that window, a log in a folder, and a
// window side that records what it was asked to do.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "engine/Notifications.h"
#include "engine/RunContext.h"
#include "run/LogWriter.h"
#include "run/RunController.h"
#include "support/MessageWindow.h"
#include "support/TestDrives.h"
#include "support/TestRegistry.h"
#include "task/AppSettings.h"
#include "task/CBackupItemList.h"
#include "ui/MainTray.h"
#include "ui/RunNotifications.h"
#include "win/Format.h"
#include "win/ProfileStore.h"
#include "win/UniqueHandle.h"

namespace {

using namespace std::chrono_literals;
using namespace vwtest;

// A top-level window that hands everything to the notifications, and timers to the controller.
class NotifiedWindow {
public:
    NotifiedWindow()
    {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &NotifiedWindow::Proc;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"VwRunNotificationsTest";
        ::RegisterClassW(&windowClass);
        window_.reset(::CreateWindowExW(0, windowClass.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                        windowClass.hInstance, nullptr));
        ::SetWindowLongPtrW(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    HWND get() const { return window_.get(); }
    void Route(vw::RunNotifications* notifications, vw::RunController* controller)
    {
        notifications_ = notifications;
        controller_ = controller;
    }
    bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 60s) const
    {
        return vwtest::PumpMessagesUntil(done, limit);
    }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<NotifiedWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self && self->notifications_ && self->notifications_->OnMessage(message, wParam, lParam))
            return 0;
        if (self && self->controller_ && message == WM_TIMER) {
            self->controller_->HandleTimer(wParam);
            return 0;
        }
        return ::DefWindowProcW(window, message, wParam, lParam);
    }

    vw::UniqueWindow window_;
    vw::RunNotifications* notifications_ = nullptr;
    vw::RunController* controller_ = nullptr;
};

class RunNotificationsTest : public ::testing::Test {
protected:
    RunNotificationsTest()
        : key_(L"ui-notify"), profile_(key_.path()), context(settings), tasks(profile_, settings),
          controller(tasks, context, settings),
          notifications(controller, context, tray, log,
                        {[this] { ++refreshes; }, [this] { ++commandUpdates; },
                         [this](const std::wstring& question) {
                             questions.push_back(question);
                             return answer;
                         },
                         [this](const std::wstring& target) { offered.push_back(target); }})
    {
        tray.Create(window.get(), ::GetModuleHandleW(nullptr));
        window.Route(&notifications, &controller);
        controller.ResetRun(window.get());
    }
    ~RunNotificationsTest() override
    {
        controller.StopAll();
        window.PumpUntil([] { return false; }, 50ms);
        tray.Delete();
        for (const auto& task : tasks)
            RemoveTree(task->Dest);
    }

    vw::CBackupItem& AddTask(const std::wstring& name, int files)
    {
        vw::CBackupItem* task = tasks.AddNew();
        EXPECT_NE(task, nullptr);
        task->Name = name;
        task->Start = 0;
        task->Source = folder.path() + name;
        task->Dest = vw::Format(L"N:\\notify-%lu-", ::GetCurrentProcessId()) + name;
        ::CreateDirectoryW(task->Source.c_str(), nullptr);
        for (int i = 0; i < files; ++i)
            EXPECT_TRUE(WriteFileBytes(task->Source + vw::Format(L"\\f%03d.txt", i), "f"));
        task->Save();
        return *task;
    }
    bool BatchEnded() const { return context.batchActive.load() == 0 && !controller.HasWorker(); }
    // How often the log holds `line` ("<source>() <text>").
    size_t LogLines(const std::wstring& line) const
    {
        WIN32_FIND_DATAW found{};
        const vw::UniqueFindHandle find(::FindFirstFileW((logFolder.path() + L"VaultwrenLog*.txt").c_str(), &found));
        if (!find)
            return 0;
        const std::string text = ReadFileBytes(logFolder.path() + found.cFileName);
        const int size = ::WideCharToMultiByte(936, 0, line.c_str(), -1, nullptr, 0, nullptr, nullptr);
        std::string gbk(static_cast<size_t>(size), '\0');
        ::WideCharToMultiByte(936, 0, line.c_str(), -1, gbk.data(), size, nullptr, nullptr);
        gbk.resize(static_cast<size_t>(size) - 1);
        size_t count = 0;
        for (size_t at = text.find(gbk); at != std::string::npos; at = text.find(gbk, at + 1))
            ++count;
        return count;
    }

private:
    TestRegistryKey key_;
    vw::ProfileStore profile_;

protected:
    vw::AppSettings settings;
    vw::RunContext context;
    vw::CBackupItemList tasks;
    vw::RunController controller;
    ScratchFolder folder{kDiskM, L"notify"};
    ScratchFolder logFolder{kDiskM, L"notify-log"};
    vw::LogWriter log{true, logFolder.path()};
    NotifiedWindow window;
    vw::MainTray tray;
    vw::RunNotifications notifications;

    int refreshes = 0;
    int commandUpdates = 0;
    std::vector<std::wstring> questions;
    std::vector<std::wstring> offered;
    bool answer = false;
};

TEST_F(RunNotificationsTest, ABatchRefreshesTheWindowLogsItsTrayLooksAndEndsIdle)
{
    AddTask(L"甲", 2);
    controller.StartAll();
    ASSERT_TRUE(window.PumpUntil([&] { return BatchEnded(); }));
    window.PumpUntil([] { return false; }, 200ms);  // the batch's last messages
    EXPECT_GE(refreshes, 3) << "its begin, its run's start and end, its finish";
    EXPECT_GE(commandUpdates, refreshes);
    EXPECT_EQ(LogLines(L"CVaultwrenDlg::OnBackupThreadStartMsg() Vaultwren修改托盘信息"), 1u);
    EXPECT_EQ(LogLines(L"CVaultwrenDlg::OnBackupFinishMsg() Vaultwren修改托盘信息"), 1u);
    EXPECT_TRUE(questions.empty());
    EXPECT_TRUE(offered.empty());
    EXPECT_EQ(context.runState.load(), vw::kRunIdle);
}

// Only the run messages are taken; one of an ended generation is taken and dropped.
TEST_F(RunNotificationsTest, AStaleRunMessageIsDroppedAndOtherMessagesAreNotTaken)
{
    LPARAM current = 0;
    LPARAM stale = 0;
    for (WORD g = 0; current == stale; ++g) {
        const LPARAM lParam = MAKELPARAM(0, g);
        (context.IsCurrent(lParam) ? current : stale) = lParam;
    }
    EXPECT_FALSE(notifications.OnMessage(WM_TIMER, 0, current));
    EXPECT_FALSE(notifications.OnMessage(WM_USER + 1, 0, current));

    EXPECT_TRUE(notifications.OnMessage(vw::WM_BACKUP_THREAD_START_MSG, 0, stale));
    EXPECT_EQ(refreshes + commandUpdates, 0);
    EXPECT_EQ(LogLines(L"CVaultwrenDlg::OnBackupThreadStartMsg() Vaultwren修改托盘信息"), 0u);

    EXPECT_TRUE(notifications.OnMessage(vw::WM_BACKUP_THREAD_START_MSG, 0, current));
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(commandUpdates, 1);
    EXPECT_EQ(LogLines(L"CVaultwrenDlg::OnBackupThreadStartMsg() Vaultwren修改托盘信息"), 1u);
}

// The brake's question comes once the batch is closed; no keeps the files, yes runs the task again
// and moves them into its history.
TEST_F(RunNotificationsTest, HeldRemovalsAreAskedOnceAndYesRunsTheTaskAgainWithThem)
{
    vw::CBackupItem& task = AddTask(L"清空", 120);
    controller.StartAll();
    ASSERT_TRUE(window.PumpUntil([&] { return BatchEnded(); }));
    ASSERT_TRUE(RemoveTree(task.Source));
    ASSERT_TRUE(::CreateDirectoryW(task.Source.c_str(), nullptr));

    for (const bool yes : {false, true}) {
        SCOPED_TRACE(yes ? "yes" : "no");
        questions.clear();
        answer = yes;
        ASSERT_TRUE(controller.Enqueue(&task, true, true));
        ASSERT_TRUE(window.PumpUntil([&] { return !questions.empty() && BatchEnded(); }));
        window.PumpUntil([] { return false; }, 300ms);
        ASSERT_EQ(questions.size(), 1u) << "asked once";
        EXPECT_EQ(questions.front(), vw::HeldRemovalsQuestion(L"清空", 120));
        EXPECT_EQ(FileExists(task.Dest + L"\\f000.txt"), !yes);
        EXPECT_EQ(FileExists(task.Dest + L"\\_历史文件\\f000.txt"), yes);
    }
}

}  // namespace
