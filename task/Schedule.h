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
    bool startupRun = false;               // the next run is the start-up run
};

// `minTime` is the setting MinTime (minutes); `startupMode` is true only for the pass over all
// tasks right after the list was loaded at program start. The timer period includes the task's
// index, so tasks due at the same instant expire in list order.
ScheduleResult ComputeSchedule(const TaskFields& task, int32_t minTime, bool startupMode,
                               const DateTime& now);

// The period of a task's timer that expires at `nextTime`, with the task's index added.
uint32_t TimerPeriodUntil(const DateTime& nextTime, const DateTime& now, int32_t index);

// A timer counts elapsed time, the schedule the clock: after a daylight-saving or time-zone change,
// a clock set back, or a period longer than a timer holds, it expires before the task's NextTime.
// True when `now` lies more than a minute before `nextTime`: the timer is armed again, the task
// does not run yet.
bool TimerFiredEarly(const DateTime& nextTime, const DateTime& now);

}  // namespace vw
