#pragma once
// The task editor's entries: a task's editable fields as the editor shows and reads them, whether
// they differ from the task, and how they are stored into it.
#include <cstdint>
#include <string>

#include "task/CBackupItem.h"
#include "task/TaskInput.h"

namespace vw {

// The editor's entries are a copy of the task's fields; it shows and stores those the field table
// marks as edited.
using TaskEntries = TaskFields;

TaskEntries EntriesOf(const TaskSnapshot& task);

// What the checks see: the entries, the destination the task has stored and the MinTime setting.
TaskInput InputOf(const TaskEntries& entries, const std::wstring& storedDest, int32_t minTime);

// True when storing the entries would change the task. Texts compare exactly: a change of letter
// case alone is a change.
bool EntriesDiffer(const TaskEntries& entries, const TaskSnapshot& task);

// Copies the entries into the task and stores it. A destination that names another folder (letter
// case aside) is bound afresh by the next run, so its creation and last backup times become never.
// Switches are stored as 0 or 1, hour and minute within a day and an hour. UI thread, while no
// worker runs the task.
// Returns what Save returns.
bool StoreEntries(CBackupItem& task, const TaskEntries& entries);

// How many entries a folder holds at its top level, counting no further than `limit`: one listing
// of one folder, so asking never waits on a large disk.
size_t CountTopLevelEntries(const std::wstring& folder, size_t limit);

// The question asked before a destination that already holds `count` entries is used; a count of
// `limit` reads as "at least".
std::wstring NonEmptyDestinationQuestion(size_t count, size_t limit);
inline constexpr size_t kEntryCountLimit = 1000;

}  // namespace vw
