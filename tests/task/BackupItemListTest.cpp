#include "task/CBackupItemList.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cwctype>
#include <string>
#include <vector>

#include "support/RegistryLock.h"
#include "support/TestRegistry.h"
#include "task/AppSettings.h"
#include "win/Format.h"
#include "win/ProfileStore.h"

namespace {

using vw::CBackupItem;
using vw::CBackupItemList;

constexpr int kNoIndex = INT_MIN;
// "Count" values a damaged profile holds instead of a number.
constexpr int kNoCount = INT_MIN;
constexpr int kTextCount = INT_MIN + 1;

std::string U8(const std::wstring& text)
{
    return vw::WideToUtf8(text);
}

std::wstring Section(int number)
{
    return vw::Format(L"Item%d", number);
}

// One stored task as the tests see it: its name and Id, read from "Item<i>".
struct Stored {
    std::wstring name;
    std::wstring id;
    bool operator==(const Stored&) const = default;
};

void PrintTo(const Stored& s, std::ostream* os)
{
    *os << U8(s.name) << "/" << U8(s.id);
}

// A section written the way an older run (or a damaged profile) left it. `index` INT_MAX
// stores the section's own number, kNoIndex no "Index" at all.
void WriteSection(vw::ProfileStore& profile, int number, const std::wstring& name, int index = INT_MAX,
                  const wchar_t* lastTime = nullptr)
{
    const std::wstring section = Section(number);
    if (index != kNoIndex)
        profile.SetInt(section, L"Index", index == INT_MAX ? number : index);
    profile.SetString(section, L"Name", name);
    profile.SetString(section, L"Id", L"ID-" + name);
    if (lastTime)
        profile.SetString(section, L"LastTime", lastTime);
}

// Item0 .. Count-1 with their names and Ids; every section must carry its own number as
// "Index", and no section may be left beyond "Count".
std::vector<Stored> StoredTasks(const vw::ProfileStore& profile)
{
    const int count = profile.GetInt(L"Project", L"Count", 0);
    std::vector<Stored> tasks;
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(profile.GetInt(Section(i), L"Index", -1), i) << "Item" << i;
        tasks.push_back({profile.GetString(Section(i), L"Name", L"?"), profile.GetString(Section(i), L"Id", L"?")});
    }
    for (int i = count; i < count + 8; ++i)
        EXPECT_FALSE(profile.SectionExists(Section(i))) << "stale Item" << i;
    return tasks;
}

class BackupItemListTest : public ::testing::Test {
protected:
    BackupItemListTest() : key_(L"tasklist"), profile_(key_.path()), list_(profile_, settings_) {}

    void WriteSection(int number, const std::wstring& name) { ::WriteSection(profile_, number, name); }
    std::vector<Stored> StoredTasks() const { return ::StoredTasks(profile_); }

    // The tasks in memory, in list order; each must know its position.
    std::vector<Stored> Listed()
    {
        std::vector<Stored> tasks;
        for (size_t i = 0; i < list_.size(); ++i) {
            EXPECT_EQ(list_[i].index, static_cast<int32_t>(i));
            tasks.push_back({list_[i].Name, list_[i].Id});
        }
        return tasks;
    }

    CBackupItem& Add(const std::wstring& name)
    {
        CBackupItem* task = list_.AddNew();
        EXPECT_NE(task, nullptr);
        task->Name = name;
        EXPECT_TRUE(task->Save());
        return *task;
    }

    vwtest::TestRegistryKey key_;
    vw::ProfileStore profile_;
    vw::AppSettings settings_;
    CBackupItemList list_;
};

