// Binding a destination to its task, checking the marker at the start of a run, and following a
// destination to another drive letter: on real folders of the test drives and a registry key each.
#include <gtest/gtest.h>

#include <windows.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/CBackupEngine.h"
#include "engine/RunContext.h"
#include "engine/SystemErrorText.h"
#include "support/TestDrives.h"
#include "support/TestRegistry.h"
#include "task/AppSettings.h"
#include "task/CBackupItem.h"
#include "task/DateTime.h"
#include "win/Format.h"
#include "win/ProfileStore.h"
#include "win/UniqueHandle.h"

namespace {

using vw::CBackupEngine;
using vw::DateTime;

constexpr wchar_t kMarker[] = L"_Vaultwren.ini";
constexpr wchar_t kHistory[] = L"_历史文件";

// Read and written with the system calls directly, so the tests see the file as another program would.
std::wstring ReadMarker(const std::wstring& markerFile, const std::wstring& section, const std::wstring& key)
{
    wchar_t buffer[256] = {};
    GetPrivateProfileStringW(section.c_str(), key.c_str(), L"", buffer, 256, markerFile.c_str());
    return buffer;
}

bool WriteMarker(const std::wstring& markerFile, const std::wstring& section, const std::wstring& key,
                 const std::wstring& value)
{
    return WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), markerFile.c_str()) != FALSE;
}

bool IsFolder(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Wine reports every regular file as archived whatever was set, so that bit is left out here.
DWORD AttributesBesideArchive(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) & ~static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE);
}

DateTime Stamp(int year, int month, int day, int hour, int minute, int second)
{
    return DateTime::FromParts(year, month, day, hour, minute, second);
}

// Tasks stored as "Item<index>" in a registry key of the test's own, and the run context of their runs.
struct TaskFixture {
    explicit TaskFixture(const std::wstring& keyName) : key(keyName), profile(key.path()), context(settings) {}

    vw::CBackupItem& AddTask(const std::wstring& id, const std::wstring& source, const std::wstring& dest)
    {
        auto& task = *tasks.emplace_back(std::make_unique<vw::CBackupItem>(profile, settings, 10001 + count));
        task.index = count++;
        task.Id = id;
        task.Name = id;
        task.Source = source;
        task.Dest = dest;
        task.Save();
        return task;
    }

    std::wstring Stored(const vw::CBackupItem& task, const std::wstring& entry) const
    {
        return profile.GetString(task.SectionName(), entry, L"<missing>");
    }

    // Runs the start of a run on a fresh engine, as the worker does; returns Init's result.
    bool Init(vw::CBackupItem& task)
    {
        context.lastError = 0;
        context.flags = 0;
        CBackupEngine engine(task, context);
        return engine.Init();
    }

    vwtest::TestRegistryKey key;
    vw::ProfileStore profile;
    vw::AppSettings settings;
    vw::RunContext context;
    std::vector<std::unique_ptr<vw::CBackupItem>> tasks;
    int count = 0;
};

// A task that completed runs before: bound to its destination, the marker carrying its stamp.
void MakeBound(vw::CBackupItem& task, const std::wstring& destFolder, const DateTime& createTime)
{
    ASSERT_TRUE(CreateDirectoryW(destFolder.c_str(), nullptr) || IsFolder(destFolder));
    ASSERT_TRUE(WriteMarker(destFolder + kMarker, task.Id, L"CreateTime", vw::FormatDateTime(createTime)));
    SetFileAttributesW((destFolder + kMarker).c_str(), FILE_ATTRIBUTE_HIDDEN);
    task.SetCreateTime(createTime, true);
    task.SetLastTime(Stamp(2024, 3, 6, 9, 0, 0), true);
}

