#include <gtest/gtest.h>

#include <thread>

#include "engine/FileOps.h"
#include "support/EngineFixture.h"
#include "win/Format.h"

namespace {

using namespace vwtest;

class CleanPass : public EngineFixture {
protected:
    bool Clean()
    {
        context.cleaningRun = 1;
        context.filesDone = 0;
        context.freedBytes = 0;
        vw::CBackupEngine engine(task, context);
        return engine.Init() && engine.CleanPass();
    }
};

TEST_F(CleanPass, WithoutHistoryDeletesOrphansAndTheirEmptiedFolders)
{
    task.History = 0;
    ASSERT_TRUE(WriteFileBytes(Src(L"stay.txt"), "stay"));
    ASSERT_TRUE(WriteFileBytes(Src(L"old\\gone.txt"), std::string(1536, 'g')));
    ASSERT_TRUE(WriteFileBytes(Src(L"dropped.txt"), std::string(100, 'd')));
    CreateDirectoryW(Src(L"emptied").c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(Src(L"emptied\\x.txt"), "x"));
    ASSERT_TRUE(Backup());

    DeleteFileW(Src(L"old\\gone.txt").c_str());
    RemoveDirectoryW(Src(L"old").c_str());
    DeleteFileW(Src(L"dropped.txt").c_str());
    DeleteFileW(Src(L"emptied\\x.txt").c_str());  // the source folder stays, empty
    ASSERT_TRUE(Backup());
    ASSERT_TRUE(FileExists(Dst(L"dropped.txt"))) << "a backup without history removes nothing";

    ASSERT_TRUE(Clean());
    EXPECT_FALSE(FileExists(Dst(L"dropped.txt")));
    EXPECT_FALSE(vw::FolderExists(Dst(L"old")));
    EXPECT_TRUE(vw::FolderExists(Dst(L"emptied"))) << "its source folder still exists";
    EXPECT_TRUE(FileExists(Dst(L"stay.txt")));
    EXPECT_EQ(context.filesDone.load(), 3);
    EXPECT_EQ(context.freedBytes.load(), 1536u + 100u + 1u);
    EXPECT_EQ(vw::FormatByteSize(context.freedBytes.load()), L"1.60KB");
}

TEST_F(CleanPass, EmptiesHistoryButKeepsTheFolder)
{
    ASSERT_TRUE(WriteFileBytes(Src(L"a.txt"), "one"));
    ASSERT_TRUE(Backup());
    ASSERT_TRUE(WriteFileBytes(Src(L"a.txt"), "two!"));
    ASSERT_TRUE(SetLastWriteTime(Src(L"a.txt"), FileTimeFromLocal(2030, 1, 1, 0, 0, 0)));
    ASSERT_TRUE(WriteFileBytes(Src(L"deep\\b.txt"), "bb"));
    ASSERT_TRUE(Backup());
    DeleteFileW(Src(L"deep\\b.txt").c_str());
    RemoveDirectoryW(Src(L"deep").c_str());
    ASSERT_TRUE(Backup());
    ASSERT_TRUE(FileExists(Hist(L"a.txt")));
    ASSERT_TRUE(FileExists(Hist(L"deep\\b.txt")));

    ASSERT_TRUE(Clean());
    EXPECT_TRUE(vw::FolderExists(Hist()));
    EXPECT_TRUE(vw::FolderIsEmpty(Hist()));
    EXPECT_EQ(context.filesDone.load(), 2);
    EXPECT_EQ(context.freedBytes.load(), 3u + 2u);
    EXPECT_EQ(ReadFileBytes(Dst(L"a.txt")), "two!");
}

TEST_F(CleanPass, ReadOnlyOrphanStaysUncounted)
{
    task.History = 0;
    ASSERT_TRUE(WriteFileBytes(Src(L"ro.txt"), "read-only"));
    ASSERT_TRUE(Backup());
    DeleteFileW(Src(L"ro.txt").c_str());
    ASSERT_TRUE(SetFileAttributesW(Dst(L"ro.txt").c_str(), FILE_ATTRIBUTE_READONLY));

    ASSERT_TRUE(Clean());
    EXPECT_TRUE(FileExists(Dst(L"ro.txt")));
    EXPECT_EQ(context.filesDone.load(), 0);
    EXPECT_EQ(context.freedBytes.load(), 0u);
}

TEST_F(CleanPass, StopLeavesWhatWasDeletedCounted)
{
    task.History = 0;
    for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(WriteFileBytes(Src(vw::Format(L"f%02d.txt", i)), "x"));
    ASSERT_TRUE(Backup());
    for (int i = 0; i < 40; ++i)
        DeleteFileW(Src(vw::Format(L"f%02d.txt", i)).c_str());

    // The walk holds at its first pause checkpoint; the stop releases it, the entry in hand is
    // finished and the walk ends at the next one.
    context.cleaningRun = 1;
    context.filesDone = 0;
    vw::CBackupEngine engine(task, context);
    ASSERT_TRUE(engine.Init());
    task.state = vw::kTaskPaused;
    std::thread stopper([&] {
        Sleep(200);
        context.stopFlag = 1;
    });
    EXPECT_TRUE(engine.CleanPass()) << "once started, cleaning reports success";
    stopper.join();
    int remaining = 0;
    for (int i = 0; i < 40; ++i)
        remaining += FileExists(Dst(vw::Format(L"f%02d.txt", i))) ? 1 : 0;
    EXPECT_EQ(remaining, 39);
    EXPECT_EQ(context.filesDone.load(), 40 - remaining);
}

TEST(FormatByteSize, Units)
{
    const struct {
        uint64_t bytes;
        const wchar_t* text;
    } cases[] = {
        {0, L"0.00字节"},
        {1024, L"1024.00字节"},
        {1025, L"1.00KB"},
        {1536, L"1.50KB"},
        {1048576, L"1024.00KB"},
        {1048577, L"1.00MB"},
        {1073741824, L"1024.00MB"},
        {1099511627776, L"1024.00GB"},
        {1099511627777, L"1.00TB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(vw::FormatByteSize(c.bytes), c.text) << c.bytes;
}

}  // namespace
