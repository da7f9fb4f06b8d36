// The real Vaultwren.exe in processes of its own: one instance per user, the log switch, and the
// window driven from this process by command ids and standard control messages, as a user's
// script would drive it.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "MainWindowLayout.h"
#include "app/SingleInstance.h"
#include "resources/resource.h"
#include "support/RemoteControls.h"
#include "support/StalledServer.h"
#include "support/TestDrives.h"
#include "task/AppSettings.h"
#include "task/CBackupItemList.h"
#include "updater/UpdaterKeys.h"
#include "win/Format.h"
#include "win/ProfileStore.h"
#include "win/UniqueHandle.h"

namespace {

using namespace std::chrono_literals;

std::wstring ProgramPath()
{
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    path.resize(path.rfind(L'\\'));
    path.resize(path.rfind(L'\\'));
    return path + L"\\gui\\Vaultwren.exe";
}

template <typename Predicate>
bool WaitFor(Predicate done, std::chrono::milliseconds limit = 30s)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

// The main windows (class "CVaultwren") of one process, or of every process for id 0.
std::vector<HWND> MainWindows(DWORD processId = 0)
{
    struct Search {
        DWORD processId;
        std::vector<HWND> found;
    } search{processId, {}};
    ::EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(data);
            wchar_t name[64] = {};
            ::GetClassNameW(window, name, 64);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            if (std::wstring(name) == L"CVaultwren" && (s.processId == 0 || owner == s.processId))
                s.found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

class Program {
public:
    explicit Program(const std::wstring& arguments)
    {
        std::wstring commandLine = L"\"" + ProgramPath() + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        if (::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                             &process)) {
            process_.reset(process.hProcess);
            ::CloseHandle(process.hThread);
            id_ = process.dwProcessId;
        }
    }
    ~Program()
    {
        if (process_ && !Ended(0ms)) {
            if (HWND w = Window())
                ::PostMessageW(w, WM_COMMAND, ID_EXIT, 0);
            if (!Ended(20s))
                ::TerminateProcess(process_.get(), 1);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool Started() const { return process_.valid(); }
    // The main window once it is through its initialisation (its title is set there).
    HWND Window(std::chrono::milliseconds limit = 30s) const
    {
        HWND window = nullptr;
        WaitFor(
            [&] {
                const auto windows = MainWindows(id_);
                window = windows.empty() ? nullptr : windows.front();
                return window && vwtest::WindowText(window).rfind(L"Vaultwren v", 0) == 0;
            },
            limit);
        return window;
    }
    bool Ended(std::chrono::milliseconds limit) const
    {
        return ::WaitForSingleObject(process_.get(), static_cast<DWORD>(limit.count())) == WAIT_OBJECT_0;
    }
    DWORD ExitCode() const
    {
        DWORD code = 0;
        ::GetExitCodeProcess(process_.get(), &code);
        return code;
    }
    // The tray menu's exit command; true when the process ended.
    bool Exit() const
    {
        const HWND window = Window(5s);
        if (window)
            ::PostMessageW(window, WM_COMMAND, ID_EXIT, 0);
        return Ended(30s);
    }

private:
    vw::UniqueHandle process_;
    DWORD id_ = 0;
};

// The display's DPI as Wine reads it when a program starts; the setting it had comes back at the end.
class SystemDpi {
public:
    explicit SystemDpi(DWORD dpi)
    {
        HKEY key = nullptr;
        if (::RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr,
                              &key, nullptr) != ERROR_SUCCESS)
            return;
        key_.reset(key);
        DWORD type = 0;
        DWORD size = sizeof(previous_);
        hadValue_ = ::RegQueryValueExW(key, kValue, nullptr, &type, reinterpret_cast<BYTE*>(&previous_), &size) ==
                        ERROR_SUCCESS &&
                    type == REG_DWORD;
        set_ = ::RegSetValueExW(key, kValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof(dpi)) ==
               ERROR_SUCCESS;
    }
    ~SystemDpi()
    {
        if (!key_)
            return;
        if (hadValue_)
            ::RegSetValueExW(key_.get(), kValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&previous_),
                             sizeof(previous_));
        else
            ::RegDeleteValueW(key_.get(), kValue);
    }
    SystemDpi(const SystemDpi&) = delete;
    SystemDpi& operator=(const SystemDpi&) = delete;

    bool Set() const { return set_; }

private:
    static constexpr wchar_t kKey[] = L"Control Panel\\Desktop";
    static constexpr wchar_t kValue[] = L"LogPixels";
    vw::UniqueHKey key_;
    DWORD previous_ = 0;
    bool hadValue_ = false;
    bool set_ = false;
};

// The program's own profile (in this test prefix); emptied before and after each test.
class ProgramProfile : public ::testing::Test {
protected:
    void SetUp() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, vw::kProgramProfileKey); }
    void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, vw::kProgramProfileKey); }

    // Stores a task from `source` into `dest`\备份 in the program's profile, without a start-up run.
    static void StoreTask(const wchar_t* name, const vwtest::ScratchFolder& source, const vwtest::ScratchFolder& dest)
    {
        vw::ProfileStore profile(vw::kProgramProfileKey);
        vw::AppSettings settings;
        vw::CBackupItemList stored(profile, settings);
        stored.LoadAll();
        vw::CBackupItem* task = stored.AddNew();
        ASSERT_NE(task, nullptr);
        task->Name = name;
        task->Source = source.path().substr(0, source.path().size() - 1);
        task->Dest = dest.path() + L"备份";
        task->Start = 0;
        ASSERT_TRUE(task->Save());
    }
};

