#pragma once
// A local calendar date and time (OLE Automation date: days since 1899-12-30 00:00:00) with a
// validity status, and its 19-character text form "%Y-%m-%d %H:%M:%S".
// 2000-01-01 00:00:00 stands for "never" in every task time.
#include <cstdint>
#include <string>

namespace vw {

enum class DateStatus { Valid = 0, Invalid = 1, Null = 2 };

// A difference of two DateTimes, in days.
class DateSpan {
public:
    DateSpan() = default;
    explicit DateSpan(double days, DateStatus status = DateStatus::Valid);
    // days + hours/24 + minutes/1440 + seconds/86400; invalid outside ±3 615 897 days.
    static DateSpan FromParts(int64_t days, int hours, int minutes, int seconds);

    double Days() const { return days_; }
    DateStatus Status() const { return status_; }
    bool IsValid() const { return status_ == DateStatus::Valid; }
    // Whole seconds, rounded half away from zero.
    int64_t WholeSeconds() const;

private:
    double days_ = 0.0;
    DateStatus status_ = DateStatus::Valid;
};

class DateTime {
public:
    // Default: never (2000-01-01 00:00:00, valid).
    DateTime();
    // Valid only when the six numbers convert to a date and back unchanged (no 31 April, no month 13).
    static DateTime FromParts(int year, int month, int day, int hour, int minute, int second);
    static DateTime Never();
    static DateTime Null();
    // The system clock in local time, whole seconds.
    static DateTime Now();

    double Value() const { return value_; }
    DateStatus Status() const { return status_; }
    bool IsValid() const { return status_ == DateStatus::Valid; }
    // Valid and on 2000-01-01, whatever the time of day.
    bool IsNever() const;

    // The fields of a value that is not valid read -1.
    int Year() const;
    int Month() const;
    int Day() const;
    int Hour() const;
    int Minute() const;
    int Second() const;
    // 0 Sunday, 1 Monday, ... 6 Saturday.
    int DayOfWeek() const;

    DateTime operator+(const DateSpan& span) const;
    DateTime operator-(const DateSpan& span) const;
    DateSpan operator-(const DateTime& other) const;
    // Equal: both valid and less than half a second apart, or both null.
    bool operator==(const DateTime& other) const;
    bool operator!=(const DateTime& other) const { return !(*this == other); }
    // Only when both are valid.
    bool operator<(const DateTime& other) const;

private:
    DateTime(double value, DateStatus status) : value_(value), status_(status) {}
    double value_;
    DateStatus status_;
};

// "%Y-%m-%d %H:%M:%S"; an invalid value gives "Invalid DateTime", a null value the empty text.
std::wstring FormatDateTime(const DateTime& time);
// Exactly 19 characters, fields by position, clamped into range; false for any other length.
bool ParseDateTime(const std::wstring& text, DateTime& time);

}  // namespace vw
