// The notice popup made from its template under Xvfb: where it stands, what closes it, reuse, and
// the connection tests before its first showing against a real local server.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>

#include "support/HttpTestServer.h"
#include "support/MessageWindow.h"
#include "support/StalledServer.h"
#include "resources/resource.h"
#include "ui/CMessageDlg.h"
#include "ui/NoticePopup.h"

namespace {

using vw::CMessageDlg;

void PumpFor(DWORD milliseconds)
{
    const ULONGLONG end = ::GetTickCount64() + milliseconds;
    while (::GetTickCount64() < end) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

// A real click at a screen point, delivered through the input queue as a user's would be.
void ClickAt(POINT screen)
{
    ::SetCursorPos(screen.x, screen.y);
    INPUT input[2]{};
    input[0].type = input[1].type = INPUT_MOUSE;
    input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ::SendInput(2, input, sizeof(INPUT));
    PumpFor(300);
}

POINT CentreOf(HWND window)
{
    RECT r{};
    ::GetWindowRect(window, &r);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

class NoticePopupTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr))); }
    void TearDown() override
    {
        popup_.reset();
        ::OleUninitialize();
    }

    // The first showing, past the connection tests, with a page the local server offers.
    HWND ShowFirst(int seconds)
    {
        EXPECT_TRUE(vw::ShowNotice(popup_, ::GetModuleHandleW(nullptr), page_, seconds, nullptr));
        PumpFor(200);
        return popup_ ? popup_->Handle() : nullptr;
    }

    vwtest::HttpTestServer server_;
    std::wstring page_ = (server_.Serve("/notice.html", {200, "<html><body>Vaultwren</body></html>"}),
                          server_.Url("/notice.html"));
    std::unique_ptr<CMessageDlg> popup_;
};

TEST_F(NoticePopupTest, StandsInTheWorkAreasBottomRightCornerWithoutATaskbarButton)
{
    HWND window = ShowFirst(0);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(::IsWindowVisible(window));

    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT frame{};
    ::GetWindowRect(window, &frame);
    EXPECT_EQ(frame.right, work.right);
    EXPECT_EQ(frame.bottom, work.bottom);
    EXPECT_GT(frame.right - frame.left, 200);

    const LONG_PTR exStyle = ::GetWindowLongPtrW(window, GWL_EXSTYLE);
    EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(exStyle & WS_EX_APPWINDOW);
    EXPECT_EQ(::GetWindowLongPtrW(window, GWL_STYLE) & WS_CAPTION, 0);

    struct Placed {
        int id;
        int x, y, width, height;  // client pixels
    };
    const int width = frame.right - frame.left;
    const Placed placed[] = {
        {IDC_NOTICE_CLOSE, width - 22, 2, 14, 14},
        {IDC_NOTICE_TITLE, 3, 4, 70, 14},
    };
    for (const Placed& p : placed) {
        SCOPED_TRACE(p.id);
        RECT r{};
        HWND control = ::GetDlgItem(window, p.id);
        ::GetWindowRect(control, &r);
        ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r.left, p.x);
        EXPECT_EQ(r.top, p.y);
        EXPECT_EQ(r.right - r.left, p.width);
        EXPECT_EQ(r.bottom - r.top, p.height);
    }

    // The blue background and the title's dark text on it.
    HDC dc = ::GetDC(window);
    HBRUSH brush = reinterpret_cast<HBRUSH>(::SendMessageW(window, WM_CTLCOLORSTATIC,
                                                            reinterpret_cast<WPARAM>(dc),
                                                            reinterpret_cast<LPARAM>(::GetDlgItem(window, IDC_NOTICE_TITLE))));
    EXPECT_EQ(::GetTextColor(dc), RGB(0, 32, 64));
    EXPECT_EQ(::GetBkMode(dc), TRANSPARENT);
    ::ReleaseDC(window, dc);
    LOGBRUSH look{};
    ASSERT_NE(::GetObjectW(brush, sizeof(look), &look), 0);
    EXPECT_EQ(look.lbColor, RGB(0, 122, 204));

    ::testing::Test::RecordProperty("browserHosted", popup_->HasPage() ? "yes" : "no");
}

