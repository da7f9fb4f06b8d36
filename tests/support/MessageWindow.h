#pragma once
// A real message-only window for tests: records the messages of a range it receives, in order, and
// hands them, timers and commands to a handler first (as the program's window hands them to its
// controller).
#include <windows.h>

#include <chrono>
#include <functional>
#include <vector>

namespace vwtest {

// Pumps the thread's queue until `done` holds or the time is up; false on time-out.
bool PumpMessagesUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

struct Received {
    UINT message;
    WPARAM wParam;
    bool operator==(const Received&) const = default;
};

class MessageWindow {
public:
    using Handler = std::function<void(UINT message, WPARAM wParam)>;

    // Records the worker messages of the backup engine, or those from `first` to `last`.
    MessageWindow();
    MessageWindow(UINT first, UINT last);
    ~MessageWindow();
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    HWND get() const { return window_; }
    void SetHandler(Handler handler) { handler_ = std::move(handler); }

    // Pumps the thread's queue until `done` holds or the time is up; false on time-out.
    bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(60));
    // Pumps for a while, whatever arrives.
    void PumpFor(std::chrono::milliseconds duration);

    // The recorded messages in the order they were handled.
    const std::vector<vwtest::Received>& Log() const { return log_; }
    bool Saw(UINT message, WPARAM wParam) const;
    void ClearLog() { log_.clear(); }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    UINT first_;
    UINT last_;
    HWND window_ = nullptr;
    Handler handler_;
    std::vector<vwtest::Received> log_;
};

}  // namespace vwtest
