#pragma once
// Where the main window opens the task editor for one task.
#include <windows.h>

namespace vw {

class CBackupItem;

// Runs the editor modally on the task; true when the user confirmed it (the task then holds the
// entries). Until the editor exists every opening counts as cancelled, so "新增" adds nothing.
bool RunTaskEditor(HINSTANCE instance, HWND owner, CBackupItem& task, bool isNewTask);

}  // namespace vw
