// The user's update check from the tray menu's "软件升级(&U)" in the real main window, against a real
// local server: what the user is told, once, when there is nothing to update or the update cannot
// go on; and a check asked for while the one of the window's start is still downloading.
#include <windows.h>

#include <string>

#include "UpdateWindowFixture.h"
#include "updater/UpdaterMessages.h"

namespace {

using namespace std::chrono_literals;
using vwtest::ExpectBoxes;
using vwtest::ExpectedBox;
using vwtest::HttpReply;

class UpdateCheck : public vwtest::UpdateWindowFixture {
protected:
    // A manifest offering 1.20 whose only file has a name and size but no address.
    static std::string FileWithoutAddress()
    {
        return "[UPDATER]\r\nVersion=1.20\r\nFileCount=1\r\n[UPDATER_NAME]\r\nFileName1=Vaultwren.exe\r\nFileSize1=10\r\n";
    }
};

TEST_F(UpdateCheck, TheUserIsToldOnceWhatTheCheckFound)
{
    std::wstring unreachable;
    {
        vwtest::HttpTestServer gone;
        unreachable = gone.Url(kManifestPath);
    }
    struct Case {
        const char* name;
        bool serverGone;
        HttpReply manifest;
        ExpectedBox box;
    };
    const ExpectedBox noServer = vwtest::CheckFailedBox(vw::kUpdaterFetchFailed);
    const ExpectedBox badManifest = vwtest::CheckFailedBox(vw::kUpdaterBadManifest);
    const Case cases[] = {
        {"no server", true, {}, noServer},
        {"no manifest on the server", false, {404, "no such file"}, noServer},
        {"the installed version on offer", false, {200, "[UPDATER]\r\nVersion=1.10\r\nFileCount=0\r\n"},
         vwtest::kUpToDateBox},
        {"a newer version whose file has no address", false, {200, FileWithoutAddress()}, badManifest},
        {"a manifest without a version", false, {200, "[UPDATER]\r\nFileCount=0\r\n"}, badManifest},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ForgetEarlierUpdates();
        CheckedToday();
        ServeManifest(c.manifest);
        profile.SetString(vw::kUpdaterSection, vw::kIniUrlEntry, c.serverGone ? unreachable : server.Url(kManifestPath));

        vwtest::MessageBoxAnswerer answerer(IDOK);
        auto window = Open();
        CheckByHand(*window);
        ASSERT_TRUE(window->WaitUntil([&] { return !answerer.Boxes().empty(); }, 30s));
        // Time for a second box, should one follow.
        std::this_thread::sleep_for(2500ms);
        ExpectBoxes(answerer.Boxes(), {c.box});
        EXPECT_TRUE(Answers(*window));
        EXPECT_EQ(server.Requests(kFilePath), 0);
        window->Exit();
    }
}

TEST_F(UpdateCheck, AnUnsignedManifestIsAFailedCheckAndNothingIsDownloaded)
{
    CheckedToday();
    Offer("1.20", true);
    server.Serve(std::string(kManifestPath) + ".sig", {404, "no such file"});
    vwtest::MessageBoxAnswerer answerer(IDOK);
    auto window = Open();
    CheckByHand(*window);
    ASSERT_TRUE(window->WaitUntil([&] { return !answerer.Boxes().empty(); }, 30s));
    std::this_thread::sleep_for(2500ms);
    ExpectBoxes(answerer.Boxes(), {vwtest::CheckFailedBox(vw::kUpdaterBadSignature)});
    EXPECT_EQ(server.Requests(kFilePath), 0);
    EXPECT_FALSE(vwtest::FileExists(work + L"Updater.ini"));
    window->Exit();
}

TEST_F(UpdateCheck, AFailedDownloadIsToldWhileTheUpdaterStillWindsDown)
{
    // The download gives up at once on such a manifest and then takes a pause meant for this box.
    CheckedToday();
    ServeManifest({200, FileWithoutAddress()});
    vwtest::MessageBoxAnswerer answerer(IDOK);
    auto window = Open();
    CheckByHand(*window);
    ASSERT_TRUE(window->WaitUntil([&] { return server.Requests(kManifestPath) > 0; }, 30s));
    const ULONGLONG asked = ::GetTickCount64();
    ASSERT_TRUE(window->WaitUntil([&] { return !answerer.Boxes().empty(); }, 30s));
    EXPECT_LT(::GetTickCount64() - asked, 1000u);
    EXPECT_EQ(answerer.Boxes().front().text, vw::UpdateFailureText(vw::kUpdaterBadManifest));
}

TEST_F(UpdateCheck, AskedDuringTheDownloadOfTheStartItTakesThatOverInsteadOfCheckingAgain)
{
    // A slow file keeps the download of the check at start running while the user asks.
    Offer("1.20", true, "0", 0);
    HttpReply slow{200, std::string(6000, 'n')};
    slow.pieceDelayMs = 400;
    server.Serve(kFilePath, slow);
    vwtest::MessageBoxAnswerer answerer(IDNO);
    auto window = Open();
    ASSERT_TRUE(window->WaitUntil([&] { return server.Requests(kFilePath) > 0; }, 30s));
    window->Post(ID_UPDATE);

    ASSERT_TRUE(window->WaitUntil([&] { return !answerer.Boxes().empty(); }, 30s));
    ExpectBoxes(answerer.Boxes(), {vwtest::kQuestionBox});
    EXPECT_EQ(server.Requests(kManifestPath), 1);
    EXPECT_EQ(server.Requests(kFilePath), 1);
    // Answered No as a check of the user's: the notice the manifest names does not follow.
    std::this_thread::sleep_for(3500ms);
    EXPECT_FALSE(NoticeVisible(*window));
}

// Messages of an operation that was stopped are not acted on, however late they come: each stands
// for what a winding-down worker (or the queue) may still deliver after the window had its answer.
TEST_F(UpdateCheck, MessagesOfAStoppedCheckAreNotActedOn)
{
    CheckedToday();
    ServeManifest({200, "[UPDATER]\r\nVersion=1.10\r\nFileCount=0\r\n"});
    vwtest::MessageBoxAnswerer answerer(IDOK);
    auto window = Open();
    CheckByHand(*window);
    ASSERT_TRUE(window->WaitUntil([&] { return !answerer.Boxes().empty(); }, 30s));
    ASSERT_TRUE(window->WaitUntil([&] { return !::FindWindowW(L"#32770", vw::kUpdateCaption); }, 10s));

    // The check at the window's start was the first operation: long stopped by now.
    const LPARAM ofTheFirstCheck = MAKELPARAM(0, 1);
    const UINT stale[] = {vw::WM_UPDATER_ERROR_MSG, vw::WM_UPDATER_CHECK_END_MSG, vw::WM_UPDATER_DOWNLOAD_END_MSG};
    for (const UINT message : stale) {
        ::PostMessageW(window->window(), message, 0, ofTheFirstCheck);
        ::PostMessageW(window->window(), message, 1, ofTheFirstCheck);
    }
    std::this_thread::sleep_for(2500ms);
    ExpectBoxes(answerer.Boxes(), {vwtest::kUpToDateBox});
    EXPECT_EQ(server.Requests(kManifestPath), 1) << "no download nor check started from them";
    EXPECT_TRUE(Answers(*window));
}

}  // namespace
