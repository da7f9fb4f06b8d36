// The main window's update check from the tray menu's "软件升级(&U)", against a real local server:
// what the user is told when there is no server and when the offered version is the installed one.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>

#include "MainWindowDriver.h"
#include "resources/resource.h"
#include "run/LogWriter.h"
#include "support/HttpTestServer.h"
#include "support/MessageBoxAnswerer.h"
#include "support/TestRegistry.h"
#include "updater/UpdateReactions.h"
#include "updater/UpdaterKeys.h"

namespace {

using namespace std::chrono_literals;

class UpdateCheck : public ::testing::Test {
protected:
    UpdateCheck() : key_(L"ui-update"), profile(key_.path())
    {
        profile.SetString(vw::kUpdaterSection, vw::kVersionEntry, L"1.10");
    }

    // The first box the window shows after the manual check, answered with OK.
    std::wstring ManualCheckAnswer(const std::wstring& manifestUrl)
    {
        profile.SetString(vw::kUpdaterSection, vw::kIniUrlEntry, manifestUrl);
        vwtest::MessageBoxAnswerer answerer(IDOK);
        vwtest::MainWindowDriver window(profile, settings, log);
        EXPECT_NE(window.window(), nullptr);
        window.Post(ID_UPDATE);
        EXPECT_TRUE(window.WaitUntil([&] { return !answerer.Texts().empty(); }, 30s));
        window.Exit();
        const auto texts = answerer.Texts();
        return texts.empty() ? std::wstring() : texts.front();
    }

private:
    vwtest::TestRegistryKey key_;

protected:
    vw::ProfileStore profile;
    vw::AppSettings settings;
    vw::LogWriter log{false};
};

TEST_F(UpdateCheck, NoServerTellsTheUserToUpdateByHand)
{
    std::wstring unreachable;
    {
        vwtest::HttpTestServer gone;
        unreachable = gone.Url("/Updater.ini");
    }
    EXPECT_EQ(ManualCheckAnswer(unreachable), vw::kUpdateCannotStartText);
}

TEST_F(UpdateCheck, TheInstalledVersionOnOfferIsReportedAsCurrent)
{
    vwtest::HttpTestServer server;
    server.Serve("/Updater.ini", {200, "[UPDATER]\r\nVersion=1.10\r\nFileCount=0\r\n"});
    EXPECT_EQ(ManualCheckAnswer(server.Url("/Updater.ini")), vw::kUpToDateText);
    EXPECT_GE(server.Requests("/Updater.ini"), 1);
}

}  // namespace
