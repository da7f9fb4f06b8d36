// The main window's tray on its own: what the icon's mouse events ask for, the menu each run
// state gets, and the icon added to and removed from a plain owner window.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "engine/RunContext.h"
#include "resources/resource.h"
#include "run/TrayLook.h"
#include "ui/MainTray.h"
#include "win/UniqueHandle.h"

namespace {

TEST(MainTrayTest, ADoubleClickShowsTheWindowTheRightButtonTheMenuNothingElseActs)
{
    struct Case {
        WPARAM iconId;
        LPARAM mouse;
        vw::TrayAction action;
    };
    const Case cases[] = {
        {vw::kTrayIconId, WM_LBUTTONDBLCLK, vw::TrayAction::ShowWindow},
        {vw::kTrayIconId, WM_RBUTTONDOWN, vw::TrayAction::ShowMenu},
        {vw::kTrayIconId, WM_LBUTTONDOWN, vw::TrayAction::None},
        {vw::kTrayIconId, WM_MOUSEMOVE, vw::TrayAction::None},
        {vw::kTrayIconId + 1, WM_LBUTTONDBLCLK, vw::TrayAction::None},
        {vw::kTrayIconId + 1, WM_RBUTTONDOWN, vw::TrayAction::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.iconId << " " << c.mouse);
        EXPECT_EQ(vw::TrayActionFor(c.iconId, c.mouse), c.action);
    }
}

TEST(MainTrayTest, TheMenuOffersWhatTheRunStateAllowsWithShowAsItsDefault)
{
    struct Case {
        const char* state;
        int32_t runState;
        bool startGrey, pauseGrey, stopGrey;
    };
    const Case cases[] = {
        {"idle", vw::kRunIdle, false, true, true},
        {"running", vw::kRunRunning, true, false, false},
        {"paused", vw::kRunPaused, false, true, false},
    };
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.state);
        const vw::UniqueMenu menu(::LoadMenuW(instance, MAKEINTRESOURCEW(IDR_TRAY_MENU)));
        ASSERT_TRUE(menu);
        const HMENU popup = ::GetSubMenu(menu.get(), 0);
        std::vector<vw::UniqueGdiObject> bitmaps;
        vw::PrepareTrayMenu(popup, instance, c.runState, bitmaps);
        const auto grey = [&](UINT command) { return (::GetMenuState(popup, command, MF_BYCOMMAND) & MF_GRAYED) != 0; };
        EXPECT_EQ(grey(ID_START), c.startGrey);
        EXPECT_EQ(grey(ID_PAUSE), c.pauseGrey);
        EXPECT_EQ(grey(ID_STOP), c.stopGrey);
        EXPECT_FALSE(grey(ID_SHOW_WINDOW));
        EXPECT_FALSE(grey(ID_UPDATE));
        EXPECT_FALSE(grey(ID_EXIT));
        EXPECT_EQ(::GetMenuDefaultItem(popup, FALSE, 0), static_cast<UINT>(ID_SHOW_WINDOW));
        ASSERT_EQ(bitmaps.size(), 3u);
        for (const auto& bitmap : bitmaps)
            EXPECT_TRUE(bitmap) << "each run item has its image";
    }
}

TEST(MainTrayTest, TheIconComesWithCreateTakesItsLooksAndGoesWithDelete)
{
    const vw::UniqueWindow owner(::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                                   nullptr, nullptr));
    ASSERT_TRUE(owner);
    NOTIFYICONDATAW probe{};
    probe.cbSize = sizeof(probe);
    probe.hWnd = owner.get();
    probe.uID = vw::kTrayIconId;

    vw::MainTray tray;
    tray.Create(owner.get(), ::GetModuleHandleW(nullptr));
    if (!::Shell_NotifyIconW(NIM_MODIFY, &probe))
        GTEST_SKIP() << "no notification area on this display";
    const std::wstring name = L"文档";
    tray.ShowLook(vw::TrayLookFor(vw::kRunRunning, &name, 0));
    tray.ShowBalloon(L"正文", L"标题", NIIF_INFO);
    tray.ClearBalloon();
    tray.ShowLook(vw::TrayLookFor(vw::kRunIdle, nullptr, 0));
    EXPECT_TRUE(::Shell_NotifyIconW(NIM_MODIFY, &probe)) << "the icon stays through its looks";

    tray.Delete();
    EXPECT_FALSE(::Shell_NotifyIconW(NIM_MODIFY, &probe));
    tray.Delete();  // a second delete does nothing
}

}  // namespace
