#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "task/DateTime.h"
#include "win/Format.h"

namespace {

using vw::DateSpan;
using vw::DateStatus;
using vw::DateTime;
using vw::FormatDateTime;
using vw::ParseDateTime;

constexpr double kSecond = 1.0 / 86400.0;

std::string Text(const DateTime& time)
{
    return vw::WideToUtf8(FormatDateTime(time));
}

TEST(DateTimeParse, NineteenCharactersAreReadByPositionAndClamped)
{
    struct Case {
        const wchar_t* text;
        const char* expected;
    };
    const Case cases[] = {
        {L"2024-03-05 08:07:00", "2024-03-05 08:07:00"},
        {L"2024-02-30 25:61:99", "2024-02-01 00:00:00"},  // day, hour, minute, second out of range
        {L"1999-05-05 10:00:00", "2000-05-05 10:00:00"},  // year before 2000
        {L"3001-01-01 00:00:00", "2000-01-01 00:00:00"},  // year after 3000
        {L"3000-12-31 23:59:59", "3000-12-31 23:59:59"},
        {L"2024-13-15 10:00:00", "2024-01-15 10:00:00"},  // month 13
        {L"2024-00-31 10:00:00", "2024-01-31 10:00:00"},  // month 0 takes January's 31 days
        {L"2024-04-31 10:00:00", "2024-04-01 10:00:00"},
        {L"2024-00-00 24:60:60", "2024-01-01 00:00:00"},
        // Leap years: by 4, not by 100, but by 400.
        {L"2024-02-29 12:00:00", "2024-02-29 12:00:00"},
        {L"2023-02-29 12:00:00", "2023-02-01 12:00:00"},
        {L"2000-02-29 12:00:00", "2000-02-29 12:00:00"},
        {L"2100-02-29 12:00:00", "2100-02-01 12:00:00"},
        // Separators are not looked at; each field reads like atoi.
        {L"2024/ 3/ 5T 8: 7: 9", "2024-03-05 08:07:09"},
        {L"2024-+3-05 10:00:00", "2024-03-05 10:00:00"},
        {L"2024--3-05 10:00:00", "2024-01-05 10:00:00"},
        {L"2024-1x-05 10:00:00", "2024-01-05 10:00:00"},
        {L"2024-xx-05 10:-5:00", "2024-01-05 10:00:00"},
        {L"abcd-05-05 10:00:00", "2000-05-05 10:00:00"},
        {L"2024-05-05 10:00:0 ", "2024-05-05 10:00:00"},
        {L"+2024-5-05 10:00:00", "2000-01-05 10:00:00"},  // year "+202", month "-5"
    };
    for (const Case& c : cases) {
        DateTime time = DateTime::Null();
        EXPECT_TRUE(ParseDateTime(c.text, time)) << vw::WideToUtf8(c.text);
        EXPECT_TRUE(time.IsValid()) << vw::WideToUtf8(c.text);
        EXPECT_EQ(Text(time), c.expected) << vw::WideToUtf8(c.text);
    }
}

TEST(DateTimeParse, AnyOtherLengthFailsAndLeavesTheValue)
{
    const wchar_t* const texts[] = {
        L"2024-5-5 10:00:00",     // 17 characters
        L"2024-05-05 10:00:00 ",  // 20
        L"2024-05-05 10:00",
        L"Invalid DateTime",
        L"",
    };
    const DateTime before = DateTime::FromParts(2023, 7, 8, 9, 10, 11);
    for (const wchar_t* text : texts) {
        DateTime time = before;
        EXPECT_FALSE(ParseDateTime(text, time)) << vw::WideToUtf8(text);
        EXPECT_EQ(Text(time), "2023-07-08 09:10:11");
    }
}

TEST(DateTimeParts, ValidOnlyWhenTheReadingComesBackUnchanged)
{
    struct Case {
        int year, month, day, hour, minute, second;
        bool valid;
    };
    const Case cases[] = {
        {2024, 3, 5, 8, 7, 0, true},
        {2024, 4, 31, 0, 0, 0, false},
        {2024, 13, 1, 0, 0, 0, false},
        {2024, 0, 1, 0, 0, 0, false},
        {2024, 1, 0, 0, 0, 0, false},
        {2024, 2, 29, 0, 0, 0, true},
        {2023, 2, 29, 0, 0, 0, false},
        {1900, 2, 29, 0, 0, 0, false},
        {2024, 1, 1, 24, 0, 0, false},
        {2024, 1, 1, 0, 60, 0, false},
        {2024, 1, 1, 0, 0, 60, false},
        {2024, 1, 1, -1, 0, 0, false},
        {2024, 1, 1, 23, 59, 59, true},
        {100, 1, 1, 0, 0, 0, true},
        {99, 12, 31, 0, 0, 0, false},
        {9999, 12, 31, 23, 59, 59, true},
        {10000, 1, 1, 0, 0, 0, false},
    };
    for (const Case& c : cases) {
        const DateTime time = DateTime::FromParts(c.year, c.month, c.day, c.hour, c.minute, c.second);
        EXPECT_EQ(time.IsValid(), c.valid) << c.year << "-" << c.month << "-" << c.day << " " << c.hour << ":"
                                           << c.minute << ":" << c.second;
        if (c.valid) {
            EXPECT_EQ(time.Year(), c.year);
            EXPECT_EQ(time.Month(), c.month);
            EXPECT_EQ(time.Day(), c.day);
            EXPECT_EQ(time.Hour(), c.hour);
            EXPECT_EQ(time.Minute(), c.minute);
            EXPECT_EQ(time.Second(), c.second);
        } else {
            EXPECT_EQ(Text(time), "Invalid DateTime");
        }
    }
}

TEST(DateTimeParts, TheValueIsTheOleAutomationDate)
{
    struct Case {
        DateTime time;
        double value;
    };
    const Case cases[] = {
        {DateTime::FromParts(1899, 12, 30, 0, 0, 0), 0.0},
        {DateTime::FromParts(1899, 12, 30, 12, 0, 0), 0.5},
        {DateTime::FromParts(2000, 1, 1, 0, 0, 0), 36526.0},
        {DateTime::FromParts(2000, 1, 1, 18, 0, 0), 36526.75},
        // Before day 0 the day counts down while the time of day still counts up.
        {DateTime::FromParts(1899, 12, 29, 6, 0, 0), -1.25},
        {DateTime::FromParts(1899, 12, 28, 18, 0, 0), -2.75},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(c.time.IsValid());
        EXPECT_NEAR(c.time.Value(), c.value, 1e-9) << Text(c.time);
    }
    // Arithmetic runs straight through day 0.
    const DateTime evening = DateTime::FromParts(1899, 12, 29, 18, 0, 0);
    EXPECT_EQ(Text(evening + DateSpan(0.25)), "1899-12-30 00:00:00");
    EXPECT_EQ(Text(evening - DateSpan(1.0)), "1899-12-28 18:00:00");
    EXPECT_NEAR((DateTime::FromParts(1899, 12, 30, 6, 0, 0) - evening).Days(), 0.5, 1e-9);
    EXPECT_TRUE(DateTime::FromParts(1899, 12, 28, 18, 0, 0) < evening);
}

TEST(DateTimeCompare, EqualWithinHalfASecondAndOnlyForTheSameStatus)
{
    const DateTime base = DateTime::FromParts(2024, 3, 5, 8, 7, 0);
    const DateTime invalid = DateTime::FromParts(2024, 4, 31, 0, 0, 0);
    struct Case {
        const char* what;
        DateTime a, b;
        bool equal;
    };
    const Case cases[] = {
        {"same", base, base, true},
        {"0.4 s later", base, base + DateSpan(0.4 * kSecond), true},
        {"0.4 s earlier", base, base - DateSpan(0.4 * kSecond), true},
        {"0.6 s later", base, base + DateSpan(0.6 * kSecond), false},
        {"0.6 s earlier", base, base - DateSpan(0.6 * kSecond), false},
        {"valid and invalid", base, invalid, false},
        {"valid and null", base, DateTime::Null(), false},
        {"invalid and null", invalid, DateTime::Null(), false},
        {"null and null", DateTime::Null(), DateTime::Null(), true},
        {"invalid and invalid", invalid, invalid, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.a == c.b, c.equal) << c.what;
        EXPECT_EQ(c.b == c.a, c.equal) << c.what;
        EXPECT_EQ(c.a != c.b, !c.equal) << c.what;
    }
}

TEST(DateTimeCompare, LessOnlyBetweenValidValues)
{
    const DateTime base = DateTime::FromParts(2024, 3, 5, 8, 7, 0);
    const DateTime later = DateTime::FromParts(2024, 3, 5, 8, 7, 1);
    const DateTime invalid = DateTime::FromParts(2024, 4, 31, 0, 0, 0);
    EXPECT_TRUE(base < later);
    EXPECT_FALSE(later < base);
    EXPECT_FALSE(base < base);
    EXPECT_FALSE(invalid < base);
    EXPECT_FALSE(base < invalid);
    EXPECT_FALSE(DateTime::Null() < base);
    EXPECT_FALSE(base < DateTime::Null());
}

TEST(DateTimeNever, IsTheFirstDayOf2000AtAnyTime)
{
    EXPECT_EQ(Text(DateTime()), "2000-01-01 00:00:00");
    EXPECT_EQ(Text(DateTime::Never()), "2000-01-01 00:00:00");
    EXPECT_TRUE(DateTime() == DateTime::Never());

    struct Case {
        DateTime time;
        bool never;
    };
    const Case cases[] = {
        {DateTime::Never(), true},
        {DateTime::FromParts(2000, 1, 1, 12, 30, 0), true},
        {DateTime::FromParts(2000, 1, 1, 23, 59, 59), true},
        {DateTime::FromParts(1999, 12, 31, 23, 59, 59), false},
        {DateTime::FromParts(2000, 1, 2, 0, 0, 0), false},
        {DateTime::FromParts(2001, 1, 1, 0, 0, 0), false},
        {DateTime::FromParts(2000, 2, 31, 0, 0, 0), false},  // invalid
        {DateTime::Null(), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.time.IsNever(), c.never) << Text(c.time);
}

TEST(DateSpanSeconds, WholeSecondsRoundHalfAwayFromZero)
{
    struct Case {
        double seconds;
        int64_t whole;
    };
    const Case cases[] = {
        {0.0, 0},     {0.4, 0},     {0.5, 1},      {1.4, 1},     {1.5, 2},     {1.6, 2},
        {-0.4, 0},    {-0.5, -1},   {-1.4, -1},    {-1.5, -2},   {-1.6, -2},   {59.5, 60},
        {86400.0, 86400}, {-86400.0, -86400}, {3599.49, 3599},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DateSpan(c.seconds * kSecond).WholeSeconds(), c.whole) << c.seconds;

    // Differences of real dates, where the subtraction leaves its rounding noise.
    const DateTime base = DateTime::FromParts(2024, 3, 5, 8, 7, 0);
    const DateTime halfPast = base + DateSpan(90.5 * kSecond);
    EXPECT_EQ((halfPast - base).WholeSeconds(), 91);
    EXPECT_EQ((base - halfPast).WholeSeconds(), -91);
    EXPECT_EQ((DateTime::FromParts(2024, 3, 6, 9, 8, 1) - base).WholeSeconds(), 86400 + 3600 + 60 + 1);
}

TEST(DateSpanParts, DaysHoursMinutesSecondsAndTheValidRange)
{
    EXPECT_NEAR(DateSpan::FromParts(1, 12, 0, 0).Days(), 1.5, 1e-12);
    EXPECT_EQ(DateSpan::FromParts(0, 1, 2, 3).WholeSeconds(), 3723);
    EXPECT_EQ(DateSpan::FromParts(-1, 0, 0, 0).WholeSeconds(), -86400);
    EXPECT_EQ(DateSpan::FromParts(0, -1, 0, -30).WholeSeconds(), -3630);

    struct Case {
        int64_t days;
        bool valid;
    };
    const Case cases[] = {{3615897, true}, {-3615897, true}, {3615898, false}, {-3615898, false}};
    for (const Case& c : cases)
        EXPECT_EQ(DateSpan::FromParts(c.days, 0, 0, 0).IsValid(), c.valid) << c.days;
}

TEST(DateTimeArithmetic, AddingDaysKeepsTheClockTime)
{
    struct Case {
        DateTime from;
        DateSpan span;
        const char* expected;
    };
    const Case cases[] = {
        {DateTime::FromParts(2024, 3, 30, 23, 30, 0), DateSpan(1.0), "2024-03-31 23:30:00"},
        {DateTime::FromParts(2024, 3, 31, 2, 30, 0), DateSpan(1.0), "2024-04-01 02:30:00"},
        {DateTime::FromParts(2024, 10, 27, 2, 30, 0), DateSpan(1.0), "2024-10-28 02:30:00"},
        {DateTime::FromParts(2024, 12, 31, 10, 0, 0), DateSpan(1.0), "2025-01-01 10:00:00"},
        {DateTime::FromParts(2024, 2, 28, 10, 0, 0), DateSpan(1.0), "2024-02-29 10:00:00"},
        {DateTime::FromParts(2023, 2, 28, 10, 0, 0), DateSpan(1.0), "2023-03-01 10:00:00"},
        {DateTime::FromParts(2024, 3, 5, 23, 50, 0), DateSpan::FromParts(0, 0, 15, 0), "2024-03-06 00:05:00"},
        {DateTime::FromParts(2024, 3, 5, 0, 5, 0), DateSpan::FromParts(0, 0, -15, 0), "2024-03-04 23:50:00"},
        {DateTime::FromParts(2024, 3, 5, 8, 0, 0), DateSpan::FromParts(365, 0, 0, 0), "2025-03-05 08:00:00"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Text(c.from + c.span), c.expected) << Text(c.from);

    const DateTime day = DateTime::FromParts(2024, 3, 5, 8, 7, 0);
    EXPECT_EQ(Text(day - DateSpan(1.0)), "2024-03-04 08:07:00");
    EXPECT_NEAR((DateTime::FromParts(2024, 3, 6, 8, 7, 0) - day).Days(), 1.0, 1e-9);
}

TEST(DateTimeArithmetic, InvalidAndNullCarryThrough)
{
    const DateTime valid = DateTime::FromParts(2024, 3, 5, 8, 7, 0);
    const DateTime invalid = DateTime::FromParts(2024, 4, 31, 0, 0, 0);
    EXPECT_EQ((invalid + DateSpan(1.0)).Status(), DateStatus::Invalid);
    EXPECT_EQ((valid + DateSpan(1.0, DateStatus::Invalid)).Status(), DateStatus::Invalid);
    EXPECT_EQ((DateTime::Null() + DateSpan(1.0)).Status(), DateStatus::Null);
    EXPECT_EQ((valid - invalid).Status(), DateStatus::Invalid);
    EXPECT_EQ((valid - DateTime::Null()).Status(), DateStatus::Null);
    // Beyond 9999-12-31 there is no date.
    EXPECT_EQ((valid + DateSpan::FromParts(3000000, 0, 0, 0)).Status(), DateStatus::Invalid);
}

TEST(DateTimeFields, DayOfWeekCountsFromSunday)
{
    struct Case {
        DateTime time;
        int dayOfWeek;
    };
    const Case cases[] = {
        {DateTime::FromParts(2024, 3, 10, 12, 0, 0), 0},  // Sunday
        {DateTime::FromParts(2024, 3, 11, 0, 0, 0), 1},
        {DateTime::FromParts(2024, 3, 5, 23, 59, 59), 2},
        {DateTime::FromParts(2024, 3, 16, 0, 0, 0), 6},
        {DateTime::FromParts(2000, 1, 1, 0, 0, 0), 6},
        {DateTime::FromParts(1899, 12, 30, 0, 0, 0), 6},
        {DateTime::FromParts(1899, 12, 29, 18, 0, 0), 5},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.time.DayOfWeek(), c.dayOfWeek) << Text(c.time);
}

TEST(DateTimeFormat, OnlyValidValuesHaveADateText)
{
    const DateTime invalidValues[] = {
        DateTime::FromParts(2024, 4, 31, 0, 0, 0),
        DateTime::FromParts(2024, 1, 1, 25, 0, 0),
        DateTime::Never() + DateSpan::FromParts(3615897, 0, 0, 0),
        DateTime::Never() + DateSpan(1.0, DateStatus::Invalid),
    };
    for (const DateTime& time : invalidValues)
        EXPECT_EQ(Text(time), "Invalid DateTime");
    EXPECT_EQ(Text(DateTime::Null()), "");
    EXPECT_EQ(Text(DateTime::FromParts(2024, 3, 5, 8, 7, 0)), "2024-03-05 08:07:00");

    // Every valid text reads back as the same value.
    const DateTime original = DateTime::FromParts(2987, 11, 30, 23, 59, 58);
    DateTime back = DateTime::Null();
    ASSERT_TRUE(ParseDateTime(FormatDateTime(original), back));
    EXPECT_TRUE(back == original);
}

TEST(DateTimeNow, IsTheLocalClockInWholeSeconds)
{
    SYSTEMTIME before{};
    GetLocalTime(&before);
    const DateTime now = DateTime::Now();
    ASSERT_TRUE(now.IsValid());
    const double seconds = now.Value() * 86400.0;
    EXPECT_NEAR(seconds, std::round(seconds), 1e-3);
    const DateTime clock =
        DateTime::FromParts(before.wYear, before.wMonth, before.wDay, before.wHour, before.wMinute, before.wSecond);
    EXPECT_LE(std::llabs((now - clock).WholeSeconds()), 2);
}

}  // namespace
