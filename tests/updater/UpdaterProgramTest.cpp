// The real Updater.exe under Wine: real files in a program folder, a real profile, a real lock.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "support/TestDrives.h"
#include "support/TestRegistry.h"
#include "updater/ProgramFolders.h"
#include "updater/Sha256.h"
#include "win/Format.h"
#include "win/ProfileStore.h"
#include "win/UniqueHandle.h"

namespace {

using namespace vwtest;

std::wstring BuildFolder()
{
    wchar_t self[MAX_PATH];
    std::wstring path(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    path.resize(path.rfind(L'\\'));  // tests
    return path;
}

struct Version {
    std::string program;  // Vaultwren.exe: the probe, with a tail of its own
    std::string readme;
    std::string lang;
    std::string extra;    // empty: not in this version
};

class UpdaterProgram : public ::testing::Test {
protected:
    UpdaterProgram() : key_(L"updater-program"), profile(key_.path()), program(kDiskM, L"prog")
    {
        subPath = key_.path() + L"\\";
        vw::TempFolderFile(work, subPath, L"");
        RemoveTree(work);
        probe = ReadFileBytes(BuildFolder() + L"\\restartprobe.exe");
        oldVersion = {probe, "old readme", "old lang", ""};
        newVersion = {probe + std::string("\0new", 4), "new readme", "new lang", "added"};

        EXPECT_TRUE(WriteFileBytes(program / L"Vaultwren.exe", oldVersion.program));
        EXPECT_TRUE(WriteFileBytes(program / L"readme.txt", oldVersion.readme));
        EXPECT_TRUE(WriteFileBytes(program / L"data\\lang.txt", oldVersion.lang));
        EXPECT_TRUE(WriteFileBytes(work + L"Update\\Vaultwren.exe", newVersion.program));
        EXPECT_TRUE(WriteFileBytes(work + L"Update\\readme.txt", newVersion.readme));
        EXPECT_TRUE(WriteFileBytes(work + L"Update\\data\\lang.txt", newVersion.lang));
        EXPECT_TRUE(WriteFileBytes(work + L"Update\\data\\extra.txt", newVersion.extra));
        WriteManifest("");
        profile.SetString(L"UPDATER", L"Path", program.path());
        profile.SetString(L"UPDATER", L"Version", L"1.10");
        // Where the hand-over puts it before starting it.
        EXPECT_TRUE(CopyFileW((BuildFolder() + L"\\..\\updater\\exe\\Updater.exe").c_str(),
                              (work + L"Updater.exe").c_str(), FALSE));
    }
    ~UpdaterProgram() override { RemoveTree(work); }

    // `wrongDigestOf` names a file whose digest the manifest gets wrong.
    void WriteManifest(const std::string& wrongDigestOf)
    {
        const char* names[] = {"Vaultwren.exe", "readme.txt", "data\\lang.txt", "data\\extra.txt"};
        std::string sizes, urls;
        int d = 0;
        for (const char* name : names) {
            const std::string n = std::to_string(++d);
            const std::wstring path = work + L"Update\\" + vw::Utf8ToWide(name);
            std::string digest = vw::WideToUtf8(vw::FileSha256(path));
            if (wrongDigestOf == name)
                digest.replace(0, 4, "0000");
            sizes += "FileName" + n + "=" + name + "\r\nFileSize" + n + "=" +
                     std::to_string(ReadFileBytes(path).size()) + "\r\n";
            urls += "FileURL" + n + "=http://127.0.0.1/" + n + "\r\nFileSHA256" + n + "=" + digest + "\r\n";
        }
        EXPECT_TRUE(WriteFileBytes(work + L"Updater.ini", "[UPDATER]\r\nVersion=1.20\r\nFileCount=4\r\n[UPDATER_NAME]\r\n" +
                                                              sizes + "[UPDATER_URL]\r\n" + urls));
    }

    DWORD RunUpdater(const std::function<void()>& whileRunning = {})
    {
        // Without the trailing backslash, which would escape the closing quote.
        std::wstring commandLine = L"\"" + work + L"Updater.exe\" \"" + key_.path() + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, work.c_str(), &startup,
                            &process))
            return 0xFFFFFFFF;
        const vw::UniqueHandle processHandle(process.hProcess);
        const vw::UniqueHandle threadHandle(process.hThread);
        if (whileRunning)
            whileRunning();
        DWORD code = 0xFFFFFFFF;
        if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0)
            GetExitCodeProcess(process.hProcess, &code);
        return code;
    }

    bool Restarted() const
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (std::chrono::steady_clock::now() < end) {
            if (FileExists(program / L"started.txt"))
                return true;
            Sleep(100);
        }
        return false;
    }

    void ExpectProgramFolderHolds(const Version& version)
    {
        EXPECT_TRUE(ReadFileBytes(program / L"Vaultwren.exe") == version.program) << "Vaultwren.exe";
        EXPECT_EQ(ReadFileBytes(program / L"readme.txt"), version.readme);
        EXPECT_EQ(ReadFileBytes(program / L"data\\lang.txt"), version.lang);
        EXPECT_EQ(FileExists(program / L"data\\extra.txt"), !version.extra.empty());
        if (!version.extra.empty()) {
            EXPECT_EQ(ReadFileBytes(program / L"data\\extra.txt"), version.extra);
        }
        // Nothing half-done is left behind.
        for (const wchar_t* left : {L"Vaultwren.exe.vwnew", L"readme.txt.vwnew", L"readme.txt.vwold",
                                    L"data\\lang.txt.vwnew", L"data\\lang.txt.vwold", L"data\\extra.txt.vwnew"})
            EXPECT_FALSE(FileExists(program / left)) << left;
    }

    TestRegistryKey key_;
    vw::ProfileStore profile;
    ScratchFolder program;
    std::wstring subPath;
    std::wstring work;
    std::string probe;
    Version oldVersion;
    Version newVersion;
};

