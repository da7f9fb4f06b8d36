#include "app/CommandLine.h"

#include <gtest/gtest.h>

namespace {

struct SwitchCase {
    const wchar_t* commandLine;
    bool log;
    bool minimised;
};

TEST(CommandLineTest, SwitchesAreCaseSensitiveSubstrings)
{
    const SwitchCase cases[] = {
        {L"", false, false},
        {L"/Log", true, false},
        {L"-Log", true, false},
        {L"- Log", true, false},
        {L"/Min", false, true},
        {L"-Min", false, true},
        {L"- Min", false, true},
        {L"/log /min", false, false},
        {L"/LOG /MIN", false, false},
        {L"-log -min", false, false},
        {L"/Minimal", false, true},
        {L"-Logfile", true, false},
        {L"/Min /Log", true, true},
        {L"C:\\Tools\\x.txt-Log", true, false},
        {L"\"D:\\My Min\" /Log", true, false},
        {L"-  Min", false, false},
        {L"/ Log", false, false},
        {L"--Min", false, true},
        {L"/Mi n /Lo g", false, false},
    };
    for (const SwitchCase& c : cases) {
        const vw::StartSwitches switches = vw::ParseSwitches(c.commandLine);
        EXPECT_EQ(switches.log, c.log) << "[" << testing::PrintToString(std::wstring(c.commandLine)) << "]";
        EXPECT_EQ(switches.minimised, c.minimised) << "[" << testing::PrintToString(std::wstring(c.commandLine)) << "]";
    }
}

}  // namespace
