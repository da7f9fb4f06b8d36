// What tools/make-update.py publishes for a release folder (tests/updater/release, made at build
// time and signed with the test key), served as a plain web server serves a folder, taken from the
// check to the installed files.
#include <algorithm>

#include "UpdaterFixture.h"
#include "updater/UpdateInstall.h"

namespace {

using vwtest::Received;

// The address the build gave the script (tests/CMakeLists.txt).
constexpr unsigned short kPublishedPort = VW_UPDATE_FIXTURE_PORT;

std::wstring PublishedFolder()
{
    wchar_t self[MAX_PATH];
    std::wstring path(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    path.resize(path.rfind(L'\\'));
    return path + L"\\update-fixture\\";
}

class PublishedUpdate : public vwtest::UpdaterFixture {};

TEST_F(PublishedUpdate, IsFoundDownloadedAndInstalled)
{
    vwtest::HttpTestServer published(kPublishedPort);
    published.ServeFolder(PublishedFolder(), "/update");
    profile.SetString(L"UPDATER", L"IniURL", published.Url("/update/Updater.ini"));

    ASSERT_EQ(RunCheck(0), (Received{vw::WM_UPDATER_CHECK_END_MSG, 1}));
    ASSERT_EQ(RunDownload(), std::vector<Received>{(Received{vw::WM_UPDATER_DOWNLOAD_END_MSG, 1})});
    EXPECT_EQ(Stored(L"DownloadVer"), L"1.20");
    const wchar_t* files[] = {L"Vaultwren.exe", L"readme.txt", L"lang\\zh-CN 语言.txt"};
    for (const wchar_t* name : files) {
        EXPECT_EQ(vwtest::ReadFileBytes(work + L"Update\\" + name), vwtest::ReadFileBytes(PublishedFolder() + L"files\\" + name))
            << name;
        std::string address = "/update/files/" + vw::WideToUtf8(name);
        std::replace(address.begin(), address.end(), '\\', '/');
        EXPECT_EQ(published.Requests(address), 1) << name;
    }

    // The installed program says it is 1.10 (the stand-in carries the version resource).
    vwtest::ScratchFolder program(vwtest::kDiskM, L"installed");
    wchar_t self[MAX_PATH];
    std::wstring probe(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    probe.resize(probe.rfind(L'\\') + 1);
    ASSERT_TRUE(CopyFileW((probe + L"restartprobe.exe").c_str(), (program / L"Vaultwren.exe").c_str(), FALSE));
    const vw::InstallResult installed = vw::InstallUpdate(work + L"Updater.ini", work + L"Update\\", program.path());
    EXPECT_EQ(installed.end, vw::InstallEnd::Installed);
    for (const wchar_t* name : files)
        EXPECT_EQ(vwtest::ReadFileBytes(program / name), vwtest::ReadFileBytes(PublishedFolder() + L"files\\" + name)) << name;
}

}  // namespace
