#pragma once
// The real VaultwrenCmd.exe of this build, started as a user's script would start it, with its
// standard output and error captured together.
#include <windows.h>

#include <string>
#include <thread>

#include "win/UniqueHandle.h"

namespace vwtest {

// VaultwrenCmd.exe beside the test programs' folder in the build tree.
std::wstring RunnerPath();

struct RunnerResult {
    DWORD exitCode = 0xFFFFFFFF;
    std::wstring output;  // standard output and error together
    bool Has(const std::wstring& text) const { return output.find(text) != std::wstring::npos; }
};

// One run of the runner with the given arguments; it inherits this process's environment.
class RunnerProcess {
public:
    explicit RunnerProcess(const std::wstring& arguments);
    ~RunnerProcess();
    RunnerProcess(const RunnerProcess&) = delete;
    RunnerProcess& operator=(const RunnerProcess&) = delete;

    // Waits for the end of the process and gives its exit code and output.
    RunnerResult Wait();
    // Ends the process at once, as a power cut or "taskkill /F" would, and waits for its end.
    void Kill();
    bool Started() const { return started_ != FALSE; }

private:
    BOOL started_ = FALSE;
    vw::UniqueHandle process_;
    vw::UniqueHandle read_;
    std::thread reader_;
    std::string bytes_;
};

// Starts the runner and waits for its end.
RunnerResult RunCmd(const std::wstring& arguments);

}  // namespace vwtest
