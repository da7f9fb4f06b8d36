#include <gtest/gtest.h>

#include "RawRegistry.h"
#include "app/Settings.h"
#include "support/TestRegistry.h"
#include "win/Format.h"
#include "win/ProfileStore.h"

namespace {

using vwtest::RawValue;
using vwtest::ReadRaw;

struct Loaded {
    int32_t MinStart;
    int32_t MinTime;
    int32_t Speed;
};

Loaded Load(vw::ProfileStore& profile)
{
    vw::AppSettings settings;
    settings.MinStart = -1;  // so a value left untouched would show
    settings.MinTime = -1;
    settings.Speed = -1;
    vw::LoadSettings(profile, settings);
    return {settings.MinStart, settings.MinTime, settings.Speed};
}

// A REG_SZ value holding exactly `text` and its terminating NUL.
void ExpectStoredText(const std::wstring& key, const std::wstring& name, const std::wstring& text)
{
    const RawValue value = ReadRaw(key, name);
    ASSERT_TRUE(value.found) << "missing " << vw::WideToUtf8(name);
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(value.AsWide(), text + L'\0');
}

TEST(Settings, FreshProfileGetsAddressesAndVersionButNoGeneralSettings)
{
    vwtest::TestRegistryKey key(L"settings-fresh");
    vw::ProfileStore profile(key.path());

    const Loaded loaded = Load(profile);
    EXPECT_EQ(loaded.MinStart, 0);
    EXPECT_EQ(loaded.MinTime, 120);
    EXPECT_EQ(loaded.Speed, 0);

    ExpectStoredText(key.path() + L"\\UPDATER", L"IniURL",
                     L"http://update.vaultwren.example/Registry/Vaultwren/download/v1.0/Update.zip");
    ExpectStoredText(key.path() + L"\\UPDATER", L"Version", L"1.10");
    ExpectStoredText(key.path() + L"\\URL", L"ReportURL", L"http://www.vaultwren.example/Registry/report.html");
    EXPECT_FALSE(profile.SectionExists(L"SysInfo"));
    EXPECT_FALSE(ReadRaw(key.path() + L"\\UPDATER", L"CheckDate").found);
    EXPECT_FALSE(ReadRaw(key.path() + L"\\UPDATER", L"Path").found);
}

TEST(Settings, StoredTextsAreFilledOnlyWhenEmpty)
{
    vwtest::TestRegistryKey key(L"settings-texts");
    vw::ProfileStore profile(key.path());
    // Not an empty value but one of another type reads as empty and is replaced by a proper text.
    ASSERT_TRUE(vwtest::WriteDword(key.path() + L"\\URL", L"ReportURL", 7));
    profile.SetString(L"UPDATER", L"Version", L"");
    profile.SetString(L"UPDATER", L"IniURL", L"http://mirror.example/u.zip");

    Load(profile);
    EXPECT_EQ(profile.GetString(L"UPDATER", L"Version", L"-"), L"1.10");
    EXPECT_EQ(profile.GetString(L"UPDATER", L"IniURL", L"-"), L"http://mirror.example/u.zip");
    ExpectStoredText(key.path() + L"\\URL", L"ReportURL", vw::kDefaultReportUrl);

    // A version the updater wrote stays, at this start and every later one.
    for (const wchar_t* version : {L"1.25", L"0.9", L"x"}) {
        profile.SetString(L"UPDATER", L"Version", version);
        Load(profile);
        Load(profile);
        EXPECT_EQ(profile.GetString(L"UPDATER", L"Version", L"-"), version);
    }
}

TEST(Settings, StoredValuesAreTakenWithoutRangeLimits)
{
    struct Row {
        int32_t minStart, minTime, speed;
        Loaded expected;
    };
    const Row rows[] = {
        {1, 5000, 250, {1, 5000, 250}},
        {0, 0, -3, {0, 0, -3}},
        {7, -20, 100, {1, -20, 100}},  // start minimised is any value other than 0
        {-1, 1, 1, {1, 1, 1}},
    };
    for (const Row& row : rows) {
        vwtest::TestRegistryKey key(L"settings-range");
        vw::ProfileStore profile(key.path());
        profile.SetInt(L"SysInfo", L"MinStart", row.minStart);
        profile.SetInt(L"SysInfo", L"MinTime", row.minTime);
        profile.SetInt(L"SysInfo", L"Speed", row.speed);
        const Loaded loaded = Load(profile);
        EXPECT_EQ(loaded.MinStart, row.expected.MinStart) << row.minStart;
        EXPECT_EQ(loaded.MinTime, row.expected.MinTime) << row.minTime;
        EXPECT_EQ(loaded.Speed, row.expected.Speed) << row.speed;
    }
}

TEST(Settings, ValuesOfAnotherTypeReadAsTheirDefaults)
{
    vwtest::TestRegistryKey key(L"settings-types");
    vw::ProfileStore profile(key.path());
    const std::wstring sysInfo = key.path() + L"\\SysInfo";
    ASSERT_TRUE(vwtest::WriteText(sysInfo, L"MinTime", L"300"));
    const unsigned char shortData[] = {1, 0};
    ASSERT_TRUE(vwtest::WriteRaw(sysInfo, L"Speed", REG_BINARY, shortData, sizeof(shortData)));
    const unsigned long long wide = 1;
    ASSERT_TRUE(vwtest::WriteRaw(sysInfo, L"MinStart", REG_QWORD, &wide, sizeof(wide)));

    const Loaded loaded = Load(profile);
    EXPECT_EQ(loaded.MinStart, 0);
    EXPECT_EQ(loaded.MinTime, 120);
    EXPECT_EQ(loaded.Speed, 0);
    // Loading never rewrites them: the settings dialog does, when the user changes one.
    EXPECT_EQ(ReadRaw(sysInfo, L"MinTime").type, static_cast<DWORD>(REG_SZ));
}

TEST(Settings, OnlyChangedValuesAreStored)
{
    vwtest::TestRegistryKey key(L"settings-store");
    vw::ProfileStore profile(key.path());
    vw::AppSettings settings;
    vw::LoadSettings(profile, settings);

    vw::StoreChangedSettings(profile, settings, {0, 120, 0});
    EXPECT_FALSE(profile.SectionExists(L"SysInfo"));

    vw::StoreChangedSettings(profile, settings, {0, 30, 0});
    EXPECT_EQ(settings.MinTime, 30);
    EXPECT_EQ(profile.GetInt(L"SysInfo", L"MinTime", -1), 30);
    EXPECT_FALSE(ReadRaw(key.path() + L"\\SysInfo", L"MinStart").found);
    EXPECT_FALSE(ReadRaw(key.path() + L"\\SysInfo", L"Speed").found);
    EXPECT_EQ(ReadRaw(key.path() + L"\\SysInfo", L"MinTime").type, static_cast<DWORD>(REG_DWORD));

    vw::StoreChangedSettings(profile, settings, {1, 30, 100});
    EXPECT_EQ(settings.MinStart, 1);
    EXPECT_EQ(settings.Speed, 100);

    vw::AppSettings reloaded;
    vw::LoadSettings(profile, reloaded);
    EXPECT_EQ(reloaded.MinStart, 1);
    EXPECT_EQ(reloaded.MinTime, 30);
    EXPECT_EQ(reloaded.Speed, 100);
}

}  // namespace
