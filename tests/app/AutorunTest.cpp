#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "RawRegistry.h"
#include "app/Autorun.h"
#include "support/TestRegistry.h"
#include "win/Format.h"

namespace {

using vwtest::ReadRaw;

const std::wstring kProgram = L"C:\\Program Files\\Vaultwren\\Vaultwren.exe";
const std::wstring kExpectedData = L"\"C:\\Program Files\\Vaultwren\\Vaultwren.exe\" /Min";

// A Run key of the test's own, present like the real one.
struct RunKey {
    vwtest::TestRegistryKey key{L"autorun"};
    std::wstring path = key.path() + L"\\Run";
    RunKey() { EXPECT_TRUE(vwtest::CreateKey(path)); }
};

TEST(Autorun, EnableQueryDisable)
{
    RunKey run;
    vw::Autorun autorun(run.path, kProgram);
    EXPECT_FALSE(autorun.IsEnabled());

    ASSERT_TRUE(autorun.Enable());
    const vwtest::RawValue value = ReadRaw(run.path, L"Vaultwren");
    ASSERT_TRUE(value.found);
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(value.AsWide(), kExpectedData + L'\0');
    EXPECT_TRUE(autorun.IsEnabled());

    EXPECT_TRUE(autorun.Disable());
    EXPECT_FALSE(ReadRaw(run.path, L"Vaultwren").found);
    EXPECT_FALSE(autorun.IsEnabled());
    EXPECT_FALSE(autorun.Disable());  // nothing left to delete
}

TEST(Autorun, StoredValueIsComparedIgnoringLetterCaseOnly)
{
    struct Row {
        const wchar_t* stored;
        DWORD type;
        bool enabled;
    };
    const Row rows[] = {
        {L"\"C:\\Program Files\\Vaultwren\\Vaultwren.exe\" /Min", REG_SZ, true},
        {L"\"c:\\program files\\vaultwren\\VAULTWREN.EXE\" /MIN", REG_SZ, true},
        {L"\"C:\\Program Files\\Vaultwren\\Vaultwren.exe\" /Min", REG_EXPAND_SZ, true},  // any type is read
        {L"\"C:\\Program Files\\Vaultwren\\Vaultwren.exe\"", REG_SZ, false},
        {L"C:\\Program Files\\Vaultwren\\Vaultwren.exe /Min", REG_SZ, false},
        {L"\"C:\\Program Files\\Vaultwren\\Vaultwren.exe\"  /Min", REG_SZ, false},
        {L"", REG_SZ, false},
    };
    RunKey run;
    vw::Autorun autorun(run.path, kProgram);
    for (const Row& row : rows) {
        ASSERT_TRUE(vwtest::WriteText(run.path, L"Vaultwren", row.stored, row.type));
        EXPECT_EQ(autorun.IsEnabled(), row.enabled) << vw::WideToUtf8(row.stored);
    }
    ASSERT_TRUE(vwtest::WriteDword(run.path, L"Vaultwren", 1));
    EXPECT_FALSE(autorun.IsEnabled());
}

// Another program rewrites the value while it is read: short, then padded with NULs far beyond
// the first size. Both mean "enabled", and every read must say so.
TEST(Autorun, ValueThatChangesSizeWhileReadIsReadWhole)
{
    RunKey run;
    vw::Autorun autorun(run.path, kProgram);
    const std::wstring longForm = kExpectedData + std::wstring(600, L'\0');
    ASSERT_TRUE(vwtest::WriteText(run.path, L"Vaultwren", kExpectedData));
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (bool small = true; !done; small = !small)
            vwtest::WriteText(run.path, L"Vaultwren", small ? kExpectedData : longForm);
    });
    int wrong = 0;
    for (int i = 0; i < 2000; ++i)
        wrong += autorun.IsEnabled() ? 0 : 1;
    done = true;
    writer.join();
    EXPECT_EQ(wrong, 0);
}

TEST(Autorun, MovedProgramCountsAsDisabledUntilEnabledAgain)
{
    RunKey run;
    ASSERT_TRUE(vw::Autorun(run.path, kProgram).Enable());

    vw::Autorun moved(run.path, L"D:\\Tools\\Vaultwren\\Vaultwren.exe");
    EXPECT_FALSE(moved.IsEnabled());
    ASSERT_TRUE(moved.Enable());
    EXPECT_TRUE(moved.IsEnabled());
    EXPECT_EQ(ReadRaw(run.path, L"Vaultwren").AsWide(), std::wstring(L"\"D:\\Tools\\Vaultwren\\Vaultwren.exe\" /Min") + L'\0');
    EXPECT_FALSE(vw::Autorun(run.path, kProgram).IsEnabled());
}

TEST(Autorun, LongProgramPathIsStoredWhole)
{
    RunKey run;
    const std::wstring program = L"C:\\" + std::wstring(300, L'v') + L"\\Vaultwren.exe";
    vw::Autorun autorun(run.path, program);
    ASSERT_TRUE(autorun.Enable());
    EXPECT_TRUE(autorun.IsEnabled());
    EXPECT_EQ(ReadRaw(run.path, L"Vaultwren").AsWide(), L"\"" + program + L"\" /Min" + L'\0');
}

TEST(Autorun, MissingRunKeyIsNeverCreated)
{
    vwtest::TestRegistryKey key(L"autorun-nokey");
    const std::wstring path = key.path() + L"\\Run";
    vw::Autorun autorun(path, kProgram);
    EXPECT_FALSE(autorun.Enable());
    EXPECT_FALSE(vwtest::KeyExists(path));
    EXPECT_FALSE(autorun.IsEnabled());
    EXPECT_FALSE(autorun.Disable());
}

TEST(Autorun, RunningProgramIsTheDefault)
{
    wchar_t self[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    RunKey run;
    vw::Autorun autorun(run.path);
    EXPECT_EQ(autorun.ExpectedData(), L"\"" + std::wstring(self) + L"\" /Min");
    ASSERT_TRUE(autorun.Enable());
    EXPECT_TRUE(autorun.IsEnabled());
    EXPECT_FALSE(vw::Autorun(run.path, kProgram).IsEnabled());
}

}  // namespace
