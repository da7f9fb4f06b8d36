#pragma once
// A task's stored fields and its next automatic run, as plain values: what the task holds, what a
// snapshot of it copies, what the editor edits and what its schedule is computed from. Each stored
// field's entry, kind and values are in task/TaskFieldTable.h.
#include <cstdint>
#include <string>

#include "task/DateTime.h"

namespace vw {

struct TaskFields {
    // A new task's values (task/TaskFieldTable.cpp).
    TaskFields();

    int32_t index;
    std::wstring Id;
    std::wstring Name;
    std::wstring Source;
    std::wstring Dest;
    int32_t History;
    int32_t RemoveFollow;
    int32_t Start;
    int32_t StartTime;
    int32_t Clock;
    int32_t ClockHour;
    int32_t ClockMinute;
    int32_t Week;
    int32_t AutoTime;
    int32_t AutoMinute;
    DateTime CreateTime;
    DateTime LastTime;
    DateTime NextTime;  // not stored: computed from the schedule
};

}  // namespace vw
