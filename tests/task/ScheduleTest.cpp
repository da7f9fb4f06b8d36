#include "task/Schedule.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "support/TestRegistry.h"
#include "task/AppSettings.h"
#include "task/CBackupItem.h"
#include "win/Format.h"
#include "win/ProfileStore.h"
#include "win/UniqueHandle.h"

namespace {

using vw::ComputeSchedule;
using vw::DateTime;
using vw::TaskFields;

DateTime At(const wchar_t* text)
{
    DateTime time;
    EXPECT_TRUE(vw::ParseDateTime(text, time)) << vw::WideToUtf8(text);
    return time;
}

constexpr int64_t kNoTimer = -1;
constexpr wchar_t kNever[] = L"2000-01-01 00:00:00";
constexpr int32_t kMonday = 1, kTuesday = 2, kSunday = 64;

// A stored task at the top of the list with no automatic run of any kind.
TaskFields Unscheduled()
{
    TaskFields f;
    f.index = 0;
    f.Start = 0;
    f.StartTime = 0;
    return f;
}

TaskFields Daily(int hour, int minute, int32_t week = 127)
{
    TaskFields f = Unscheduled();
    f.Clock = 1;
    f.ClockHour = hour;
    f.ClockMinute = minute;
    f.Week = week;
    return f;
}

TaskFields Interval(int32_t autoMinute)
{
    TaskFields f = Unscheduled();
    f.AutoTime = 1;
    f.AutoMinute = autoMinute;
    return f;
}

TaskFields Both(TaskFields daily, int32_t autoMinute)
{
    daily.AutoTime = 1;
    daily.AutoMinute = autoMinute;
    return daily;
}

TaskFields AtStart(int32_t startTime)
{
    TaskFields f = Unscheduled();
    f.Start = 1;
    f.StartTime = startTime;
    return f;
}

TaskFields WithLast(TaskFields f, const wchar_t* lastTime)
{
    f.LastTime = At(lastTime);
    return f;
}

TaskFields WithIndex(TaskFields f, int32_t index)
{
    f.index = index;
    return f;
}

struct ScheduleCase {
    const char* what;
    TaskFields task;
    int32_t minTime;
    bool startup;
    const wchar_t* now;  // 2024-03-04 is a Monday, 2024-03-05 a Tuesday
    const wchar_t* next;
    int64_t periodMs;  // kNoTimer: the task keeps no timer
};

TEST(ScheduleTest, NextTimeAndTimerPeriod)
{
    const ScheduleCase cases[] = {
        {"clock one second ahead: today", Daily(8, 0), 120, false, L"2024-03-05 07:59:59", L"2024-03-05 08:00:00", 1000},
        {"index added to the period", WithIndex(Daily(8, 0), 3), 120, false, L"2024-03-05 07:59:59",
         L"2024-03-05 08:00:00", 1003},
        {"clock reached exactly: tomorrow", Daily(8, 0), 120, false, L"2024-03-05 08:00:00", L"2024-03-06 08:00:00",
         86'400'000},
        {"clock passed: tomorrow", Daily(8, 0), 120, false, L"2024-03-05 12:00:00", L"2024-03-06 08:00:00",
         72'000'000},
        {"too soon after the last run: tomorrow", WithLast(Daily(23, 0), L"2024-03-05 22:30:00"), 120, false,
         L"2024-03-05 22:45:00", L"2024-03-06 23:00:00", 87'300'000},
        {"exactly MinTime after the last run is still too soon", WithLast(Daily(23, 0), L"2024-03-05 21:00:00"), 120,
         false, L"2024-03-05 20:00:00", L"2024-03-06 23:00:00", 97'200'000},
        {"one second more than MinTime is enough", WithLast(Daily(23, 0), L"2024-03-05 20:59:59"), 120, false,
         L"2024-03-05 20:00:00", L"2024-03-05 23:00:00", 10'800'000},
        {"Monday only, Tuesday after the clock time: six days", Daily(8, 0, kMonday), 120, false,
         L"2024-03-05 09:00:00", L"2024-03-11 08:00:00", 514'800'000},
        {"Tuesday only, Tuesday after the clock time: a week", Daily(8, 0, kTuesday), 120, false,
         L"2024-03-05 09:00:00", L"2024-03-12 08:00:00", 601'200'000},
        {"Sunday is bit 6", Daily(8, 0, kSunday), 120, false, L"2024-03-05 09:00:00", L"2024-03-10 08:00:00",
         428'400'000},
        {"weekday searched after the MinTime push", WithLast(Daily(23, 0, kTuesday), L"2024-03-05 22:30:00"), 120,
         false, L"2024-03-05 22:45:00", L"2024-03-12 23:00:00", 605'700'000},
        {"hour and minute taken modulo, as unsigned", Daily(32, 75), 120, false, L"2024-03-05 07:00:00",
         L"2024-03-05 08:15:00", 4'500'000},
        {"negative hour and minute wrap as unsigned", Daily(-1, -1), 120, false, L"2024-03-05 07:00:00",
         L"2024-03-05 15:15:00", 29'700'000},
        {"no weekday allowed, no interval: never", Daily(8, 0, 0), 120, false, L"2024-03-05 07:00:00", kNever,
         kNoTimer},
        {"no weekday allowed, interval: the interval", Both(Daily(8, 0, 0), 120), 120, false, L"2024-03-05 07:00:00",
         L"2024-03-05 09:00:01", 7'201'000},
        {"interval below MinTime: MinTime", Interval(60), 120, false, L"2024-03-05 07:00:00", L"2024-03-05 09:00:01",
         7'201'000},
        {"interval above MinTime: the interval", Interval(300), 120, false, L"2024-03-05 07:00:00",
         L"2024-03-05 12:00:01", 18'001'000},
        {"never below 60 minutes", Interval(10), 5, false, L"2024-03-05 07:00:00", L"2024-03-05 08:00:01",
         3'601'000},
        {"interval counts from now, not from the last run", WithLast(Interval(120), L"2024-03-05 06:00:00"), 120,
         false, L"2024-03-05 07:00:00", L"2024-03-05 09:00:01", 7'201'000},
        {"interval crosses midnight", Interval(300), 120, false, L"2024-03-05 22:00:00", L"2024-03-06 03:00:01",
         18'001'000},
        {"daily earlier than the interval", Both(Daily(8, 0), 120), 120, false, L"2024-03-05 07:00:00",
         L"2024-03-05 08:00:00", 3'600'000},
        {"interval earlier than the daily time", Both(Daily(18, 0), 120), 120, false, L"2024-03-05 07:00:00",
         L"2024-03-05 09:00:01", 7'201'000},
        {"tie: the daily time", WithIndex(Both(Daily(10, 0), 120), 2), 120, false, L"2024-03-05 07:59:59",
         L"2024-03-05 10:00:00", 7'201'002},
        {"start-up run, StartTime 0, never run: now", WithIndex(AtStart(0), 4), 120, true, L"2024-03-05 07:00:00",
         L"2024-03-05 07:00:00", 4},
        {"start-up run after StartTime", WithIndex(AtStart(10), 1), 120, true, L"2024-03-05 07:00:00",
         L"2024-03-05 07:10:00", 600'001},
        {"start-up run goes before the interval", Both(AtStart(10), 60), 120, true, L"2024-03-05 07:00:00",
         L"2024-03-05 07:10:00", 600'000},
        {"start-up run too soon after the last run: never", WithLast(AtStart(10), L"2024-03-05 06:55:00"), 120, true,
         L"2024-03-05 07:00:00", kNever, kNoTimer},
        {"start-up run exactly MinTime after the last run: skipped", WithLast(AtStart(10), L"2024-03-05 05:10:00"),
         120, true, L"2024-03-05 07:00:00", kNever, kNoTimer},
        {"start-up run skipped, the daily time still applies",
         [] {
             TaskFields f = WithLast(Daily(8, 0), L"2024-03-05 06:55:00");
             f.Start = 1;
             f.StartTime = 10;
             return f;
         }(),
         60, true, L"2024-03-05 07:00:00", L"2024-03-05 08:00:00", 3'600'000},
        {"normal mode ignores Start", AtStart(0), 120, false, L"2024-03-05 07:00:00", kNever, kNoTimer},
        {"Clock and AutoTime off: never", Unscheduled(), 120, false, L"2024-03-05 07:00:00", kNever, kNoTimer},
    };
    for (const ScheduleCase& c : cases) {
        SCOPED_TRACE(c.what);
        const vw::ScheduleResult result = ComputeSchedule(c.task, c.minTime, c.startup, At(c.now));
        EXPECT_EQ(vw::WideToUtf8(vw::FormatDateTime(result.nextTime)), vw::WideToUtf8(c.next));
        EXPECT_EQ(result.timerPeriodMs ? int64_t{*result.timerPeriodMs} : kNoTimer, c.periodMs);
    }
}

// --- the thin part: a real window timer on a message-only window ---

// Pumps the window's queue for `milliseconds` and tells whether a timer with `timerId` expired.
bool TimerFiredWithin(HWND window, UINT_PTR timerId, DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        MSG msg;
        while (PeekMessageW(&msg, window, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_TIMER && msg.wParam == timerId)
                return true;
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return false;
}

TEST(ScheduleTest, ATimerThatExpiresMoreThanAMinuteBeforeNextTimeFiredEarly)
{
    const struct {
        const char* what;
        const wchar_t* next;
        const wchar_t* now;
        bool early;
    } cases[] = {
        {"on time", L"2024-03-05 08:00:00", L"2024-03-05 08:00:00", false},
        {"late", L"2024-03-05 08:00:00", L"2024-03-05 09:00:00", false},
        {"a timer's own slack of a few seconds", L"2024-03-05 08:00:00", L"2024-03-05 07:59:50", false},
        {"exactly a minute early", L"2024-03-05 08:00:00", L"2024-03-05 07:59:00", false},
        {"the clock set back an hour (daylight saving ends)", L"2024-10-27 08:00:00", L"2024-10-27 07:00:00", true},
        {"a period longer than a timer holds", L"2024-04-30 08:00:00", L"2024-03-05 08:00:00", true},
        {"no run due", kNever, L"2024-03-05 08:00:00", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(vw::TimerFiredEarly(At(c.next), At(c.now)), c.early) << c.what;
}

class RescheduleTest : public ::testing::Test {
protected:
    RescheduleTest()
        : key_(L"schedule"),
          profile_(key_.path()),
          window_(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr)),
          task_(profile_, settings_, 10042)
    {
        task_.index = 3;
    }

    vwtest::TestRegistryKey key_;
    vw::ProfileStore profile_;
    vw::AppSettings settings_;
    vw::UniqueWindow window_;
    vw::CBackupItem task_;
};

TEST_F(RescheduleTest, ArmsTheTasksTimerOnTheWindow)
{
    ASSERT_TRUE(window_);
    task_.Start = 1;
    task_.StartTime = 0;  // due at once; the period is the index, 3 ms
    ASSERT_TRUE(task_.Reschedule(window_.get(), 120, true));
    EXPECT_FALSE(task_.NextTime.IsNever());
    EXPECT_TRUE(TimerFiredWithin(window_.get(), 10042, 2000));
}

TEST_F(RescheduleTest, NoRunDueKillsTheArmedTimer)
{
    ASSERT_TRUE(window_);
    task_.Start = 1;
    task_.StartTime = 0;
    task_.index = 300;  // armed for 300 ms
    ASSERT_TRUE(task_.Reschedule(window_.get(), 120, true));
    ASSERT_FALSE(task_.NextTime.IsNever());

    // Normal mode with neither Clock nor AutoTime: nothing is due.
    ASSERT_TRUE(task_.Reschedule(window_.get(), 120, false));
    EXPECT_TRUE(task_.NextTime.IsNever());
    EXPECT_FALSE(TimerFiredWithin(window_.get(), 10042, 800));
}

TEST_F(RescheduleTest, ReschedulingReplacesTheTimer)
{
    ASSERT_TRUE(window_);
    // A long timer first, then a short one under the same id: the short one must fire.
    task_.AutoTime = 1;
    ASSERT_TRUE(task_.Reschedule(window_.get(), 120, false));
    task_.AutoTime = 0;
    task_.Start = 1;
    task_.StartTime = 0;
    ASSERT_TRUE(task_.Reschedule(window_.get(), 120, true));
    EXPECT_TRUE(TimerFiredWithin(window_.get(), 10042, 2000));
}

TEST_F(RescheduleTest, RemembersWhetherTheStartUpRunIsPending)
{
    ASSERT_TRUE(window_);
    task_.Start = 1;
    task_.StartTime = 10;
    task_.AutoTime = 1;
    ASSERT_TRUE(task_.Reschedule(window_.get(), 120, true));
    EXPECT_TRUE(task_.startupRunPending);
    ASSERT_TRUE(task_.Reschedule(window_.get(), 120, false));
    EXPECT_FALSE(task_.startupRunPending);
}

}  // namespace