using SingleInstance = ProgramProfile;

TEST_F(SingleInstance, ASecondStartEndsAtOnceAndBringsTheFirstWindowForward)
{
    Program first(L"");
    ASSERT_TRUE(first.Started());
    const HWND window = first.Window();
    ASSERT_NE(window, nullptr);
    ::PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);  // the close box: hidden in the tray
    ASSERT_TRUE(WaitFor([&] { return !::IsWindowVisible(window); }));

    Program second(L"");
    ASSERT_TRUE(second.Started());
    EXPECT_TRUE(second.Ended(20s));
    EXPECT_EQ(second.ExitCode(), 0u);
    EXPECT_TRUE(WaitFor([&] { return ::IsWindowVisible(window) != FALSE; }, 5s));
    EXPECT_EQ(MainWindows().size(), 1u);
    EXPECT_TRUE(first.Exit());
}

// A start while a console run holds the names (a scheduled run at the user's logon) finds no
// window to bring forward: it waits for the run's end and then is the program.
TEST_F(SingleInstance, AStartDuringAConsoleRunWaitsForItsEndAndThenShowsTheWindow)
{
    auto consoleRun = std::make_unique<vw::InstanceLock>();
    ASSERT_TRUE(consoleRun->Take(0));

    Program program(L"");
    ASSERT_TRUE(program.Started());
    EXPECT_FALSE(program.Ended(3s)) << "it must not give up";
    EXPECT_TRUE(MainWindows().empty());

    consoleRun.reset();
    EXPECT_NE(program.Window(), nullptr);
    EXPECT_TRUE(program.Exit());
}

// The lines the program writes, in its own log format, read back as GBK bytes.
class LogSwitch : public ProgramProfile {
protected:
    void SetUp() override
    {
        ProgramProfile::SetUp();
        wchar_t desktop[MAX_PATH] = {};
        ASSERT_TRUE(SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, desktop)));
        SYSTEMTIME now{};
        ::GetLocalTime(&now);
        logFile_ = vw::Format(L"%s\\VaultwrenLog%04d%02d%02d.txt", desktop, now.wYear, now.wMonth, now.wDay);
        ::DeleteFileW(logFile_.c_str());
    }
    void TearDown() override
    {
        ::DeleteFileW(logFile_.c_str());
        ProgramProfile::TearDown();
    }

    // Starts, waits for the window, exits; the log's content (empty when there is no file).
    std::string RunOnce(const std::wstring& arguments, bool& wasVisible)
    {
        Program program(arguments);
        EXPECT_TRUE(program.Started());
        const HWND window = program.Window();
        EXPECT_NE(window, nullptr);
        std::this_thread::sleep_for(500ms);  // the dialog shows itself once its queue runs empty
        wasVisible = window && ::IsWindowVisible(window);
        EXPECT_TRUE(program.Exit());
        return vwtest::FileExists(logFile_) ? vwtest::ReadFileBytes(logFile_) : std::string("<no file>");
    }

    static std::string Gbk(const std::wstring& text)
    {
        const int size = ::WideCharToMultiByte(936, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
        std::string bytes(static_cast<size_t>(size), '\0');
        ::WideCharToMultiByte(936, 0, text.c_str(), -1, bytes.data(), size, nullptr, nullptr);
        bytes.resize(static_cast<size_t>(size) - 1);
        return bytes;
    }

    std::wstring logFile_;
};