TEST_F(UpdaterProgram, PutsTheNewVersionInPlaceAndStartsIt)
{
    EXPECT_EQ(RunUpdater(), 0u);
    ExpectProgramFolderHolds(newVersion);
    EXPECT_TRUE(Restarted());
    EXPECT_EQ(profile.GetString(L"UPDATER", L"Version", L""), L"1.20");
}

TEST_F(UpdaterProgram, AFailureLeavesTheOldVersionWhole)
{
    struct Case {
        const char* what;
        std::function<void()> fault;
    };
    vw::UniqueFile held;
    const Case cases[] = {
        // The third file is in use: the two swapped before it are put back.
        {"locked file", [&] {
             held.reset(CreateFileW((program / L"data\\lang.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
             ASSERT_TRUE(held);
         }},
        {"digest does not match", [&] { WriteManifest("data\\lang.txt"); }},
        {"downloaded file missing", [&] { DeleteFileW((work + L"Update\\data\\extra.txt").c_str()); }},
        {"hostile name", [&] {
             WriteManifest("");
             WritePrivateProfileStringW(L"UPDATER_NAME", L"FileName4", L"..\\extra.txt", (work + L"Updater.ini").c_str());
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.fault();
        EXPECT_EQ(RunUpdater(), 1u);
        held.reset();
        ExpectProgramFolderHolds(oldVersion);
        EXPECT_FALSE(FileExists(program.path().substr(0, program.path().size() - 1) + L"\\..\\extra.txt"));
        // The old version runs again.
        EXPECT_TRUE(Restarted());
        DeleteFileW((program / L"started.txt").c_str());
        EXPECT_EQ(profile.GetString(L"UPDATER", L"Version", L""), L"1.10");
    }
}

TEST_F(UpdaterProgram, WaitsUntilVaultwrenHasEnded)
{
    vw::UniqueHandle running(CreateMutexW(nullptr, TRUE, L"CVaultwren"));
    ASSERT_TRUE(running);
    const DWORD code = RunUpdater([&] {
        Sleep(1500);
        EXPECT_EQ(ReadFileBytes(program / L"readme.txt"), oldVersion.readme);
        ReleaseMutex(running.get());
        running.reset();
    });
    EXPECT_EQ(code, 0u);
    ExpectProgramFolderHolds(newVersion);
}

TEST_F(UpdaterProgram, AFileInUseForAMomentIsTriedAgain)
{
    vw::UniqueFile held(CreateFileW((program / L"data\\lang.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    const DWORD code = RunUpdater([&] {
        Sleep(700);
        held.reset();
    });
    EXPECT_EQ(code, 0u);
    ExpectProgramFolderHolds(newVersion);
}

TEST_F(UpdaterProgram, NoProgramFolderInTheProfileTouchesNothing)
{
    profile.RemoveEntry(L"UPDATER", L"Path");
    EXPECT_EQ(RunUpdater(), 2u);
    ExpectProgramFolderHolds(oldVersion);
    // A folder that is no program folder of ours.
    ScratchFolder elsewhere(kDiskM, L"else");
    profile.SetString(L"UPDATER", L"Path", elsewhere.path());
    EXPECT_EQ(RunUpdater(), 2u);
    EXPECT_FALSE(FileExists(elsewhere / L"readme.txt"));
}

}  // namespace