TEST_F(NoticePopupTest, TheCloseMarkHidesItAndTheNextShowingReusesItWithoutAskingTheServerAgain)
{
    HWND window = ShowFirst(0);
    ASSERT_NE(window, nullptr);
    const int requestsAfterFirst = server_.Requests("/notice.html");

    // A click on the title is not a close.
    ClickAt(CentreOf(::GetDlgItem(window, IDC_NOTICE_TITLE)));
    EXPECT_TRUE(::IsWindowVisible(window));

    ClickAt(CentreOf(::GetDlgItem(window, IDC_NOTICE_CLOSE)));
    EXPECT_FALSE(::IsWindowVisible(window));
    EXPECT_TRUE(::IsWindow(window));

    ASSERT_TRUE(vw::ShowNotice(popup_, ::GetModuleHandleW(nullptr), page_, 0, nullptr));
    EXPECT_EQ(popup_->Handle(), window);
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_EQ(server_.Requests("/notice.html"), requestsAfterFirst);
}

TEST_F(NoticePopupTest, TheDisplayTimeClosesItAndZeroKeepsItOpen)
{
    HWND window = ShowFirst(1);
    ASSERT_NE(window, nullptr);
    PumpFor(400);
    EXPECT_TRUE(::IsWindowVisible(window));
    PumpFor(1200);
    EXPECT_FALSE(::IsWindowVisible(window));

    // A later notice with no display time stops an armed timer from closing it.
    popup_->Show(1);
    popup_->Show(0);
    PumpFor(1500);
    EXPECT_TRUE(::IsWindowVisible(window));
}

TEST_F(NoticePopupTest, NoPopupIsMadeWhenThePagesServerCannotBeReached)
{
    std::wstring unreachable;
    {
        vwtest::HttpTestServer gone;
        unreachable = gone.Url("/notice.html");
    }
    struct Case {
        const wchar_t* name;
        std::wstring address;
        bool allowed;
    };
    const Case cases[] = {
        {L"server answering", page_, true},
        {L"port closed", unreachable, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.address.c_str());
        EXPECT_EQ(vw::ConnectionAllowsNotice(c.address), c.allowed);
    }

}

// The probe a window starts returns at once and answers by message, however long the connection
// attempt takes: a window's thread never waits on the network.
TEST_F(NoticePopupTest, TheConnectionProbeAnswersByMessageAndNeverHoldsItsCaller)
{
    std::wstring unreachable;
    {
        vwtest::HttpTestServer gone;
        unreachable = gone.Url("/notice.html");
    }
    vwtest::StalledServer stalled;
    ASSERT_TRUE(stalled.ok());
    struct Case {
        const char* name;
        std::wstring address;
        int answer;  // wParam of the probe's message; -1: none within the wait
    };
    const Case cases[] = {
        {"server answering", page_, 1},
        {"port closed", unreachable, 0},
        {"server never accepting", stalled.Url("/notice.html"), -1},
    };
    vwtest::MessageWindow window(vw::WM_NOTICE_PROBE_MSG, vw::WM_NOTICE_PROBE_MSG);
    LPARAM probe = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window.ClearLog();
        const ULONGLONG started = ::GetTickCount64();
        ASSERT_TRUE(vw::ProbeConnection(c.address, window.get(), ++probe));
        EXPECT_LT(::GetTickCount64() - started, 500u) << "the caller goes on at once";
        if (c.answer < 0) {
            window.PumpFor(std::chrono::seconds(3));
            EXPECT_TRUE(window.Log().empty());
        } else {
            ASSERT_TRUE(window.PumpUntil([&] { return !window.Log().empty(); }, std::chrono::seconds(20)));
            EXPECT_EQ(window.Log().front(), (vwtest::Received{vw::WM_NOTICE_PROBE_MSG, static_cast<WPARAM>(c.answer)}));
        }
    }
}

}  // namespace
