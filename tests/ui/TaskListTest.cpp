// The task list control and the menus of the real main window: the hover tooltip, a click on empty
// space, the task context menu and the tray menu with their enable rules, read from the menus the
// window really opens.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <memory>
#include <string>

#include "MainWindowDriver.h"
#include "resources/resource.h"
#include "ui/CTrayIcon.h"
#include "ui/CVaultwrenDlg.h"

namespace {

using namespace std::chrono_literals;
using vwtest::MainWindowDriver;

HWND OpenMenuOf(HWND window)
{
    const HWND menu = ::FindWindowW(L"#32768", nullptr);
    DWORD menuThread = ::GetWindowThreadProcessId(menu, nullptr);
    return menu && ::IsWindowVisible(menu) && menuThread == ::GetWindowThreadProcessId(window, nullptr) ? menu
                                                                                                         : nullptr;
}

// What an open popup menu offers: grey or not, per command.
class OpenMenu {
public:
    explicit OpenMenu(const MainWindowDriver& w)
    {
        w.WaitUntil([&] { return (window_ = OpenMenuOf(w.window())) != nullptr; }, 10s);
        if (window_)
            menu_ = reinterpret_cast<HMENU>(::SendMessageW(window_, MN_GETHMENU, 0, 0));
    }
    ~OpenMenu()
    {
        if (window_)
            ::PostMessageW(window_, WM_KEYDOWN, VK_ESCAPE, 0);
        for (int i = 0; i < 100 && window_ && ::IsWindowVisible(window_); ++i)
            std::this_thread::sleep_for(20ms);
    }
    bool Shown() const { return menu_ != nullptr; }
    bool Grey(UINT command) const { return (::GetMenuState(menu_, command, MF_BYCOMMAND) & MF_GRAYED) != 0; }
    UINT Default() const { return ::GetMenuDefaultItem(menu_, FALSE, 0); }

private:
    HWND window_ = nullptr;
    HMENU menu_ = nullptr;
};

class TaskList : public vwtest::MainWindowFixture {
protected:
    // Destinations deep enough for the list to shorten them in the middle.
    TaskList() : MainWindowFixture(L"ui-list", L"list", L"\\一个很长很长的目标文件夹名字\\用来看中间省略的路径") {}