TEST_F(BackupItemListTest, EmptyProfileThenFirstNewTask)
{
    ASSERT_TRUE(list_.LoadAll());
    EXPECT_TRUE(list_.empty());

    CBackupItem* task = list_.AddNew();
    ASSERT_NE(task, nullptr);
    EXPECT_EQ(U8(task->Name), "任务1");
    EXPECT_EQ(task->index, 0);
    EXPECT_EQ(task->timerId, 10001);
    EXPECT_EQ(profile_.GetInt(L"Project", L"Count", 0), 1);
    EXPECT_EQ(StoredTasks(), (std::vector<Stored>{{L"任务1", task->Id}}));
    // The new-task values are stored, not the values a missing key reads as.
    EXPECT_EQ(profile_.GetInt(L"Item0", L"Start", 0), 1);
    EXPECT_EQ(profile_.GetInt(L"Item0", L"StartTime", 0), 10);
}

TEST(BackupItemListNames, NewTaskNameStartsAfterItsPosition)
{
    struct Case {
        std::vector<const wchar_t*> existing;
        const char* expected;
    };
    const Case cases[] = {
        {{}, "任务1"},
        {{L"任务1"}, "任务2"},
        {{L"任务1", L"任务3"}, "任务4"},  // position 2: 任务3 is taken, 任务2 is not looked at
        {{L"任务2", L"任务3"}, "任务4"},
        {{L"任务3", L"任务4"}, "任务5"},
        {{L"文档", L"照片"}, "任务3"},
    };
    int n = 0;
    for (const Case& c : cases) {
        vwtest::TestRegistryKey key(vw::Format(L"names%d", n++));
        vw::ProfileStore profile(key.path());
        vw::AppSettings settings;
        CBackupItemList list(profile, settings);
        for (const wchar_t* name : c.existing)
            list.AddNew()->Name = name;
        const CBackupItem* task = list.AddNew();
        ASSERT_NE(task, nullptr);
        EXPECT_EQ(U8(task->Name), c.expected) << c.existing.size() << " tasks before";
    }
}

TEST_F(BackupItemListTest, IdIsComputerNameAndLocalTimeAndDiffersForTwoInARow)
{
    wchar_t buffer[261] = {};
    DWORD size = 261;
    ASSERT_TRUE(GetComputerNameW(buffer, &size));
    const std::wstring computer(buffer, size);

    SYSTEMTIME before;
    GetLocalTime(&before);
    const CBackupItem* first = list_.AddNew();
    const CBackupItem* second = list_.AddNew();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(U8(first->Id), U8(second->Id));

    for (const CBackupItem* task : {first, second}) {
        // Computer name, then year..second in 14 digits and the milliseconds in 4.
        ASSERT_EQ(task->Id.size(), computer.size() + 18) << U8(task->Id);
        EXPECT_EQ(U8(task->Id.substr(0, computer.size())), U8(computer));
        const std::wstring digits = task->Id.substr(computer.size());
        for (wchar_t ch : digits)
            EXPECT_TRUE(std::iswdigit(ch)) << U8(task->Id);
        EXPECT_EQ(U8(digits.substr(0, 4)), U8(vw::Format(L"%04d", before.wYear)));
        EXPECT_LT(std::stoi(digits.substr(14)), 1000);
        EXPECT_EQ(U8(profile_.GetString(task->SectionName(), L"Id", L"")), U8(task->Id));
    }
    EXPECT_EQ(profile_.GetInt(L"Project", L"Count", 0), 2);
}

TEST_F(BackupItemListTest, RemovingTheSecondOfFourMovesTheOthersUp)
{
    for (const wchar_t* name : {L"A", L"B", L"C", L"D"})
        Add(name);
    const std::vector<Stored> before = Listed();

    ASSERT_TRUE(list_.Remove(list_[1]));

    const std::vector<Stored> expected{before[0], before[2], before[3]};
    EXPECT_EQ(Listed(), expected);
    EXPECT_EQ(profile_.GetInt(L"Project", L"Count", 0), 3);
    EXPECT_EQ(StoredTasks(), expected);

    CBackupItemList reloaded(profile_, settings_);
    ASSERT_TRUE(reloaded.LoadAll());
    ASSERT_EQ(reloaded.size(), 3u);
    EXPECT_EQ(U8(reloaded[2].Name), "D");
}