TEST_F(LogSwitch, TheSwitchWritesTheProgramsLinesInGbkWithoutItNone)
{
    struct Case {
        std::wstring arguments;
        std::vector<std::wstring> lines;  // in this order, each "<source>() <text>"
        bool visible;
    };
    const std::vector<Case> cases = {
        {L"/Log",
         {L"CVaultwrenApp::InitInstance() Vaultwren准备正常启动", L"CVaultwrenDlg::InitTrayIcon() Vaultwren初始化托盘图标",
          L"CVaultwrenDlg::OnInitDialog() Vaultwren完成窗口初始化", L"CVaultwrenDlg::OnCancel() Vaultwren消除托盘图标",
          L"CVaultwrenApp::InitInstance() Vaultwren正常退出"},
         true},
        {L"-Min - Log",
         {L"CVaultwrenApp::InitInstance() Vaultwren准备最小化启动", L"CVaultwrenDlg::InitTrayIcon() Vaultwren初始化托盘图标",
          L"CVaultwrenDlg::OnInitDialog() Vaultwren需要最小化启动", L"CVaultwrenDlg::OnInitDialog() Vaultwren完成窗口初始化",
          L"CVaultwrenApp::InitInstance() Vaultwren正常退出"},
         false},
        {L"/log /min", {}, true},
        {L"", {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(vw::WideToUtf8(c.arguments));
        ::DeleteFileW(logFile_.c_str());
        bool visible = false;
        const std::string log = RunOnce(c.arguments, visible);
        EXPECT_EQ(visible, c.visible);
        if (c.lines.empty()) {
            EXPECT_EQ(log, "<no file>");
            continue;
        }
        size_t at = 0;
        for (const std::wstring& line : c.lines) {
            std::string needle(1, ' ');
            needle.append(Gbk(line)).append("\r\n");
            const size_t found = log.find(needle, at);
            ASSERT_NE(found, std::string::npos) << vw::WideToUtf8(line);
            // Each line starts with its local time "YYYY-MM-DD HH:MM:SS".
            const size_t start = log.rfind("\r\n", found);
            const size_t lineStart = start == std::string::npos ? 0 : start + 2;
            EXPECT_EQ(found - lineStart, 19u);
            at = found + 1;
        }
    }
}

// The start-up update check held on a connection that never completes (a dead network): the
// exit waits for it a moment only, says so in the log, and the program ends.
TEST_F(LogSwitch, AnExitEndsTheProgramWhileTheUpdateCheckIsHeldOnADeadNetwork)
{
    vwtest::StalledServer stalled;
    ASSERT_TRUE(stalled.ok());
    vw::ProfileStore profile(vw::kProgramProfileKey);
    ASSERT_TRUE(profile.SetString(vw::kUpdaterSection, vw::kIniUrlEntry, stalled.Url("/Updater.ini")));

    Program program(L"/Log");
    const HWND window = program.Window();
    ASSERT_NE(window, nullptr);
    std::this_thread::sleep_for(500ms);  // the check is on its way to the server
    const ULONGLONG asked = ::GetTickCount64();
    ::PostMessageW(window, WM_COMMAND, ID_EXIT, 0);
    ASSERT_TRUE(program.Ended(20s));
    const std::string log = vwtest::ReadFileBytes(logFile_);
    // Unbounded, the exit would wait for a connection that gives up only after minutes here.
    EXPECT_LT(::GetTickCount64() - asked, 12000u) << log;
    EXPECT_EQ(program.ExitCode(), 0u);
    EXPECT_NE(log.find(Gbk(L"CVaultwrenDlg::OnDestroy() 软件升级的检查或下载仍在进行，未能等到它停止，程序直接退出")),
              std::string::npos);
    EXPECT_NE(log.find(Gbk(L"CVaultwrenApp::InitInstance() Vaultwren正常退出")), std::string::npos);
}

TEST_F(ProgramProfile, AnotherProcessStartsABackupAndReadsTheRowsAndThePanel)
{
    vwtest::ScratchFolder source(vwtest::kDiskM, L"exe");
    vwtest::ScratchFolder dest(vwtest::kDiskN, L"exe");
    for (int i = 0; i < 4; ++i)
        vwtest::WriteFileBytes(source / vw::Format(L"f%d.txt", i), "data");
    ASSERT_NO_FATAL_FAILURE(StoreTask(L"远程", source, dest));

    Program program(L"");
    const HWND window = program.Window();
    ASSERT_NE(window, nullptr);
    const HWND list = ::GetDlgItem(window, IDC_TASK_LIST);
    vwtest::Rows rows = vwtest::ListViewRows(list);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][1], L"远程");

    ::PostMessageW(window, WM_COMMAND, ID_START, 0);
    const HWND panel = ::GetDlgItem(window, IDC_STATUS_PANEL);
    ASSERT_TRUE(WaitFor([&] { return vwtest::WindowText(panel).find(L"备份任务完成！") != std::wstring::npos; }))
        << vw::WideToUtf8(vwtest::WindowText(panel));
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(vwtest::FileExists(dest.path() + vw::Format(L"备份\\f%d.txt", i)));
    rows = vwtest::ListViewRows(list);
    EXPECT_EQ(rows.at(0).at(6).size(), 19u);
    EXPECT_EQ(vwtest::WindowText(::GetDlgItem(window, IDC_STATUS_GROUP)), L"系统状态：空闲中");
    EXPECT_TRUE(program.Exit());
    EXPECT_EQ(program.ExitCode(), 0u);
    vwtest::RemoveTree(dest.path() + L"备份");
}

