// The real main window from its template, driven by command ids and standard control messages from
// another thread, as a script would drive it: rows, toolbar, status panel and tray read back from
// the controls, real runs into real folders on the test drives.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "MainWindowDriver.h"
#include "MainWindowLayout.h"
#include "engine/Notifications.h"
#include "resources/resource.h"
#include "run/LogWriter.h"
#include "run/RunController.h"
#include "support/MessageBoxAnswerer.h"
#include "support/ModalDriver.h"
#include "support/Screenshot.h"
#include "support/TestDrives.h"
#include "task/CBackupItemList.h"
#include "ui/CTrayIcon.h"
#include "ui/Dpi.h"
#include "win/Format.h"
#include "win/UniqueHandle.h"

namespace {

using namespace std::chrono_literals;
using vwtest::MainWindowDriver;
using vwtest::Rows;

constexpr wchar_t kIdleCaption[] = L"系统状态：空闲中";

class MainWindow : public vwtest::MainWindowFixture {
protected:
    MainWindow() : MainWindowFixture(L"ui", L"ui", L"备份") {}

    static std::vector<std::wstring> Names(const Rows& rows)
    {
        std::vector<std::wstring> names;
        for (const auto& row : rows)
            names.push_back(row.at(1));
        return names;
    }
    static bool PanelHas(const MainWindowDriver& w, const std::wstring& text)
    {
        return w.Text(IDC_STATUS_PANEL).find(text) != std::wstring::npos;
    }
};

TEST_F(MainWindow, ComesFromItsTemplateWithToolbarColumnsAndOneRowPerTask)
{
    AddTask(L"文档");
    AddTask(L"照片");
    AddTask(L"代码");
    auto w = Open();

    wchar_t className[64] = {};
    ::GetClassNameW(w->window(), className, 64);
    EXPECT_STREQ(className, L"CVaultwren");
    EXPECT_EQ(vwtest::WindowText(w->window()), L"Vaultwren v1.10");
    EXPECT_EQ(w->Text(IDC_TASK_LIST_LABEL), L"备份任务列表：");
    EXPECT_EQ(w->Text(IDC_STATUS_GROUP), kIdleCaption);

    const std::vector<std::wstring> headings{L"序号", L"名称", L"来源文件夹", L"目标文件夹", L"状态",
                                             L"下次自动备份时间", L"上次成功备份时间"};
    EXPECT_EQ(vwtest::ListViewHeadings(w->List()), headings);
    const std::vector<std::wstring> labels{L"新增", L"修改", L"删除", L"启动", L"暂停",
                                           L"停止", L"向上", L"向下", L"选项", L"关于"};
    EXPECT_EQ(vwtest::ToolbarLabels(w->Toolbar()), labels);

    const Rows rows = w->ListRows();
    ASSERT_EQ(rows.size(), 3u);
    const wchar_t* names[] = {L"文档", L"照片", L"代码"};
    for (size_t i = 0; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].size(), 7u);
        EXPECT_EQ(rows[i][0], std::to_wstring(i + 1));
        EXPECT_EQ(rows[i][1], names[i]);
        EXPECT_EQ(rows[i][2], folder.path() + names[i]);
        EXPECT_EQ(rows[i][3], DestOf(names[i]));
        EXPECT_EQ(rows[i][6], L"") << "never backed up: an empty cell";
    }
}