TEST_F(BackupItemListTest, RemovingTheLastAndTheOnlyTask)
{
    Add(L"A");
    Add(L"B");
    ASSERT_TRUE(list_.Remove(list_[1]));
    EXPECT_EQ(StoredTasks(), Listed());
    ASSERT_TRUE(list_.Remove(list_[0]));
    EXPECT_TRUE(list_.empty());
    EXPECT_EQ(profile_.GetInt(L"Project", L"Count", -1), 0);
    EXPECT_TRUE(StoredTasks().empty());
}

TEST_F(BackupItemListTest, RemoveRefusesATaskNotAtItsPosition)
{
    Add(L"A");
    Add(L"B");
    const std::vector<Stored> before = StoredTasks();

    vw::CBackupItem stranger(profile_, settings_, 99999);
    stranger.index = 0;
    EXPECT_FALSE(list_.Remove(stranger));
    list_[1].index = 0;
    EXPECT_FALSE(list_.Remove(list_[1]));
    list_[1].index = 1;

    EXPECT_EQ(list_.size(), 2u);
    EXPECT_EQ(StoredTasks(), before);
}

// A new task is stored whole or not at all: nothing is counted before all of it is written.
TEST_F(BackupItemListTest, ANewTaskThatCannotBeStoredLeavesNothingCounted)
{
    Add(L"A");
    const struct {
        const char* what;
        const wchar_t* lockedSection;
        REGSAM denied;
    } cases[] = {
        {"a section left over where it goes cannot be cleared", L"Item1", DELETE | KEY_ENUMERATE_SUB_KEYS},
        {"Count cannot be written", L"Project", KEY_SET_VALUE},
    };
    profile_.SetString(L"Item1", L"Name", L"left over");  // beyond "Count": no task
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<CBackupItem> made = list_.MakeNew();
        made->Name = L"B";
        made->Source = L"C:\\src";
        {
            vwtest::RegistryLock lock(key_.path() + L"\\" + c.lockedSection, c.denied);
            ASSERT_TRUE(lock.locked());
            EXPECT_EQ(list_.Append(std::move(made)), nullptr);
        }
        EXPECT_EQ(list_.size(), 1u);
        EXPECT_EQ(profile_.GetInt(L"Project", L"Count", 0), 1);
        CBackupItemList reloaded(profile_, settings_);
        ASSERT_TRUE(reloaded.LoadAll());
        EXPECT_EQ(reloaded.size(), 1u);
    }

    std::unique_ptr<CBackupItem> made = list_.MakeNew();
    made->Name = L"B";
    made->Source = L"C:\\src";
    CBackupItem* added = list_.Append(std::move(made));
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->index, 1);
    EXPECT_EQ(U8(profile_.GetString(L"Item1", L"Source", L"")), "C:\\src");
    EXPECT_EQ(StoredTasks().size(), 2u);
}

TEST_F(BackupItemListTest, SwapRewritesBothSections)
{
    Add(L"A");
    Add(L"B");
    Add(L"C");
    const std::vector<Stored> before = Listed();

    ASSERT_TRUE(list_.Swap(1, 0));
    const std::vector<Stored> expected{before[1], before[0], before[2]};
    EXPECT_EQ(Listed(), expected);
    EXPECT_EQ(StoredTasks(), expected);

    ASSERT_TRUE(list_.Swap(2, 1));
    EXPECT_EQ(StoredTasks(), (std::vector<Stored>{before[1], before[2], before[0]}));

    for (auto [a, b] : {std::pair{1, 1}, {-1, 0}, {0, 3}, {3, 2}})
        EXPECT_FALSE(list_.Swap(a, b)) << a << "," << b;
    EXPECT_EQ(StoredTasks(), (std::vector<Stored>{before[1], before[2], before[0]}));
}

