#pragma once
// Every stored field of a task in one table: its key, its entry in the task's section, its kind,
// the value a new task holds, the value read when the entry is missing, the range the editor
// accepts, and whether the editor shows it. Loading, storing, a new task's values and the editor's
// entries all go through this table, in its order.
#include <cstdint>
#include <span>
#include <string>

#include "task/DateTime.h"
#include "task/TaskFields.h"

namespace vw {

// The persistent keys of a task. Their numbers are fixed: callers and tests address keys by them.
enum class TaskKey : int {
    Index = 0,
    Id = 1,
    Name = 2,
    Source = 3,
    Dest = 4,
    Start = 5,
    StartTime = 6,
    Clock = 7,
    ClockHour = 8,
    ClockMinute = 9,
    Week = 10,
    AutoTime = 11,
    AutoMinute = 12,
    CreateTime = 13,
    LastTime = 14,
    History = 15,
    RemoveFollow = 16,
};

enum class FieldKind {
    Position,  // the task's index, stored to tell a section that belongs to its place
    Text,
    Folder,    // a text read back without surrounding blanks or a trailing backslash
    Number,
    Switch,    // 0 or 1; any other stored number reads as on
    Time,      // stored in its text form
};

// The missing-entry value of the interval: the MinTime setting when it is at least 61, else 60.
inline constexpr int32_t kMissingFromMinTime = INT32_MIN;

struct TaskFieldInfo {
    TaskKey key;
    const wchar_t* name;
    FieldKind kind;
    // Exactly one of these names the field, by its kind.
    int32_t TaskFields::*number = nullptr;  // Position, Number, Switch
    std::wstring TaskFields::*text = nullptr;  // Text, Folder
    DateTime TaskFields::*time = nullptr;      // Time: new tasks and missing entries hold never
    int32_t newValue = 0;
    int32_t whenMissing = 0;
    // What the editor accepts; storing keeps a field that wraps (an hour of the day, a minute of the
    // hour) within it by wrapping round.
    int32_t low = 0;
    int32_t high = 0;
    bool wraps = false;
    bool edited = false;
};

// The table in the order of a whole-section write. The Id leads, so a section cut short by a failed
// write still names its task.
std::span<const TaskFieldInfo> TaskFieldTable();
const TaskFieldInfo& FieldOf(TaskKey key);

// The value a number field reads as when its entry is missing, with the MinTime setting.
int32_t MissingNumber(const TaskFieldInfo& field, int32_t minTime);

// True when the fields the editor shows are the same in both: texts exactly (a change of letter
// case alone is a change), switches as on or off.
bool SameEditedFields(const TaskFields& a, const TaskFields& b);

// Copies the fields the editor shows from `from` into `to`: switches as 0 or 1, wrapping fields
// kept within their range.
void CopyEditedFields(const TaskFields& from, TaskFields& to);

}  // namespace vw
