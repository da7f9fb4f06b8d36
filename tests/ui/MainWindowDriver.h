#pragma once
// The real main window, made from its template, on a thread of its own (its UI thread), driven from
// the test's thread the way another program would drive it: commands by id and standard control
// messages. Message boxes it asks are answered by a MessageBoxAnswerer.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "support/RemoteControls.h"
#include "task/AppSettings.h"
#include "win/ProfileStore.h"

namespace vw {
class LogWriter;
}

namespace vwtest {

class MainWindowDriver {
public:
    MainWindowDriver(vw::ProfileStore& profile, vw::AppSettings& settings, vw::LogWriter& log,
                     bool startMinimised = false);
    // Exits the window when the test has not.
    ~MainWindowDriver();
    MainWindowDriver(const MainWindowDriver&) = delete;
    MainWindowDriver& operator=(const MainWindowDriver&) = delete;

    HWND window() const { return window_; }
    HWND Item(int id) const { return ::GetDlgItem(window_, id); }
    HWND List() const;
    HWND Toolbar() const;

    // Sent: returns when the window has handled it (message boxes it asks must be answered).
    void Command(UINT id) const;
    void Post(UINT id) const;

    Rows ListRows() const { return ListViewRows(List()); }
    int SelectionMark() const { return ListViewSelectionMark(List()); }
    void Select(int row) const { ListViewSelect(List(), row); }
    std::wstring Text(int id) const { return WindowText(Item(id)); }
    bool ButtonEnabled(UINT command) const { return ToolbarButtonEnabled(Toolbar(), command); }

    bool WaitUntil(const std::function<bool()>& done,
                   std::chrono::milliseconds limit = std::chrono::seconds(60)) const;

    // Exit through the tray menu's command; waits until the window's modal run has ended.
    void Exit();
    bool Running() const { return !ended_; }
    INT_PTR Result() const { return result_; }

private:
    std::thread thread_;
    HWND window_ = nullptr;
    std::atomic<bool> ended_{false};
    INT_PTR result_ = 0;
};

}  // namespace vwtest
