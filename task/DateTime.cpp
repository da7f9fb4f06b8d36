#include "task/DateTime.h"

#include <windows.h>

#include <cmath>

#include "win/Format.h"

namespace vw {

namespace {

constexpr double kSecondsPerDay = 86400.0;
constexpr double kHalfSecond = 0.5 / kSecondsPerDay;
constexpr double kMaxSpanDays = 3615897.0;
// The OLE Automation date range: 0100-01-01 00:00:00 to 9999-12-31 23:59:59.
constexpr double kMinDate = -657434.0;
constexpr double kMaxDate = 2958465.99999;
// 2000-01-01 00:00:00, the task times' "never".
constexpr double kNeverValue = 36526.0;
// Day 0 of the OLE calendar, 1899-12-30, counted from 1970-01-01.
constexpr int64_t kOleEpochFromUnix = -25569;

int64_t FloorDiv(int64_t a, int64_t b)
{
    const int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// Proleptic Gregorian calendar, days since 1970-01-01. Works for any month/day numbers without
// normalising them, so an impossible reading simply fails the round trip.
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d)
{
    y -= m <= 2 ? 1 : 0;
    const int64_t era = FloorDiv(y, 400);
    const int64_t yoe = y - era * 400;
    const int64_t mp = m > 2 ? m - 3 : m + 9;
    const int64_t doy = (153 * mp + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

struct CivilDate {
    int64_t year;
    int64_t month;
    int64_t day;
};

CivilDate CivilFromDays(int64_t z)
{
    z += 719468;
    const int64_t era = FloorDiv(z, 146097);
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const int64_t m = mp < 10 ? mp + 3 : mp - 9;
    return {yoe + era * 400 + (m <= 2 ? 1 : 0), m, d};
}

// Before 1899-12-30 an OLE date keeps a positive time of day behind a negative day number
// (-1.25 is 1899-12-29 06:00). Arithmetic and comparison work on the continuous count of days.
double ToLinear(double oleDate)
{
    if (oleDate >= 0.0)
        return oleDate;
    const double day = std::ceil(oleDate);
    return day - (oleDate - day);
}

double FromLinear(double linear)
{
    if (linear >= 0.0)
        return linear;
    const double day = std::floor(linear);
    return day - (linear - day);
}

struct Parts {
    int64_t year, month, day, hour, minute, second;
};

// Nearest whole second, so 23:59:59.9999 reads as the next midnight rather than 23:59:59.
Parts Breakdown(double oleDate)
{
    const auto seconds = static_cast<int64_t>(std::llround(ToLinear(oleDate) * kSecondsPerDay));
    const int64_t days = FloorDiv(seconds, 86400);
    const int64_t ofDay = seconds - days * 86400;
    const CivilDate date = CivilFromDays(days + kOleEpochFromUnix);
    return {date.year, date.month, date.day, ofDay / 3600, ofDay / 60 % 60, ofDay % 60};
}

bool InDateRange(double oleDate)
{
    return oleDate >= kMinDate && oleDate <= kMaxDate;
}

// A field of the text form, read like atoi: blanks, a sign, digits up to the first other character.
int ReadField(const std::wstring& text, size_t first, size_t length)
{
    size_t i = first;
    const size_t end = first + length;
    while (i < end && (text[i] == L' ' || (text[i] >= L'\t' && text[i] <= L'\r')))
        ++i;
    bool negative = false;
    if (i < end && (text[i] == L'+' || text[i] == L'-'))
        negative = text[i++] == L'-';
    int value = 0;
    for (; i < end && text[i] >= L'0' && text[i] <= L'9'; ++i)
        value = value * 10 + (text[i] - L'0');
    return negative ? -value : value;
}

int DaysInMonth(int year, int month)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0))
        return 29;
    return kDays[month - 1];
}

}  // namespace

DateSpan::DateSpan(double days, DateStatus status) : days_(days), status_(status)
{
    if (status_ == DateStatus::Valid && !(std::fabs(days_) <= kMaxSpanDays))
        status_ = DateStatus::Invalid;
}

DateSpan DateSpan::FromParts(int64_t days, int hours, int minutes, int seconds)
{
    return DateSpan(static_cast<double>(days) + hours / 24.0 + minutes / 1440.0 + seconds / kSecondsPerDay);
}

int64_t DateSpan::WholeSeconds() const
{
    // A span that is a whole number of seconds and a half must round away from zero even when the
    // subtraction of two dates left it a hair short; 10 µs is far above that noise and far below a second.
    constexpr double kNoise = 1e-5;
    const double seconds = days_ * kSecondsPerDay;
    return static_cast<int64_t>(seconds >= 0.0 ? seconds + 0.5 + kNoise : seconds - 0.5 - kNoise);
}

DateTime::DateTime() : DateTime(kNeverValue, DateStatus::Valid) {}

