// The self-update's flow on its own: a plain window whose only handler it is, a profile whose
// update address points at a local server, boxes answered by a user on another thread.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <functional>
#include <string>

#include "support/HttpTestServer.h"
#include "support/MessageBoxAnswerer.h"
#include "support/MessageWindow.h"
#include "support/TestRegistry.h"
#include "ui/MainTray.h"
#include "ui/UpdateFlow.h"
#include "updater/UpdateReactions.h"
#include "updater/UpdaterKeys.h"
#include "updater/UpdaterMessages.h"
#include "win/ProfileStore.h"
#include "win/UniqueHandle.h"

namespace {

using namespace std::chrono_literals;

// Posted to the test's window: the tray's update command, as a user gives it while a box is up.
constexpr UINT kCheckByHandMsg = WM_APP + 1;

class UpdateFlowTest : public ::testing::Test {
protected:
    UpdateFlowTest()
        : key_(L"ui-update-flow"),
          flow(::GetModuleHandleW(nullptr), key_.path(), tray,
               {[this] { ++stops; }, [this] { ++exits; }, [this] { ++refreshes; }})
    {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &UpdateFlowTest::Proc;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"VwUpdateFlowTest";
        ::RegisterClassW(&windowClass);
        window_.reset(::CreateWindowExW(0, windowClass.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                        windowClass.hInstance, nullptr));
        ::SetWindowLongPtrW(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        flow.Attach(window_.get());
        vw::ProfileStore profile(key_.path());
        profile.SetString(vw::kUpdaterSection, vw::kVersionEntry, L"1.10");
        profile.SetString(vw::kUpdaterSection, vw::kIniUrlEntry, server.Url("/Updater.ini"));
    }
    ~UpdateFlowTest() override { flow.Close(INFINITE); }

    bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 30s) const
    {
        return vwtest::PumpMessagesUntil(done, limit);
    }
    HWND window() const { return window_.get(); }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<UpdateFlowTest*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self && message == kCheckByHandMsg) {
            self->flow.CheckByHand();
            ++self->checksAsked;
            return 0;
        }
        if (self && self->flow.OnMessage(message, wParam, lParam))
            return 0;
        return ::DefWindowProcW(window, message, wParam, lParam);
    }

    vwtest::TestRegistryKey key_;
    vw::UniqueWindow window_;

protected:
    vwtest::HttpTestServer server;  // serves nothing: every request gets 404
    vw::MainTray tray;
    vw::UpdateFlow flow;
    int stops = 0;
    int exits = 0;
    int refreshes = 0;
    int checksAsked = 0;
};

// A check the user asked for that finds no manifest says why in one box; the tray's command given
// while that box waits starts no second check and stacks no second box.
TEST_F(UpdateFlowTest, AFailedCheckByHandSaysWhyOnceAndACheckUnderItsBoxIsRefused)
{
    vwtest::MessageBoxAnswerer user(IDOK, 1500ms);
    flow.CheckByHand();
    ASSERT_TRUE(PumpUntil([&] { return server.Requests("/Updater.ini") > 0; }));
    ::PostMessageW(window(), kCheckByHandMsg, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return !user.Texts().empty(); }));
    PumpUntil([] { return false; }, 2500ms);  // time for a second box, should one follow

    EXPECT_EQ(checksAsked, 1) << "the command came while the box was up";
    ASSERT_EQ(user.Texts().size(), 1u);
    EXPECT_EQ(user.Texts().front(), vw::UpdateFailureText(vw::kUpdaterFetchFailed));
    EXPECT_EQ(user.MostOpenAtOnce(), 1);
    EXPECT_EQ(server.Requests("/Updater.ini"), 1);
    EXPECT_EQ(stops + exits, 0);
}

// Only the updater's messages and the probe's answer are taken; a message of an operation that was
// stopped is taken and dropped.
TEST_F(UpdateFlowTest, AMessageOfAStoppedCheckIsDroppedAndOtherMessagesAreNotTaken)
{
    EXPECT_FALSE(flow.OnMessage(WM_TIMER, 0, 0));
    EXPECT_FALSE(flow.OnMessage(WM_USER + 1, 0, 0));

    vwtest::MessageBoxAnswerer user(IDOK);
    flow.CheckByHand();
    ASSERT_TRUE(PumpUntil([&] { return !user.Texts().empty(); }));
    // The same failure once more, from the check that has had its last word: no box.
    EXPECT_TRUE(flow.OnMessage(vw::WM_UPDATER_ERROR_MSG, 0, 0));
    PumpUntil([] { return false; }, 1500ms);
    EXPECT_EQ(user.Texts().size(), 1u);
}

}  // namespace
