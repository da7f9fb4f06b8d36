#pragma once
// When the automatic update check may be skipped: the day of the last check that found nothing
// newer (profile text "YYYY-MM-DD") against today, in whole local days.
#include <ctime>
#include <string>

namespace vw {

// Local midnight of the day `moment` falls on (daylight saving as the system decides).
std::time_t LocalMidnight(std::time_t moment);

// Midnight of the stored day; the separators are not looked at. A text of another length than 10,
// or one that is no date (year before 1900, month outside 1-12, day outside 1-31, a day the
// C library cannot place), stands for 1980-01-01: the check then runs and stores a sound date,
// where refusing it would stop every later check until someone mended the profile by hand.
std::time_t ParseCheckDate(const std::wstring& text);

// "2026-12-10".
std::wstring FormatCheckDate(std::time_t day);

// The automatic check waits while 0 <= whole days since the last check < CheckDays; a date in
// the future never holds it back.
bool WithinCheckDays(std::time_t today, std::time_t lastCheck, long long checkDays);

}  // namespace vw