TEST_F(MainWindow, ToolbarFollowsTheSelectionWhileIdle)
{
    AddTask(L"甲");
    AddTask(L"乙");
    AddTask(L"丙");
    auto w = Open();

    struct Case {
        int select;  // -1: none
        bool edit, remove, up, down;
    };
    const Case cases[] = {
        {-1, false, false, false, false},
        {0, true, true, false, true},
        {1, true, true, true, true},
        {2, true, true, true, false},
    };
    for (const Case& c : cases) {
        if (c.select >= 0)
            w->Select(c.select);
        w->Command(0);  // a round trip: what the selection changed is done
        SCOPED_TRACE(c.select);
        EXPECT_TRUE(w->ButtonEnabled(ID_ADD_TASK));
        EXPECT_EQ(w->ButtonEnabled(ID_EDIT_TASK), c.edit);
        EXPECT_EQ(w->ButtonEnabled(ID_DELETE_TASK), c.remove);
        EXPECT_EQ(w->ButtonEnabled(ID_MOVE_UP), c.up);
        EXPECT_EQ(w->ButtonEnabled(ID_MOVE_DOWN), c.down);
        EXPECT_TRUE(w->ButtonEnabled(ID_START));
        EXPECT_FALSE(w->ButtonEnabled(ID_PAUSE));
        EXPECT_FALSE(w->ButtonEnabled(ID_STOP));
        EXPECT_TRUE(w->ButtonEnabled(ID_OPTIONS));
        EXPECT_TRUE(w->ButtonEnabled(ID_ABOUT));
    }
}

TEST_F(MainWindow, DeleteAsksFirstAndRemovesTheTaskOnlyOnOk)
{
    AddTask(L"甲");
    AddTask(L"乙");
    AddTask(L"丙");
    auto w = Open();
    w->Select(1);
    {
        vwtest::MessageBoxAnswerer cancel(IDCANCEL);
        w->Command(ID_DELETE_TASK);
        EXPECT_EQ(cancel.Texts(), std::vector<std::wstring>{L"真的要删除备份任务“乙”吗？"});
    }
    EXPECT_EQ(Names(w->ListRows()), (std::vector<std::wstring>{L"甲", L"乙", L"丙"}));
    {
        vwtest::MessageBoxAnswerer ok(IDOK);
        w->Command(ID_DELETE_TASK);
        EXPECT_EQ(ok.Texts().size(), 1u);
    }
    const Rows rows = w->ListRows();
    EXPECT_EQ(Names(rows), (std::vector<std::wstring>{L"甲", L"丙"}));
    EXPECT_EQ(rows.at(1).at(0), L"2");
    // The profile lost the task as well: a fresh list reads two.
    vw::CBackupItemList stored(profile, settings);
    ASSERT_TRUE(stored.LoadAll());
    EXPECT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[1].Name, L"丙");
}

TEST_F(MainWindow, UpAndDownSwapWithTheNeighbourAndSelectIt)
{
    AddTask(L"甲");
    AddTask(L"乙");
    AddTask(L"丙");
    auto w = Open();
    struct Case {
        int select;
        UINT command;
        std::vector<std::wstring> names;
        int selected;
    };
    const Case cases[] = {
        {1, ID_MOVE_UP, {L"乙", L"甲", L"丙"}, 0},
        {0, ID_MOVE_DOWN, {L"甲", L"乙", L"丙"}, 1},
        {1, ID_MOVE_DOWN, {L"甲", L"丙", L"乙"}, 2},
        {2, ID_MOVE_DOWN, {L"甲", L"丙", L"乙"}, 2},  // the last row goes nowhere
        {0, ID_MOVE_UP, {L"甲", L"丙", L"乙"}, 0},    // nor the first
    };
    for (const Case& c : cases) {
        w->Select(c.select);
        w->Command(c.command);
        EXPECT_EQ(Names(w->ListRows()), c.names) << c.select << " " << c.command;
        EXPECT_EQ(w->SelectionMark(), c.selected);
    }
    vw::CBackupItemList stored(profile, settings);
    ASSERT_TRUE(stored.LoadAll());
    EXPECT_EQ(stored[1].Name, L"丙");
}

TEST_F(MainWindow, StartBacksUpIntoARealFolderAndTheWindowShowsTheRun)
{
    AddTask(L"甲", 5);
    AddTask(L"乙", 3);
    auto w = Open();

    w->Command(ID_START);
    ASSERT_TRUE(w->WaitUntil([&] { return PanelHas(*w, L"备份任务完成！"); }));
    ASSERT_TRUE(w->WaitUntil([&] { return w->Text(IDC_STATUS_GROUP) == kIdleCaption; }));

    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(vwtest::FileExists(DestOf(L"甲") + vw::Format(L"\\f%02d.txt", i)));
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(vwtest::FileExists(DestOf(L"乙") + vw::Format(L"\\f%02d.txt", i)));
    EXPECT_TRUE(PanelHas(*w, L"共完成备份任务2个，成功备份8个文件"));
    const Rows rows = w->ListRows();
    ASSERT_EQ(rows.size(), 2u);
    for (const auto& row : rows)
        EXPECT_EQ(row.at(6).size(), 19u) << "the time of the successful run";
    EXPECT_TRUE(w->ButtonEnabled(ID_START));
    EXPECT_FALSE(w->ButtonEnabled(ID_STOP));
}

