#pragma once
// Reset: the task's next run binds its destination afresh (creating it and a new marker stamp).
#include "task/CBackupItem.h"

namespace vw {

inline constexpr wchar_t kResetRefusedText[] = L"备份任务正在运行中，请等待任务完成或终止后再试！";
inline constexpr wchar_t kResetDoneText[] = L"当前任务已重置，将恢复任务备份的目标文件夹！";

// Refused (false) while the task is not idle; otherwise its LastTime becomes never, stored.
// Nothing on disk changes.
bool ResetTask(CBackupItem& task);

}  // namespace vw