// The Ids a fresh start loads, in order. That load leaves each task in the section of its position
// and "Count" covering them all (what lies beyond "Count" is ignored).
std::vector<std::wstring> LoadedIds(vw::ProfileStore& profile)
{
    vw::AppSettings settings;
    CBackupItemList list(profile, settings);
    EXPECT_TRUE(list.LoadAll());
    std::vector<std::wstring> ids;
    for (const auto& task : list) {
        EXPECT_EQ(profile.GetInt(task->SectionName(), L"Index", -1), task->index);
        EXPECT_EQ(U8(profile.GetString(task->SectionName(), L"Id", L"")), U8(task->Id));
        ids.push_back(task->Id);
    }
    EXPECT_EQ(profile.GetInt(L"Project", L"Count", -1), static_cast<int>(ids.size()));
    return ids;
}

std::vector<std::wstring> Sorted(std::vector<std::wstring> ids)
{
    std::sort(ids.begin(), ids.end());
    return ids;
}

// A move up or down cut off after any number of its registry writes (the program killed, the power
// gone) still loads every task exactly once, each with all of its own values.
TEST(BackupItemListSwap, CutOffAfterAnyWriteLosesNoTask)
{
    for (auto [a, b] : {std::pair{0, 1}, {1, 0}, {1, 2}, {2, 0}}) {
        for (size_t cut = 0;; ++cut) {
            SCOPED_TRACE(::testing::Message() << "swap " << a << "," << b << " cut after write " << cut);
            vwtest::TestRegistryKey key(vw::Format(L"swapcut%d%d-%d", a, b, static_cast<int>(cut)));
            vw::ProfileStore profile(key.path());
            vw::AppSettings settings;
            CBackupItemList list(profile, settings);
            std::vector<std::wstring> ids;
            for (const wchar_t* name : {L"A", L"B", L"C"}) {
                CBackupItem* task = list.AddNew();
                ASSERT_NE(task, nullptr);
                task->Name = name;
                task->Source = std::wstring(L"C:\\src\\") + name;
                task->Dest = std::wstring(L"D:\\dst\\") + name;
                task->ClockHour = static_cast<int32_t>(ids.size()) + 5;
                ASSERT_TRUE(task->Save());
                ids.push_back(task->Id);
            }
            const std::vector<CBackupItemList::ProfileWrite> writes = list.SwapWrites(a, b);
            for (size_t i = 0; i < cut && i < writes.size(); ++i)
                ASSERT_TRUE(writes[i]()) << "write " << i;

            const std::vector<std::wstring> loaded = LoadedIds(profile);
            EXPECT_EQ(Sorted(loaded), Sorted(ids));
            // Loaded again: the repaired profile is stable.
            EXPECT_EQ(LoadedIds(profile), loaded);
            CBackupItemList reloaded(profile, settings);
            ASSERT_TRUE(reloaded.LoadAll());
            for (const auto& task : reloaded) {
                const std::wstring name = task->Name;
                const size_t original = static_cast<size_t>(std::find(ids.begin(), ids.end(), task->Id) - ids.begin());
                ASSERT_LT(original, 3u);
                EXPECT_EQ(U8(name), U8(std::wstring(1, static_cast<wchar_t>(L'A' + original))));
                EXPECT_EQ(U8(task->Source), U8(L"C:\\src\\" + name));
                EXPECT_EQ(U8(task->Dest), U8(L"D:\\dst\\" + name));
                EXPECT_EQ(task->ClockHour, static_cast<int32_t>(original) + 5);
            }
            if (cut >= writes.size()) {
                std::vector<std::wstring> swapped = ids;
                std::swap(swapped[a], swapped[b]);
                EXPECT_EQ(loaded, swapped);
                break;
            }
        }
    }
}

