#include "task/Schedule.h"

#include <windows.h>

#include <algorithm>

#include "task/CBackupItem.h"

namespace vw {

namespace {

const DateSpan kOneDay(1.0);

DateSpan MinutesAndSeconds(uint64_t minutes, int seconds)
{
    return DateSpan::FromParts(static_cast<int64_t>(minutes / 1440), 0, static_cast<int>(minutes % 1440),
                               seconds);
}

// A timer period in milliseconds, kept within what SetTimer accepts: a period past its maximum
// would otherwise wrap around into a short or negative one.
uint32_t TimerPeriod(int64_t milliseconds)
{
    return static_cast<uint32_t>(std::clamp<int64_t>(milliseconds, 0, USER_TIMER_MAXIMUM));
}

bool WeekAllows(int32_t week, const DateTime& day)
{
    // Week counts Monday as bit 0 and Sunday as bit 6; DayOfWeek counts from Sunday.
    const int bit = (day.DayOfWeek() + 6) % 7;
    return (static_cast<uint32_t>(week) >> bit) & 1u;
}

ScheduleResult NoRun()
{
    return {DateTime::Never(), std::nullopt};
}

// The next allowed weekday at the clock time, strictly later than now and more than MinTime
// minutes after the last run; empty when the week allows no day.
std::optional<DateTime> DailyCandidate(const TaskFields& task, int64_t minTimeSeconds, const DateTime& now)
{
    DateTime cand = DateTime::FromParts(now.Year(), now.Month(), now.Day(),
                                        static_cast<int>(static_cast<uint32_t>(task.ClockHour) % 24u),
                                        static_cast<int>(static_cast<uint32_t>(task.ClockMinute) % 60u), 0);
    if (cand < now || cand == now)
        cand = cand + kOneDay;
    while (cand.IsValid() && (cand - task.LastTime).WholeSeconds() <= minTimeSeconds)
        cand = cand + kOneDay;
    for (int tries = 0; tries < 7 && cand.IsValid(); ++tries) {
        if (WeekAllows(task.Week, cand))
            return cand;
        cand = cand + kOneDay;
    }
    return std::nullopt;
}

}  // namespace

ScheduleResult ComputeSchedule(const TaskFields& task, int32_t minTime, bool startupMode, const DateTime& now)
{
    const int64_t minTimeSeconds = static_cast<int64_t>(minTime) * 60;

    if (startupMode && task.Start) {
        const DateTime t = now + DateSpan::FromParts(0, 0, task.StartTime, 0);
        if ((t - task.LastTime).WholeSeconds() > minTimeSeconds)
            return {t, TimerPeriod(static_cast<int64_t>(task.StartTime) * 60000 + task.index), true};
        // A recent last run cancels the start-up run; the other triggers still apply.
    }

    if (!task.Clock && !task.AutoTime)
        return NoRun();

    std::optional<DateTime> chosen;
    if (task.Clock)
        chosen = DailyCandidate(task, minTimeSeconds, now);

    if (task.AutoTime) {
        const uint32_t interval = std::max({60u, static_cast<uint32_t>(task.AutoMinute), static_cast<uint32_t>(minTime)});
        const DateTime next = now + MinutesAndSeconds(interval, 1);
        // On a tie the daily time stays.
        if (!chosen || next < *chosen)
            chosen = next;
    }

    // Only a stored value far outside the editor's ranges can push the time off the calendar.
    if (!chosen || !chosen->IsValid())
        return NoRun();
    return {*chosen, TimerPeriodUntil(*chosen, now, task.index)};
}

uint32_t TimerPeriodUntil(const DateTime& nextTime, const DateTime& now, int32_t index)
{
    return TimerPeriod((nextTime - now).WholeSeconds() * 1000 + index);
}

bool TimerFiredEarly(const DateTime& nextTime, const DateTime& now)
{
    return nextTime.IsValid() && !nextTime.IsNever() && (nextTime - now).WholeSeconds() > 60;
}

bool CBackupItem::Reschedule(HWND window, int32_t minTime, bool startupMode)
{
    KillTimer(window, static_cast<UINT_PTR>(timerId));
    // LastTime may be written by a worker meanwhile: the schedule works on one copy.
    const ScheduleResult schedule = ComputeSchedule(Snapshot(), minTime, startupMode, DateTime::Now());
    SetNextTime(schedule.nextTime);
    startupRunPending = schedule.startupRun;
    if (!schedule.timerPeriodMs)
        return true;
    return SetTimer(window, static_cast<UINT_PTR>(timerId), *schedule.timerPeriodMs, nullptr) != 0;
}

bool CBackupItem::ArmUntilNextTime(HWND window, const DateTime& now)
{
    const DateTime next = Snapshot().NextTime;
    return SetTimer(window, static_cast<UINT_PTR>(timerId), TimerPeriodUntil(next, now, index), nullptr) != 0;
}

}  // namespace vw
