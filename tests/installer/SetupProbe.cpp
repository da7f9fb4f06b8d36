// The installer test's hands inside its Wine prefix: what a shell script cannot see or do there.
//   setupprobe shown CLASS SECONDS        waits for a visible top-level window of CLASS, prints its title
//   setupprobe gone CLASS SECONDS         waits until no window of CLASS is left
//   setupprobe owner CLASS SECONDS        waits for a window of CLASS, shown or not, prints the program
//                                         file of its process
//   setupprobe exit CLASS SECONDS         sends the tray menu's exit command to the window of CLASS and
//                                         waits until no window of CLASS is left
//   setupprobe hold MUTEX SECONDS         owns the named mutex for SECONDS, as a busy copy without a window
//   setupprobe run SECONDS "COMMAND"      runs the command line and waits for every process it starts (an
//                                         uninstaller hands over to a copy of itself and returns at once)
// Exit code 0 on success, 1 when the wait ran out, the process's own code for "run", 2 on bad usage.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "win/UniqueHandle.h"

namespace {

constexpr int kTimedOut = 1;
constexpr int kBadUsage = 2;

void PrintLine(const std::wstring& text)
{
    const std::wstring line = text + L"\n";
    const int size = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, bytes.data(), size, nullptr, nullptr);
    std::fputs(bytes.c_str(), stdout);
    std::fflush(stdout);
}

// Polls `done` every 100 ms for up to `seconds`.
template <typename Done>
bool WaitFor(int seconds, Done done)
{
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(seconds) * 1000;
    for (;;) {
        if (done())
            return true;
        if (GetTickCount64() >= end)
            return false;
        Sleep(100);
    }
}

int Shown(const wchar_t* windowClass, int seconds)
{
    HWND window = nullptr;
    if (!WaitFor(seconds, [&] {
            window = FindWindowW(windowClass, nullptr);
            return window != nullptr && IsWindowVisible(window);
        }))
        return kTimedOut;
    wchar_t title[256] = {};
    GetWindowTextW(window, title, 256);
    PrintLine(title);
    return 0;
}

int Gone(const wchar_t* windowClass, int seconds)
{
    return WaitFor(seconds, [&] { return FindWindowW(windowClass, nullptr) == nullptr; }) ? 0 : kTimedOut;
}

int Owner(const wchar_t* windowClass, int seconds)
{
    HWND window = nullptr;
    if (!WaitFor(seconds, [&] { return (window = FindWindowW(windowClass, nullptr)) != nullptr; }))
        return kTimedOut;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    vw::UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    wchar_t path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    if (!process || !QueryFullProcessImageNameW(process.get(), 0, path, &size))
        return kTimedOut;
    PrintLine(path);
    return 0;
}

int Exit(const wchar_t* windowClass, int seconds)
{
    constexpr WPARAM kExitCommand = 32789;  // the tray menu's exit: closing only hides the window
    const HWND window = FindWindowW(windowClass, nullptr);
    if (!window)
        return kTimedOut;
    PostMessageW(window, WM_COMMAND, kExitCommand, 0);
    return Gone(windowClass, seconds);
}

int Hold(const wchar_t* mutexName, int seconds)
{
    vw::UniqueHandle mutex(CreateMutexW(nullptr, TRUE, mutexName));
    if (!mutex || GetLastError() == ERROR_ALREADY_EXISTS)
        return kBadUsage;
    PrintLine(L"holding");
    Sleep(static_cast<DWORD>(seconds) * 1000);
    return 0;
}

int Run(int seconds, std::wstring commandLine)
{
    // Every process the command starts stays in the job, so the job empties when the last one ends.
    vw::UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!job || !CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                                nullptr, &startup, &info)) {
        PrintLine(L"cannot start: " + commandLine);
        return kBadUsage;
    }
    vw::UniqueHandle process(info.hProcess);
    vw::UniqueHandle thread(info.hThread);
    AssignProcessToJobObject(job.get(), process.get());
    ResumeThread(thread.get());

    const bool ended = WaitFor(seconds, [&] {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
        return QueryInformationJobObject(job.get(), JobObjectBasicAccountingInformation, &accounting,
                                         sizeof accounting, nullptr) &&
               accounting.ActiveProcesses == 0;
    });
    if (!ended)
        return kTimedOut;
    DWORD exitCode = 0;
    GetExitCodeProcess(process.get(), &exitCode);
    return static_cast<int>(exitCode);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4)
        return kBadUsage;
    const std::wstring verb = argv[1];
    if (verb == L"run")
        return Run(_wtoi(argv[2]), argv[3]);
    const int seconds = _wtoi(argv[3]);
    if (verb == L"shown")
        return Shown(argv[2], seconds);
    if (verb == L"gone")
        return Gone(argv[2], seconds);
    if (verb == L"owner")
        return Owner(argv[2], seconds);
    if (verb == L"exit")
        return Exit(argv[2], seconds);
    if (verb == L"hold")
        return Hold(argv[2], seconds);
    return kBadUsage;
}