TEST_F(MainWindow, PauseResumeAndStopFromTheToolbar)
{
    // 150 ms a chunk: the big file takes about 15 s, so the panel's 5-second refresh shows its copy.
    settings.Speed = 50;
    AddTask(L"大", 0, 100u << 20);
    auto w = Open();

    w->Command(ID_START);
    ASSERT_TRUE(w->WaitUntil([&] { return PanelHas(*w, L"正在备份：“"); })) << w->Text(IDC_STATUS_PANEL);
    EXPECT_EQ(w->Text(IDC_STATUS_GROUP), L"系统状态：正在备份");
    struct Buttons {
        bool start, pause, stop, add;
    };
    const auto expectButtons = [&](const Buttons& b) {
        EXPECT_EQ(w->ButtonEnabled(ID_START), b.start);
        EXPECT_EQ(w->ButtonEnabled(ID_PAUSE), b.pause);
        EXPECT_EQ(w->ButtonEnabled(ID_STOP), b.stop);
        EXPECT_EQ(w->ButtonEnabled(ID_ADD_TASK), b.add);
    };
    expectButtons({false, true, true, false});

    w->Command(ID_PAUSE);
    ASSERT_TRUE(w->WaitUntil([&] { return w->Text(IDC_STATUS_GROUP) == L"系统状态：暂停"; }));
    EXPECT_TRUE(w->WaitUntil([&] { return PanelHas(*w, L"任务“大”暂停运行"); })) << w->Text(IDC_STATUS_PANEL);
    expectButtons({true, false, true, false});

    w->Command(ID_START);
    ASSERT_TRUE(w->WaitUntil([&] { return w->Text(IDC_STATUS_GROUP) == L"系统状态：正在备份"; }));
    expectButtons({false, true, true, false});

    w->Command(ID_STOP);
    ASSERT_TRUE(w->WaitUntil([&] { return w->Text(IDC_STATUS_GROUP) == kIdleCaption; }));
    EXPECT_TRUE(w->WaitUntil([&] { return PanelHas(*w, L"备份任务被强行终止！"); }));
    expectButtons({true, false, false, true});
    EXPECT_FALSE(vwtest::FileExists(DestOf(L"大") + L"\\big.bin")) << "a stopped copy leaves no partial file";
}

// The run messages that reach a window, recorded on its thread as they are taken from its queue.
class RunMessageRecorder {
public:
    explicit RunMessageRecorder(HWND window)
    {
        target_ = window;
        hook_.reset(::SetWindowsHookExW(WH_GETMESSAGE, &RunMessageRecorder::Hook, nullptr,
                                        ::GetWindowThreadProcessId(window, nullptr)));
    }
    ~RunMessageRecorder() { target_ = nullptr; }
    RunMessageRecorder(const RunMessageRecorder&) = delete;
    RunMessageRecorder& operator=(const RunMessageRecorder&) = delete;

    bool ok() const { return hook_.valid(); }
    size_t Count() const
    {
        std::lock_guard guard(lock_);
        return seen_.size();
    }
    // The last one of `message` with this wParam; a zero message when none came.
    MSG Last(UINT message, WPARAM wParam) const
    {
        std::lock_guard guard(lock_);
        for (auto it = seen_.rbegin(); it != seen_.rend(); ++it)
            if (it->message == message && it->wParam == wParam)
                return *it;
        return MSG{};
    }

private:
    static LRESULT CALLBACK Hook(int code, WPARAM removal, LPARAM data)
    {
        const auto* msg = reinterpret_cast<const MSG*>(data);
        if (code == HC_ACTION && removal == PM_REMOVE && msg->hwnd == target_ &&
            msg->message >= vw::WM_DISK_SPACE_LOW_MSG && msg->message <= vw::WM_BACKUP_THREAD_PAUSE_MSG) {
            std::lock_guard guard(lock_);
            seen_.push_back(*msg);
        }
        return ::CallNextHookEx(nullptr, code, removal, data);
    }

