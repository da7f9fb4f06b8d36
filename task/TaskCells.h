#pragma once
// The seven texts of a task's row in the main window's list: number, name, source, destination,
// status, next automatic run and last successful backup.
#include <array>
#include <string>

#include "task/CBackupItem.h"

namespace vw {

inline constexpr size_t kTaskColumnCount = 7;

// `position` is the task's place in the list (the row shows it plus one); `runKind` is the kind of
// the run going (the run controller's cleaning-run field), which the status text depends on. A time that stands for never
// leaves its cell empty; a time that is not valid reads "Invalid DateTime".
std::array<std::wstring, kTaskColumnCount> TaskCellTexts(const TaskSnapshot& task, int position, int32_t runKind);

}  // namespace vw