    // The text the list's tooltip holds now.
    static std::wstring TooltipText(const MainWindowDriver& w)
    {
        struct Search {
            HWND list;
            std::wstring text;
        } search{w.List(), L"<no tooltip>"};
        ::EnumThreadWindows(
            ::GetWindowThreadProcessId(w.window(), nullptr),
            [](HWND tip, LPARAM data) -> BOOL {
                auto& s = *reinterpret_cast<Search*>(data);
                wchar_t name[64] = {};
                ::GetClassNameW(tip, name, 64);
                if (std::wstring(name) != TOOLTIPS_CLASSW)
                    return TRUE;
                wchar_t buffer[1024] = {};
                TTTOOLINFOW tool{};
                tool.cbSize = sizeof(tool);
                tool.hwnd = s.list;
                tool.uId = 0;
                tool.lpszText = buffer;
                if (!::SendMessageW(tip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool)))
                    return TRUE;
                ::SendMessageW(tip, TTM_GETTEXTW, 1024, reinterpret_cast<LPARAM>(&tool));
                s.text = buffer;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.text;
    }

    static POINT CellCentre(const MainWindowDriver& w, int row, int column)
    {
        RECT cell{};
        cell.top = column;
        cell.left = LVIR_LABEL;
        ::SendMessageW(w.List(), LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&cell));
        return {(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2};
    }
    static void MoveMouse(const MainWindowDriver& w, POINT at)
    {
        ::SendMessageW(w.List(), WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
    }
};

TEST_F(TaskList, TheTooltipShowsTheFullCellOrTheHintBelowTheRows)
{
    AddTask(L"文档");
    AddTask(L"照片");
    auto w = Open();
    const vwtest::Rows rows = w->ListRows();
    ASSERT_EQ(rows.size(), 2u);

    const RECT last = vwtest::ListViewRowRect(w->List(), 1);
    struct Case {
        POINT at;
        std::wstring text;
    };
    const Case cases[] = {
        {CellCentre(*w, 0, 3), rows[0][3]},  // a shortened path shows whole
        {CellCentre(*w, 1, 1), L"照片"},
        {{last.left + 30, last.bottom + 40}, L"双击记录可查看备份任务的详细信息并对其修改"},
        {CellCentre(*w, 0, 2), rows[0][2]},
    };
    for (const Case& c : cases) {
        MoveMouse(*w, c.at);
        EXPECT_EQ(TooltipText(*w), c.text) << c.at.x << "," << c.at.y;
    }
}

TEST_F(TaskList, AClickOnEmptySpaceClearsTheSelectionAndOpensNoMenu)
{
    AddTask(L"文档");
    auto w = Open();
    w->Select(0);
    ASSERT_EQ(w->SelectionMark(), 0);
    const RECT row = vwtest::ListViewRowRect(w->List(), 0);
    const LPARAM below = MAKELPARAM(row.left + 30, row.bottom + 60);
    ::PostMessageW(w->List(), WM_RBUTTONDOWN, MK_RBUTTON, below);
    ::PostMessageW(w->List(), WM_RBUTTONUP, 0, below);
    EXPECT_TRUE(w->WaitUntil([&] { return w->SelectionMark() == -1; }, 5s));
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(OpenMenuOf(w->window()), nullptr);
    EXPECT_FALSE(w->ButtonEnabled(ID_EDIT_TASK));
}

TEST_F(TaskList, TheContextMenuOfARowFollowsTheTaskAndItsPlace)
{
    AddTask(L"有历史", {.history = 1});
    AddTask(L"无历史", {.history = 0});
    auto w = Open();
    struct Case {
        int row;
        bool historyGrey, upGrey, downGrey;
    };
    const Case cases[] = {{0, false, true, false}, {1, true, false, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        w->Select(c.row);
        static POINT click{40, 40};
        ::PostMessageW(w->window(), vw::WM_TASK_MENU_MSG, 0, reinterpret_cast<LPARAM>(&click));
        OpenMenu menu(*w);
        ASSERT_TRUE(menu.Shown());
        EXPECT_EQ(menu.Grey(ID_OPEN_HISTORY_FOLDER), c.historyGrey);
        EXPECT_FALSE(menu.Grey(ID_OPEN_BACKUP_FOLDER));
        EXPECT_EQ(menu.Grey(ID_MOVE_UP), c.upGrey);
        EXPECT_EQ(menu.Grey(ID_MOVE_DOWN), c.downGrey);
        EXPECT_FALSE(menu.Grey(ID_START_TASK));
        EXPECT_TRUE(menu.Grey(ID_PAUSE_TASK));
        EXPECT_TRUE(menu.Grey(ID_STOP_TASK));
        EXPECT_FALSE(menu.Grey(ID_EDIT_TASK));
    }
}

TEST_F(TaskList, TheTrayMenuOffersWhatTheRunStateAllows)
{
    settings.Speed = 30;
    AddTask(L"大", {.bigBytes = 40u << 20});
    auto w = Open();
    struct Case {
        const wchar_t* state;
        bool startGrey, pauseGrey, stopGrey;
    };
    const auto check = [&](const Case& c) {
        SCOPED_TRACE(c.state);
        ::PostMessageW(w->window(), vw::WM_TRAY_NOTIFY_MSG, vw::kTrayIconId, WM_RBUTTONDOWN);
        OpenMenu menu(*w);
        ASSERT_TRUE(menu.Shown());
        EXPECT_EQ(menu.Default(), static_cast<UINT>(ID_SHOW_WINDOW));
        EXPECT_EQ(menu.Grey(ID_START), c.startGrey);
        EXPECT_EQ(menu.Grey(ID_PAUSE), c.pauseGrey);
        EXPECT_EQ(menu.Grey(ID_STOP), c.stopGrey);
        EXPECT_FALSE(menu.Grey(ID_EXIT));
    };
    check({L"idle", false, true, true});
    w->Command(ID_START);
    ASSERT_TRUE(w->WaitUntil([&] { return w->Text(IDC_STATUS_GROUP) == L"系统状态：正在备份"; }));
    check({L"running", true, false, false});
    w->Command(ID_PAUSE);
    ASSERT_TRUE(w->WaitUntil([&] { return w->Text(IDC_STATUS_GROUP) == L"系统状态：暂停"; }));
    check({L"paused", false, true, false});
    w->Command(ID_STOP);
    ASSERT_TRUE(w->WaitUntil([&] { return w->Text(IDC_STATUS_GROUP) == L"系统状态：空闲中"; }));

    // A single click on the icon does nothing; a double click shows the window.
    ::ShowWindow(w->window(), SW_HIDE);
    ::SendMessageW(w->window(), vw::WM_TRAY_NOTIFY_MSG, vw::kTrayIconId, WM_LBUTTONDOWN);
    EXPECT_FALSE(::IsWindowVisible(w->window()));
    ::SendMessageW(w->window(), vw::WM_TRAY_NOTIFY_MSG, vw::kTrayIconId, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(::IsWindowVisible(w->window()));
}

}  // namespace

namespace {

TEST_F(TaskList, ANewTaskbarGetsTheIconAgain)
{
    auto w = Open();
    NOTIFYICONDATAW record{};
    record.cbSize = sizeof(record);
    record.hWnd = w->window();
    record.uID = vw::kTrayIconId;
    if (!::Shell_NotifyIconW(NIM_MODIFY, &record))
        GTEST_SKIP() << "no notification area on this display";
    // What a restarted taskbar looks like to the program: its icon is gone.
    ASSERT_TRUE(::Shell_NotifyIconW(NIM_DELETE, &record));
    EXPECT_FALSE(::Shell_NotifyIconW(NIM_MODIFY, &record));

    ::SendMessageW(w->window(), ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(::Shell_NotifyIconW(NIM_MODIFY, &record));
}

}  // namespace
