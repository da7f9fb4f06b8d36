// The editor's entries against a stored task: which changes count, and what storing them keeps.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/TestRegistry.h"
#include "task/AppSettings.h"
#include "task/CBackupItem.h"
#include "task/TaskEntries.h"
#include "win/ProfileStore.h"

namespace {

using vw::CBackupItem;
using vw::DateTime;
using vw::TaskEntries;

class TaskEntriesTest : public ::testing::Test {
protected:
    TaskEntriesTest()
    {
        task_.index = 0;
        task_.Id = L"{11111111-2222-3333-4444-555555555555}";
        task_.Name = L"文档";
        task_.Source = L"M:\\Data";
        task_.Dest = L"N:\\Backup";
        task_.Start = 1;
        task_.StartTime = 10;
        task_.Clock = 1;
        task_.ClockHour = 7;
        task_.ClockMinute = 5;
        task_.Week = 0x1F;
        task_.AutoTime = 0;
        task_.AutoMinute = 120;
        task_.History = 1;
        task_.RemoveFollow = 0;
        task_.CreateTime = kCreated;
        task_.LastTime = kLastBackup;
        EXPECT_TRUE(task_.Save());
    }

    // The task as the profile now holds it.
    vw::TaskSnapshot Stored()
    {
        CBackupItem again(profile_, settings_, 10002);
        again.index = 0;
        EXPECT_TRUE(again.Load());
        return again.Snapshot();
    }

    const DateTime kCreated = DateTime::FromParts(2025, 1, 2, 3, 4, 5);
    const DateTime kLastBackup = DateTime::FromParts(2025, 6, 7, 8, 9, 10);
    vwtest::TestRegistryKey key_{L"task-entries"};
    vw::ProfileStore profile_{key_.path()};
    vw::AppSettings settings_;
    CBackupItem task_{profile_, settings_, 10001};
};

TEST_F(TaskEntriesTest, EveryEditableFieldCountsAsAChange)
{
    const std::vector<std::pair<const char*, std::function<void(TaskEntries&)>>> rows = {
        {"name", [](TaskEntries& e) { e.Name = L"照片"; }},
        {"source letter case", [](TaskEntries& e) { e.Source = L"m:\\data"; }},
        {"destination letter case", [](TaskEntries& e) { e.Dest = L"N:\\BACKUP"; }},
        {"start", [](TaskEntries& e) { e.Start = false; }},
        {"start delay", [](TaskEntries& e) { e.StartTime = 11; }},
        {"daily", [](TaskEntries& e) { e.Clock = false; }},
        {"hour", [](TaskEntries& e) { e.ClockHour = 8; }},
        {"minute", [](TaskEntries& e) { e.ClockMinute = 6; }},
        {"one weekday", [](TaskEntries& e) { e.Week ^= 0x40; }},
        {"interval on", [](TaskEntries& e) { e.AutoTime = true; }},
        {"interval", [](TaskEntries& e) { e.AutoMinute = 121; }},
        {"history", [](TaskEntries& e) { e.History = false; }},
        {"follow", [](TaskEntries& e) { e.RemoveFollow = true; }},
    };
    const vw::TaskSnapshot task = task_.Snapshot();
    EXPECT_FALSE(vw::EntriesDiffer(vw::EntriesOf(task), task)) << "unchanged";
    for (const auto& [what, change] : rows) {
        TaskEntries entries = vw::EntriesOf(task);
        change(entries);
        EXPECT_TRUE(vw::EntriesDiffer(entries, task)) << what;
    }
}

// A switch another program stored as 2 is on: the editor shows it checked, so leaving it checked is
// no change, and storing writes it as 1.
TEST_F(TaskEntriesTest, ASwitchStoredAsAnotherNumberIsOnAndIsStoredAsOne)
{
    ASSERT_TRUE(profile_.SetInt(L"Item0", L"History", 2));
    ASSERT_TRUE(profile_.SetInt(L"Item0", L"Clock", -1));
    ASSERT_TRUE(task_.Load());
    TaskEntries entries = vw::EntriesOf(task_.Snapshot());
    entries.History = 1;
    entries.Clock = 1;
    EXPECT_FALSE(vw::EntriesDiffer(entries, task_.Snapshot()));

    entries.Name = L"改名";
    ASSERT_TRUE(vw::StoreEntries(task_, entries));
    EXPECT_EQ(profile_.GetInt(L"Item0", L"History", 0), 1);
    EXPECT_EQ(profile_.GetInt(L"Item0", L"Clock", 0), 1);
}

TEST_F(TaskEntriesTest, StoringKeepsTheBindingUnlessTheDestinationNamesAnotherFolder)
{
    const DateTime never = DateTime::Never();
    const struct {
        const wchar_t* dest;
        DateTime created, lastBackup;
    } rows[] = {
        {L"N:\\Backup", kCreated, kLastBackup},
        {L"n:\\BACKUP", kCreated, kLastBackup},
        {L"N:\\Backup2", never, never},
    };
    for (const auto& row : rows) {
        task_.SetCreateTime(kCreated, true);
        task_.SetLastTime(kLastBackup, true);
        task_.SetDest(L"N:\\Backup", true);
        TaskEntries entries = vw::EntriesOf(task_.Snapshot());
        entries.Dest = row.dest;
        EXPECT_TRUE(vw::StoreEntries(task_, entries));
        const vw::TaskSnapshot stored = Stored();
        EXPECT_EQ(stored.Dest, row.dest);
        EXPECT_EQ(vw::FormatDateTime(stored.CreateTime), vw::FormatDateTime(row.created)) << stored.Dest;
        EXPECT_EQ(vw::FormatDateTime(stored.LastTime), vw::FormatDateTime(row.lastBackup)) << stored.Dest;
    }
}

TEST_F(TaskEntriesTest, StoringWritesEveryEntryWithHourAndMinuteWithinTheirRange)
{
    TaskEntries entries;
    entries.Name = L"照片";
    entries.Source = L"M:\\Photos";
    entries.Dest = L"N:\\Backup";
    entries.Start = false;
    entries.StartTime = 1000;
    entries.Clock = false;
    entries.ClockHour = 25;
    entries.ClockMinute = 61;
    entries.Week = 0x41;
    entries.AutoTime = true;
    entries.AutoMinute = 90;
    entries.History = false;
    entries.RemoveFollow = true;
    ASSERT_TRUE(vw::StoreEntries(task_, entries));

    const vw::TaskSnapshot stored = Stored();
    EXPECT_EQ(stored.Name, L"照片");
    EXPECT_EQ(stored.Source, L"M:\\Photos");
    EXPECT_EQ(stored.Start, 0);
    EXPECT_EQ(stored.StartTime, 1000);
    EXPECT_EQ(stored.Clock, 0);
    EXPECT_EQ(stored.ClockHour, 1);
    EXPECT_EQ(stored.ClockMinute, 1);
    EXPECT_EQ(stored.Week, 0x41);
    EXPECT_EQ(stored.AutoTime, 1);
    EXPECT_EQ(stored.AutoMinute, 90);
    EXPECT_EQ(stored.History, 0);
    EXPECT_EQ(stored.RemoveFollow, 1);
    EXPECT_EQ(stored.Id, L"{11111111-2222-3333-4444-555555555555}");
    EXPECT_FALSE(vw::EntriesDiffer(vw::EntriesOf(task_.Snapshot()), task_.Snapshot()));
}

}  // namespace
