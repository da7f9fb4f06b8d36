#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "support/RegistryLock.h"
#include "support/TestRegistry.h"
#include "task/AppSettings.h"
#include "task/CBackupItem.h"
#include "win/Format.h"
#include "win/ProfileStore.h"
#include "win/UniqueHandle.h"

namespace {

using vw::CBackupItem;
using vw::DateTime;
using vw::TaskKey;

constexpr wchar_t kNeverText[] = L"2000-01-01 00:00:00";

class BackupItemTest : public ::testing::Test {
protected:
    std::wstring SectionPath(int number) const { return vw::Format(L"%s\\Item%d", key_.path().c_str(), number); }
    // A section as another run of the program (or a damaged profile) left it.
    void StoreIndexOnly(int number, int index) { ASSERT_TRUE(profile_.SetInt(Section(number), L"Index", index)); }
    static std::wstring Section(int number) { return vw::Format(L"Item%d", number); }

    vwtest::TestRegistryKey key_{L"backup-item"};
    vw::ProfileStore profile_{key_.path()};
    vw::AppSettings settings_;
};

void FillWithOtherValues(CBackupItem& item)
{
    item.Id = L"{5B1C0D9A-1111-2222-3333-444455556666}";
    item.Name = L"文档备份";
    item.Source = L"D:\\资料";
    item.Dest = L"E:\\备份";
    item.History = 0;
    item.RemoveFollow = 0;
    item.Start = 0;
    item.StartTime = 999;
    item.Clock = 1;
    item.ClockHour = 23;
    item.ClockMinute = 59;
    item.Week = 0x15;
    item.AutoTime = 1;
    item.AutoMinute = 9999;
    item.CreateTime = DateTime::FromParts(2024, 3, 5, 8, 7, 0);
    item.LastTime = DateTime::FromParts(2025, 12, 31, 23, 59, 59);
}

TEST_F(BackupItemTest, ANewTaskHasTheDefaultsOfAnAddedTaskAndIsNotStored)
{
    CBackupItem item(profile_, settings_, 10007);
    EXPECT_EQ(item.timerId, 10007);
    EXPECT_EQ(item.state.load(), vw::kTaskIdle);
    EXPECT_EQ(item.index, -1);
    EXPECT_EQ(item.Id, L"");
    EXPECT_EQ(item.Name, L"");
    EXPECT_EQ(item.Source, L"");
    EXPECT_EQ(item.Dest, L"");
    EXPECT_EQ(item.History, 1);
    EXPECT_EQ(item.RemoveFollow, 1);
    EXPECT_EQ(item.Start, 1);
    EXPECT_EQ(item.StartTime, 10);
    EXPECT_EQ(item.Clock, 0);
    EXPECT_EQ(item.ClockHour, 0);
    EXPECT_EQ(item.ClockMinute, 0);
    EXPECT_EQ(item.Week, 127);
    EXPECT_EQ(item.AutoTime, 0);
    EXPECT_EQ(item.AutoMinute, 120);
    EXPECT_TRUE(item.CreateTime.IsNever());
    EXPECT_TRUE(item.LastTime.IsNever());
    EXPECT_TRUE(item.NextTime.IsNever());
    EXPECT_EQ(item.result.load(), 0u);

    // Without a position there is no section to read, write or remove.
    EXPECT_FALSE(item.Load());
    EXPECT_FALSE(item.LoadKey(TaskKey::Name));
    EXPECT_FALSE(item.Save());
    EXPECT_FALSE(item.SaveKey(TaskKey::Name));
    EXPECT_FALSE(item.DeleteSection());
    item.SetLastTime(DateTime::FromParts(2024, 1, 2, 3, 4, 5), true);
    item.SetDest(L"E:\\x", true);
    item.SetCreateTime(DateTime::FromParts(2024, 1, 2, 3, 4, 5), true);
    EXPECT_EQ(item.Dest, L"E:\\x");
    EXPECT_EQ(vw::FormatDateTime(item.LastTime), L"2024-01-02 03:04:05");
    EXPECT_FALSE(profile_.SectionExists(L"Item-1"));
    EXPECT_FALSE(profile_.SectionExists(L""));

    item.index = 12;
    EXPECT_EQ(item.SectionName(), L"Item12");
}

TEST_F(BackupItemTest, ASectionWithOnlyItsIndexLoadsTheDefaultsOfMissingKeys)
{
    StoreIndexOnly(0, 0);
    CBackupItem item(profile_, settings_, 10001);
    FillWithOtherValues(item);
    item.index = 0;
    ASSERT_TRUE(item.Load());
    EXPECT_EQ(item.Id, L"");
    EXPECT_EQ(item.Name, L"");
    EXPECT_EQ(item.Source, L"");
    EXPECT_EQ(item.Dest, L"");
    EXPECT_EQ(item.History, 1);
    EXPECT_EQ(item.RemoveFollow, 1);
    EXPECT_EQ(item.Start, 0);
    EXPECT_EQ(item.StartTime, 0);
    EXPECT_EQ(item.Clock, 0);
    EXPECT_EQ(item.ClockHour, 0);
    EXPECT_EQ(item.ClockMinute, 0);
    EXPECT_EQ(item.Week, 127);
    EXPECT_EQ(item.AutoTime, 0);
    EXPECT_EQ(item.AutoMinute, 120);
    EXPECT_TRUE(item.CreateTime == DateTime::Never());
    EXPECT_TRUE(item.LastTime == DateTime::Never());
}

TEST_F(BackupItemTest, AMissingAutoMinuteFollowsMinTimeFrom61Minutes)
{
    StoreIndexOnly(0, 0);
    struct Case {
        int minTime;
        int autoMinute;
    };
    const Case cases[] = {{30, 60}, {0, 60}, {60, 60}, {61, 61}, {120, 120}, {200, 200}};
    for (const Case& c : cases) {
        settings_.MinTime = c.minTime;
        CBackupItem item(profile_, settings_, 10001);
        item.index = 0;
        ASSERT_TRUE(item.LoadKey(TaskKey::AutoMinute));
        EXPECT_EQ(item.AutoMinute, c.autoMinute) << "MinTime " << c.minTime;
    }
    // A stored value wins over the setting.
    ASSERT_TRUE(profile_.SetInt(L"Item0", L"AutoMinute", 75));
    settings_.MinTime = 200;
    CBackupItem item(profile_, settings_, 10001);
    item.index = 0;
    ASSERT_TRUE(item.LoadKey(TaskKey::AutoMinute));
    EXPECT_EQ(item.AutoMinute, 75);
}

TEST_F(BackupItemTest, FoldersLoadWithoutSurroundingBlanksAndTrailingBackslashes)
{
    StoreIndexOnly(0, 0);
    struct Case {
        const wchar_t* stored;
        const wchar_t* loaded;
    };
    const Case cases[] = {
        {L"  D:\\Data\\\\  ", L"D:\\Data"},
        {L"E:\\", L"E:"},
        {L"D:\\Data", L"D:\\Data"},
        {L"\t D:\\ \t\r\n", L"D:"},
        {L"\\\\server\\share\\", L"\\\\server\\share"},
        {L"D:\\Data\\ \\ ", L"D:\\Data\\ "},  // blanks go first, then backslashes, once each
        {L"\\\\", L""},
        {L"   ", L""},
        {L"", L""},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(profile_.SetString(L"Item0", L"Source", c.stored));
        ASSERT_TRUE(profile_.SetString(L"Item0", L"Dest", c.stored));
        CBackupItem item(profile_, settings_, 10001);
        item.index = 0;
        ASSERT_TRUE(item.Load());
        EXPECT_EQ(item.Source, c.loaded) << vw::WideToUtf8(c.stored);
        EXPECT_EQ(item.Dest, c.loaded) << vw::WideToUtf8(c.stored);
    }
}

TEST_F(BackupItemTest, SaveWritesAllSeventeenKeysAndLoadReadsThemBack)
{
    CBackupItem saved(profile_, settings_, 10001);
    FillWithOtherValues(saved);
    saved.index = 2;
    ASSERT_TRUE(saved.Save());

    // The stored form: integers as REG_DWORD, texts (and times in their text form) as REG_SZ.
    struct Stored {
        const wchar_t* name;
        int number;
        const wchar_t* text;
    };
    const Stored stored[] = {
        {L"Index", 2, nullptr},        {L"Id", 0, L"{5B1C0D9A-1111-2222-3333-444455556666}"},
        {L"Name", 0, L"文档备份"},     {L"Source", 0, L"D:\\资料"},
        {L"Dest", 0, L"E:\\备份"},     {L"History", 0, nullptr},
        {L"RemoveFollow", 0, nullptr}, {L"Start", 0, nullptr},
        {L"StartTime", 999, nullptr},  {L"Clock", 1, nullptr},
        {L"ClockHour", 23, nullptr},   {L"ClockMinute", 59, nullptr},
        {L"Week", 0x15, nullptr},      {L"AutoTime", 1, nullptr},
        {L"AutoMinute", 9999, nullptr}, {L"CreateTime", 0, L"2024-03-05 08:07:00"},
        {L"LastTime", 0, L"2025-12-31 23:59:59"},
    };
    const std::wstring path = SectionPath(2);
    for (const Stored& s : stored) {
        DWORD type = 0;
        EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, path.c_str(), s.name, RRF_RT_ANY, &type, nullptr, nullptr),
                  ERROR_SUCCESS)
            << vw::WideToUtf8(s.name);
        if (s.text) {
            EXPECT_EQ(type, static_cast<DWORD>(REG_SZ)) << vw::WideToUtf8(s.name);
            EXPECT_EQ(profile_.GetString(L"Item2", s.name, L"?"), s.text) << vw::WideToUtf8(s.name);
        } else {
            EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD)) << vw::WideToUtf8(s.name);
            EXPECT_EQ(profile_.GetInt(L"Item2", s.name, -12345), s.number) << vw::WideToUtf8(s.name);
        }
    }
    DWORD valueCount = 0;
    vw::UniqueHKey section;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, section.put()), ERROR_SUCCESS);
    ASSERT_EQ(RegQueryInfoKeyW(section.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &valueCount,
                               nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(valueCount, 17u);

    CBackupItem loaded(profile_, settings_, 10002);
    loaded.index = 2;
    ASSERT_TRUE(loaded.Load());
    EXPECT_EQ(loaded.Id, saved.Id);
    EXPECT_EQ(loaded.Name, saved.Name);
    EXPECT_EQ(loaded.Source, saved.Source);
    EXPECT_EQ(loaded.Dest, saved.Dest);
    EXPECT_EQ(loaded.History, saved.History);
    EXPECT_EQ(loaded.RemoveFollow, saved.RemoveFollow);
    EXPECT_EQ(loaded.Start, saved.Start);
    EXPECT_EQ(loaded.StartTime, saved.StartTime);
    EXPECT_EQ(loaded.Clock, saved.Clock);
    EXPECT_EQ(loaded.ClockHour, saved.ClockHour);
    EXPECT_EQ(loaded.ClockMinute, saved.ClockMinute);
    EXPECT_EQ(loaded.Week, saved.Week);
    EXPECT_EQ(loaded.AutoTime, saved.AutoTime);
    EXPECT_EQ(loaded.AutoMinute, saved.AutoMinute);
    EXPECT_TRUE(loaded.CreateTime == saved.CreateTime);
    EXPECT_TRUE(loaded.LastTime == saved.LastTime);
}

TEST_F(BackupItemTest, ANewTaskStoresItsStartDelayAlthoughMissingKeysReadZero)
{
    CBackupItem item(profile_, settings_, 10001);
    item.index = 0;
    ASSERT_TRUE(item.Save());
    EXPECT_EQ(profile_.GetInt(L"Item0", L"Start", -1), 1);
    EXPECT_EQ(profile_.GetInt(L"Item0", L"StartTime", -1), 10);
    EXPECT_EQ(profile_.GetString(L"Item0", L"CreateTime", L""), kNeverText);
    EXPECT_EQ(profile_.GetString(L"Item0", L"LastTime", L""), kNeverText);
}

TEST_F(BackupItemTest, AMissingOrWrongIndexFailsTheLoad)
{
    ASSERT_TRUE(profile_.SetString(L"Item0", L"Name", L"no index"));
    StoreIndexOnly(1, 5);
    ASSERT_TRUE(profile_.SetString(L"Item1", L"Name", L"wrong index"));
    struct Case {
        int index;
        const char* what;
    };
    const Case cases[] = {{0, "no Index"}, {1, "Index 5 in Item1"}, {2, "no section"}};
    for (const Case& c : cases) {
        CBackupItem item(profile_, settings_, 10001);
        item.index = c.index;
        EXPECT_FALSE(item.LoadKey(TaskKey::Index)) << c.what;
        EXPECT_FALSE(item.Load()) << c.what;
        EXPECT_EQ(item.Name, L"") << c.what;  // nothing read after the refused Index
    }
}

TEST_F(BackupItemTest, AStoredTimeThatIsNotNineteenCharactersReadsAsNever)
{
    StoreIndexOnly(0, 0);
    struct Case {
        const wchar_t* stored;
        const char* loaded;
    };
    const Case cases[] = {
        {L"2024-5-5 10:00:00", "2000-01-01 00:00:00"},  // 17 characters
        {L"Invalid DateTime", "2000-01-01 00:00:00"},   // what an invalid time used to be stored as
        {L"", "2000-01-01 00:00:00"},
        {L"2024-02-30 25:61:99", "2024-02-01 00:00:00"},
        {L"1999-05-05 10:00:00", "2000-05-05 10:00:00"},
        {L"2024-03-05 08:07:00", "2024-03-05 08:07:00"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(profile_.SetString(L"Item0", L"LastTime", c.stored));
        ASSERT_TRUE(profile_.SetString(L"Item0", L"CreateTime", c.stored));
        CBackupItem item(profile_, settings_, 10001);
        item.index = 0;
        item.LastTime = DateTime::FromParts(2022, 2, 2, 2, 2, 2);
        item.CreateTime = DateTime::FromParts(2022, 2, 2, 2, 2, 2);
        EXPECT_TRUE(item.LoadKey(TaskKey::LastTime)) << vw::WideToUtf8(c.stored);
        EXPECT_EQ(vw::WideToUtf8(vw::FormatDateTime(item.LastTime)), c.loaded) << vw::WideToUtf8(c.stored);
        EXPECT_TRUE(item.Load()) << vw::WideToUtf8(c.stored);
        EXPECT_EQ(vw::WideToUtf8(vw::FormatDateTime(item.CreateTime)), c.loaded) << vw::WideToUtf8(c.stored);
        EXPECT_EQ(vw::WideToUtf8(vw::FormatDateTime(item.LastTime)), c.loaded) << vw::WideToUtf8(c.stored);
    }
}

TEST_F(BackupItemTest, ATimeThatIsNotValidIsStoredAsNever)
{
    CBackupItem item(profile_, settings_, 10001);
    item.index = 0;
    item.CreateTime = DateTime::FromParts(2024, 4, 31, 0, 0, 0);
    item.LastTime = DateTime::Null();
    ASSERT_TRUE(item.Save());
    EXPECT_EQ(profile_.GetString(L"Item0", L"CreateTime", L""), kNeverText);
    EXPECT_EQ(profile_.GetString(L"Item0", L"LastTime", L""), kNeverText);

    item.SetLastTime(DateTime::FromParts(2024, 1, 1, 25, 0, 0), true);
    EXPECT_FALSE(item.LastTime.IsValid());  // the task keeps what it was given; only the stored form mends
    EXPECT_EQ(profile_.GetString(L"Item0", L"LastTime", L""), kNeverText);
}

TEST_F(BackupItemTest, SettersWriteTheirOneKeyOnlyWhenAsked)
{
    CBackupItem item(profile_, settings_, 10001);
    item.index = 3;
    const DateTime when = DateTime::FromParts(2024, 3, 5, 8, 7, 0);

    item.SetLastTime(when, false);
    item.SetDest(L"F:\\b", false);
    item.SetCreateTime(when, false);
    EXPECT_FALSE(profile_.SectionExists(L"Item3"));

    item.SetLastTime(when, true);
    item.SetDest(L"G:\\moved", true);
    item.SetCreateTime(when + vw::DateSpan(1.0), true);
    EXPECT_EQ(profile_.GetString(L"Item3", L"LastTime", L""), L"2024-03-05 08:07:00");
    EXPECT_EQ(profile_.GetString(L"Item3", L"Dest", L""), L"G:\\moved");
    EXPECT_EQ(profile_.GetString(L"Item3", L"CreateTime", L""), L"2024-03-06 08:07:00");
    EXPECT_EQ(profile_.GetInt(L"Item3", L"Index", -1), -1);  // nothing else was written

    ASSERT_TRUE(item.SaveKey(TaskKey::Index));
    EXPECT_EQ(profile_.GetInt(L"Item3", L"Index", -1), 3);
}

TEST_F(BackupItemTest, DeleteSectionRemovesTheTaskWithAllItsKeys)
{
    CBackupItem item(profile_, settings_, 10001);
    item.index = 1;
    ASSERT_TRUE(item.Save());
    ASSERT_TRUE(profile_.SectionExists(L"Item1"));
    EXPECT_TRUE(item.DeleteSection());
    EXPECT_FALSE(profile_.SectionExists(L"Item1"));
    EXPECT_FALSE(item.Load());
}

// Every write of a section goes to the same key, so the registry refuses all of them or none: a save
// stopped part-way cannot be brought about here. A section that may not be written refuses the first
// key, and what was stored before stays whole.
TEST_F(BackupItemTest, ASaveTheRegistryRefusesReportsFalseAndLeavesTheStoredTask)
{
    CBackupItem stored(profile_, settings_, 10001);
    FillWithOtherValues(stored);
    stored.index = 0;
    ASSERT_TRUE(stored.Save());

    CBackupItem changed(profile_, settings_, 10002);
    changed.index = 0;
    changed.Name = L"changed";
    {
        vwtest::RegistryLock readOnly(SectionPath(0), KEY_SET_VALUE);
        ASSERT_TRUE(readOnly.locked());
        EXPECT_FALSE(changed.Save());
        EXPECT_FALSE(changed.SaveKey(TaskKey::Name));
    }
    CBackupItem reloaded(profile_, settings_, 10003);
    reloaded.index = 0;
    ASSERT_TRUE(reloaded.Load());
    EXPECT_EQ(reloaded.Name, stored.Name);
    EXPECT_EQ(reloaded.StartTime, stored.StartTime);
}

TEST(BackupItemStatus, TheStatusColumnText)
{
    vwtest::TestRegistryKey key(L"backup-item-status");
    vw::ProfileStore profile(key.path());
    vw::AppSettings settings;
    struct Case {
        int32_t state;
        uint32_t result;
        int32_t cleaning;  // the run kind: 0 backup, 1 cleaning, 2 verify, 3 restore
        const wchar_t* text;
    };
    const Case cases[] = {
        {0, 0, false, L""},
        {0, 0, true, L""},
        {0, 15, false, L"路径错误"},
        {0, 100004, true, L"路径错误"},
        {0, 100005, false, L"路径错误"},
        {0, 8, false, L"内存不足"},
        {0, 14, true, L"内存不足"},
        {0, 39, false, L"磁盘已满"},
        {0, 1235, false, L"备份终止"},
        {0, 1235, true, L"备份终止"},
        {0, 240, false, L"清理终止"},
        {0, 5, false, L"备份出错"},
        {0, 5, true, L"清理出错"},
        {0, 100001, false, L"备份出错"},
        {1, 5, false, L"等待备份"},
        {1, 0, true, L"等待备份"},
        {2, 0, false, L"暂停"},
        {2, 1235, true, L"暂停"},
        {3, 0, false, L"正在备份"},
        {3, 0, true, L"正在清理"},
        {3, 0, 2, L"正在校验"},
        {3, 0, 3, L"正在恢复"},
        {0, 100012, 2, L"校验出错"},
        {4, 5, false, L""},
        {-1, 0, true, L""},
    };
    for (const Case& c : cases) {
        CBackupItem item(profile, settings, 10001);
        item.state = c.state;
        item.result = c.result;
        EXPECT_EQ(item.GetStatusText(c.cleaning), c.text)
            << "state " << c.state << " result " << c.result << " cleaning " << c.cleaning;
    }
}

}  // namespace
