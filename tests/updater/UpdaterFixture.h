#pragma once
// An updater on a profile and a working folder of the test's own, a local HTTP server that
// offers the manifest and the files, and a message-only window that records what the threads post.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/HttpTestServer.h"
#include "support/MessageWindow.h"
#include "support/TestDrives.h"
#include "support/TestRegistry.h"
#include "support/TestSigning.h"
#include "updater/CUpdater.h"
#include "updater/UpdaterMessages.h"
#include "win/Format.h"
#include "win/ProfileStore.h"

namespace vwtest {

struct OfferedFile {
    std::string name;
    std::string content;
    HttpReply reply;             // body is taken from content
    std::string sha256;          // FileSHA256%d: empty for the content's own, "-" for none
};

// Whose signature a manifest is served with.
enum class Signed { ByTestKey, Not, Wrongly };


class UpdaterFixture : public ::testing::Test {
protected:
    UpdaterFixture()
        : key_(L"updater"), profile(key_.path()),
          window(vw::WM_UPDATER_DOWNLOAD_START_MSG, vw::WM_UPDATER_CHECK_END_MSG), updater(key_.path() + L"\\")
    {
        profile.SetString(L"UPDATER", L"Version", L"1.10");
        updater.installedVersion = 1.10;
        work = updater.WorkingFile(L"");
        RemoveTree(work);
        window.SetHandler([this](UINT message, WPARAM) {
            if (message == vw::WM_UPDATER_DOWNLOAD_START_MSG)
                updater.goAhead = 1;
        });
    }
    ~UpdaterFixture() override
    {
        updater.Stop();
        RemoveTree(work);
    }

    std::wstring Stored(const wchar_t* entry) const { return profile.GetString(L"UPDATER", entry, L"<none>"); }

    // The manifest text for version `version` with these files, each served by the test server.
    std::string Manifest(const std::string& version, std::vector<OfferedFile> offered, const std::string& extra = "")
    {
        std::string names, urls;
        for (size_t i = 0; i < offered.size(); ++i) {
            const std::string d = std::to_string(i + 1);
            const OfferedFile& file = offered[i];
            names += "FileName" + d + "=" + file.name + "\r\nFileSize" + d + "=" + std::to_string(file.content.size()) + "\r\n";
            // By number: a name may hold anything, even what no address should.
            const std::string path = "/v" + std::to_string(filePaths.size() + 1) + "/file";
            urls += "FileURL" + d + "=" + vw::WideToUtf8(server.Url(path)) + "\r\n";
            if (file.sha256 != "-")
                urls += "FileSHA256" + d + "=" + (file.sha256.empty() ? Sha256Hex(file.content) : file.sha256) + "\r\n";
            HttpReply reply = file.reply;
            reply.body = file.content;
            server.Serve(path, reply);
            filePaths.push_back(path);
        }
        return "[UPDATER]\r\nVersion=" + version + "\r\nFileCount=" + std::to_string(offered.size()) + "\r\n" + extra +
               "[UPDATER_NAME]\r\n" + names + "[UPDATER_URL]\r\n" + urls;
    }

    // The signature text served or left beside a manifest.
    static std::string SignatureOf(const std::string& text, Signed how)
    {
        switch (how) {
        case Signed::ByTestKey:
            return SignWithTestKey(text);
        case Signed::Wrongly:
            return SignWithTestKey(text + " ");  // a good signature, of other bytes
        case Signed::Not:
            break;
        }
        return std::string();
    }

    // Serves the manifest and its signature (none for Signed::Not) and points the profile at it.
    void OfferManifest(const std::string& text, HttpReply reply = {}, Signed how = Signed::ByTestKey)
    {
        reply.body = text;
        server.Serve("/Updater.ini", reply);
        HttpReply signature;
        signature.body = SignatureOf(text, how);
        signature.status = how == Signed::Not ? 404 : 200;
        server.Serve("/Updater.ini.sig", signature);
        profile.SetString(L"UPDATER", L"IniURL", server.Url("/Updater.ini"));
    }

    // As if the check had left the manifest (and its signature) behind.
    void LeaveManifest(const std::string& text, Signed how = Signed::ByTestKey)
    {
        ASSERT_TRUE(WriteFileBytes(work + L"Updater.ini", text));
        DeleteFileW((work + L"Updater.ini.sig").c_str());
        if (how != Signed::Not) {
            ASSERT_TRUE(WriteFileBytes(work + L"Updater.ini.sig", SignatureOf(text, how)));
        }
    }

    // Pumps until the thread's last message, then stops the updater as the window does.
    Received RunCheck(int automatic = 1)
    {
        updater.automatic = automatic;
        window.ClearLog();
        EXPECT_TRUE(updater.StartCheck(window.get()));
        const bool ended = window.PumpUntil([&] {
            return !window.Log().empty() && (window.Log().back().message == vw::WM_UPDATER_CHECK_END_MSG ||
                                             window.Log().back().message == vw::WM_UPDATER_ERROR_MSG);
        });
        EXPECT_TRUE(ended);
        updater.Stop();
        return ended ? window.Log().back() : Received{0, 0};
    }

    // The download's end message (wParam: complete), or nothing after a failed preparation.
    std::vector<Received> RunDownload(int automatic = 1)
    {
        updater.automatic = automatic;
        window.ClearLog();
        EXPECT_TRUE(updater.StartDownload(window.get()));
        EXPECT_TRUE(window.PumpUntil([&] { return updater.idle.load() == 1; }));
        updater.Stop();
        window.PumpFor(std::chrono::milliseconds(50));
        return window.Log();
    }

private:
    TestRegistryKey key_;

protected:
    vw::ProfileStore profile;
    HttpTestServer server;
    MessageWindow window;
    vw::CUpdater updater;
    std::wstring work;
    std::vector<std::string> filePaths;
};

}  // namespace vwtest
