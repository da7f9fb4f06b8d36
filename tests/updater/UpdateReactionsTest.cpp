#include <gtest/gtest.h>

#include "UpdaterFixture.h"
#include "updater/ProgramFolders.h"
#include "updater/UpdateReactions.h"

namespace {

using vw::UpdateReaction;

struct Expected {
    bool stop, download, balloon;
    const wchar_t* text;
    UINT style;
    bool ask, noticeAfterNo, timer, refresh;
};

void ExpectReaction(const UpdateReaction& r, const Expected& e, const char* what)
{
    EXPECT_EQ(r.stopUpdater, e.stop) << what;
    EXPECT_EQ(r.startDownload, e.download) << what;
    EXPECT_EQ(r.downloadBalloon, e.balloon) << what;
    EXPECT_EQ(r.box.text ? std::wstring(r.box.text) : L"", e.text ? std::wstring(e.text) : L"") << what;
    EXPECT_EQ(r.box.style, e.style) << what;
    EXPECT_EQ(r.askInstall, e.ask) << what;
    EXPECT_EQ(r.noticeAfterNo, e.noticeAfterNo) << what;
    EXPECT_EQ(r.armNoticeTimer, e.timer) << what;
    EXPECT_EQ(r.refreshList, e.refresh) << what;
}

constexpr UINT kInfo = MB_OK | MB_ICONINFORMATION;

TEST(UpdateReactions, WhatTheWindowDoesOnEachEnd)
{
    struct Case {
        const char* what;
        UpdateReaction reaction;
        Expected expected;
    };
    const Case cases[] = {
        // failures: only the operation's own failure counts, only a user sees it
        {"a file failed", vw::OnUpdaterFailure(0x1234, false, vw::kUpdaterFetchFailed), {false, false, false, nullptr, 0, false, false, false, false}},
        {"failed, asked", vw::OnUpdaterFailure(0, false, vw::kUpdaterStopped), {true, false, false, vw::kUpdateCannotStartText, kInfo, false, false, false, false}},
        {"failed, automatic", vw::OnUpdaterFailure(0, true, vw::kUpdaterFetchFailed), {true, false, false, nullptr, 0, false, false, false, false}},
        // check ended
        {"newer, asked", vw::OnCheckEnded(true, false, true), {true, true, true, nullptr, 0, false, false, false, true}},
        {"newer, automatic", vw::OnCheckEnded(true, true, true), {true, true, false, nullptr, 0, false, false, false, true}},
        {"latest, asked", vw::OnCheckEnded(false, false, false), {true, false, false, vw::kUpToDateText, kInfo, false, false, false, true}},
        {"latest, automatic, notice", vw::OnCheckEnded(false, true, true), {true, false, false, nullptr, 0, false, false, true, true}},
        {"latest, asked, notice", vw::OnCheckEnded(false, false, true), {true, false, false, vw::kUpToDateText, kInfo, false, false, true, true}},
        // download ended
        {"complete, asked", vw::OnDownloadEnded(true, false, true, false), {true, false, false, vw::kAskInstallText, MB_YESNO | MB_ICONQUESTION, true, false, false, false}},
        {"complete, automatic", vw::OnDownloadEnded(true, true, true, false), {true, false, false, vw::kAskInstallText, MB_YESNO | MB_ICONQUESTION, true, true, false, false}},
        {"complete, automatic, no notice", vw::OnDownloadEnded(true, true, false, false), {true, false, false, vw::kAskInstallText, MB_YESNO | MB_ICONQUESTION, true, false, false, false}},
        {"incomplete, asked", vw::OnDownloadEnded(false, false, true, false), {true, false, false, vw::kIncompleteText, MB_OK | MB_ICONSTOP, false, false, false, false}},
        {"incomplete, automatic", vw::OnDownloadEnded(false, true, true, false), {true, false, false, nullptr, 0, false, false, true, false}},
        // a second download's end while the question is still open: nothing stacked on it
        {"complete, question open", vw::OnDownloadEnded(true, false, true, true), {true, false, false, nullptr, 0, false, false, false, false}},
        {"incomplete, question open", vw::OnDownloadEnded(false, false, true, true), {true, false, false, nullptr, 0, false, false, false, false}},
    };
    for (const Case& c : cases)
        ExpectReaction(c.reaction, c.expected, c.what);
}

TEST(UpdateReactions, AFailureTellsTheUserWhatFailed)
{
    struct Case {
        int32_t resultCode;
        const wchar_t* reason;  // the line after kUpdateCannotStartText; null: none
    };
    const Case cases[] = {
        {vw::kUpdaterNoSetup, L"原因：没有设置更新地址，或更新说明已不在。"},
        {vw::kUpdaterFetchFailed, L"原因：无法连接更新服务器，或服务器上没有更新说明。"},
        {vw::kUpdaterBadStatus, L"原因：无法连接更新服务器，或服务器上没有更新说明。"},
        {vw::kUpdaterLocalFile, L"原因：无法写入临时文件夹（磁盘已满或没有写入权限）。"},
        {vw::kUpdaterBadSignature, L"原因：更新说明的签名不正确，可能已被篡改。"},
        {vw::kUpdaterBadManifest, L"原因：更新说明无效（版本号或文件列表不正确）。"},
        {vw::kUpdaterStopped, nullptr},
        {vw::kUpdaterNoFailure, nullptr},
    };
    for (const Case& c : cases) {
        const std::wstring expected =
            std::wstring(vw::kUpdateCannotStartText) + (c.reason ? std::wstring(L"\n") + c.reason : L"");
        EXPECT_EQ(vw::UpdateFailureText(c.resultCode), expected) << c.resultCode;
        EXPECT_EQ(std::wstring(vw::OnUpdaterFailure(0, false, c.resultCode).box.text), expected) << c.resultCode;
    }
}

TEST(UpdateReactions, TheNoticeOnlyForAnAutomaticCheckOfType0Or1)
{
    EXPECT_TRUE(vw::ShowsNotice(true, 0));
    EXPECT_TRUE(vw::ShowsNotice(true, 1));
    EXPECT_FALSE(vw::ShowsNotice(true, 2));
    EXPECT_FALSE(vw::ShowsNotice(true, -1));
    EXPECT_FALSE(vw::ShowsNotice(false, 0));
}

class ManualCheck : public vwtest::UpdaterFixture {};

TEST_F(ManualCheck, StartsACheckThatReportsToTheUser)
{
    // No window: the check cannot start.
    EXPECT_FALSE(vw::StartManualCheck(updater, nullptr));
    EXPECT_EQ(updater.automatic.load(), 0);

    // No server: the user hears of the failure.
    profile.SetString(L"UPDATER", L"IniURL", L"http://127.0.0.1:1/Updater.ini");
    window.ClearLog();
    ASSERT_TRUE(vw::StartManualCheck(updater, window.get()));
    ASSERT_TRUE(window.PumpUntil([&] { return !window.Log().empty(); }));
    EXPECT_EQ(window.Log().back(), (vwtest::Received{vw::WM_UPDATER_ERROR_MSG, 0}));
    const UpdateReaction reaction =
        vw::OnUpdaterFailure(0, updater.automatic.load() == 1, updater.resultCode.load());
    EXPECT_EQ(std::wstring(reaction.box.text), vw::UpdateFailureText(vw::kUpdaterFetchFailed));

    // An ended operation not yet stopped: no second thread.
    EXPECT_TRUE(updater.HasThread());
    EXPECT_TRUE(vw::StartManualCheck(updater, window.get()));
    window.PumpFor(std::chrono::milliseconds(200));
    EXPECT_EQ(window.Log().size(), 1u);
}

class HandOver : public vwtest::UpdaterFixture {
protected:
    HandOver()
    {
        vw::ProgramFolderFile(beside, L"Updater.exe");
        DeleteFileW(beside.c_str());
    }
    ~HandOver() override { DeleteFileW(beside.c_str()); }
    std::wstring beside;  // Updater.exe next to the running program
};

TEST_F(HandOver, CopiesUpdaterExeIntoTheWorkingFolderAndStartsItThere)
{
    const std::wstring subPath = updater.WorkingFile(L"").substr(updater.WorkingFile(L"").find(L"Software\\"));
    EXPECT_FALSE(vw::HandOverToUpdater(subPath));
    EXPECT_FALSE(vwtest::FileExists(work + L"Updater.exe"));

    std::wstring probe;
    vw::ProgramFolderFile(probe, L"restartprobe.exe");
    ASSERT_TRUE(CopyFileW(probe.c_str(), beside.c_str(), FALSE));
    ASSERT_TRUE(vw::HandOverToUpdater(subPath));
    EXPECT_EQ(vwtest::ReadFileBytes(work + L"Updater.exe"), vwtest::ReadFileBytes(beside));
    EXPECT_TRUE(window.PumpUntil([&] { return vwtest::FileExists(work + L"started.txt"); }, std::chrono::seconds(15)));
}

}  // namespace
