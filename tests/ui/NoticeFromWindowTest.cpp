// The update manifest's notice page as the real main window brings it: 2 s after a check that found
// nothing newer, for the audiences that get it, closed by its display time or by its close mark.
// The page comes from the same local server as the manifest.
#include <windows.h>

#include "UpdateWindowFixture.h"
#include "support/MessageBoxAnswerer.h"
#include "support/Screenshot.h"
#include "support/StalledServer.h"
#include "updater/UpdateReactions.h"

namespace {

using namespace std::chrono_literals;

// A real click at a screen point, delivered through the input queue as a user's would be.
void ClickCentreOf(HWND control)
{
    RECT r{};
    ::GetWindowRect(control, &r);
    ::SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    INPUT input[2]{};
    input[0].type = input[1].type = INPUT_MOUSE;
    input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ::SendInput(2, input, sizeof(INPUT));
}

class NoticeFromWindow : public vwtest::UpdateWindowFixture {};

TEST_F(NoticeFromWindow, OnlyTheAudiencesZeroAndOneGetThePageAndOnlyAfterTheCheckAtStart)
{
    struct Case {
        const char* type;
        bool byHand;
        bool shown;
    };
    const Case cases[] = {
        {"0", false, true},
        {"1", false, true},
        {"2", false, false},
        {"-1", false, false},
        // The user's check clears the automatic mode for the rest of the program's life.
        {"0", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << (c.byHand ? " by hand" : " at start"));
        ForgetEarlierUpdates();
        Offer("1.10", true, c.type, 0);
        if (c.byHand)
            CheckedToday();
        vwtest::MessageBoxAnswerer answerer(IDOK);
        auto window = Open();
        if (c.byHand) {
            CheckByHand(*window);
            ASSERT_TRUE(window->WaitUntil([&] { return !answerer.Texts().empty(); }, 30s));
            EXPECT_EQ(answerer.Texts().front(), vw::kUpToDateText);
        }
        ASSERT_TRUE(window->WaitUntil([&] { return server.Requests(kManifestPath) > 0; }, 30s));

        // Not before the delay, and (when at all) a little after it.
        const ULONGLONG asked = ::GetTickCount64();
        EXPECT_TRUE(window->WaitUntil([&] { return NoticeVisible(*window); }, c.shown ? 15s : 4s) == c.shown);
        if (c.shown) {
            EXPECT_GE(::GetTickCount64() - asked, 1500u);
        }
        EXPECT_EQ(server.Requests(kFilePath), 0);
        HWND popup = NoticePopup(*window);
        window->Exit();
        // The exit takes the popup with it.
        EXPECT_TRUE(popup == nullptr || !::IsWindow(popup));
    }
}

TEST_F(NoticeFromWindow, ItsDisplayTimeClosesItAndTheUserSeesItInTheCorner)
{
    Offer("1.10", true, "0", 2);
    auto window = Open();
    ASSERT_TRUE(window->WaitUntil([&] { return NoticeVisible(*window); }, 15s));
    HWND popup = NoticePopup(*window);
    const ULONGLONG shown = ::GetTickCount64();
    std::this_thread::sleep_for(500ms);
    vwtest::SaveScreenshot(L"notice-popup", {popup});
    EXPECT_TRUE(::IsWindowVisible(popup));

    ASSERT_TRUE(window->WaitUntil([&] { return !::IsWindowVisible(popup); }, 10s));
    EXPECT_GE(::GetTickCount64() - shown, 1500u);
    // Hidden, not gone: the window keeps it for the next notice.
    EXPECT_EQ(NoticePopup(*window), popup);
    EXPECT_TRUE(Answers(*window));
}

TEST_F(NoticeFromWindow, TheCloseMarkClosesAPageWithoutDisplayTime)
{
    Offer("1.10", true, "1", 0);
    auto window = Open();
    ASSERT_TRUE(window->WaitUntil([&] { return NoticeVisible(*window); }, 15s));
    HWND popup = NoticePopup(*window);

    // A click elsewhere on it is no close.
    ClickCentreOf(::GetDlgItem(popup, IDC_NOTICE_TITLE));
    std::this_thread::sleep_for(500ms);
    EXPECT_TRUE(::IsWindowVisible(popup));

    ClickCentreOf(::GetDlgItem(popup, IDC_NOTICE_CLOSE));
    EXPECT_TRUE(window->WaitUntil([&] { return !::IsWindowVisible(popup); }, 5s));
    EXPECT_TRUE(Answers(*window));
}

TEST_F(NoticeFromWindow, MinimisingTheWindowLeavesTheNoticeInFront)
{
    Offer("1.10", true, "0", 0);
    auto window = Open();
    ASSERT_TRUE(window->WaitUntil([&] { return NoticeVisible(*window); }, 15s));
    HWND popup = NoticePopup(*window);
    // Showing the notice gave the front back to the main window.
    ASSERT_TRUE(window->WaitUntil([&] { return ::GetForegroundWindow() == window->window(); }, 5s));

    ::SendMessageW(window->window(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(::IsIconic(window->window()));
    EXPECT_TRUE(window->WaitUntil([&] { return ::GetForegroundWindow() == popup; }, 5s));
    EXPECT_TRUE(::IsWindowVisible(popup));
}

// The connection test before the first showing runs off the window's thread: on a dead network
// (a page server that never accepts) the window goes on answering, and no page comes.
TEST_F(NoticeFromWindow, AProbeOfADeadNetworkNeverHoldsTheWindow)
{
    vwtest::StalledServer stalled;
    ASSERT_TRUE(stalled.ok());
    ServeManifest({200, "[UPDATER]\r\nVersion=1.10\r\nFileCount=0\r\n[UPDATER_MSG]\r\nURL=" +
                            vw::WideToUtf8(stalled.Url(kNoticePath)) + "\r\nTimer=0\r\nType=0\r\n"});
    auto window = Open();
    ASSERT_TRUE(window->WaitUntil([&] { return server.Requests(kManifestPath) > 0; }, 30s));
    // Past the notice's delay and well into the probe's connection attempt.
    for (int i = 0; i < 10; ++i) {
        std::this_thread::sleep_for(500ms);
        DWORD_PTR result = 0;
        const ULONGLONG asked = ::GetTickCount64();
        ASSERT_NE(::SendMessageTimeoutW(window->window(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result), 0);
        EXPECT_LT(::GetTickCount64() - asked, 500u) << "at " << i;
    }
    EXPECT_FALSE(NoticeVisible(*window));
    window->Exit();
    EXPECT_FALSE(window->Running());
}

}  // namespace
