#pragma once
// Drives one batch of the run controller from a console: a message-only window receives the
// worker's messages, the controller does its part of the protocol, and every status line is
// printed as soon as it is written.
#include <windows.h>

#include <cstdint>
#include <string>

#include "win/UniqueHandle.h"

namespace vw {

class RunController;
class RunContext;

struct BatchOutcome {
    int32_t runsFailed = 0;
    int32_t filesFailed = 0;
    bool stopped = false;
};

// The live line of the file being transferred: what the run does with it ("正在备份", "正在校验",
// ...), its name and the share done. `runKind`: RunContext::cleaningRun.
std::wstring ProgressLine(int32_t runKind, const std::wstring& fileName, double progress);

// The runner's exit code for a batch: 0 only when every run completed and every file was backed up.
int ExitCodeOf(const BatchOutcome& outcome);

// The console control handler while a batch loop lives: Ctrl+C, Ctrl+Break and a console close,
// logoff or shutdown stop the batch; for the last three (after which the system ends the process)
// it returns only once the batch has ended, or after about four seconds.
BOOL WINAPI BatchConsoleEvent(DWORD event);

class BatchLoop {
public:
    BatchLoop(RunController& controller, RunContext& context);
    ~BatchLoop();
    BatchLoop(const BatchLoop&) = delete;
    BatchLoop& operator=(const BatchLoop&) = delete;

    HWND Window() const { return window_; }
    // Pumps messages until the batch the caller started has ended (or no batch was started).
    BatchOutcome Run();

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OnMessage(UINT message, WPARAM wParam);
    // Serves every message waiting now.
    void Pump();
    void PrintNewLines();
    void PrintProgress();
    static int ProgressColumns();

    RunController& controller_;
    RunContext& context_;
    HWND window_ = nullptr;
    UniqueHandle ended_;
    bool finished_ = false;
    BatchOutcome outcome_;
    size_t printed_ = 0;
    bool terminal_ = false;
    bool progressShown_ = false;
    ULONGLONG lastProgress_ = 0;
};

}  // namespace vw
