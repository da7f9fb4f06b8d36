#include <chrono>
#include <ctime>

#include "UpdaterFixture.h"
#include "updater/CheckDate.h"
#include "updater/ProgramFolders.h"

namespace {

using vwtest::HttpReply;
using vwtest::Received;

constexpr Received kNewer{vw::WM_UPDATER_CHECK_END_MSG, 1};
constexpr Received kNotNewer{vw::WM_UPDATER_CHECK_END_MSG, 0};
constexpr Received kFailed{vw::WM_UPDATER_ERROR_MSG, 0};

std::wstring DaysFromToday(int days)
{
    // From noon, so that a change of daylight saving time cannot move the day.
    const std::time_t noon = vw::LocalMidnight(std::time(nullptr)) + 43200;
    return vw::FormatCheckDate(vw::LocalMidnight(noon + static_cast<std::time_t>(days) * 86400));
}

std::wstring Today()
{
    return DaysFromToday(0);
}

class UpdateCheck : public vwtest::UpdaterFixture {};

TEST_F(UpdateCheck, AutomaticCheckWaitsForCheckDaysAfterTheLastOne)
{
    OfferManifest("[UPDATER]\r\nVersion=1.20\r\n");
    struct Case {
        std::wstring checkDate;
        int automatic;
        Received end;
        int requests;
    };
    const Case cases[] = {
        // A check asks twice: the manifest and its signature.
        {DaysFromToday(-2), 1, kNotNewer, 0},  // two of seven days: not even a request
        {DaysFromToday(-2), 0, kNewer, 2},     // the user asked: checked at once
        {DaysFromToday(-7), 1, kNewer, 2},     // seven days are up
        {DaysFromToday(+3), 1, kNewer, 2},     // a date in the future holds nothing back
        {L"2026-1-1", 1, kNewer, 2},           // another length reads as 1980
    };
    for (const Case& c : cases) {
        profile.SetString(L"UPDATER", L"CheckDays", L"7");
        profile.SetString(L"UPDATER", L"CheckDate", c.checkDate);
        const int before = server.TotalRequests();
        EXPECT_EQ(RunCheck(c.automatic), c.end) << c.checkDate << L" automatic " << c.automatic;
        EXPECT_EQ(server.TotalRequests() - before, c.requests) << c.checkDate;
        // A check that finds a newer version leaves the date alone: the next start checks again.
        EXPECT_EQ(Stored(L"CheckDate"), c.checkDate);
    }
}

TEST_F(UpdateCheck, OffersAVersionThatIsALargerNumber)
{
    std::wstring programFolder;
    ASSERT_NE(vw::ProgramFolderFile(programFolder, L""), 0u);
    struct Case {
        const char* offered;
        Received end;
    };
    const Case cases[] = {
        {"1.9", kNewer},      // installed 1.10 is the number 1.1
        {"1.1", kNotNewer},   // the same number as 1.10
        {"1.10", kNotNewer},
        {"2", kNewer},
    };
    for (const Case& c : cases) {
        profile.RemoveEntry(L"UPDATER", L"Path");
        profile.RemoveEntry(L"UPDATER", L"CheckDate");
        OfferManifest(std::string("[UPDATER]\r\nVersion=") + c.offered + "\r\n");
        EXPECT_EQ(RunCheck(), c.end) << c.offered;
        const bool newer = c.end == kNewer;
        // Newer: where to install, and the manifest stays for the download. Not newer: the day
        // of this check, and the manifest goes.
        EXPECT_EQ(Stored(L"Path"), newer ? programFolder : L"<none>") << c.offered;
        EXPECT_EQ(Stored(L"CheckDate"), newer ? L"<none>" : Today()) << c.offered;
        EXPECT_EQ(vwtest::FileExists(work + L"Updater.ini"), newer) << c.offered;
    }
}

TEST_F(UpdateCheck, NoticeAndCheckDaysAreTakenFromTheManifest)
{
    profile.SetString(L"UPDATER", L"CheckDays", L"9");
    OfferManifest("[UPDATER]\r\nVersion=1.0\r\n[UPDATER_MSG]\r\nURL=http://127.0.0.1/notice.html\r\nTimer=10\r\nType=1\r\n");
    EXPECT_EQ(RunCheck(0), kNotNewer);
    EXPECT_EQ(Stored(L"CheckDays"), L"9");  // the manifest has none: the old value stays
    EXPECT_EQ(updater.noticeUrl, L"http://127.0.0.1/notice.html");
    EXPECT_EQ(updater.noticeTime, 10);
    EXPECT_EQ(updater.noticeType, 1);

    OfferManifest("[UPDATER]\r\nVersion=1.0\r\nCheckDays=3\r\n");
    EXPECT_EQ(RunCheck(0), kNotNewer);
    EXPECT_EQ(Stored(L"CheckDays"), L"3");
    EXPECT_EQ(updater.noticeUrl, L"");
}

TEST_F(UpdateCheck, AManifestSentWithoutContentLengthIsReadToItsEnd)
{
    // As a CDN sends it: chunked, or until the connection closes. Longer than one read.
    HttpReply reply;
    reply.length = HttpReply::Length::Missing;
    OfferManifest("[UPDATER]\r\nVersion=9.0\r\n[UPDATER_MSG]\r\nURL=http://127.0.0.1/" + std::string(3000, 'n') +
                      "\r\n",
                  reply);
    EXPECT_EQ(RunCheck(0), kNewer);
    EXPECT_EQ(server.Requests("/Updater.ini"), 1);
    EXPECT_EQ(vwtest::ReadFileBytes(work + L"Updater.ini").size(), 3000u + 62u);

    // No end in sight: refused past the size a manifest can have, never read without end.
    reply.body = "[UPDATER]\r\nVersion=9.0\r\n" + std::string(1100 * 1024, ';');
    OfferManifest(reply.body, reply);
    EXPECT_EQ(RunCheck(0), kFailed);
    EXPECT_EQ(updater.resultCode.load(), vw::kUpdaterFetchFailed);
    EXPECT_FALSE(vwtest::FileExists(work + L"Updater.ini"));
}

TEST_F(UpdateCheck, OnlyAManifestSignedWithTheTrustedKeyIsRead)
{
    const std::string manifest = "[UPDATER]\r\nVersion=9.0\r\nCheckDays=3\r\n";
    struct Case {
        const char* what;
        vwtest::Signed how;
        Received end;
    };
    const Case cases[] = {
        {"unsigned", vwtest::Signed::Not, kFailed},
        {"signed over other bytes", vwtest::Signed::Wrongly, kFailed},
        {"signed with the test key", vwtest::Signed::ByTestKey, kNewer},
    };
    for (const Case& c : cases) {
        profile.RemoveEntry(L"UPDATER", L"Path");
        OfferManifest(manifest, {}, c.how);
        EXPECT_EQ(RunCheck(0), c.end) << c.what;
        const bool trusted = c.end == kNewer;
        if (!trusted) {
            EXPECT_EQ(updater.resultCode.load(), vw::kUpdaterBadSignature) << c.what;
        }
        EXPECT_EQ(server.Requests("/Updater.ini.sig") > 0, true) << c.what;
        // An untrusted manifest leaves nothing behind: no file, no profile value, no notice.
        EXPECT_EQ(vwtest::FileExists(work + L"Updater.ini"), trusted) << c.what;
        EXPECT_EQ(vwtest::FileExists(work + L"Updater.ini.sig"), trusted) << c.what;
        EXPECT_EQ(Stored(L"Path") != L"<none>", trusted) << c.what;
        EXPECT_EQ(Stored(L"CheckDays"), L"<none>") << c.what;
        EXPECT_EQ(Stored(L"CheckDate"), L"<none>") << c.what;
    }

    // Texts that are no signature at all.
    const std::string broken[] = {"", "not base64 at all!", std::string(88, 'A'),
                                  vwtest::SignWithTestKey(manifest).substr(0, 40)};
    for (const std::string& signature : broken) {
        HttpReply reply;
        reply.body = signature;
        server.Serve("/Updater.ini.sig", reply);
        EXPECT_EQ(RunCheck(0), kFailed) << signature;
        EXPECT_EQ(updater.resultCode.load(), vw::kUpdaterBadSignature) << signature;
    }
}

TEST_F(UpdateCheck, AManifestWithoutAWellFormedVersionIsAFailedCheck)
{
    const char* manifests[] = {"", "[UPDATER]\r\nCheckDays=3\r\n", "[UPDATER]\r\nVersion=\r\n",
                               "[UPDATER]\r\nVersion=1.2.3\r\n", "[UPDATER]\r\nVersion=v2\r\n",
                               "[UPDATER]\r\nVersion=1e9\r\n"};
    for (const char* manifest : manifests) {
        OfferManifest(manifest);
        // Never "up to date": the user is told that the update could not be done.
        EXPECT_EQ(RunCheck(0), kFailed) << manifest;
        EXPECT_EQ(updater.resultCode.load(), vw::kUpdaterBadManifest) << manifest;
        EXPECT_EQ(Stored(L"CheckDate"), L"<none>") << manifest;
        EXPECT_EQ(Stored(L"CheckDays"), L"<none>") << manifest;
    }
}

TEST_F(UpdateCheck, FailuresEndWithTheErrorMessageAndTheirResultCode)
{
    struct Case {
        const char* what;
        std::wstring iniUrl;  // "-": no value at all
        int32_t resultCode;
    };
    const Case cases[] = {
        {"no address", L"-", vw::kUpdaterNoSetup},
        {"empty address", L"", vw::kUpdaterNoSetup},
        {"404", server.Url("/missing.ini"), vw::kUpdaterFetchFailed},
        {"nobody listening", L"http://127.0.0.1:1/Updater.ini", vw::kUpdaterFetchFailed},
        {"not http", L"ftp://127.0.0.1/Updater.ini", vw::kUpdaterFetchFailed},
    };
    for (const Case& c : cases) {
        if (c.iniUrl == L"-")
            profile.RemoveEntry(L"UPDATER", L"IniURL");
        else
            profile.SetString(L"UPDATER", L"IniURL", c.iniUrl);
        EXPECT_EQ(RunCheck(0), kFailed) << c.what;
        EXPECT_EQ(updater.resultCode.load(), c.resultCode) << c.what;
        EXPECT_EQ(Stored(L"CheckDate"), L"<none>") << c.what;
    }
    // No UPDATER key at all.
    profile.RemoveSection(L"UPDATER");
    EXPECT_EQ(RunCheck(0), kFailed);
    EXPECT_EQ(updater.resultCode.load(), vw::kUpdaterNoSetup);
}

TEST_F(UpdateCheck, AStalledServerEndsByTheReceiveTimeout)
{
    HttpReply reply;
    reply.stall = true;
    OfferManifest("", reply);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RunCheck(0), kFailed);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(updater.resultCode.load(), vw::kUpdaterFetchFailed);
    EXPECT_GE(took, std::chrono::seconds(5));
    EXPECT_LT(took, std::chrono::seconds(30));
}

TEST_F(UpdateCheck, StartCheckNeedsAWindow)
{
    EXPECT_FALSE(updater.StartCheck(nullptr));
    EXPECT_FALSE(updater.HasThread());
    EXPECT_EQ(updater.idle.load(), 1);
}

}  // namespace