    static inline std::atomic<HWND> target_{nullptr};
    static inline std::mutex lock_;
    static inline std::vector<MSG> seen_;
    vw::UniqueHook hook_;
};

// What a run posted before a stop ended it is not acted on when it comes after; what the window's
// current run posts is. The window's own log shows what it did: a tray look changed by a message
// leaves a line naming the message.
TEST_F(MainWindow, AMessageOfAStoppedRunIsNotActedOnOneOfTheCurrentRunIs)
{
    settings.Speed = 50;
    AddTask(L"大", 0, 100u << 20);
    vwtest::ScratchFolder logFolder(vwtest::kDiskM, L"ui-stale-log");
    vw::LogWriter fileLog(true, logFolder.path());
    const auto startLines = [&] {
        WIN32_FIND_DATAW found{};
        const vw::UniqueFindHandle find(::FindFirstFileW((logFolder.path() + L"VaultwrenLog*.txt").c_str(), &found));
        if (!find)
            return size_t{0};
        const std::string text = vwtest::ReadFileBytes(logFolder.path() + found.cFileName);
        const std::string line = "CVaultwrenDlg::OnBackupThreadStartMsg()";
        size_t count = 0;
        for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1))
            ++count;
        return count;
    };
    MainWindowDriver w(profile, settings, fileLog);
    ASSERT_NE(w.window(), nullptr);
    RunMessageRecorder recorder(w.window());
    ASSERT_TRUE(recorder.ok());

    w.Command(ID_START);
    ASSERT_TRUE(w.WaitUntil([&] { return PanelHas(w, L"正在备份：“"); })) << w.Text(IDC_STATUS_PANEL);
    w.Command(ID_STOP);
    ASSERT_TRUE(w.WaitUntil([&] { return w.Text(IDC_STATUS_GROUP) == kIdleCaption; }));
    ASSERT_TRUE(w.WaitUntil([&] { return recorder.Last(vw::WM_BACKUP_FINISH_MSG, 1).message != 0; }));
    const MSG stopped = recorder.Last(vw::WM_BACKUP_THREAD_START_MSG, 0);
    const MSG current = recorder.Last(vw::WM_BACKUP_FINISH_MSG, 1);
    ASSERT_NE(stopped.message, 0u);
    ASSERT_NE(HIWORD(stopped.lParam), HIWORD(current.lParam));
    ASSERT_EQ(startLines(), 1u);
    const std::wstring panel = w.Text(IDC_STATUS_PANEL);
    const Rows rows = w.ListRows();

    // The window has taken a posted message from its queue: a command sent now is handled after it.
    const auto handled = [&](size_t before) {
        ASSERT_TRUE(w.WaitUntil([&] { return recorder.Count() > before; }, 10s));
        w.Command(0);
    };

    // The stopped run's start again: nothing changes.
    size_t before = recorder.Count();
    ::PostMessageW(w.window(), stopped.message, stopped.wParam, stopped.lParam);
    handled(before);
    EXPECT_EQ(startLines(), 1u);
    EXPECT_EQ(w.Text(IDC_STATUS_PANEL), panel);
    EXPECT_EQ(w.ListRows(), rows);
    EXPECT_EQ(w.Text(IDC_STATUS_GROUP), kIdleCaption);

    // The same start in the current generation is acted on.
    before = recorder.Count();
    ::PostMessageW(w.window(), vw::WM_BACKUP_THREAD_START_MSG, 0, current.lParam);
    handled(before);
    EXPECT_EQ(startLines(), 2u);
}