DateTime DateTime::FromParts(int year, int month, int day, int hour, int minute, int second)
{
    const int64_t days = DaysFromCivil(year, month, day) - kOleEpochFromUnix;
    const int64_t ofDay = int64_t{hour} * 3600 + int64_t{minute} * 60 + second;
    // Whole days plus the time of day as a fraction: the usual OLE value for dates from 1899-12-30 on.
    const double linear = static_cast<double>(days) + static_cast<double>(ofDay) / kSecondsPerDay;
    const double value = FromLinear(linear);
    if (!InDateRange(value))
        return DateTime(0.0, DateStatus::Invalid);
    const Parts back = Breakdown(value);
    if (back.year != year || back.month != month || back.day != day || back.hour != hour || back.minute != minute ||
        back.second != second)
        return DateTime(0.0, DateStatus::Invalid);
    return DateTime(value, DateStatus::Valid);
}

DateTime DateTime::Never()
{
    return DateTime(kNeverValue, DateStatus::Valid);
}

DateTime DateTime::Null()
{
    return DateTime(0.0, DateStatus::Null);
}

DateTime DateTime::Now()
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return FromParts(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
}

bool DateTime::IsNever() const
{
    return IsValid() && Year() == 2000 && Month() == 1 && Day() == 1;
}

int DateTime::Year() const
{
    return IsValid() ? static_cast<int>(Breakdown(value_).year) : -1;
}

int DateTime::Month() const
{
    return IsValid() ? static_cast<int>(Breakdown(value_).month) : -1;
}

int DateTime::Day() const
{
    return IsValid() ? static_cast<int>(Breakdown(value_).day) : -1;
}

int DateTime::Hour() const
{
    return IsValid() ? static_cast<int>(Breakdown(value_).hour) : -1;
}

int DateTime::Minute() const
{
    return IsValid() ? static_cast<int>(Breakdown(value_).minute) : -1;
}

int DateTime::Second() const
{
    return IsValid() ? static_cast<int>(Breakdown(value_).second) : -1;
}

int DateTime::DayOfWeek() const
{
    if (!IsValid())
        return -1;
    const Parts parts = Breakdown(value_);
    const int64_t days = DaysFromCivil(parts.year, parts.month, parts.day);
    // 1970-01-01 was a Thursday.
    return static_cast<int>((days % 7 + 7 + 4) % 7);
}

DateTime DateTime::operator+(const DateSpan& span) const
{
    if (status_ == DateStatus::Null || span.Status() == DateStatus::Null)
        return Null();
    if (!IsValid() || !span.IsValid())
        return DateTime(0.0, DateStatus::Invalid);
    const double value = FromLinear(ToLinear(value_) + span.Days());
    if (!InDateRange(value))
        return DateTime(0.0, DateStatus::Invalid);
    return DateTime(value, DateStatus::Valid);
}

DateTime DateTime::operator-(const DateSpan& span) const
{
    return *this + DateSpan(-span.Days(), span.Status());
}

DateSpan DateTime::operator-(const DateTime& other) const
{
    if (status_ == DateStatus::Null || other.status_ == DateStatus::Null)
        return DateSpan(0.0, DateStatus::Null);
    if (!IsValid() || !other.IsValid())
        return DateSpan(0.0, DateStatus::Invalid);
    return DateSpan(ToLinear(value_) - ToLinear(other.value_));
}

bool DateTime::operator==(const DateTime& other) const
{
    if (status_ != other.status_)
        return false;
    if (status_ == DateStatus::Null)
        return true;
    if (status_ == DateStatus::Invalid)
        return false;
    return std::fabs(ToLinear(value_) - ToLinear(other.value_)) < kHalfSecond;
}

bool DateTime::operator<(const DateTime& other) const
{
    return IsValid() && other.IsValid() && ToLinear(value_) < ToLinear(other.value_);
}

std::wstring FormatDateTime(const DateTime& time)
{
    switch (time.Status()) {
    case DateStatus::Null:
        return {};
    case DateStatus::Invalid:
        return L"Invalid DateTime";
    case DateStatus::Valid:
        break;
    }
    return Format(L"%04d-%02d-%02d %02d:%02d:%02d", time.Year(), time.Month(), time.Day(), time.Hour(),
                  time.Minute(), time.Second());
}

bool ParseDateTime(const std::wstring& text, DateTime& time)
{
    if (text.size() != 19)
        return false;
    int year = ReadField(text, 0, 4);
    int month = ReadField(text, 5, 2);
    int day = ReadField(text, 8, 2);
    int hour = ReadField(text, 11, 2);
    int minute = ReadField(text, 14, 2);
    int second = ReadField(text, 17, 2);
    // A damaged or hand-edited time still loads as the nearest sensible reading.
    if (year < 2000 || year > 3000)
        year = 2000;
    if (month < 1 || month > 12)
        month = 1;
    if (day < 1 || day > DaysInMonth(year, month))
        day = 1;
    if (hour < 0 || hour > 23)
        hour = 0;
    if (minute < 0 || minute > 59)
        minute = 0;
    if (second < 0 || second > 59)
        second = 0;
    time = DateTime::FromParts(year, month, day, hour, minute, second);
    return true;
}

}  // namespace vw