// A worker held in a system call (here at the copy's halt point, as a read from a dead share would
// hold it) cannot be stopped: the exit waits for it a few seconds only, then ends the program, and
// the file being copied is not left under its real name.
TEST_F(ProgramProfile, AnExitEndsTheProgramWhenItsWorkerCannotStop)
{
    vwtest::ScratchFolder source(vwtest::kDiskM, L"held");
    vwtest::ScratchFolder dest(vwtest::kDiskN, L"held");
    ASSERT_TRUE(vwtest::WriteFileOfSize(source / L"big.bin", 256 * 1024));
    ASSERT_NO_FATAL_FAILURE(StoreTask(L"卡住", source, dest));
    const std::wstring eventName = vw::Format(L"VaultwrenHeldWorker-%lu", ::GetCurrentProcessId());
    const vw::UniqueHandle reached(::CreateEventW(nullptr, TRUE, FALSE, eventName.c_str()));
    ::SetEnvironmentVariableW(L"VAULTWREN_HALT_AT", L"copying");
    ::SetEnvironmentVariableW(L"VAULTWREN_HALT_EVENT", eventName.c_str());
    Program program(L"");
    ::SetEnvironmentVariableW(L"VAULTWREN_HALT_AT", nullptr);
    ::SetEnvironmentVariableW(L"VAULTWREN_HALT_EVENT", nullptr);
    const HWND window = program.Window();
    ASSERT_NE(window, nullptr);

    ::PostMessageW(window, WM_COMMAND, ID_START, 0);
    ASSERT_EQ(::WaitForSingleObject(reached.get(), 30000), WAIT_OBJECT_0);
    const ULONGLONG asked = ::GetTickCount64();
    ::PostMessageW(window, WM_COMMAND, ID_EXIT, 0);
    ASSERT_TRUE(program.Ended(20s));
    EXPECT_LT(::GetTickCount64() - asked, 12000u);
    EXPECT_EQ(program.ExitCode(), 0u);
    EXPECT_FALSE(vwtest::FileExists(dest.path() + L"备份\\big.bin"));
    vwtest::RemoveTree(dest.path() + L"备份");
}