// A registry write that is refused part way: Swap says so, no task is lost, and the list in memory
// stands in the order the profile loads in, each task at its own section.
TEST(BackupItemListSwap, RefusedWriteLeavesTheListAsTheProfileLoadsIt)
{
    struct Case {
        const char* what;
        const wchar_t* lockedSection;  // below the profile root
        REGSAM denied;
    };
    const Case cases[] = {
        {"a spare section left over cannot be cleared", L"Item3", DELETE | KEY_ENUMERATE_SUB_KEYS},
        {"Count cannot be written", L"Project", KEY_SET_VALUE},
        {"the first section cannot be cleared", L"Item0", DELETE | KEY_ENUMERATE_SUB_KEYS},
        {"the second section cannot be cleared", L"Item1", DELETE | KEY_ENUMERATE_SUB_KEYS},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        vwtest::TestRegistryKey key(vw::Format(L"swaplock%d", n++));
        vw::ProfileStore profile(key.path());
        vw::AppSettings settings;
        CBackupItemList list(profile, settings);
        std::vector<std::wstring> ids;
        for (int i = 0; i < 3; ++i)
            ids.push_back(list.AddNew()->Id);
        profile.SetString(L"Item3", L"Name", L"left over");  // beyond "Count": no task
        {
            vwtest::RegistryLock lock(key.path() + L"\\" + c.lockedSection, c.denied);
            ASSERT_TRUE(lock.locked());
            EXPECT_FALSE(list.Swap(0, 1));
        }
        std::vector<std::wstring> listed;
        for (size_t i = 0; i < list.size(); ++i) {
            EXPECT_EQ(list[i].index, static_cast<int32_t>(i));
            listed.push_back(list[i].Id);
        }
        EXPECT_EQ(Sorted(listed), Sorted(ids));
        EXPECT_EQ(LoadedIds(profile), listed);
    }
}

TEST(BackupItemListDamage, DamagedProfileLosesNoTaskAndANewTaskOverwritesNothing)
{
    struct Entry {
        int number;
        const wchar_t* name;
        int index = INT_MAX;  // INT_MAX: its own number; kNoIndex: no "Index" at all
        const wchar_t* lastTime = nullptr;
    };
    struct Case {
        const char* what;
        int count;
        std::vector<Entry> sections;
        std::vector<const wchar_t*> loaded;  // also what the sections hold afterwards
    };
    const Case cases[] = {
        {"Index missing", 3, {{0, L"A"}, {1, L"B", kNoIndex}, {2, L"C"}}, {L"A", L"B", L"C"}},
        {"Index wrong", 3, {{0, L"A"}, {1, L"B", 7}, {2, L"C"}}, {L"A", L"B", L"C"}},
        {"section missing in the middle", 4, {{0, L"A"}, {2, L"C"}, {3, L"D"}}, {L"A", L"C", L"D"}},
        {"first section missing, next Index wrong", 3, {{1, L"B", 5}, {2, L"C"}}, {L"B", L"C"}},
        {"Count beyond the sections", 5, {{0, L"A"}, {1, L"B"}, {2, L"C"}}, {L"A", L"B", L"C"}},
        {"Count damaged to the largest number", 0x7FFFFFFF, {{0, L"A"}, {1, L"B"}}, {L"A", L"B"}},
        {"Count damaged, a section far out", 0x7FFFFFFF, {{0, L"A"}, {40000, L"Z"}}, {L"A", L"Z"}},
        {"time of the wrong length", 2, {{0, L"A"}, {1, L"B", INT_MAX, L"2024-5-5 10:00:00"}}, {L"A", L"B"}},
        {"no section at all", 2, {}, {}},
        {"Count missing", kNoCount, {{0, L"A"}, {1, L"B"}, {2, L"C"}}, {L"A", L"B", L"C"}},
        {"Count stored as text", kTextCount, {{0, L"A"}, {1, L"B"}}, {L"A", L"B"}},
        {"Count negative", -1, {{0, L"A"}, {2, L"C"}}, {L"A", L"C"}},
        {"Count missing, no section", kNoCount, {}, {}},
        {"an Id repeated: the first copy stays", 3, {{0, L"A"}, {1, L"A"}, {2, L"B"}}, {L"A", L"B"}},
        {"an Id repeated last", 3, {{0, L"A"}, {1, L"B"}, {2, L"A"}}, {L"A", L"B"}},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        vwtest::TestRegistryKey key(vw::Format(L"damaged%d", n++));
        vw::ProfileStore profile(key.path());
        if (c.count == kTextCount)
            profile.SetString(L"Project", L"Count", std::to_wstring(c.sections.size()));
        else if (c.count != kNoCount)
            profile.SetInt(L"Project", L"Count", c.count);
        for (const Entry& e : c.sections)
            WriteSection(profile, e.number, e.name, e.index, e.lastTime);

        vw::AppSettings settings;
        CBackupItemList list(profile, settings);
        ASSERT_TRUE(list.LoadAll());
        std::vector<Stored> expected;
        for (const wchar_t* name : c.loaded)
            expected.push_back({name, std::wstring(L"ID-") + name});
        ASSERT_EQ(list.size(), expected.size());
        for (size_t i = 0; i < list.size(); ++i) {
            EXPECT_EQ(list[i].index, static_cast<int32_t>(i));
            EXPECT_EQ(U8(list[i].Name), U8(expected[i].name));
            EXPECT_TRUE(list[i].LastTime.IsNever());
        }
        EXPECT_EQ(StoredTasks(profile), expected);

        CBackupItem* added = list.AddNew();
        ASSERT_NE(added, nullptr);
        expected.push_back({added->Name, added->Id});
        EXPECT_EQ(StoredTasks(profile), expected);
    }
}

