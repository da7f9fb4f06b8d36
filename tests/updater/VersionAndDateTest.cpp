#include <gtest/gtest.h>

#include "updater/CheckDate.h"
#include "updater/VersionNumber.h"

namespace {

TEST(LeadingNumber, TakesTheNumberAtTheStartOfTheText)
{
    struct Case {
        const wchar_t* text;
        double expected;
    };
    const Case cases[] = {
        {L"1.10", 1.1},   {L"1.9", 1.9},     {L"  2.5beta", 2.5}, {L"-1.5", -1.5}, {L"+3", 3.0},
        {L"1e1", 10.0},   {L"1e", 1.0},      {L".5", 0.5},        {L"5.", 5.0},    {L"", 0.0},
        {L"abc", 0.0},    {L".", 0.0},       {L"0x10", 0.0},      {L"inf", 0.0},   {L"1.2.3", 1.2},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(vw::LeadingNumber(c.text), c.expected) << c.text;
}

TEST(IsNewerVersion, ComparesVersionsAsNumbers)
{
    struct Case {
        const wchar_t* installed;
        const wchar_t* offered;
        bool newer;
    };
    const Case cases[] = {
        {L"1.10", L"1.9", true},   // 1.9 is the larger number
        {L"1.10", L"1.1", false},  // the same number
        {L"1.10", L"1.20", true},
        {L"1.20", L"1.10", false},
        {L"1.10", L"", false},     // a manifest without a version offers 0
    };
    for (const Case& c : cases)
        EXPECT_EQ(vw::IsNewerVersion(vw::LeadingNumber(c.installed), vw::LeadingNumber(c.offered)), c.newer)
            << c.installed << L" -> " << c.offered;
}

TEST(CheckDate, TenCharactersAreADateAnythingElseIs1980)
{
    const std::time_t y1980 = vw::ParseCheckDate(L"1980-01-01");
    EXPECT_EQ(vw::FormatCheckDate(y1980), L"1980-01-01");
    struct Case {
        const wchar_t* stored;
        const wchar_t* read;
    };
    const Case cases[] = {
        {L"2026-12-10", L"2026-12-10"},
        {L"2026/03/05", L"2026-03-05"},  // separators are not looked at
        {L"2026-2-5", L"1980-01-01"},    // another length
        {L"", L"1980-01-01"},
        {L"2026-13-01", L"1980-01-01"},  // no date: the check runs and stores a sound one
        {L"1899-01-01", L"1980-01-01"},
        {L"2026-01-00", L"1980-01-01"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(vw::FormatCheckDate(vw::ParseCheckDate(c.stored)), c.read) << c.stored;
}

TEST(CheckDate, WithinCheckDaysOnlyForPastDaysBelowTheLimit)
{
    const std::time_t today = vw::ParseCheckDate(L"2026-12-10");
    struct Case {
        const wchar_t* last;
        long long checkDays;
        bool wait;
    };
    const Case cases[] = {
        {L"2026-12-08", 7, true},   // two days ago
        {L"2026-12-10", 1, true},   // today
        {L"2026-12-03", 7, false},  // seven days ago
        {L"2026-12-08", 0, false},  // no CheckDays
        {L"2026-12-20", 7, false},  // in the future
        {L"1980-01-01", 7, false},
        {L"2026-11-01", 60, true},  // across a change of daylight saving time where there is one
    };
    for (const Case& c : cases)
        EXPECT_EQ(vw::WithinCheckDays(today, vw::ParseCheckDate(c.last), c.checkDays), c.wait) << c.last;
}

TEST(ParseVersion, OnlyDigitsWithAtMostOnePoint)
{
    struct Case {
        const wchar_t* text;
        double version;  // -1: not a version
    };
    const Case cases[] = {
        {L"1.20", 1.2}, {L" 2 ", 2.0}, {L"1.10\r\n", 1.1}, {L"0.5", 0.5},
        {L"", -1},      {L"1.", -1},   {L".5", -1},          {L"1.2.3", -1}, {L"v2", -1}, {L"1e9", -1},
        {L"-1", -1},    {L"+1", -1},   {L"0x10", -1},        {L"1 .2", -1},  {L"inf", -1},
    };
    for (const Case& c : cases) {
        const std::optional<double> parsed = vw::ParseVersion(c.text);
        EXPECT_EQ(parsed.value_or(-1), c.version) << c.text;
    }
}

}  // namespace
