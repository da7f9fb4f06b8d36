#pragma once
// A task's stored fields and its next automatic run, as plain values: what the task holds, what a
// snapshot of it copies and what its schedule is computed from. The defaults are a new task's.
#include <cstdint>
#include <string>

#include "task/DateTime.h"

namespace vw {

struct TaskFields {
    int32_t index = -1;
    std::wstring Id;
    std::wstring Name;
    std::wstring Source;
    std::wstring Dest;
    int32_t History = 1;
    int32_t RemoveFollow = 1;
    int32_t Start = 1;
    int32_t StartTime = 10;
    int32_t Clock = 0;
    int32_t ClockHour = 0;
    int32_t ClockMinute = 0;
    int32_t Week = 127;
    int32_t AutoTime = 0;
    int32_t AutoMinute = 120;
    DateTime CreateTime;
    DateTime LastTime;
    DateTime NextTime;
};

}  // namespace vw
