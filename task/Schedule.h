#pragma once
// When a task runs by itself next: the start-up run, the daily run on chosen weekdays and the
// interval run, turned into one instant (NextTime) and the period of the task's window timer.
// ComputeSchedule decides and touches nothing; CBackupItem::Reschedule reads the clock and arms
// the timer with it.
#include <cstdint>
#include <optional>

#include "task/DateTime.h"
#include "task/TaskFields.h"

namespace vw {

struct ScheduleResult {
    DateTime nextTime;                     // never when no automatic run is due
    std::optional<uint32_t> timerPeriodMs;  // empty: the task keeps no timer
};

// `minTime` is the setting MinTime (minutes); `startupMode` is true only for the pass over all
// tasks right after the list was loaded at program start. The timer period includes the task's
// index, so tasks due at the same instant expire in list order.
ScheduleResult ComputeSchedule(const TaskFields& task, int32_t minTime, bool startupMode,
                               const DateTime& now);

}  // namespace vw
