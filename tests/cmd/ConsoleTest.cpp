// What the console runner writes: a file it is redirected to, and a progress line that must fit
// the console's width.
#include "cmd/Console.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/ConsoleRunnerProcess.h"
#include "support/TestDrives.h"
#include "support/TestRegistry.h"
#include "win/Format.h"
#include "win/ProfileStore.h"
#include "win/UniqueHandle.h"

namespace {

using namespace vwtest;

TEST(ConsoleText, FitToColumnsCountsWideCharactersAsTwoCells)
{
    const struct {
        const wchar_t* text;
        int columns;
        const wchar_t* fitted;
    } cases[] = {
        {L"abcdef", 10, L"abcdef"},
        {L"abcdef", 4, L"abcd"},
        {L"正在备份：a.txt", 9, L"正在备份"},   // 8 cells; the full-width colon needs two more
        {L"正在备份：a.txt", 10, L"正在备份："},
        {L"正在备份：a.txt", 13, L"正在备份：a.t"},
        {L"文a", 1, L""},
        {L"", 5, L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(vw::WideToUtf8(vw::FitToColumns(c.text, c.columns)), vw::WideToUtf8(c.fitted))
            << vw::WideToUtf8(c.text) << " in " << c.columns;
}

class RedirectedRunner : public ::testing::Test {
protected:
    RedirectedRunner() : key_(L"cmd-redirect"), profile(key_.path())
    {
        SetEnvironmentVariableW(L"VAULTWREN_PROFILE_KEY", key_.path().c_str());
    }
    ~RedirectedRunner() override { SetEnvironmentVariableW(L"VAULTWREN_PROFILE_KEY", nullptr); }

    // Runs the runner with its output going to `file` (as "VaultwrenCmd list > file" does);
    // appends when the file holds something already.
    DWORD RunInto(const std::wstring& arguments, const std::wstring& file)
    {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        vw::UniqueFile out(CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        EXPECT_TRUE(out.valid());
        SetFilePointer(out.get(), 0, nullptr, FILE_END);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = out.get();
        startup.hStdError = out.get();
        std::wstring commandLine = L"\"" + RunnerPath() + L"\" " + arguments;
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                            &startup, &process))
            return 0xFFFFFFFF;
        vw::UniqueHandle owned(process.hProcess);
        CloseHandle(process.hThread);
        WaitForSingleObject(owned.get(), 60000);
        DWORD code = 0xFFFFFFFF;
        GetExitCodeProcess(owned.get(), &code);
        return code;
    }

private:
    TestRegistryKey key_;

protected:
    vw::ProfileStore profile;
    ScratchFolder folder{kDiskM, L"cmd-redirect"};
};

TEST_F(RedirectedRunner, AFileStartsWithAByteOrderMarkOnce)
{
    profile.SetInt(L"Project", L"Count", 1);
    profile.SetInt(L"Item0", L"Index", 0);
    profile.SetString(L"Item0", L"Name", L"文档");
    const std::wstring file = folder / L"list.txt";

    ASSERT_EQ(RunInto(L"list", file), 0u);
    ASSERT_EQ(RunInto(L"list", file), 0u);  // ">>" appends: no mark in the middle
    const std::string bytes = ReadFileBytes(file);
    ASSERT_GE(bytes.size(), 3u);
    EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(bytes.find("\xEF\xBB\xBF", 3), std::string::npos);
    const std::string line = "1\t" + vw::WideToUtf8(L"文档") + "\t";
    const size_t first = bytes.find(line);
    ASSERT_NE(first, std::string::npos) << bytes;
    EXPECT_NE(bytes.find(line, first + 1), std::string::npos) << "the second run appended its list";
}

// "list" only reads: a damaged profile stays as it is for the program to repair.
TEST_F(RedirectedRunner, ListWritesNothing)
{
    profile.SetString(L"Project", L"Count", L"3");  // not a number
    profile.SetString(L"Item0", L"Name", L"甲");     // no "Index"
    profile.SetInt(L"Item2", L"Index", 2);
    profile.SetString(L"Item2", L"Name", L"丙");     // Item1 missing
    const RunnerResult listed = RunCmd(L"list");
    EXPECT_EQ(listed.exitCode, 0u);
    EXPECT_TRUE(listed.Has(L"1\t甲\t")) << vw::WideToUtf8(listed.output);
    EXPECT_TRUE(listed.Has(L"2\t丙\t"));

    EXPECT_EQ(profile.GetString(L"Project", L"Count", L""), L"3");
    EXPECT_EQ(profile.GetInt(L"Item0", L"Index", -1), -1);
    EXPECT_FALSE(profile.SectionExists(L"Item1"));
    EXPECT_TRUE(profile.SectionExists(L"Item2"));
    EXPECT_EQ(profile.GetString(L"Item0", L"Id", L"<none>"), L"<none>");
    EXPECT_FALSE(profile.SectionExists(L"UPDATER")) << "no default filled in";
}

}  // namespace
