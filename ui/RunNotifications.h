#pragma once
// What the main window does on each worker message: the controller's part of the run protocol,
// the tray's balloons and looks with their log lines, the list and command refreshes around them,
// the question about removals the brake held back, and the offer to open a restored folder. It
// drops a message of a run that was stopped since it was posted. What it needs of the window
// comes in as WindowSide; it knows nothing else of the window.
#include <windows.h>

#include <functional>
#include <string>

namespace vw {

class LogWriter;
class MainTray;
class RunContext;
class RunController;

class RunNotifications {
public:
    struct WindowSide {
        std::function<void()> refreshList;           // the rows and the status panel
        std::function<void()> updateCommandStates;   // the toolbar's buttons
        std::function<bool(const std::wstring& question)> askYesNo;  // a warning box; true for Yes
        std::function<void(const std::wstring& target)> offerRestoredFolder;
    };

    RunNotifications(RunController& controller, RunContext& context, MainTray& tray, LogWriter& log,
                     WindowSide window);
    RunNotifications(const RunNotifications&) = delete;
    RunNotifications& operator=(const RunNotifications&) = delete;

    // True for a worker message (handled, or dropped as stale).
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    void Act(UINT message, WPARAM wParam);

    RunController& controller_;
    RunContext& context_;
    MainTray& tray_;
    LogWriter& log_;
    WindowSide window_;
};

}  // namespace vw
