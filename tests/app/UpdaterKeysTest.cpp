#include <gtest/gtest.h>

#include "RawRegistry.h"
#include "app/Settings.h"
#include "updater/UpdaterKeys.h"
#include "support/TestRegistry.h"
#include "win/Format.h"
#include "win/ProfileStore.h"

namespace {

TEST(UpdaterKey, OpensOnlyAnExistingKey)
{
    vwtest::TestRegistryKey key(L"updater-missing");
    vw::UpdaterKey missing(key.path());
    EXPECT_FALSE(missing.IsOpen());
    std::wstring value = L"old";
    EXPECT_FALSE(missing.ReadString(L"Version", value));
    EXPECT_FALSE(missing.WriteString(L"Version", L"2.00"));
    EXPECT_EQ(value, L"old");
    EXPECT_FALSE(vwtest::KeyExists(key.path() + L"\\UPDATER"));

    // Start-up makes the key.
    vw::ProfileStore profile(key.path());
    vw::AppSettings settings;
    vw::LoadSettings(profile, settings);
    vw::UpdaterKey updater(key.path());
    ASSERT_TRUE(updater.IsOpen());
    ASSERT_TRUE(updater.ReadString(L"IniURL", value, vw::kIniUrlCapacity));
    EXPECT_EQ(value, vw::kDefaultIniUrl);
    ASSERT_TRUE(updater.ReadString(L"Version", value));
    EXPECT_EQ(value, L"1.10");
}

TEST(UpdaterKey, ReadFailsOnAnythingButACompleteTextThatFits)
{
    vwtest::TestRegistryKey key(L"updater-read");
    const std::wstring path = key.path() + L"\\UPDATER";
    ASSERT_TRUE(vwtest::CreateKey(path));

    struct Row {
        const char* what;
        std::wstring text;
        DWORD type;
        bool withNul;
        size_t capacity;
        bool readable;
    };
    const Row rows[] = {
        {"plain text", L"2024-03-05", REG_SZ, true, 128, true},
        {"expandable text, not expanded", L"%TEMP%\\x", REG_EXPAND_SZ, true, 128, true},
        {"empty text", L"", REG_SZ, true, 128, true},
        {"empty, not even a NUL", L"", REG_SZ, false, 128, true},
        {"fills the buffer with its NUL", std::wstring(127, L'a'), REG_SZ, true, 128, true},
        {"one character too many", std::wstring(128, L'a'), REG_SZ, true, 128, false},
        {"address of 259 characters", std::wstring(259, L'u'), REG_SZ, true, 260, true},
        {"address of 260 characters", std::wstring(260, L'u'), REG_SZ, true, 260, false},
        {"no terminating NUL", L"1.25", REG_SZ, false, 128, false},
        {"multi-string", L"1.25", REG_MULTI_SZ, true, 128, false},
        {"binary", L"1.25", REG_BINARY, true, 128, false},
    };
    vw::UpdaterKey updater(key.path());
    ASSERT_TRUE(updater.IsOpen());
    for (const Row& row : rows) {
        ASSERT_TRUE(vwtest::WriteText(path, L"Value", row.text, row.type, row.withNul)) << row.what;
        std::wstring value = L"before";
        EXPECT_EQ(updater.ReadString(L"Value", value, row.capacity), row.readable) << row.what;
        EXPECT_EQ(value, row.readable ? row.text : L"before") << row.what;
    }
    std::wstring value = L"before";
    ASSERT_TRUE(vwtest::WriteDword(path, L"Number", 5));
    EXPECT_FALSE(updater.ReadString(L"Number", value));
    EXPECT_FALSE(updater.ReadString(L"Missing", value));
    EXPECT_EQ(value, L"before");
}

TEST(UpdaterKey, WritesTextWithItsNul)
{
    vwtest::TestRegistryKey key(L"updater-write");
    const std::wstring path = key.path() + L"\\UPDATER";
    ASSERT_TRUE(vwtest::CreateKey(path));
    {
        vw::UpdaterKey updater(key.path());
        ASSERT_TRUE(updater.WriteString(vw::kCheckDateEntry, L"2024-03-05"));
        ASSERT_TRUE(updater.WriteString(vw::kPathEntry, L""));
        updater.Close();
        EXPECT_FALSE(updater.WriteString(vw::kDownloadVerEntry, L"1.20"));
    }
    const vwtest::RawValue date = vwtest::ReadRaw(path, L"CheckDate");
    EXPECT_EQ(date.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(date.AsWide(), std::wstring(L"2024-03-05") + L'\0');
    EXPECT_EQ(vwtest::ReadRaw(path, L"Path").AsWide(), std::wstring(1, L'\0'));
    EXPECT_FALSE(vwtest::ReadRaw(path, L"DownloadVer").found);
}

}  // namespace
