#include "run/CommandRules.h"

#include <optional>
#include <utility>

#include "engine/RunContext.h"
#include "resources/resource.h"
#include "task/CBackupItem.h"

namespace vw {

const std::array<TrayRunItem, 3> kTrayRunItems = {{
    {2, ID_START, IDB_MENU_START},
    {3, ID_PAUSE, IDB_MENU_PAUSE},
    {4, ID_STOP, IDB_MENU_STOP},
}};

namespace {

// The three run commands share their rule between the toolbar and the tray menu; empty for any
// other command.
std::optional<bool> RunCommandEnabled(UINT command, int runState)
{
    switch (command) {
    case ID_START:
        return runState == kRunIdle || runState == kRunPaused;
    case ID_PAUSE:
        return runState == kRunRunning;
    case ID_STOP:
        return runState == kRunRunning || runState == kRunPaused;
    default:
        return std::nullopt;
    }
}

}  // namespace

bool ToolbarCommandEnabled(UINT command, int runState, int selectionMark, int taskCount)
{
    if (const std::optional<bool> enabled = RunCommandEnabled(command, runState))
        return *enabled;

    const bool idle = runState == kRunIdle;
    const bool selected = selectionMark >= 0 && selectionMark < taskCount;
    switch (command) {
    case ID_ADD_TASK:
    case ID_OPTIONS:
        return idle;
    case ID_EDIT_TASK:
    case ID_DELETE_TASK:
        return idle && selected;
    case ID_MOVE_UP:
        return idle && selectionMark >= 1 && selectionMark < taskCount;
    case ID_MOVE_DOWN:
        return idle && selectionMark >= 0 && selectionMark < taskCount - 1;
    default:
        return true;
    }
}

std::vector<UINT> DisabledContextCommands(const ContextMenuInputs& in)
{
    const bool busy = in.runState != kRunIdle;
    // While a cleaning run goes, only its own task may be started (that is, resumed).
    const bool startable =
        (in.taskState == kTaskIdle || in.taskState == kTaskPaused) && (!in.cleaning || in.isCurrent);
    const std::pair<UINT, bool> rules[] = {
        {ID_EDIT_TASK, busy},
        {ID_DELETE_TASK, busy},
        {ID_MOVE_UP, busy || in.selectionMark < 1},
        {ID_MOVE_DOWN, busy || in.selectionMark >= in.taskCount - 1},
        {ID_RESET_TASK, busy},
        {ID_START_TASK, !startable},
        {ID_PAUSE_TASK, !TaskPausable(in.runState, in.taskState)},
        {ID_STOP_TASK, !TaskStoppable(in.runState, in.taskState)},
        {ID_OPEN_HISTORY_FOLDER, !in.keepsHistory},
        // A verify or restore is a batch of its own: only while nothing runs, as cleaning.
        {ID_VERIFY_TASK, busy || in.taskState != kTaskIdle},
        {ID_RESTORE_TASK, busy || in.taskState != kTaskIdle},
    };
    std::vector<UINT> disabled;
    for (const auto& [command, off] : rules)
        if (off)
            disabled.push_back(command);
    return disabled;
}

bool TaskPausable(int runState, int taskState)
{
    return runState == kRunRunning && taskState == kTaskRunning;
}

bool TaskStoppable(int runState, int taskState)
{
    return (runState == kRunRunning && (taskState == kTaskRunning || taskState == kTaskWaiting)) ||
           (runState == kRunPaused && taskState == kTaskPaused);
}

bool TrayCommandEnabled(UINT command, int runState)
{
    return RunCommandEnabled(command, runState).value_or(true);
}

}  // namespace vw