TEST_F(MainWindow, EscapeAndTheCloseBoxHideEnterDoesNothing)
{
    AddTask(L"甲");
    auto w = Open();
    w->Command(ID_SHOW_WINDOW);
    ASSERT_TRUE(::IsWindowVisible(w->window()));

    ::PostMessageW(w->List(), WM_KEYDOWN, VK_RETURN, 0);
    ::PostMessageW(w->List(), WM_KEYUP, VK_RETURN, 0);
    w->Command(0);  // the posted keys are handled before this
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(w->Running());
    EXPECT_TRUE(::IsWindowVisible(w->window()));

    ::PostMessageW(w->List(), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(w->WaitUntil([&] { return !::IsWindowVisible(w->window()); }, 5s));
    EXPECT_TRUE(w->Running());

    w->Command(ID_SHOW_WINDOW);
    ASSERT_TRUE(::IsWindowVisible(w->window()));
    ::SendMessageW(w->window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(::IsWindowVisible(w->window()));
    EXPECT_TRUE(w->Running());

    ::PostMessageW(w->window(), vw::WM_TRAY_NOTIFY_MSG, vw::kTrayIconId, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(w->WaitUntil([&] { return ::IsWindowVisible(w->window()) != FALSE; }, 5s));
}

TEST_F(MainWindow, ExitDuringABackupStopsTheBatchLeavesNoPartialFileAndRemovesTheTrayIcon)
{
    settings.Speed = 50;
    AddTask(L"大", 0, 100u << 20);
    auto w = Open();
    const HWND window = w->window();

    w->Command(ID_START);
    ASSERT_TRUE(w->WaitUntil([&] { return PanelHas(*w, L"正在备份：“"); }));
    NOTIFYICONDATAW probe{};
    probe.cbSize = sizeof(probe);
    probe.hWnd = window;
    probe.uID = vw::kTrayIconId;
    const bool iconShown = ::Shell_NotifyIconW(NIM_MODIFY, &probe) != FALSE;

    w->Exit();
    EXPECT_FALSE(w->Running() && ::IsWindow(window));
    EXPECT_EQ(w->Result(), IDCANCEL);
    EXPECT_FALSE(vwtest::FileExists(DestOf(L"大") + L"\\big.bin"));
    if (iconShown) {
        EXPECT_FALSE(::Shell_NotifyIconW(NIM_MODIFY, &probe)) << "the icon went with the window";
    }
}

}  // namespace

namespace {

using vwtest::ClientRectOf;

TEST_F(MainWindow, TheListTakesWhatTheWindowGrowsByThePanelKeepsToTheBottom)
{
    auto w = Open();
    const RECT list = ClientRectOf(w->List());
    const RECT panel = ClientRectOf(w->Item(IDC_STATUS_PANEL));
    RECT frame{};
    ::GetWindowRect(w->window(), &frame);
    ::SetWindowPos(w->window(), nullptr, 0, 0, frame.right - frame.left + 200, frame.bottom - frame.top + 100,
                   SWP_NOMOVE | SWP_NOZORDER);

    const RECT grownList = ClientRectOf(w->List());
    const RECT grownPanel = ClientRectOf(w->Item(IDC_STATUS_PANEL));
    EXPECT_EQ(grownList.right - grownList.left, list.right - list.left + 200);
    EXPECT_EQ(grownList.bottom - grownList.top, list.bottom - list.top + 100);
    EXPECT_EQ(grownPanel.top, panel.top + 100);
    EXPECT_EQ(grownPanel.bottom - grownPanel.top, panel.bottom - panel.top);

    // Never smaller than the template's size.
    ::SetWindowPos(w->window(), nullptr, 0, 0, 200, 150, SWP_NOMOVE | SWP_NOZORDER);
    RECT shrunk{};
    ::GetWindowRect(w->window(), &shrunk);
    EXPECT_EQ(shrunk.right - shrunk.left, frame.right - frame.left);
}

TEST_F(MainWindow, AMassRemovalIsAskedAboutAndYesRunsTheTaskAgainWithIt)
{
    AddTask(L"甲", 120);
    auto w = Open();
    w->Command(ID_START);
    ASSERT_TRUE(w->WaitUntil([&] { return PanelHas(*w, L"备份任务完成！"); }));
    ASSERT_TRUE(w->WaitUntil([&] { return w->Text(IDC_STATUS_GROUP) == kIdleCaption; }));
    const std::wstring source = folder.path() + L"甲";
    ASSERT_TRUE(vwtest::RemoveTree(source));
    ASSERT_TRUE(::CreateDirectoryW(source.c_str(), nullptr));

    for (const int answer : {IDNO, IDYES}) {
        SCOPED_TRACE(answer == IDYES ? "yes" : "no");
        vwtest::MessageBoxAnswerer user(answer);
        w->Command(ID_START);
        ASSERT_TRUE(w->WaitUntil([&] { return !user.Texts().empty(); }));
        EXPECT_EQ(user.Texts().front(), vw::HeldRemovalsQuestion(L"甲", 120));
        EXPECT_TRUE(user.Boxes().front().yesNo);
        if (answer == IDYES) {
            ASSERT_TRUE(w->WaitUntil([&] { return vwtest::FileExists(DestOf(L"甲") + L"\\_历史文件\\f119.txt"); }));
        }
        ASSERT_TRUE(w->WaitUntil([&] { return w->Text(IDC_STATUS_GROUP) == kIdleCaption; }));
        EXPECT_EQ(vwtest::FileExists(DestOf(L"甲") + L"\\f00.txt"), answer == IDNO);
        EXPECT_EQ(user.Texts().size(), 1u) << "asked once";
    }
}

}  // namespace

TEST_F(MainWindow, TheLabelSitsJustBelowTheToolbarAndTheControlsFollowWithoutOverlapping)
{
    auto w = Open();
    const UINT dpi = vw::WindowDpi(w->window());
    RECT frame{};
    ::GetWindowRect(w->window(), &frame);
    const SIZE sizes[] = {{0, 0}, {200, 100}, {0, 0}};
    for (const SIZE& grow : sizes) {
        SCOPED_TRACE(testing::Message() << "window grown by " << grow.cx << "x" << grow.cy);
        ::SetWindowPos(w->window(), nullptr, 0, 0, frame.right - frame.left + grow.cx,
                       frame.bottom - frame.top + grow.cy, SWP_NOMOVE | SWP_NOZORDER);
        vwtest::ExpectStackedUnderTheToolbar(w->window(), dpi);
    }
}

// Moved to a screen of another DPI, the window takes the rectangle Windows suggests and lays itself
// out again at that DPI: list columns, toolbar images, font and the stack under the toolbar. Back
// on the first screen it is as it was.
TEST_F(MainWindow, ADpiChangeLaysTheWindowOutAgainAtTheNewDpi)
{
    AddTask(L"文档");
    AddTask(L"照片");
    auto w = Open();
    const UINT first = vw::WindowDpi(w->window());
    struct Look {
        RECT frame;
        RECT client;
        std::vector<int> columns;
        int toolbarHeight;
        int fontHeight;
        RECT list, group, panel;
    };
    const auto read = [&] {
        Look look{};
        ::GetWindowRect(w->window(), &look.frame);
        ::GetClientRect(w->window(), &look.client);
        look.list = vwtest::ClientRectOf(w->List());
        look.group = vwtest::ClientRectOf(w->Item(IDC_STATUS_GROUP));
        look.panel = vwtest::ClientRectOf(w->Item(IDC_STATUS_PANEL));
        for (int column = 0; column < 7; ++column)
            look.columns.push_back(static_cast<int>(::SendMessageW(w->List(), LVM_GETCOLUMNWIDTH, column, 0)));
        const RECT toolbar = vwtest::ClientRectOf(w->Toolbar());
        look.toolbarHeight = toolbar.bottom - toolbar.top;
        LOGFONTW font{};
        ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(w->Item(IDC_TASK_LIST_LABEL), WM_GETFONT, 0, 0)),
                     sizeof(font), &font);
        look.fontHeight = std::abs(font.lfHeight);
        return look;
    };
    // The display's window manager confirms a new frame a moment later.
    const auto moveTo = [&](UINT dpi, RECT suggested) {
        ::SendMessageW(w->window(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        w->WaitUntil([&] {
            RECT frame{};
            ::GetWindowRect(w->window(), &frame);
            return ::EqualRect(&frame, &suggested) != FALSE;
        }, std::chrono::seconds(5));
    };
    const auto expectFrame = [](const RECT& seen, const RECT& expected) {
        EXPECT_EQ(seen.left, expected.left);
        EXPECT_EQ(seen.top, expected.top);
        EXPECT_EQ(seen.right, expected.right);
        EXPECT_EQ(seen.bottom, expected.bottom);
    };

    const Look before = read();
    const auto scaled = [&](int value) { return ::MulDiv(value, 144, static_cast<int>(first)); };
    const RECT larger{before.frame.left, before.frame.top, before.frame.left + scaled(before.frame.right - before.frame.left),
                      before.frame.top + scaled(before.frame.bottom - before.frame.top)};
    moveTo(144, larger);
    {
        SCOPED_TRACE("at 144 DPI");
        const Look at144 = read();
        // The suggested frame, as far as the screen lets a window grow.
        EXPECT_GT(at144.frame.right - at144.frame.left, before.frame.right - before.frame.left);
        EXPECT_GT(at144.frame.bottom - at144.frame.top, before.frame.bottom - before.frame.top);
        for (size_t column = 0; column < before.columns.size(); ++column)
            EXPECT_NEAR(at144.columns[column], scaled(before.columns[column]), 1) << "column " << column;
        // The images grow by half; the labels keep the system's font.
        EXPECT_GT(at144.toolbarHeight, before.toolbarHeight + before.toolbarHeight / 4) << "images for the new DPI";
        EXPECT_NEAR(at144.fontHeight, scaled(before.fontHeight), 1);
        vwtest::ExpectStackedUnderTheToolbar(w->window(), 144);
        // Each control at its place scaled by half again, the list stretched and the status panel
        // moved by what the client area differs from the scaled one (the caption bar keeps its
        // height here, and a screen may keep the window from its whole suggested size).
        const int dx = at144.client.right - scaled(before.client.right);
        const int dy = at144.client.bottom - scaled(before.client.bottom);
        // The list's top follows the toolbar, as checked above.
        const auto expectPlace = [&](const char* name, const RECT& seen, const RECT& at96, bool topFollowsToolbar) {
            SCOPED_TRACE(name);
            EXPECT_NEAR(seen.left, scaled(at96.left), 2);
            EXPECT_NEAR(seen.right, scaled(at96.right) + dx, 2);
            if (!topFollowsToolbar) {
                EXPECT_NEAR(seen.top, scaled(at96.top) + dy, 2);
            }
            EXPECT_NEAR(seen.bottom, scaled(at96.bottom) + dy, 2);
        };
        expectPlace("list", at144.list, before.list, true);
        expectPlace("status group", at144.group, before.group, false);
        expectPlace("status panel", at144.panel, before.panel, false);
        EXPECT_EQ(vwtest::ToolbarLabels(w->Toolbar()).size(), 10u);
        vwtest::SaveScreenshot(L"main-window-144dpi", {w->window()});
    }

    moveTo(first, before.frame);
    {
        SCOPED_TRACE("back");
        const Look back = read();
        expectFrame(back.frame, before.frame);
        for (size_t column = 0; column < before.columns.size(); ++column)
            EXPECT_NEAR(back.columns[column], before.columns[column], 1) << "column " << column;
        EXPECT_EQ(back.toolbarHeight, before.toolbarHeight);
        EXPECT_EQ(back.fontHeight, before.fontHeight);
        const auto expectSame = [](const char* name, const RECT& seen, const RECT& expected) {
            SCOPED_TRACE(name);
            EXPECT_NEAR(seen.left, expected.left, 2);
            EXPECT_NEAR(seen.top, expected.top, 2);
            EXPECT_NEAR(seen.right, expected.right, 2);
            EXPECT_NEAR(seen.bottom, expected.bottom, 2);
        };
        expectSame("list", back.list, before.list);
        expectSame("status group", back.group, before.group);
        expectSame("status panel", back.panel, before.panel);
        vwtest::ExpectStackedUnderTheToolbar(w->window(), first);
        vwtest::SaveScreenshot(L"main-window-96dpi-after-change", {w->window()});
    }
}

TEST_F(MainWindow, AddOpensTheEditorKeepsAConfirmedTaskAndDropsACancelledOne)
{
    AddTask(L"旧任务", 2);
    auto w = Open();
    const std::wstring source = folder.path() + L"新任务";
    ASSERT_TRUE(::CreateDirectoryW(source.c_str(), nullptr));
    ASSERT_TRUE(vwtest::WriteFileBytes(source + L"\\a.txt", "a"));
    // The editor runs modally on the window's thread; the test finds it as another program would.
    auto openEditor = [&] {
        HWND editor = nullptr;
        w->Post(ID_ADD_TASK);
        w->WaitUntil([&] {
            editor = ::FindWindowW(L"#32770", L"新增备份任务");
            return editor && ::IsWindowVisible(editor);
        });
        return editor;
    };
    auto fillIn = [&](HWND editor) {
        vwtest::Type(editor, IDC_ITEM_NAME, L"新任务");
        vwtest::Type(editor, IDC_ITEM_SOURCE, source);
        vwtest::Type(editor, IDC_ITEM_DEST, DestOf(L"新任务"));
    };

    // Cancelled first: a start while the editor is open runs the listed tasks only, and the
    // cancelled task leaves no row, no section and no backup.
    HWND editor = openEditor();
    ASSERT_NE(editor, nullptr);
    fillIn(editor);
    EXPECT_EQ(Names(w->ListRows()), std::vector<std::wstring>{L"旧任务"}) << "not listed before OK";
    w->Post(ID_START);
    ASSERT_TRUE(w->WaitUntil([&] { return PanelHas(*w, L"备份任务完成！"); }));
    EXPECT_TRUE(vwtest::FileExists(DestOf(L"旧任务") + L"\\f00.txt"));
    EXPECT_FALSE(vwtest::FileExists(DestOf(L"新任务"))) << "the task being edited never ran";
    EXPECT_EQ(profile.GetInt(L"Project", L"Count", 0), 1);
    EXPECT_FALSE(profile.SectionExists(L"Item1"));
    vwtest::Click(editor, IDCANCEL);
    EXPECT_TRUE(w->WaitUntil([&] { return !::IsWindow(editor); }));
    EXPECT_EQ(Names(w->ListRows()), std::vector<std::wstring>{L"旧任务"});

    // Confirmed: listed and stored on OK, and selected.
    editor = openEditor();
    ASSERT_NE(editor, nullptr);
    fillIn(editor);
    {
        vwtest::MessageBoxAnswerer ok(IDOK);  // whatever note the editor shows on the way
        vwtest::Click(editor, IDC_ITEM_OK);
        EXPECT_TRUE(w->WaitUntil([&] { return !::IsWindow(editor); }));
    }
    EXPECT_EQ(Names(w->ListRows()), (std::vector<std::wstring>{L"旧任务", L"新任务"}));
    EXPECT_EQ(w->SelectionMark(), 1);

    vw::CBackupItemList stored(profile, settings);
    ASSERT_TRUE(stored.LoadAll());
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[1].Name, L"新任务");
    EXPECT_EQ(stored[1].Source, source);
}

// Windows tells every top-level window when the clock or the time zone changes: the window then
// schedules each task again from the new clock (an interval run counts from now).
TEST_F(MainWindow, ATimeChangeSchedulesTheTasksAgain)
{
    AddTask(L"每小时");
    profile.SetInt(L"Item0", L"AutoTime", 1);
    profile.SetInt(L"Item0", L"AutoMinute", 60);
    auto w = Open();
    const std::wstring before = w->ListRows().at(0).at(5);
    ASSERT_FALSE(before.empty());

    ::Sleep(1100);
    ::SendMessageW(w->window(), WM_TIMECHANGE, 0, 0);
    const std::wstring after = w->ListRows().at(0).at(5);
    EXPECT_GT(after, before) << vw::WideToUtf8(after);
}