TEST_F(BackupItemListTest, SectionsBeyondCountAreIgnored)
{
    profile_.SetInt(L"Project", L"Count", 1);
    WriteSection(0, L"A");
    WriteSection(1, L"left over");
    ASSERT_TRUE(list_.LoadAll());
    ASSERT_EQ(list_.size(), 1u);
    EXPECT_EQ(U8(list_[0].Name), "A");
    EXPECT_EQ(profile_.GetInt(L"Project", L"Count", 0), 1);
}

TEST_F(BackupItemListTest, TimerIdsCountUpAndAreNeverReused)
{
    profile_.SetInt(L"Project", L"Count", 3);
    for (int i = 0; i < 3; ++i)
        WriteSection(i, vw::Format(L"T%d", i));

    ASSERT_TRUE(list_.LoadAll());
    EXPECT_EQ(list_.FindByTimerId(10002), &list_[1]);
    EXPECT_EQ(list_.FindByTimerId(10001), &list_[0]);
    EXPECT_EQ(list_.FindByTimerId(10000), nullptr);
    EXPECT_EQ(list_.FindByTimerId(10004), nullptr);

    ASSERT_TRUE(list_.LoadAll());
    EXPECT_EQ(list_.FindByTimerId(10001), nullptr);
    EXPECT_EQ(list_.FindByTimerId(10004), &list_[0]);
    EXPECT_EQ(list_.AddNew()->timerId, 10007);

    ASSERT_TRUE(list_.Remove(list_[0]));
    EXPECT_EQ(list_.FindByTimerId(10004), nullptr);
    EXPECT_EQ(list_.FindByTimerId(10005), &list_[0]);
}

TEST_F(BackupItemListTest, NameUniqueIgnoresCase)
{
    for (const wchar_t* name : {L"Backup", L"文档", L"Éclair"})
        list_.AddNew()->Name = name;
    const struct {
        const wchar_t* name;
        bool unique;
    } cases[] = {
        {L"Backup", false}, {L"BACKUP", false}, {L"bAcKuP", false}, {L"Backup ", true}, {L"Backup2", true},
        {L"文档", false},   {L"文档1", true},   {L"éCLAIR", false}, {L"Eclair", true},   {L"", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(list_.IsNameUnique(c.name), c.unique) << U8(c.name);
}

}  // namespace
