#pragma once
// The real main window on a profile of the test's own whose update address leads to a local server,
// with the updater's working folder emptied before and after. What the user sees of an update is
// read back as a user would see it: the boxes (answered by the test) and the notice popup.
#include <gtest/gtest.h>
#include <windows.h>

#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "MainWindowDriver.h"
#include "resources/resource.h"
#include "support/HttpTestServer.h"
#include "support/MessageBoxAnswerer.h"
#include "support/TestDrives.h"
#include "support/TestSigning.h"
#include "updater/CUpdater.h"
#include "updater/CheckDate.h"
#include "updater/ProgramFolders.h"
#include "updater/UpdateReactions.h"
#include "updater/UpdaterKeys.h"
#include "win/Format.h"

namespace vwtest {

// A box as the user should see it: its text exactly, its icon and whether it asks Yes or No.
struct ExpectedBox {
    const wchar_t* text;
    LPCWSTR icon;
    bool yesNo;
};

inline const ExpectedBox kQuestionBox{vw::kAskInstallText, IDI_QUESTION, true};
inline const ExpectedBox kIncompleteBox{vw::kIncompleteText, IDI_HAND, false};
inline const ExpectedBox kHandOverFailedBox{vw::kHandOverFailedText, IDI_HAND, false};
// A failed check: the plain text, then what failed.
inline ExpectedBox CheckFailedBox(int32_t resultCode)
{
    return {vw::UpdateFailureText(resultCode), IDI_ASTERISK, false};
}
inline const ExpectedBox kUpToDateBox{vw::kUpToDateText, IDI_ASTERISK, false};

inline void ExpectBoxes(const std::vector<AnsweredBox>& seen, const std::vector<ExpectedBox>& expected)
{
    ASSERT_EQ(seen.size(), expected.size());
    for (size_t i = 0; i < seen.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(seen[i].text, expected[i].text);
        EXPECT_EQ(seen[i].icon, ::LoadIconW(nullptr, expected[i].icon));
        EXPECT_EQ(seen[i].yesNo, expected[i].yesNo);
    }
}

class UpdateWindowFixture : public MainWindowFixture {
protected:
    static constexpr char kManifestPath[] = "/Updater.ini";
    static constexpr char kFilePath[] = "/files/Vaultwren.exe";
    static constexpr char kNoticePath[] = "/notice.html";

    UpdateWindowFixture() : MainWindowFixture(L"ui-update", L"ui-update", L"备份")
    {
        profile.SetString(vw::kUpdaterSection, vw::kVersionEntry, L"1.10");
        profile.SetString(vw::kUpdaterSection, vw::kIniUrlEntry, server.Url(kManifestPath));
        vw::TempFolderFile(work, ProfileKey() + L"\\", L"");
        RemoveTree(work);
        server.Serve(kNoticePath, {200, "<html><body><h1>Vaultwren 公告</h1></body></html>"});
    }
    ~UpdateWindowFixture() override
    {
        // A program started from the working folder may hold its file for a moment after it ended.
        for (int i = 0; i < 50 && !RemoveTree(work); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }

    // The manifest of `version` with one file, which the server has or lacks, and a notice page of
    // audience `noticeType` shown for `noticeSeconds` (no notice when `noticeType` is null).
    void Offer(const char* version, bool fileOnServer, const char* noticeType = nullptr, int noticeSeconds = 0)
    {
        const std::string content(6000, 'n');
        server.Serve(kFilePath, fileOnServer ? vwtest::HttpReply{200, content} : vwtest::HttpReply{404, "no such file"});
        std::string manifest = std::string("[UPDATER]\r\nVersion=") + version + "\r\nFileCount=1\r\n" +
                               "[UPDATER_NAME]\r\nFileName1=Vaultwren.exe\r\nFileSize1=" +
                               std::to_string(content.size()) + "\r\n[UPDATER_URL]\r\nFileURL1=" +
                               vw::WideToUtf8(server.Url(kFilePath)) + "\r\nFileSHA2561=" + Sha256Hex(content) + "\r\n";
        if (noticeType)
            manifest += "[UPDATER_MSG]\r\nURL=" + vw::WideToUtf8(server.Url(kNoticePath)) + "\r\nTimer=" +
                        std::to_string(noticeSeconds) + "\r\nType=" + noticeType + "\r\n";
        ServeManifest({200, manifest});
    }

    // The manifest as the server answers it, with the test key's signature of its body beside it.
    void ServeManifest(const HttpReply& reply)
    {
        server.Serve(kManifestPath, reply);
        server.Serve(std::string(kManifestPath) + ".sig", {200, SignWithTestKey(reply.body)});
    }

    // The check at start finds the last one recent enough and asks the server nothing: only the
    // user's own check runs.
    void CheckedToday()
    {
        profile.SetString(vw::kUpdaterSection, vw::kCheckDateEntry,
                          vw::FormatCheckDate(vw::LocalMidnight(std::time(nullptr))));
        profile.SetString(vw::kUpdaterSection, vw::kCheckDaysEntry, L"5");
    }

    // As if this profile had never checked nor downloaded: the next check at start asks the server.
    void ForgetEarlierUpdates()
    {
        RemoveTree(work);
        profile.SetString(vw::kUpdaterSection, vw::kCheckDateEntry, L"");
        profile.SetString(vw::kUpdaterSection, vw::kDownloadVerEntry, L"");
    }

    // The window, the server's count of manifest requests taken as it opens.
    std::unique_ptr<MainWindowDriver> Open()
    {
        manifestRequestsAtOpen_ = server.Requests(kManifestPath);
        return MainWindowFixture::Open();
    }

    // The user's "软件升级(&U)", once the check the window began at its start has ended without a
    // request (CheckedToday): its end message is already queued ahead of the command.
    void CheckByHand(const MainWindowDriver& window)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(server.Requests(kManifestPath), manifestRequestsAtOpen_);
        window.Post(ID_UPDATE);
    }

    // The window's notice popup (made on the window's thread with the desktop as its parent).
    static HWND NoticePopup(const MainWindowDriver& window)
    {
        HWND found = nullptr;
        ::EnumThreadWindows(
            ::GetWindowThreadProcessId(window.window(), nullptr),
            [](HWND candidate, LPARAM out) -> BOOL {
                if (!::GetDlgItem(candidate, IDC_NOTICE_CLOSE) || !::GetDlgItem(candidate, IDC_NOTICE_TITLE))
                    return TRUE;
                *reinterpret_cast<HWND*>(out) = candidate;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&found));
        return found;
    }
    static bool NoticeVisible(const MainWindowDriver& window)
    {
        HWND popup = NoticePopup(window);
        return popup && ::IsWindowVisible(popup);
    }

    // The window handles a message within a few seconds: it neither hangs nor has gone.
    static bool Answers(const MainWindowDriver& window)
    {
        DWORD_PTR result = 0;
        return window.Running() &&
               ::SendMessageTimeoutW(window.window(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result) != 0;
    }

    std::wstring Downloaded() const { return work + L"Update\\Vaultwren.exe"; }

private:
    int manifestRequestsAtOpen_ = 0;

protected:
    HttpTestServer server;
    std::wstring work;  // the updater's working folder, with its trailing "\"
};

}  // namespace vwtest
