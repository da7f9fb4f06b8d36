#include "updater/CheckDate.h"

#include <cwchar>

#include "win/Format.h"

namespace vw {

namespace {

std::time_t MidnightOf(int year, int month, int day)
{
    std::tm date{};
    date.tm_year = year - 1900;
    date.tm_mon = month - 1;
    date.tm_mday = day;
    date.tm_isdst = -1;
    return std::mktime(&date);
}

int NumberAt(const std::wstring& text, size_t at, size_t length)
{
    return static_cast<int>(std::wcstol(text.substr(at, length).c_str(), nullptr, 10));
}

bool LocalDay(std::time_t moment, std::tm& out)
{
#ifdef _MSC_VER
    return localtime_s(&out, &moment) == 0;
#else
    const std::tm* local = std::localtime(&moment);
    if (!local)
        return false;
    out = *local;
    return true;
#endif
}

}  // namespace

std::time_t LocalMidnight(std::time_t moment)
{
    std::tm local{};
    if (!LocalDay(moment, local))
        return moment;
    return MidnightOf(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

std::time_t ParseCheckDate(const std::wstring& text)
{
    const std::time_t never = MidnightOf(1980, 1, 1);
    if (text.size() != 10)
        return never;
    const int year = NumberAt(text, 0, 4);
    const int month = NumberAt(text, 5, 2);
    const int day = NumberAt(text, 8, 2);
    if (year < 1900 || month < 1 || month > 12 || day < 1 || day > 31)
        return never;
    const std::time_t midnight = MidnightOf(year, month, day);
    return midnight == static_cast<std::time_t>(-1) ? never : midnight;
}

std::wstring FormatCheckDate(std::time_t day)
{
    std::tm local{};
    if (!LocalDay(day, local))
        return std::wstring();
    return Format(L"%04d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

bool WithinCheckDays(std::time_t today, std::time_t lastCheck, long long checkDays)
{
    const long long elapsedDays = static_cast<long long>(std::difftime(today, lastCheck)) / 86400;
    return elapsedDays >= 0 && elapsedDays < checkDays;
}

}  // namespace vw