TEST(Destination, FirstRunOfANewTaskBindsAMissingDestination)
{
    for (const int history : {1, 0}) {
        SCOPED_TRACE(history);
        vwtest::ScratchFolder scratch(vwtest::kDiskM, L"bind");
        TaskFixture fx(L"bind");
        CreateDirectoryW((scratch / L"Src").c_str(), nullptr);
        const std::wstring dest = scratch / L"Backup\\Deep\\Docs";
        auto& task = fx.AddTask(L"{A1}", scratch / L"Src", dest);
        task.History = history;
        const DateTime before = DateTime::Now();

        fx.context.flags = 0;
        CBackupEngine engine(task, fx.context);
        ASSERT_TRUE(engine.Init());
        EXPECT_EQ(fx.context.lastError.load(), 0u);
        EXPECT_EQ(fx.context.flags.load(), vw::kFlagDestNewlyBound);

        EXPECT_EQ(engine.SourceFolder(), scratch / L"Src\\");
        EXPECT_EQ(engine.DestFolder(), dest + L"\\");
        EXPECT_EQ(engine.WorkFolder(), dest + L"\\_TEMP\\");
        EXPECT_EQ(engine.HistoryFolder(), dest + L"\\" + kHistory + L"\\");
        EXPECT_EQ(engine.MarkerFile(), dest + L"\\" + kMarker);
        EXPECT_FALSE(engine.DestinationIsFat());

        EXPECT_TRUE(IsFolder(dest));
        const std::wstring marker = dest + L"\\" + kMarker;
        EXPECT_EQ(AttributesBesideArchive(marker), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
        const std::wstring stamp = ReadMarker(marker, L"{A1}", L"CreateTime");
        DateTime written;
        ASSERT_TRUE(vw::ParseDateTime(stamp, written)) << stamp;
        EXPECT_FALSE(task.CreateTime.IsNever());
        EXPECT_EQ(task.CreateTime, written);
        EXPECT_FALSE(written < before);
        EXPECT_EQ(fx.Stored(task, L"CreateTime"), stamp);
        EXPECT_EQ(IsFolder(dest + L"\\" + kHistory), history == 1);
        // Binding is all Init does: nothing is backed up yet.
        EXPECT_FALSE(IsFolder(dest + L"\\_TEMP"));
        EXPECT_TRUE(task.LastTime.IsNever());
    }
}

TEST(Destination, BoundTaskRunsOnlyWithItsOwnStamp)
{
    const DateTime created = Stamp(2024, 3, 5, 8, 7, 0);
    const vw::DateSpan quarterSecond(0.25 / 86400);
    const vw::DateSpan sixTenthsSecond(0.6 / 86400);
    struct Case {
        const wchar_t* what;
        const wchar_t* section;  // nullptr: no marker file at all
        const wchar_t* markerStamp;
        DateTime taskStamp;
        bool runs;
    };
    const Case cases[] = {
        {L"no marker", nullptr, L"", created, false},
        {L"same stamp", L"{B1}", L"2024-03-05 08:07:00", created, true},
        {L"another binding", L"{B1}", L"2023-11-30 17:45:12", created, false},
        {L"one second later", L"{B1}", L"2024-03-05 08:07:01", created, false},
        {L"one second earlier", L"{B1}", L"2024-03-05 08:06:59", created, false},
        {L"stored fraction under half a second", L"{B1}", L"2024-03-05 08:07:00", created + quarterSecond, true},
        {L"fraction over half a second", L"{B1}", L"2024-03-05 08:07:00", created + sixTenthsSecond, false},
        {L"18 characters", L"{B1}", L"2024-03-05 08:07:0", created, false},
        {L"20 characters", L"{B1}", L"2024-03-05 08:07:000", created, false},
        {L"empty stamp", L"{B1}", L"", created, false},
        {L"only another task's section", L"{OTHER}", L"2024-03-05 08:07:00", created, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << vw::WideToUtf8(c.what));
        vwtest::ScratchFolder scratch(vwtest::kDiskM, L"verify");
        TaskFixture fx(L"verify");
        CreateDirectoryW((scratch / L"Src").c_str(), nullptr);
        const std::wstring dest = scratch / L"Dest\\";
        auto& task = fx.AddTask(L"{B1}", scratch / L"Src", dest);
        CreateDirectoryW(dest.c_str(), nullptr);
        if (c.section) {
            ASSERT_TRUE(WriteMarker(dest + kMarker, c.section, L"CreateTime", c.markerStamp));
        }
        task.SetCreateTime(c.taskStamp, false);
        task.SetLastTime(Stamp(2024, 3, 6, 9, 0, 0), true);

        EXPECT_EQ(fx.Init(task), c.runs);
        EXPECT_EQ(fx.context.lastError.load(), c.runs ? 0u : static_cast<uint32_t>(vw::ERR_DEST_FOLDER_MISSING));
        EXPECT_EQ(fx.context.flags.load(), 0);
        // A check never rewrites the marker or the task's stamp.
        EXPECT_EQ(task.CreateTime.Value(), c.taskStamp.Value());
        if (c.section) {
            EXPECT_EQ(ReadMarker(dest + kMarker, c.section, L"CreateTime"), c.markerStamp);
        }
        EXPECT_FALSE(IsFolder(dest + kHistory));
    }
}

TEST(Destination, TaskThatLostItsStampAdoptsTheMarkers)
{
    vwtest::ScratchFolder scratch(vwtest::kDiskM, L"adopt");
    TaskFixture fx(L"adopt");
    CreateDirectoryW((scratch / L"Src").c_str(), nullptr);
    const std::wstring dest = scratch / L"Dest\\";
    auto& task = fx.AddTask(L"{C1}", scratch / L"Src", dest);
    CreateDirectoryW(dest.c_str(), nullptr);
    ASSERT_TRUE(WriteMarker(dest + kMarker, L"{C1}", L"CreateTime", L"2022-07-08 10:11:12"));
    task.SetLastTime(Stamp(2024, 3, 6, 9, 0, 0), true);
    ASSERT_TRUE(task.CreateTime.IsNever());

    EXPECT_TRUE(fx.Init(task));
    EXPECT_EQ(task.CreateTime, Stamp(2022, 7, 8, 10, 11, 12));
    EXPECT_EQ(fx.Stored(task, L"CreateTime"), L"2022-07-08 10:11:12");
    EXPECT_EQ(fx.context.flags.load(), 0);
}

TEST(Destination, TaskConfigurationAndSourceAreCheckedFirst)
{
    vwtest::ScratchFolder scratch(vwtest::kDiskM, L"config");
    CreateDirectoryW((scratch / L"Src").c_str(), nullptr);
    CreateDirectoryW((scratch / L"Dest").c_str(), nullptr);
    struct Case {
        const wchar_t* what;
        std::wstring source;
        std::wstring dest;
        bool bound;
        uint32_t error;
    };
    const Case cases[] = {
        {L"missing source, new task", scratch / L"Gone", scratch / L"New", false, vw::ERR_SOURCE_FOLDER_MISSING},
        {L"missing source, bound task", scratch / L"Gone", scratch / L"Dest", true, vw::ERR_SOURCE_FOLDER_MISSING},
        {L"source is a file", scratch / L"Dest\\file.txt", scratch / L"New", false, vw::ERR_SOURCE_FOLDER_MISSING},
        {L"empty destination", scratch / L"Src", L"", false, vw::ERR_TASK_CONFIG},
        {L"empty source", L"", scratch / L"New", false, vw::ERR_TASK_CONFIG},
        {L"both empty", L"", L"", true, vw::ERR_TASK_CONFIG},
    };
    ASSERT_TRUE(vwtest::WriteFileBytes(scratch / L"Dest\\file.txt", "x"));
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << vw::WideToUtf8(c.what));
        TaskFixture fx(L"config");
        auto& task = fx.AddTask(L"{D1}", c.source, c.dest);
        if (c.bound)
            task.SetLastTime(Stamp(2024, 3, 6, 9, 0, 0), true);
        CBackupEngine engine(task, fx.context);
        EXPECT_FALSE(engine.Init());
        EXPECT_EQ(fx.context.lastError.load(), c.error);
        EXPECT_EQ(fx.context.flags.load(), 0);
        EXPECT_FALSE(IsFolder(scratch / L"New"));
        EXPECT_TRUE(task.CreateTime.IsNever());
        EXPECT_EQ(engine.SourceFolder().empty(), c.source.empty());
        for (const std::wstring* path :
             {&engine.DestFolder(), &engine.WorkFolder(), &engine.HistoryFolder(), &engine.MarkerFile()})
            EXPECT_EQ(path->empty(), c.dest.empty());
    }
}