// Counts the times `part` occurs in `text`.
size_t Occurrences(const std::wstring& text, const std::wstring& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

// The stop button with the worker held in a copy (as a read from a dead share holds it): the
// window goes on answering and says what it waits for; a start meanwhile starts nothing; once
// the worker lets go, the stop ends the batch with its usual line, once.
TEST_F(ProgramProfile, AStopThatCannotWaitKeepsTheWindowAnsweringAndEndsWhenTheWorkerDoes)
{
    vwtest::ScratchFolder source(vwtest::kDiskM, L"stopheld");
    vwtest::ScratchFolder dest(vwtest::kDiskN, L"stopheld");
    vwtest::ScratchFolder otherSource(vwtest::kDiskM, L"stopnext");
    vwtest::ScratchFolder otherDest(vwtest::kDiskN, L"stopnext");
    ASSERT_TRUE(vwtest::WriteFileOfSize(source / L"big.bin", 256 * 1024));
    vwtest::WriteFileBytes(otherSource / L"next.txt", "next");
    ASSERT_NO_FATAL_FAILURE(StoreTask(L"卡住", source, dest));
    ASSERT_NO_FATAL_FAILURE(StoreTask(L"其次", otherSource, otherDest));
    const DWORD self = ::GetCurrentProcessId();
    const std::wstring reachedName = vw::Format(L"VaultwrenHeldStop-%lu", self);
    const std::wstring releaseName = vw::Format(L"VaultwrenReleaseStop-%lu", self);
    const vw::UniqueHandle reached(::CreateEventW(nullptr, TRUE, FALSE, reachedName.c_str()));
    const vw::UniqueHandle release(::CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str()));
    ::SetEnvironmentVariableW(L"VAULTWREN_HALT_AT", L"copying");
    ::SetEnvironmentVariableW(L"VAULTWREN_HALT_EVENT", reachedName.c_str());
    ::SetEnvironmentVariableW(L"VAULTWREN_HALT_RELEASE", releaseName.c_str());
    Program program(L"");
    ::SetEnvironmentVariableW(L"VAULTWREN_HALT_AT", nullptr);
    ::SetEnvironmentVariableW(L"VAULTWREN_HALT_EVENT", nullptr);
    ::SetEnvironmentVariableW(L"VAULTWREN_HALT_RELEASE", nullptr);
    const HWND window = program.Window();
    ASSERT_NE(window, nullptr);
    const HWND panel = ::GetDlgItem(window, IDC_STATUS_PANEL);
    const auto answersWithin = [&](UINT limitMs) {
        DWORD_PTR ignored = 0;
        const ULONGLONG asked = ::GetTickCount64();
        return ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, limitMs, &ignored) != 0 &&
               ::GetTickCount64() - asked < limitMs;
    };

    ::PostMessageW(window, WM_COMMAND, ID_START, 0);
    ASSERT_EQ(::WaitForSingleObject(reached.get(), 30000), WAIT_OBJECT_0);
    ::PostMessageW(window, WM_COMMAND, ID_STOP, 0);
    ASSERT_TRUE(WaitFor([&] {
        return vwtest::WindowText(panel).find(L"任务“卡住”仍在处理文件“big.bin”，正在等待它停止") != std::wstring::npos;
    })) << vw::WideToUtf8(vwtest::WindowText(panel));
    EXPECT_TRUE(answersWithin(1000));
    ::PostMessageW(window, WM_COMMAND, ID_START, 0);
    ::PostMessageW(window, WM_COMMAND, ID_STOP, 0);
    EXPECT_TRUE(answersWithin(1000));
    EXPECT_EQ(vwtest::WindowText(::GetDlgItem(window, IDC_STATUS_GROUP)), L"系统状态：正在备份");

    ::SetEvent(release.get());
    ASSERT_TRUE(WaitFor([&] {
        return vwtest::WindowText(::GetDlgItem(window, IDC_STATUS_GROUP)) == L"系统状态：空闲中";
    })) << vw::WideToUtf8(vwtest::WindowText(panel));
    std::this_thread::sleep_for(1s);  // time for a second end or a second run to show, were there one
    const std::wstring text = vwtest::WindowText(panel);
    EXPECT_EQ(Occurrences(text, L"启动备份任务..."), 1u) << vw::WideToUtf8(text);
    // The run's own end line, then the stop's line for the batch, each once.
    EXPECT_EQ(Occurrences(text, L"，成功备份0个文件\r\n"), 2u) << vw::WideToUtf8(text);
    EXPECT_EQ(Occurrences(text, L"备份任务被强行终止！共完成备份任务0个，成功备份0个文件\r\n"), 1u) << vw::WideToUtf8(text);
    EXPECT_LT(text.find(L"任务“卡住”仍在处理文件"), text.find(L"备份任务被强行终止！"));
    EXPECT_EQ(text.find(L"任务“其次”开始"), std::wstring::npos) << vw::WideToUtf8(text);
    EXPECT_FALSE(vwtest::FileExists(dest.path() + L"备份\\big.bin"));
    EXPECT_FALSE(vwtest::FileExists(otherDest.path() + L"备份\\next.txt"));
    EXPECT_TRUE(program.Exit());
    EXPECT_EQ(program.ExitCode(), 0u);
    vwtest::RemoveTree(dest.path() + L"备份");
    vwtest::RemoveTree(otherDest.path() + L"备份");
}

TEST_F(ProgramProfile, AtEachDpiTheTaskListSitsJustBelowTheToolbar)
{
    int toolbarHeightAt96 = 0;
    for (const UINT dpi : {96u, 144u}) {
        SCOPED_TRACE(dpi);
        const SystemDpi display(dpi);
        ASSERT_TRUE(display.Set());
        Program program(L"");
        const HWND window = program.Window();
        ASSERT_NE(window, nullptr);
        vwtest::ExpectStackedUnderTheToolbar(window, dpi);
        const RECT toolbar = vwtest::ClientRectOf(::GetDlgItem(window, IDC_TOOLBAR));
        if (dpi == 96)
            toolbarHeightAt96 = toolbar.bottom - toolbar.top;
        else
            EXPECT_GT(toolbar.bottom - toolbar.top, toolbarHeightAt96) << "the program really ran at this DPI";
        EXPECT_TRUE(program.Exit());
    }
}

}  // namespace
