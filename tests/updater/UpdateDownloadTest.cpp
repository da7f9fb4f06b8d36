#include <chrono>

#include "UpdaterFixture.h"
#include "updater/Sha256.h"

namespace {

using vwtest::HttpReply;
using vwtest::OfferedFile;
using vwtest::Received;

constexpr Received kComplete{vw::WM_UPDATER_DOWNLOAD_END_MSG, 1};
constexpr Received kIncomplete{vw::WM_UPDATER_DOWNLOAD_END_MSG, 0};
constexpr Received kFailed{vw::WM_UPDATER_ERROR_MSG, 0};

OfferedFile File(const std::string& name, const std::string& content, HttpReply reply = {})
{
    return OfferedFile{name, content, reply, ""};
}

HttpReply FailingFirst(int times)
{
    HttpReply reply;
    reply.failFirst = times;
    return reply;
}

HttpReply WrongLength(long long length)
{
    HttpReply reply;
    reply.length = HttpReply::Length::Value;
    reply.lengthValue = length;
    return reply;
}

std::string Sha256Of(const std::string& content)
{
    vwtest::ScratchFolder folder;
    vwtest::WriteFileBytes(folder / L"f", content);
    return vw::WideToUtf8(vw::FileSha256(folder / L"f"));
}

class UpdateDownload : public vwtest::UpdaterFixture {
protected:
    std::wstring Downloaded(const std::wstring& name) const { return work + L"Update\\" + name; }
};

TEST_F(UpdateDownload, AFileThatFailsOnceIsFetchedAgainInTheNextPass)
{
    OfferManifest(Manifest("1.20", {File("Vaultwren.exe", std::string(5000, 'v')), File("lang\\zh.dll", "second", FailingFirst(1)),
                                     File("empty.txt", "")}));
    ASSERT_EQ(RunCheck(), (Received{vw::WM_UPDATER_CHECK_END_MSG, 1}));
    EXPECT_EQ(RunDownload(), std::vector<Received>{kComplete});

    // Pass one fetched all three, pass two the one that failed, and the empty one again: a
    // received count of 0 cannot tell it from a file whose fetch never began.
    EXPECT_EQ(server.Requests(filePaths[0]), 1);
    EXPECT_EQ(server.Requests(filePaths[1]), 2);
    EXPECT_EQ(server.Requests(filePaths[2]), 2);
    EXPECT_EQ(vwtest::ReadFileBytes(Downloaded(L"Vaultwren.exe")), std::string(5000, 'v'));
    EXPECT_EQ(vwtest::ReadFileBytes(Downloaded(L"lang\\zh.dll")), "second");
    EXPECT_TRUE(vwtest::FileExists(Downloaded(L"empty.txt")));
    EXPECT_EQ(Stored(L"DownloadVer"), L"1.20");
}

TEST_F(UpdateDownload, AWrongContentLengthFailsAllThreePasses)
{
    LeaveManifest(Manifest("1.20", {File("a.txt", "aaa"), File("b.txt", "bbbb", WrongLength(3))}));
    EXPECT_EQ(RunDownload(), std::vector<Received>{kIncomplete});
    EXPECT_EQ(server.Requests(filePaths[0]), 1);
    EXPECT_EQ(server.Requests(filePaths[1]), 3);
    EXPECT_FALSE(vwtest::FileExists(Downloaded(L"b.txt")));
    EXPECT_EQ(Stored(L"DownloadVer"), L"<none>");
}

TEST_F(UpdateDownload, ACompleteEarlierDownloadIsFoundOnDiskWithoutARequest)
{
    LeaveManifest(Manifest("1.20", {File("a.txt", "aaa"), File("sub\\b.txt", "bbbb")}));
    ASSERT_EQ(RunDownload(), std::vector<Received>{kComplete});
    ASSERT_EQ(server.TotalRequests(), 2);

    EXPECT_EQ(RunDownload(), std::vector<Received>{kComplete});
    EXPECT_EQ(server.TotalRequests(), 2);

    // One file gone: the whole version is fetched again.
    ASSERT_TRUE(DeleteFileW(Downloaded(L"sub\\b.txt").c_str()));
    EXPECT_EQ(RunDownload(), std::vector<Received>{kComplete});
    EXPECT_EQ(server.Requests(filePaths[0]), 2);
    EXPECT_EQ(server.Requests(filePaths[1]), 2);

    // One file of another size: the same.
    ASSERT_TRUE(vwtest::WriteFileBytes(Downloaded(L"a.txt"), "aa"));
    EXPECT_EQ(RunDownload(), std::vector<Received>{kComplete});
    EXPECT_EQ(server.TotalRequests(), 6);
}

TEST_F(UpdateDownload, NothingToFetchReportsCompleteAtOnce)
{
    struct Case {
        const char* what;
        std::string manifest;
    };
    const Case cases[] = {
        {"no files", "[UPDATER]\r\nVersion=1.20\r\n"},
        {"not newer than installed", "[UPDATER]\r\nVersion=1.1\r\nFileCount=1\r\n"},
    };
    for (const Case& c : cases) {
        LeaveManifest(c.manifest);
        EXPECT_EQ(RunDownload(), std::vector<Received>{kComplete}) << c.what;
    }
    EXPECT_EQ(server.TotalRequests(), 0);
}

TEST_F(UpdateDownload, PreparationFailuresEndWithTheErrorOnly)
{
    // No manifest in the working folder.
    EXPECT_EQ(RunDownload(), std::vector<Received>{kFailed});
    EXPECT_EQ(updater.resultCode.load(), vw::kUpdaterNoSetup);

    // A file without an address.
    LeaveManifest("[UPDATER]\r\nVersion=1.20\r\nFileCount=1\r\n[UPDATER_NAME]\r\nFileName1=a.txt\r\nFileSize1=3\r\n");
    EXPECT_EQ(RunDownload(), std::vector<Received>{kFailed});
    EXPECT_EQ(updater.resultCode.load(), vw::kUpdaterBadManifest);

    // The manifest the check left behind, changed since or never signed: nothing is fetched.
    const std::string manifest = Manifest("1.20", {File("a.txt", "aaa")});
    for (const vwtest::Signed how : {vwtest::Signed::Not, vwtest::Signed::Wrongly}) {
        LeaveManifest(manifest, how);
        EXPECT_EQ(RunDownload(), std::vector<Received>{kFailed});
        EXPECT_EQ(updater.resultCode.load(), vw::kUpdaterBadSignature);
    }
    EXPECT_EQ(server.TotalRequests(), 0);

    // Every file must carry its digest.
    OfferedFile undigested = File("a.txt", "aaa");
    undigested.sha256 = "-";
    LeaveManifest(Manifest("1.20", {undigested}));
    EXPECT_EQ(RunDownload(), std::vector<Received>{kFailed});
    EXPECT_EQ(updater.resultCode.load(), vw::kUpdaterBadManifest);
    EXPECT_EQ(server.TotalRequests(), 0);
}

TEST_F(UpdateDownload, AGivenDigestMustMatch)
{
    OfferedFile good = File("good.txt", "the right bytes");
    good.sha256 = Sha256Of("the right bytes");
    OfferedFile bad = File("bad.txt", "other bytes");
    bad.sha256 = Sha256Of("what the vendor built");
    LeaveManifest(Manifest("1.20", {good, bad}));
    EXPECT_EQ(RunDownload(), std::vector<Received>{kIncomplete});
    EXPECT_EQ(vwtest::ReadFileBytes(Downloaded(L"good.txt")), "the right bytes");
    EXPECT_FALSE(vwtest::FileExists(Downloaded(L"bad.txt")));
    EXPECT_EQ(server.Requests(filePaths[1]), 3);

    // Upper-case digests are the same digest.
    good.sha256 = Sha256Of("the right bytes");
    for (char& c : good.sha256)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    LeaveManifest(Manifest("1.30", {good}));
    EXPECT_EQ(RunDownload(), std::vector<Received>{kComplete});
}

TEST_F(UpdateDownload, AUserAskingSeesTheStartAndEveryFile)
{
    LeaveManifest(Manifest("1.20", {File("a.txt", std::string(60 * 1023, 'a'))}));
    const std::vector<Received> log = RunDownload(0);
    std::vector<UINT> messages;
    for (const Received& r : log)
        messages.push_back(r.message);
    const std::vector<UINT> expected = {vw::WM_UPDATER_DOWNLOAD_START_MSG, vw::WM_UPDATER_FILE_SIZE_OK_MSG,
                                        vw::WM_UPDATER_FILE_PROGRESS_MSG,  // chunk 1
                                        vw::WM_UPDATER_FILE_PROGRESS_MSG,  // chunk 51
                                        vw::WM_UPDATER_FILE_DONE_MSG, vw::WM_UPDATER_DOWNLOAD_END_MSG};
    EXPECT_EQ(messages, expected);
    EXPECT_EQ(log.back(), kComplete);
    EXPECT_EQ(updater.goAhead.load(), 1);
}

TEST_F(UpdateDownload, StopDuringADownloadEndsItWithTheStopMessage)
{
    HttpReply slow;
    slow.pieceDelayMs = 50;
    LeaveManifest(Manifest("1.20", {File("big.bin", std::string(400 * 1024, 'b'), slow), File("after.txt", "x")}));
    window.ClearLog();
    ASSERT_TRUE(updater.StartDownload(window.get()));
    ASSERT_TRUE(window.PumpUntil([&] { return server.Requests(filePaths[0]) == 1; }));
    window.PumpFor(std::chrono::milliseconds(300));

    const auto start = std::chrono::steady_clock::now();
    updater.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    window.PumpFor(std::chrono::milliseconds(100));
    // The fetch that saw the request, the pass loop, then the end as failed.
    EXPECT_EQ(window.Log(), (std::vector<Received>{kFailed, kFailed, kIncomplete}));
    EXPECT_EQ(updater.resultCode.load(), vw::kUpdaterStopped);
    EXPECT_EQ(server.Requests(filePaths[1]), 0);
    EXPECT_EQ(Stored(L"DownloadVer"), L"<none>");
}

}  // namespace
