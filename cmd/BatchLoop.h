#pragma once
// Drives one batch of the run controller from a console: a message-only window receives the
// worker's messages, the controller does its part of the protocol, and every status line is
// printed as soon as it is written.
#include <windows.h>

#include <cstdint>
#include <string>

namespace vw {

class RunController;
class RunContext;

struct BatchOutcome {
    int32_t runsFailed = 0;
    int32_t filesFailed = 0;
    bool stopped = false;
};

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
    void PrintNewLines();
    void PrintProgress();

    RunController& controller_;
    RunContext& context_;
    HWND window_ = nullptr;
    bool finished_ = false;
    BatchOutcome outcome_;
    size_t printed_ = 0;
    bool terminal_ = false;
    bool progressShown_ = false;
    ULONGLONG lastProgress_ = 0;
};

}  // namespace vw