TEST(Destination, EveryEntryRefusesIncompletePaths)
{
    vwtest::ScratchFolder scratch(vwtest::kDiskM, L"entries");
    TaskFixture fx(L"entries");
    auto& task = fx.AddTask(L"{E1}", scratch.path(), L"");
    CBackupEngine engine(task, fx.context);
    EXPECT_FALSE(engine.Init());
    using Entry = bool (CBackupEngine::*)();
    for (const Entry entry : {&CBackupEngine::CheckDest, &CBackupEngine::InitDest, &CBackupEngine::WriteCreateTime,
                              &CBackupEngine::VerifyMarker, &CBackupEngine::FollowDriveLetter}) {
        fx.context.lastError = 0;
        EXPECT_FALSE((engine.*entry)());
        EXPECT_EQ(fx.context.lastError.load(), static_cast<uint32_t>(vw::ERR_TASK_CONFIG));
    }
    // The end of a run reports nothing.
    fx.context.lastError = 0;
    engine.WriteLastTime();
    EXPECT_EQ(fx.context.lastError.load(), 0u);
}

TEST(Destination, DriveTest)
{
    struct Case {
        std::wstring path;
        bool allowOptical;
        bool usable;
    };
    const Case cases[] = {
        {L"C:\\x", false, true},
        {L"M:\\x", false, true},
        {L"m:\\x", false, true},
        {L"N:", false, true},
        {L"A:\\x", false, false},
        {L"b:\\x", false, false},
        {L"K:\\x", false, false},   // CD-ROM
        {L"K:\\x", true, true},     // ... unless optical drives are allowed
        {L"Q:\\x", false, false},   // no root
        {L"\\\\server\\share\\x", false, false},
        {L"C", false, false},
        {L"", false, false},
        {L"1:\\x", false, false},
        {L"[:\\x", false, false},
        {L"CC\\x", false, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(vw::DriveIsUsable(c.path, c.allowOptical), c.usable) << vw::WideToUtf8(c.path);

    const DWORD present = GetLogicalDrives();
    wchar_t absent = 0;
    for (wchar_t letter = L'C'; letter <= L'Z' && !absent; ++letter)
        if ((present & (1u << (letter - L'A'))) == 0)
            absent = letter;
    ASSERT_NE(absent, 0);
    EXPECT_FALSE(vw::DriveIsUsable(std::wstring(1, absent) + L":\\x", false));
}

TEST(Destination, BindingARefusedDriveFails)
{
    vwtest::ScratchFolder scratch(vwtest::kDiskM, L"refused");
    CreateDirectoryW((scratch / L"Src").c_str(), nullptr);
    for (const wchar_t* dest : {L"K:\\VaultwrenBackup", L"Q:\\VaultwrenBackup", L"A:\\VaultwrenBackup",
                                L"\\\\server\\share\\Backup"}) {
        SCOPED_TRACE(vw::WideToUtf8(dest));
        TaskFixture fx(L"refused");
        auto& task = fx.AddTask(L"{F1}", scratch / L"Src", dest);
        EXPECT_FALSE(fx.Init(task));
        EXPECT_EQ(fx.context.lastError.load(), static_cast<uint32_t>(vw::ERR_DEST_FOLDER_MISSING));
        EXPECT_TRUE(task.CreateTime.IsNever());
    }
    EXPECT_FALSE(IsFolder(L"K:\\VaultwrenBackup"));
}

TEST(Destination, TasksSharingADestinationKeepTheirOwnSections)
{
    vwtest::ScratchFolder scratch(vwtest::kDiskM, L"shared");
    TaskFixture fx(L"shared");
    CreateDirectoryW((scratch / L"SrcA").c_str(), nullptr);
    CreateDirectoryW((scratch / L"SrcB").c_str(), nullptr);
    const std::wstring dest = scratch / L"Dest\\";
    const std::wstring marker = dest + kMarker;
    CreateDirectoryW(dest.c_str(), nullptr);
    // What another program or an older binding left in the file stays.
    ASSERT_TRUE(WriteMarker(marker, L"Notes", L"Owner", L"someone"));
    ASSERT_TRUE(WriteMarker(marker, L"{G1}", L"Comment", L"kept"));
    ASSERT_TRUE(WriteMarker(marker, L"{G2}", L"CreateTime", L"2021-01-01 01:01:01"));
    // Hiding sets the hidden attribute alone.
    ASSERT_TRUE(SetFileAttributesW(marker.c_str(), FILE_ATTRIBUTE_SYSTEM));

    auto& first = fx.AddTask(L"{G1}", scratch / L"SrcA", dest);
    auto& second = fx.AddTask(L"{G2}", scratch / L"SrcB", dest);
    ASSERT_TRUE(fx.Init(first));
    ASSERT_TRUE(fx.Init(second));
    EXPECT_EQ(ReadMarker(marker, L"{G1}", L"CreateTime"), vw::FormatDateTime(first.CreateTime));
    EXPECT_EQ(ReadMarker(marker, L"{G2}", L"CreateTime"), vw::FormatDateTime(second.CreateTime));
    EXPECT_NE(ReadMarker(marker, L"{G2}", L"CreateTime"), L"2021-01-01 01:01:01");
    EXPECT_EQ(ReadMarker(marker, L"{G1}", L"Comment"), L"kept");
    EXPECT_EQ(ReadMarker(marker, L"Notes", L"Owner"), L"someone");
    EXPECT_EQ(AttributesBesideArchive(marker), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));

    // Both runs end; each verifies against its own section from now on.
    first.SetLastTime(Stamp(2024, 5, 6, 7, 8, 9), true);
    second.SetLastTime(Stamp(2024, 5, 6, 7, 9, 0), true);
    {
        CBackupEngine engine(first, fx.context);
        ASSERT_TRUE(engine.Init());
        engine.WriteLastTime();
    }
    EXPECT_TRUE(fx.Init(second));
    EXPECT_EQ(ReadMarker(marker, L"{G1}", L"LastTime"), L"2024-05-06 07:08:09");
    EXPECT_EQ(ReadMarker(marker, L"{G2}", L"LastTime"), L"");
    EXPECT_EQ(ReadMarker(marker, L"{G1}", L"CreateTime"), vw::FormatDateTime(first.CreateTime));
}

TEST(Destination, WriteLastTimeStoresTheTasksLastRun)
{
    vwtest::ScratchFolder scratch(vwtest::kDiskM, L"lasttime");
    TaskFixture fx(L"lasttime");
    CreateDirectoryW((scratch / L"Src").c_str(), nullptr);
    const std::wstring dest = scratch / L"Dest\\";
    auto& task = fx.AddTask(L"{H1}", scratch / L"Src", dest);
    MakeBound(task, dest, Stamp(2024, 1, 2, 3, 4, 5));
    task.SetLastTime(Stamp(2024, 12, 31, 23, 59, 58), true);

    CBackupEngine engine(task, fx.context);
    ASSERT_TRUE(engine.Init());
    engine.WriteLastTime();
    EXPECT_EQ(ReadMarker(dest + kMarker, L"{H1}", L"LastTime"), L"2024-12-31 23:59:58");
    EXPECT_EQ(ReadMarker(dest + kMarker, L"{H1}", L"CreateTime"), L"2024-01-02 03:04:05");

    // The destination went away during the run: nothing is written, nothing created.
    ASSERT_TRUE(vwtest::RemoveTree(dest));
    engine.WriteLastTime();
    EXPECT_FALSE(vwtest::FileExists(dest));
}

// The extended form of a path, for a look at files deeper than the plain form reaches.
std::wstring Extended(const std::wstring& path)
{
    return L"\\\\?\\" + path;
}

// A marker at any depth read as another program would: its bytes copied to a short path and read there
// with the system calls.
std::wstring ReadDeepMarker(const std::wstring& markerFile, const std::wstring& copy, const std::wstring& section,
                            const std::wstring& key)
{
    EXPECT_TRUE(vwtest::WriteFileBytes(copy, vwtest::ReadFileBytes(Extended(markerFile))));
    return ReadMarker(copy, section, key);
}

TEST(Destination, ADestinationDeeperThanThePlainLimitIsBoundCheckedAndStamped)
{
    vwtest::ScratchFolder scratch(vwtest::kDiskM, L"deep");
    TaskFixture fx(L"deep");
    CreateDirectoryW((scratch / L"Src").c_str(), nullptr);
    std::wstring dest = scratch.path();
    for (const wchar_t letter : {L'p', L'q', L'r'})
        dest += std::wstring(90, letter) + L"\\";
    dest += L"Backup";
    const std::wstring marker = dest + L"\\" + kMarker;
    ASSERT_GT(dest.size(), size_t{MAX_PATH});
    const std::wstring copy = scratch / L"copy.ini";
    auto& first = fx.AddTask(L"{D1}", scratch / L"Src", dest);
    auto& second = fx.AddTask(L"{D2}", scratch / L"Src", dest);
    first.RemoveFollow = second.RemoveFollow = 0;

    // Both first runs bind the same deep folder: one hidden marker, a section each.
    ASSERT_TRUE(fx.Init(first));
    EXPECT_EQ(fx.context.flags.load(), vw::kFlagDestNewlyBound);
    ASSERT_TRUE(fx.Init(second));
    EXPECT_EQ(GetFileAttributesW(Extended(marker).c_str()) & ~static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE),
              static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
    for (const vw::CBackupItem* task : {&first, &second}) {
        EXPECT_FALSE(task->CreateTime.IsNever());
        EXPECT_EQ(ReadDeepMarker(marker, copy, task->Id, L"CreateTime"), vw::FormatDateTime(task->CreateTime));
    }

    // The end of a run stamps its section only.
    first.SetLastTime(Stamp(2024, 12, 31, 23, 59, 58), true);
    fx.context.flags = 0;
    {
        CBackupEngine engine(first, fx.context);
        ASSERT_TRUE(engine.Init()) << "a later run finds its own stamp";
        EXPECT_EQ(fx.context.flags.load(), 0);
        engine.WriteLastTime();
    }
    EXPECT_EQ(ReadDeepMarker(marker, copy, L"{D1}", L"LastTime"), L"2024-12-31 23:59:58");
    EXPECT_EQ(ReadDeepMarker(marker, copy, L"{D1}", L"CreateTime"), vw::FormatDateTime(first.CreateTime));
    EXPECT_EQ(ReadDeepMarker(marker, copy, L"{D2}", L"CreateTime"), vw::FormatDateTime(second.CreateTime));

    // Another binding's stamp in the deep marker stops the run.
    ASSERT_TRUE(WriteMarker(copy, L"{D1}", L"CreateTime", L"2023-11-30 17:45:12"));
    ASSERT_TRUE(SetFileAttributesW(Extended(marker).c_str(), FILE_ATTRIBUTE_NORMAL));
    ASSERT_TRUE(vwtest::WriteFileBytes(Extended(marker), vwtest::ReadFileBytes(copy)));
    EXPECT_FALSE(fx.Init(first));
    EXPECT_EQ(fx.context.lastError.load(), static_cast<uint32_t>(vw::ERR_DEST_FOLDER_MISSING));
    EXPECT_TRUE(fx.Init(second)) << "the other task's section still holds";
}

TEST(Destination, FatVolumeNames)
{
    const std::pair<const wchar_t*, bool> cases[] = {
        {L"FAT", true},   {L"fat32", true}, {L"FAT32", true}, {L"exFAT", true}, {L"EXFAT", true},
        {L"NTFS", false}, {L"ext4", false}, {L"", false},     {L"FAT16", false}, {L"FA", false},
    };
    for (const auto& [name, fat] : cases)
        EXPECT_EQ(vw::IsFatVolume(name), fat) << vw::WideToUtf8(name);
}

TEST(Destination, UnwritableMarkerLetsTheFirstRunGoOnUnstamped)
{
    // (A read-only marker would do on Windows; Wine running as root writes it all the same.)
    for (const bool asFolder : {false, true}) {
        SCOPED_TRACE(asFolder ? "folder named like the marker" : "marker locked by another program");
        vwtest::ScratchFolder scratch(vwtest::kDiskM, L"unwritable");
        TaskFixture fx(L"unwritable");
        CreateDirectoryW((scratch / L"Src").c_str(), nullptr);
        const std::wstring dest = scratch / L"Dest\\";
        const std::wstring marker = dest + kMarker;
        CreateDirectoryW(dest.c_str(), nullptr);
        vw::UniqueFile lock;
        if (asFolder) {
            ASSERT_TRUE(CreateDirectoryW(marker.c_str(), nullptr));
        } else {
            ASSERT_TRUE(vwtest::WriteFileBytes(marker, "[Other]\r\nKey=1\r\n"));
            lock.reset(CreateFileW(marker.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
            ASSERT_TRUE(lock);
        }
        auto& task = fx.AddTask(L"{I1}", scratch / L"Src", dest);

        EXPECT_TRUE(fx.Init(task));
        EXPECT_EQ(fx.context.lastError.load(), 0u);
        EXPECT_EQ(fx.context.flags.load(), vw::kFlagDestNewlyBound);
        EXPECT_TRUE(task.CreateTime.IsNever());
        EXPECT_EQ(fx.Stored(task, L"CreateTime"), L"2000-01-01 00:00:00");
        EXPECT_TRUE(IsFolder(dest + kHistory));
        lock.reset();
        if (!asFolder) {
            EXPECT_EQ(vwtest::ReadFileBytes(marker), "[Other]\r\nKey=1\r\n");
            EXPECT_EQ(AttributesBesideArchive(marker), 0u);
        }

        // That run completes; the next one finds no stamp of the task's.
        task.SetLastTime(Stamp(2024, 3, 6, 9, 0, 0), true);
        EXPECT_FALSE(fx.Init(task));
        EXPECT_EQ(fx.context.lastError.load(), static_cast<uint32_t>(vw::ERR_DEST_FOLDER_MISSING));
        EXPECT_TRUE(task.CreateTime.IsNever());
    }
}

TEST(Destination, ResetTaskBindsItsDestinationAfresh)
{
    for (const bool deleted : {true, false}) {
        SCOPED_TRACE(deleted ? "destination deleted" : "destination kept");
        vwtest::ScratchFolder scratch(vwtest::kDiskM, L"reset");
        TaskFixture fx(L"reset");
        CreateDirectoryW((scratch / L"Src").c_str(), nullptr);
        const std::wstring dest = scratch / L"Dest\\";
        auto& task = fx.AddTask(L"{J1}", scratch / L"Src", dest);
        const DateTime old = Stamp(2023, 1, 1, 0, 0, 0);
        MakeBound(task, dest, old);
        ASSERT_TRUE(vwtest::WriteFileBytes(dest + L"kept.txt", "data"));
        if (deleted) {
            ASSERT_TRUE(vwtest::RemoveTree(dest));
            EXPECT_FALSE(fx.Init(task));
            EXPECT_EQ(fx.context.lastError.load(), static_cast<uint32_t>(vw::ERR_DEST_FOLDER_MISSING));
        }

        task.SetLastTime(DateTime::Never(), true);
        ASSERT_TRUE(fx.Init(task));
        EXPECT_EQ(fx.context.flags.load(), vw::kFlagDestNewlyBound);
        EXPECT_NE(task.CreateTime, old);
        EXPECT_FALSE(task.CreateTime.IsNever());
        EXPECT_EQ(ReadMarker(dest + kMarker, L"{J1}", L"CreateTime"), vw::FormatDateTime(task.CreateTime));
        EXPECT_EQ(fx.Stored(task, L"CreateTime"), vw::FormatDateTime(task.CreateTime));
        EXPECT_EQ(AttributesBesideArchive(dest + kMarker), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
        EXPECT_TRUE(IsFolder(dest + kHistory));
        // Binding leaves what the folder holds alone.
        EXPECT_EQ(vwtest::FileExists(dest + L"kept.txt"), !deleted);
    }
}

// A folder of one name on several test drives ("<letter>:\<name>\"), removed from all of them at the end.
class FolderOnDrives {
public:
    explicit FolderOnDrives(const std::wstring& tag)
    {
        static int counter = 0;
        name_ = vw::Format(L"%s-%lu-%d", tag.c_str(), GetCurrentProcessId(), ++counter);
        Remove();
    }
    ~FolderOnDrives() { Remove(); }

    std::wstring On(wchar_t letter) const { return vw::Format(L"%c:\\%s\\", letter, name_.c_str()); }
    // The same folder through the drive's backing folder on Z:, so it can move between "disks".
    std::wstring Backing(wchar_t letter) const { return vwtest::DriveBackingFolder(letter) + L"\\" + name_; }

private:
    void Remove() const
    {
        for (const wchar_t letter : {vwtest::kDiskM, vwtest::kDiskN, vwtest::kDiskO})
            vwtest::RemoveTree(On(letter));
    }
    std::wstring name_;
};

// Copies the destination folder's marker to the same path on another drive.
void CopyMarker(const std::wstring& fromFolder, const std::wstring& toFolder)
{
    ASSERT_TRUE(vwtest::WriteFileBytes(toFolder + L"placeholder", ""));
    ASSERT_TRUE(CopyFileW((fromFolder + kMarker).c_str(), (toFolder + kMarker).c_str(), FALSE));
}

TEST(DriveFollow, FindsTheDestinationUnderAnotherLetter)
{
    FolderOnDrives folder(L"follow");
    TaskFixture fx(L"follow");
    const std::wstring source = folder.On(vwtest::kDiskM) + L"Src";
    ASSERT_TRUE(vwtest::WriteFileBytes(source + L"\\a.txt", "a"));
    const std::wstring dest = folder.On(vwtest::kDiskN) + L"Backup\\Docs";
    auto& task = fx.AddTask(L"{K1}", source, dest);
    ASSERT_TRUE(fx.Init(task));
    task.SetLastTime(Stamp(2024, 3, 6, 9, 0, 0), true);
    const DateTime created = task.CreateTime;

    // The disk comes back as O:.
    ASSERT_TRUE(CreateDirectoryW(folder.Backing(vwtest::kDiskO).c_str(), nullptr));
    ASSERT_TRUE(MoveFileW((folder.Backing(vwtest::kDiskN) + L"\\Backup").c_str(),
                          (folder.Backing(vwtest::kDiskO) + L"\\Backup").c_str()));
    const std::wstring moved = folder.On(vwtest::kDiskO) + L"Backup\\Docs\\";
    ASSERT_TRUE(vwtest::FileExists(moved + kMarker));

    // Not allowed to follow: the run cannot start, and nothing changes.
    task.RemoveFollow = 0;
    {
        fx.context.flags = 0;
        CBackupEngine engine(task, fx.context);
        EXPECT_FALSE(engine.Init());
        EXPECT_EQ(fx.context.lastError.load(), static_cast<uint32_t>(vw::ERR_DEST_FOLDER_MISSING));
        EXPECT_EQ(engine.DestFolder(), dest + L"\\");
        EXPECT_EQ(task.Dest, dest);
        EXPECT_EQ(fx.context.flags.load(), 0);
    }

    task.RemoveFollow = 1;
    fx.context.lastError = 0;
    fx.context.flags = 0;
    CBackupEngine engine(task, fx.context);
    ASSERT_TRUE(engine.Init());
    EXPECT_EQ(fx.context.lastError.load(), 0u);
    EXPECT_EQ(fx.context.flags.load(), vw::kFlagDestLetterChanged);
    EXPECT_EQ(engine.DestFolder(), moved);
    EXPECT_EQ(engine.WorkFolder(), moved + L"_TEMP\\");
    EXPECT_EQ(engine.HistoryFolder(), moved + kHistory + L"\\");
    EXPECT_EQ(engine.MarkerFile(), moved + kMarker);
    EXPECT_EQ(engine.SourceFolder(), source + L"\\");
    EXPECT_EQ(task.Dest, moved);
    EXPECT_EQ(task.CreateTime, created);

    // What the profile holds loads as the new destination.
    vw::CBackupItem reloaded(fx.profile, fx.settings, 20001);
    reloaded.index = task.index;
    ASSERT_TRUE(reloaded.LoadKey(vw::TaskKey::Dest));
    EXPECT_EQ(reloaded.Dest, folder.On(vwtest::kDiskO) + L"Backup\\Docs");
}

TEST(DriveFollow, LowestLetterCarryingTheStampWins)
{
    FolderOnDrives folder(L"lowest");
    TaskFixture fx(L"lowest");
    const std::wstring source = folder.On(vwtest::kDiskN) + L"Src";
    ASSERT_TRUE(CreateDirectoryW(folder.On(vwtest::kDiskN).c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(source.c_str(), nullptr));
    const std::wstring destN = folder.On(vwtest::kDiskN) + L"Backup\\";
    auto& task = fx.AddTask(L"{L1}", source, destN);
    ASSERT_TRUE(fx.Init(task));
    task.SetLastTime(Stamp(2024, 3, 6, 9, 0, 0), true);

    // O: carries the same folder and marker, and M: too; N: lost its marker.
    CopyMarker(destN, folder.On(vwtest::kDiskO) + L"Backup\\");
    CopyMarker(destN, folder.On(vwtest::kDiskM) + L"Backup\\");
    ASSERT_TRUE(DeleteFileW((destN + kMarker).c_str()));

    ASSERT_TRUE(fx.Init(task));
    EXPECT_EQ(task.Dest, folder.On(vwtest::kDiskM) + L"Backup\\");
    EXPECT_EQ(fx.context.flags.load(), vw::kFlagDestLetterChanged);
}

TEST(DriveFollow, NeverFollowsIntoTheSourceFolder)
{
    FolderOnDrives folder(L"insrc");
    TaskFixture fx(L"insrc");
    // Source M:\<name>\Src\, destination N:\<name>\Src\Backup\: on M: that path lies in the source.
    const std::wstring source = folder.On(vwtest::kDiskM) + L"Src";
    ASSERT_TRUE(vwtest::WriteFileBytes(source + L"\\a.txt", "a"));
    const std::wstring destN = folder.On(vwtest::kDiskN) + L"Src\\Backup\\";
    auto& task = fx.AddTask(L"{M1}", source, destN);
    ASSERT_TRUE(fx.Init(task));
    task.SetLastTime(Stamp(2024, 3, 6, 9, 0, 0), true);

    CopyMarker(destN, folder.On(vwtest::kDiskM) + L"Src\\Backup\\");
    ASSERT_TRUE(vwtest::RemoveTree(destN));
    {
        fx.context.flags = 0;
        CBackupEngine engine(task, fx.context);
        EXPECT_FALSE(engine.Init());
        EXPECT_EQ(fx.context.lastError.load(), static_cast<uint32_t>(vw::ERR_DEST_FOLDER_MISSING));
        EXPECT_EQ(engine.DestFolder(), destN);
        EXPECT_EQ(task.Dest, destN);
        EXPECT_EQ(fx.context.flags.load(), 0);
    }

    // A higher letter outside the source is taken.
    CopyMarker(folder.On(vwtest::kDiskM) + L"Src\\Backup\\", folder.On(vwtest::kDiskO) + L"Src\\Backup\\");
    ASSERT_TRUE(fx.Init(task));
    EXPECT_EQ(task.Dest, folder.On(vwtest::kDiskO) + L"Src\\Backup\\");
}

TEST(DriveFollow, TaskWithoutStampTakesTheFirstMarkerWithItsSection)
{
    FolderOnDrives folder(L"nostamp");
    TaskFixture fx(L"nostamp");
    const std::wstring source = folder.On(vwtest::kDiskM) + L"Src";
    ASSERT_TRUE(vwtest::WriteFileBytes(source + L"\\a.txt", "a"));
    const std::wstring destN = folder.On(vwtest::kDiskN) + L"Backup\\";
    auto& task = fx.AddTask(L"{N1}", source, destN);
    task.SetLastTime(Stamp(2024, 3, 6, 9, 0, 0), true);
    const std::wstring destO = folder.On(vwtest::kDiskO) + L"Backup\\";
    ASSERT_TRUE(vwtest::WriteFileBytes(destO + L"placeholder", ""));
    ASSERT_TRUE(WriteMarker(destO + kMarker, L"{N1}", L"CreateTime", L"2020-02-29 12:00:00"));

    ASSERT_TRUE(fx.Init(task));
    EXPECT_EQ(task.Dest, destO);
    EXPECT_EQ(task.CreateTime, Stamp(2020, 2, 29, 12, 0, 0));
    EXPECT_EQ(fx.Stored(task, L"CreateTime"), L"2020-02-29 12:00:00");
}

}  // namespace
