// The real Updater.exe under Wine: real files in a program folder, a real profile, a real lock.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/TestDrives.h"
#include "support/TestRegistry.h"
#include "support/TestSigning.h"
#include "updater/ProgramFolders.h"
#include "updater/Sha256.h"
#include "updater/UpdateInstall.h"
#include "updater/UpdateJournal.h"
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
    explicit UpdaterProgram(wchar_t drive = kDiskM)
        : key_(L"updater-program"), profile(key_.path()), program(drive, L"prog")
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
        PrepareUpdate();
        profile.SetString(L"UPDATER", L"Version", L"1.10");
        // Where the hand-over puts it before starting it.
        EXPECT_TRUE(CopyFileW((BuildFolder() + L"\\..\\updater\\exe\\Updater.exe").c_str(),
                              (work + L"Updater.exe").c_str(), FALSE));
    }
    ~UpdaterProgram() override
    {
        SetEnvironmentVariableW(L"VAULTWREN_UPDATER_WAIT_MS", nullptr);
        RemoveTree(work);
    }

    // The downloaded new version, its manifest and the profile's program folder, as the
    // hand-over leaves them.
    void PrepareUpdate()
    {
        EXPECT_TRUE(WriteFileBytes(work + L"Update\\Vaultwren.exe", newVersion.program));
        EXPECT_TRUE(WriteFileBytes(work + L"Update\\readme.txt", newVersion.readme));
        EXPECT_TRUE(WriteFileBytes(work + L"Update\\data\\lang.txt", newVersion.lang));
        EXPECT_TRUE(WriteFileBytes(work + L"Update\\data\\extra.txt", newVersion.extra));
        WriteManifest("");
        profile.SetString(L"UPDATER", L"Path", program.path());
    }

    // `wrongDigestOf` names a file whose digest the manifest gets wrong.
    void WriteManifest(const std::string& wrongDigestOf, const std::string& version = "1.20")
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
        EXPECT_TRUE(WriteFileBytes(work + L"Updater.ini", "[UPDATER]\r\nVersion=" + version +
                                                              "\r\nFileCount=4\r\n[UPDATER_NAME]\r\n" + sizes +
                                                              "[UPDATER_URL]\r\n" + urls));
        EXPECT_TRUE(SignFileWithTestKey(work + L"Updater.ini"));
    }

    // A message box Updater.exe showed, as the user saw it.
    struct Box {
        std::wstring caption;
        std::wstring text;
        bool topmost = false;
        bool owned = false;
        bool programStarted = false;  // Vaultwren had been started while the box was up
    };

    struct Run {
        DWORD code = 0xFFFFFFFF;
        std::vector<Box> boxes;
    };

    // Runs Updater.exe to its end, closing every message box it shows with OK, as a user would.
    // `restartExpected`: a box waits for the old program's start before it is closed.
    Run RunUpdater(const std::function<void()>& whileRunning = {}, bool restartExpected = false)
    {
        // Without the trailing backslash, which would escape the closing quote.
        std::wstring commandLine = L"\"" + work + L"Updater.exe\" \"" + key_.path() + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        Run run;
        if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, work.c_str(), &startup,
                            &process))
            return run;
        const vw::UniqueHandle processHandle(process.hProcess);
        const vw::UniqueHandle threadHandle(process.hThread);
        if (whileRunning)
            whileRunning();
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (WaitForSingleObject(process.hProcess, 100) == WAIT_TIMEOUT && std::chrono::steady_clock::now() < end) {
            const HWND shown = MessageBoxOf(process.dwProcessId);
            if (!shown)
                continue;
            Box box;
            wchar_t text[1024] = {};
            GetWindowTextW(shown, text, 1024);
            box.caption = text;
            GetDlgItemTextW(shown, 0xFFFF, text, 1024);  // the static control that holds a box's text
            box.text = text;
            box.topmost = (GetWindowLongW(shown, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
            box.owned = GetWindow(shown, GW_OWNER) != nullptr;
            box.programStarted = restartExpected && Restarted();
            run.boxes.push_back(box);
            PostMessageW(shown, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            for (int i = 0; i < 100 && IsWindow(shown); ++i)
                Sleep(50);
        }
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0)
            GetExitCodeProcess(process.hProcess, &run.code);
        else
            TerminateProcess(process.hProcess, 0xFFFFFFFF);
        return run;
    }

    // A visible dialog window of that process: a message box.
    static HWND MessageBoxOf(DWORD processId)
    {
        struct Search {
            DWORD processId;
            HWND found;
        } search{processId, nullptr};
        EnumWindows(
            [](HWND window, LPARAM parameter) -> BOOL {
                auto& s = *reinterpret_cast<Search*>(parameter);
                DWORD owner = 0;
                GetWindowThreadProcessId(window, &owner);
                wchar_t name[16] = {};
                GetClassNameW(window, name, 16);
                if (owner == s.processId && IsWindowVisible(window) && std::wstring(name) == L"#32770") {
                    s.found = window;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    // The lines of Updater.log after its UTF-8 mark, each without its time.
    std::vector<std::string> LogLines() const
    {
        const std::string log = ReadFileBytes(work + L"Updater.log");
        std::vector<std::string> lines;
        if (log.compare(0, 3, "\xEF\xBB\xBF") != 0)
            return lines;
        for (size_t at = 3; at < log.size();) {
            const size_t next = log.find("\r\n", at);
            const std::string line = log.substr(at, next - at);
            lines.push_back(line.size() > 20 ? line.substr(20) : "<no time> " + line);
            at = next == std::string::npos ? log.size() : next + 2;
        }
        return lines;
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
        EXPECT_FALSE(FileExists(program / L"~VaultwrenUpdate"));
    }

    // Runs Updater.exe until it reaches `step` (win/HaltPoint.h) and kills it there, as a power cut
    // would. False when it never got there.
    bool RunUpdaterHaltedAt(const std::wstring& step, const std::function<void()>& whileHalted = {})
    {
        const std::wstring eventName = L"vw-updater-halt-" + std::to_wstring(GetCurrentProcessId());
        const vw::UniqueHandle reached(CreateEventW(nullptr, TRUE, FALSE, eventName.c_str()));
        SetEnvironmentVariableW(L"VAULTWREN_HALT_AT", step.c_str());
        SetEnvironmentVariableW(L"VAULTWREN_HALT_EVENT", eventName.c_str());
        std::wstring commandLine = L"\"" + work + L"Updater.exe\" \"" + key_.path() + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        const bool started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                            work.c_str(), &startup, &process);
        SetEnvironmentVariableW(L"VAULTWREN_HALT_AT", nullptr);
        SetEnvironmentVariableW(L"VAULTWREN_HALT_EVENT", nullptr);
        if (!started)
            return false;
        const vw::UniqueHandle processHandle(process.hProcess);
        const vw::UniqueHandle threadHandle(process.hThread);
        const HANDLE either[] = {reached.get(), process.hProcess};
        const bool halted = WaitForMultipleObjects(2, either, FALSE, 60000) == WAIT_OBJECT_0;
        if (halted && whileHalted)
            whileHalted();
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, 10000);
        return halted;
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

TEST_F(UpdaterProgram, PutsTheNewVersionInPlaceAndStartsItSilently)
{
    const Run run = RunUpdater();
    EXPECT_EQ(run.code, 0u);
    EXPECT_TRUE(run.boxes.empty());
    ExpectProgramFolderHolds(newVersion);
    EXPECT_TRUE(Restarted());
    EXPECT_EQ(profile.GetString(L"UPDATER", L"Version", L""), L"1.20");
    EXPECT_EQ(LogLines(), std::vector<std::string>{"1.20: installed"});
}

TEST_F(UpdaterProgram, TheLogKeepsEarlierRunsUntilItGrowsLarge)
{
    const std::string earlier = "2026-01-02 03:04:05 1.15: installed\r\n";
    struct Case {
        const char* what;
        size_t earlierLines;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"a short log grows", 3, {"1.15: installed", "1.15: installed", "1.15: installed", "1.20: installed"}},
        {"a log past 64 KiB starts afresh", 65 * 1024 / earlier.size() + 1, {"1.20: installed"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PrepareUpdate();
        std::string log = "\xEF\xBB\xBF";
        for (size_t i = 0; i < c.earlierLines; ++i)
            log += earlier;
        ASSERT_TRUE(WriteFileBytes(work + L"Updater.log", log));
        EXPECT_EQ(RunUpdater().code, 0u);
        EXPECT_EQ(LogLines(), c.expected);
    }
}

constexpr wchar_t kOldVersionStays[] = L"\n原来的版本没有改动，可以照常使用。";

TEST_F(UpdaterProgram, AFailureIsToldAndLeavesTheOldVersionWhole)
{
    struct Case {
        const char* what;
        std::function<void()> fault;
        DWORD code;
        std::wstring text;
        bool restarted;     // the old program is started again
        std::string logged; // the log's line, after its time
    };
    vw::UniqueFile held;
    vw::UniqueHandle running;
    vw::UniqueWindow window;
    // Vaultwren's window class, as FindWindow looks for it.
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"CVaultwren";
    RegisterClassW(&windowClass);
    const std::string programFolder = vw::WideToUtf8(program.path());
    const Case cases[] = {
        // The third file stays in use through every attempt: the two swapped before it are put back.
        {"locked file",
         [&] {
             held.reset(CreateFileW((program / L"data\\lang.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
             ASSERT_TRUE(held);
         },
         1, std::wstring(L"更新没有安装：程序目录中有文件正被其他程序使用。") + kOldVersionStays, true,
         "1.20: not installed, a file is in use - " + programFolder + "data\\lang.txt (error 32)"},
        {"digest does not match", [&] { WriteManifest("data\\lang.txt"); }, 1,
         std::wstring(L"更新没有安装：下载的更新文件不完整或已损坏。") + kOldVersionStays, true,
         "1.20: not installed, the download is incomplete or damaged - data\\lang.txt"},
        {"downloaded file missing", [&] { DeleteFileW((work + L"Update\\data\\extra.txt").c_str()); }, 1,
         std::wstring(L"更新没有安装：下载的更新文件不完整或已损坏。") + kOldVersionStays, true,
         "1.20: not installed, the download is incomplete or damaged - data\\extra.txt"},
        {"hostile name",
         [&] {
             WritePrivateProfileStringW(L"UPDATER_NAME", L"FileName4", L"..\\extra.txt", (work + L"Updater.ini").c_str());
             ASSERT_TRUE(SignFileWithTestKey(work + L"Updater.ini"));
         },
         1, std::wstring(L"更新没有安装：下载的更新文件不完整或已损坏。") + kOldVersionStays, true,
         "1.20: not installed, the download is incomplete or damaged - ..\\extra.txt"},
        {"program folder gone", [&] { profile.SetString(L"UPDATER", L"Path", program / L"gone"); }, 2,
         std::wstring(L"更新没有安装：找不到Vaultwren的程序目录。") + kOldVersionStays, false,
         "1.20: not installed, no program folder"},
        {"no program folder in the profile", [&] { profile.RemoveEntry(L"UPDATER", L"Path"); }, 2,
         std::wstring(L"更新没有安装：找不到Vaultwren的程序目录。") + kOldVersionStays, false,
         "1.20: not installed, no program folder"},
        // Vaultwren never lets go of its name: it still runs, nothing is started a second time.
        {"Vaultwren does not end",
         [&] {
             running.reset(CreateMutexW(nullptr, TRUE, L"CVaultwren"));
             ASSERT_TRUE(running);
             window.reset(CreateWindowExW(0, L"CVaultwren", L"Vaultwren", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr,
                                          nullptr, GetModuleHandleW(nullptr), nullptr));
             ASSERT_TRUE(window);
             SetEnvironmentVariableW(L"VAULTWREN_UPDATER_WAIT_MS", L"1000");
         },
         3, std::wstring(L"更新没有安装：Vaultwren一直没有退出。") + kOldVersionStays, false,
         "1.20: not installed, Vaultwren still runs"},
        // A console runner holds the same name, without a window: the message names it.
        {"a console runner does not end",
         [&] {
             running.reset(CreateMutexW(nullptr, TRUE, L"CVaultwren"));
             ASSERT_TRUE(running);
             SetEnvironmentVariableW(L"VAULTWREN_UPDATER_WAIT_MS", L"1000");
         },
         3, std::wstring(L"更新没有安装：命令行程序VaultwrenCmd一直在运行，没有结束。") + kOldVersionStays, false,
         "1.20: not installed, VaultwrenCmd still runs"},
    };
    std::vector<std::string> logged;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PrepareUpdate();
        c.fault();
        const Run run = RunUpdater({}, c.restarted);
        EXPECT_EQ(run.code, c.code);
        held.reset();
        window.reset();
        running.reset();
        SetEnvironmentVariableW(L"VAULTWREN_UPDATER_WAIT_MS", nullptr);

        ASSERT_EQ(run.boxes.size(), 1u);
        const Box& box = run.boxes[0];
        EXPECT_EQ(box.text, c.text);
        EXPECT_EQ(box.caption, L"Vaultwren");
        EXPECT_TRUE(box.topmost);
        EXPECT_FALSE(box.owned);
        // The old program does not wait for the user to read the message.
        EXPECT_EQ(box.programStarted, c.restarted);
        EXPECT_EQ(FileExists(program / L"started.txt"), c.restarted);
        DeleteFileW((program / L"started.txt").c_str());

        ExpectProgramFolderHolds(oldVersion);
        EXPECT_FALSE(FileExists(program.path().substr(0, program.path().size() - 1) + L"\\..\\extra.txt"));
        EXPECT_EQ(profile.GetString(L"UPDATER", L"Version", L""), L"1.10");
        logged.push_back(c.logged);
        EXPECT_EQ(LogLines(), logged);
    }
}

// The program folder on a disk that has no room for the new version.
class UpdaterProgramOnFullDisk : public UpdaterProgram {
protected:
    UpdaterProgramOnFullDisk() : UpdaterProgram(kFullDisk) {}
};

TEST_F(UpdaterProgramOnFullDisk, NoRoomForTheNewVersionIsToldAndLeavesTheOldOne)
{
    if (!DriveAvailable(kFullDisk))
        GTEST_SKIP() << "no full-disk drive here";
    ULARGE_INTEGER room{};
    ASSERT_TRUE(GetDiskFreeSpaceExW(program.path().c_str(), &room, nullptr, nullptr));
    ASSERT_GT(room.QuadPart, 64u * 1024);
    ASSERT_TRUE(WriteFileOfSize(program / L"filler.bin", room.QuadPart - 64 * 1024));

    const Run run = RunUpdater({}, true);
    EXPECT_EQ(run.code, 1u);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].text,
              std::wstring(L"更新没有安装：无法写入程序目录（磁盘已满或没有写入权限）。") + kOldVersionStays);
    EXPECT_TRUE(run.boxes[0].programStarted);
    ExpectProgramFolderHolds(oldVersion);
    EXPECT_EQ(LogLines(), std::vector<std::string>{"1.20: not installed, the program folder cannot be written - " +
                                                   vw::WideToUtf8(program.path()) + "Vaultwren.exe (error 112)"});
}

TEST_F(UpdaterProgram, WaitsUntilVaultwrenHasEnded)
{
    vw::UniqueHandle running(CreateMutexW(nullptr, TRUE, L"CVaultwren"));
    ASSERT_TRUE(running);
    const Run run = RunUpdater([&] {
        Sleep(1500);
        EXPECT_EQ(ReadFileBytes(program / L"readme.txt"), oldVersion.readme);
        ReleaseMutex(running.get());
        running.reset();
    });
    EXPECT_EQ(run.code, 0u);
    EXPECT_TRUE(run.boxes.empty());
    ExpectProgramFolderHolds(newVersion);
}

TEST_F(UpdaterProgram, AFileInUseForAMomentIsTriedAgain)
{
    vw::UniqueFile held(CreateFileW((program / L"data\\lang.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    const Run run = RunUpdater([&] {
        Sleep(700);
        held.reset();
    });
    EXPECT_EQ(run.code, 0u);
    EXPECT_TRUE(run.boxes.empty());
    ExpectProgramFolderHolds(newVersion);
}

TEST_F(UpdaterProgram, AFolderThatHoldsNoVaultwrenIsNotTouched)
{
    ScratchFolder elsewhere(kDiskM, L"else");
    profile.SetString(L"UPDATER", L"Path", elsewhere.path());
    const Run run = RunUpdater();
    EXPECT_EQ(run.code, 2u);
    EXPECT_EQ(run.boxes.size(), 1u);
    EXPECT_FALSE(FileExists(elsewhere / L"readme.txt"));
    EXPECT_FALSE(FileExists(elsewhere / L"started.txt"));
}

TEST_F(UpdaterProgram, ASwapKilledAtAnyStepLeavesTheOldOrTheNewVersionWhole)
{
    struct Case {
        const wchar_t* step;
        bool newVersion;  // what the next start of Vaultwren finds in place
    };
    const Case cases[] = {
        {L"update-staged", false},     {L"update-journal", false},    {L"update-set-aside-1", false},
        {L"update-replaced-1", false}, {L"update-set-aside-2", false}, {L"update-replaced-2", false},
        {L"update-replaced-3", false}, {L"update-set-aside-4", false}, {L"update-replaced-4", false},
        {L"update-committed", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(vw::WideToUtf8(c.step));
        // The program the last round started may still be ending: its file is free a moment later.
        bool written = false;
        for (int i = 0; i < 50 && !written; ++i) {
            written = WriteFileBytes(program / L"Vaultwren.exe", oldVersion.program);
            if (!written)
                Sleep(100);
        }
        ASSERT_TRUE(written);
        ASSERT_TRUE(WriteFileBytes(program / L"readme.txt", oldVersion.readme));
        ASSERT_TRUE(WriteFileBytes(program / L"data\\lang.txt", oldVersion.lang));
        DeleteFileW((program / L"data\\extra.txt").c_str());
        PrepareUpdate();
        ASSERT_TRUE(RunUpdaterHaltedAt(c.step));
        EXPECT_TRUE(FileExists(program / L"~VaultwrenUpdate"));

        // What Vaultwren.exe does first when it starts.
        const vw::RecoveryResult recovered = vw::FinishInterruptedUpdate(program.path());
        EXPECT_EQ(recovered.end, c.newVersion ? vw::RecoveryEnd::Finished : vw::RecoveryEnd::Undone);
        ExpectProgramFolderHolds(c.newVersion ? newVersion : oldVersion);

        // Updater.exe started again puts the new version in place.
        if (!c.newVersion) {
            EXPECT_EQ(RunUpdater().code, 0u);
            ExpectProgramFolderHolds(newVersion);
            EXPECT_TRUE(Restarted());
        }
        DeleteFileW((program / L"started.txt").c_str());
    }
}

TEST_F(UpdaterProgram, UpdaterStartedAgainAfterAKillFinishesTheUpdate)
{
    // Mid-swap Updater.exe holds the program's name: no console runner starts on half-swapped files.
    ASSERT_TRUE(RunUpdaterHaltedAt(L"update-replaced-2", [] {
        const vw::UniqueHandle name(OpenMutexW(SYNCHRONIZE, FALSE, L"CVaultwren"));
        ASSERT_TRUE(name);
        EXPECT_EQ(WaitForSingleObject(name.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    }));
    const Run run = RunUpdater();
    EXPECT_EQ(run.code, 0u);
    EXPECT_TRUE(run.boxes.empty());
    ExpectProgramFolderHolds(newVersion);
}

TEST_F(UpdaterProgram, AfterAKillPastTheLastRenameTheSameVersionAgainCountsAsInstalled)
{
    ASSERT_TRUE(RunUpdaterHaltedAt(L"update-committed"));
    // Offered again: the version the new files say they are (the stand-in's own resource).
    WriteManifest("", "1.10");
    EXPECT_EQ(vw::InstallUpdate(work + L"Updater.ini", work + L"Update\\", program.path()).end,
              vw::InstallEnd::Installed);
    ExpectProgramFolderHolds(newVersion);
}

TEST_F(UpdaterProgram, AFailedUndoIsToldAndTriedAgainAtTheNextStart)
{
    ASSERT_TRUE(RunUpdaterHaltedAt(L"update-replaced-2"));
    // The new readme.txt is held: the old one cannot take its name back.
    vw::UniqueFile held(CreateFileW((program / L"readme.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    const vw::RecoveryResult recovered = vw::FinishInterruptedUpdate(program.path());
    EXPECT_EQ(recovered.end, vw::RecoveryEnd::Failed);
    EXPECT_EQ(recovered.file, program / L"readme.txt");
    EXPECT_TRUE(FileExists(program / L"~VaultwrenUpdate\\journal.txt"));

    const Run run = RunUpdater({}, true);
    EXPECT_EQ(run.code, 1u);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].text, L"更新没有安装，而且原来的版本没能完全恢复。下次启动Vaultwren时会再次恢复；"
                                 L"如果仍然不能使用，请重新安装Vaultwren。");
    EXPECT_EQ(LogLines().back(), "1.20: not installed, and the old version could not be put back - " +
                                     vw::WideToUtf8(program / L"readme.txt") + " (error 32)");
    DeleteFileW((program / L"started.txt").c_str());

    held.reset();
    EXPECT_EQ(vw::FinishInterruptedUpdate(program.path()).end, vw::RecoveryEnd::Undone);
    ExpectProgramFolderHolds(oldVersion);
}

TEST_F(UpdaterProgram, RefusesAVersionNotAboveTheInstalledOneOrAnUnsignedManifest)
{
    struct Case {
        const char* what;
        std::function<void()> fault;
        std::wstring text;
        std::string logged;
    };
    const Case cases[] = {
        {"an older version", [&] { WriteManifest("", "1.05"); },
         std::wstring(L"更新没有安装：提供的版本不比已安装的版本新。") + kOldVersionStays,
         "1.05: not installed, not newer than the installed version - " + vw::WideToUtf8(program / L"Vaultwren.exe")},
        {"the installed version", [&] { WriteManifest("", "1.1"); },
         std::wstring(L"更新没有安装：提供的版本不比已安装的版本新。") + kOldVersionStays,
         "1.1: not installed, not newer than the installed version - " + vw::WideToUtf8(program / L"Vaultwren.exe")},
        {"a manifest changed after signing",
         [&] { WritePrivateProfileStringW(L"UPDATER", L"Version", L"1.30", (work + L"Updater.ini").c_str()); },
         std::wstring(L"更新没有安装：更新文件的签名不正确，可能已被篡改。") + kOldVersionStays,
         "?: not installed, the manifest's signature is wrong"},
        {"no signature", [&] { DeleteFileW((work + L"Updater.ini.sig").c_str()); },
         std::wstring(L"更新没有安装：更新文件的签名不正确，可能已被篡改。") + kOldVersionStays,
         "?: not installed, the manifest's signature is wrong"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PrepareUpdate();
        c.fault();
        const Run run = RunUpdater({}, true);
        EXPECT_EQ(run.code, 1u);
        ASSERT_EQ(run.boxes.size(), 1u);
        EXPECT_EQ(run.boxes[0].text, c.text);
        EXPECT_EQ(LogLines().back(), c.logged);
        ExpectProgramFolderHolds(oldVersion);
        DeleteFileW((program / L"started.txt").c_str());
    }
}

}  // namespace
