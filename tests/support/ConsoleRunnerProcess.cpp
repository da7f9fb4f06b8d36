#include "support/ConsoleRunnerProcess.h"

#include <gtest/gtest.h>

#include "win/Format.h"

namespace vwtest {

std::wstring RunnerPath()
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    path.resize(path.rfind(L'\\'));
    path.resize(path.rfind(L'\\'));
    return path + L"\\cmd\\VaultwrenCmd.exe";
}

RunnerProcess::RunnerProcess(const std::wstring& arguments)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    CreatePipe(&read, &write, &inherit, 0);
    read_.reset(read);
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    vw::UniqueHandle writeEnd(write);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = write;
    startup.hStdError = write;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    std::wstring commandLine = L"\"" + RunnerPath() + L"\" " + arguments;
    PROCESS_INFORMATION process{};
    started_ = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                              &startup, &process);
    if (started_) {
        process_.reset(process.hProcess);
        CloseHandle(process.hThread);
    }
    // Poll rather than read to the end of the pipe: Wine's own service processes, started on
    // the runner's behalf, may inherit its write end and keep it open long after the runner.
    reader_ = std::thread([this] {
        char buffer[4096];
        for (;;) {
            const bool exited = !process_ || WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0;
            DWORD available = 0;
            while (PeekNamedPipe(read_.get(), nullptr, 0, nullptr, &available, nullptr) && available > 0) {
                DWORD got = 0;
                if (!ReadFile(read_.get(), buffer, sizeof buffer, &got, nullptr) || got == 0)
                    break;
                bytes_.append(buffer, got);
            }
            if (exited)
                return;
            Sleep(10);
        }
    });
}

RunnerProcess::~RunnerProcess()
{
    Wait();
}

RunnerResult RunnerProcess::Wait()
{
    RunnerResult result;
    if (reader_.joinable())
        reader_.join();
    if (process_)
        GetExitCodeProcess(process_.get(), &result.exitCode);
    result.output = vw::Utf8ToWide(bytes_);
    return result;
}

void RunnerProcess::Kill()
{
    if (!process_)
        return;
    TerminateProcess(process_.get(), 9);
    WaitForSingleObject(process_.get(), INFINITE);
}

RunnerResult RunCmd(const std::wstring& arguments)
{
    RunnerProcess runner(arguments);
    EXPECT_TRUE(runner.Started()) << vw::WideToUtf8(RunnerPath());
    return runner.Wait();
}

}  // namespace vwtest
