#pragma once
// Which commands the main window offers in its current run state: the toolbar's buttons, the
// task context menu and the tray menu. Pure rules of explicit inputs; the window only applies
// them to its controls. Run states are RunContext's (kRunIdle, kRunPaused, kRunRunning), task
// states CBackupItem's (kTaskIdle ... kTaskRunning); command ids are those of resources/resource.h.
#include <windows.h>

#include <array>
#include <vector>

namespace vw {

// `selectionMark` is the list's selection mark (-1 for none). A command without a rule of its
// own (About, and any id the toolbar does not carry) is enabled.
bool ToolbarCommandEnabled(UINT command, int runState, int selectionMark, int taskCount);

struct ContextMenuInputs {
    int runState = 0;
    int taskState = 0;      // of the task at the selection mark
    bool cleaning = false;  // the run controller's cleaning-run flag
    bool isCurrent = false; // the task is the run controller's current task
    int selectionMark = 0;
    int taskCount = 0;
    bool keepsHistory = true;
};

// What a command that needs every run to be over says while one goes.
inline constexpr wchar_t kBusyText[] = L"备份任务正在运行中，请等待任务完成或终止后再试！";

// The commands of the task context menu to grey and disable, in ascending order of id.
std::vector<UINT> DisabledContextCommands(const ContextMenuInputs& inputs);

// Whether the selected task's pause and stop commands act: their menu rule and their effect's
// condition are the same.
bool TaskPausable(int runState, int taskState);
bool TaskStoppable(int runState, int taskState);

// The tray menu's run commands: where each sits in the menu and the bitmap it shows.
struct TrayRunItem {
    int position;
    UINT command;
    int bitmapId;
};
extern const std::array<TrayRunItem, 3> kTrayRunItems;

// The other items of the tray menu (show, update, exit) are always enabled.
bool TrayCommandEnabled(UINT command, int runState);

}  // namespace vw
