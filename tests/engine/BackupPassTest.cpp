#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "engine/CopyWithProgress.h"
#include "engine/FileOps.h"
#include "engine/FolderListing.h"
#include "engine/RunState.h"
#include "engine/SystemErrorText.h"
#include "support/EngineFixture.h"
#include "support/TreeSnapshot.h"
#include "win/Format.h"
#include "win/UniqueHandle.h"

namespace {

using namespace vwtest;

const FILETIME kOld = FileTimeFromLocal(2021, 3, 4, 10, 20, 30);
const FILETIME kNew = FileTimeFromLocal(2023, 7, 8, 9, 10, 11);

class BackupPass : public EngineFixture {
protected:
    void Put(const std::wstring& path, const std::string& bytes, const FILETIME& time = kOld)
    {
        ASSERT_TRUE(WriteFileBytes(path, bytes)) << vw::WideToUtf8(path);
        ASSERT_TRUE(SetLastWriteTime(path, time));
    }
};

TEST_F(BackupPass, FirstBackupMirrorsTheTreeWithTimes)
{
    Put(Src(L"a.txt"), "alpha");
    Put(Src(L"sub\\deeper\\b.bin"), std::string(70000, 'b'), kNew);
    Put(Src(L"空.txt"), "");
    CreateDirectoryW(Src(L"empty").c_str(), nullptr);
    const FILETIME folderTime = FileTimeFromLocal(2019, 1, 2, 3, 4, 6);
    ASSERT_TRUE(SetLastWriteTime(Src(L"sub"), folderTime));

    ASSERT_TRUE(Backup());

    std::wstring difference;
    EXPECT_TRUE(SameFiles(ReadTree(Src()), ReadTree(Dst()), &difference)) << vw::WideToUtf8(difference);
    EXPECT_EQ(ReadFileBytes(Dst(L"sub\\deeper\\b.bin")), std::string(70000, 'b'));
    EXPECT_TRUE(SameFileTime(GetLastWriteTime(Dst(L"sub")), folderTime)) << "a new folder takes its source's times";
    EXPECT_EQ(context.filesCopied.load(), 3);
    EXPECT_EQ(context.filesFailed.load(), 0);
    EXPECT_TRUE(vw::FolderIsEmpty(Dst(L"_TEMP"))) << "the work folder is empty after a pass";
}

TEST_F(BackupPass, DecidesByLastWriteTimeAndSizeOnly)
{
    Put(Src(L"same.txt"), "source!");
    Put(Src(L"newer-dest.txt"), "old source");
    Put(Src(L"resized.txt"), "12345");
    Put(Src(L"touched.txt"), "abc");
    ASSERT_TRUE(Backup());

    Put(Dst(L"same.txt"), "SOURCE?");                   // same size and time, other content: left alone
    Put(Dst(L"newer-dest.txt"), "newer dest", kNew);    // newer destination: replaced by the older source
    Put(Src(L"resized.txt"), "123456");                 // same time, other size
    Put(Src(L"touched.txt"), "abc", kNew);              // same size, other time
    // Files edited in place in the destination move none of its folders' times: the next run that
    // lists the destination in full (at least once a day) sees them, and decides as for any other.
    ASSERT_TRUE(DeleteFileW(vw::RunStatePath(task.Id).c_str()));
    context.filesCopied = 0;
    ASSERT_TRUE(Backup());

    EXPECT_EQ(ReadFileBytes(Dst(L"same.txt")), "SOURCE?");
    EXPECT_EQ(ReadFileBytes(Dst(L"newer-dest.txt")), "old source");
    EXPECT_TRUE(SameFileTime(GetLastWriteTime(Dst(L"newer-dest.txt")), kOld));
    EXPECT_EQ(ReadFileBytes(Dst(L"resized.txt")), "123456");
    EXPECT_TRUE(SameFileTime(GetLastWriteTime(Dst(L"touched.txt")), kNew));
    EXPECT_EQ(context.filesCopied.load(), 3);
}

TEST_F(BackupPass, TheProgramsOwnNamesAreReservedAtTheTopOnly)
{
    const wchar_t* const names[] = {L"_TEMP", L"_历史文件", L"_vaultwren.INI", L"$Recycle.Bin"};
    for (const wchar_t* name : names) {
        Put(Src(name), "the program's name at the top");
        Put(Src(std::wstring(L"项目\\") + name + L"\\inner.txt"), "a user's folder deeper down");
    }
    // Deeper down, a destination entry of such a name without a source is an orphan like any other.
    Put(Dst(L"项目\\_temp\\x.txt"), "dest only");
    task.History = 1;
    context.filesCopied = 0;
    ASSERT_TRUE(Backup());

    EXPECT_EQ(context.filesCopied.load(), 4) << vw::WideToUtf8(context.StatusHistory());
    for (const wchar_t* name : names) {
        EXPECT_EQ(ReadFileBytes(Dst(std::wstring(L"项目\\") + name + L"\\inner.txt")), "a user's folder deeper down");
        EXPECT_NE(context.StatusHistory().find(vw::Format(L"未备份“%s”", Src(name).c_str())), std::wstring::npos)
            << "the run says what it left out";
    }
    EXPECT_NE(ReadFileBytes(Dst(L"_vaultwren.INI")), "the program's name at the top") << "the marker stays ours";
    EXPECT_FALSE(vw::FolderExists(Dst(L"$Recycle.Bin")));
    EXPECT_EQ(ReadFileBytes(Hist(L"项目\\_temp\\x.txt")), "dest only");
    EXPECT_TRUE(vw::FolderIsEmpty(Dst(L"_TEMP")));
}

TEST_F(BackupPass, ADriveRootSourceLeavesTheSystemsFoldersOut)
{
    // On the drive's root itself: what the system keeps there, and a user's folder of that name deeper down.
    struct Cleanup {
        ~Cleanup()
        {
            DeleteFileW(L"O:\\a.txt");
            for (const wchar_t* folder : {L"O:\\System Volume Information", L"O:\\$RECYCLE.BIN", L"O:\\docs"})
                RemoveTree(folder);
        }
    } cleanup;
    Put(L"O:\\a.txt", "a");
    Put(L"O:\\System Volume Information\\tracking.log", "the system's");
    Put(L"O:\\$RECYCLE.BIN\\S-1-5-21\\deleted.txt", "recycled");
    Put(L"O:\\docs\\System Volume Information\\note.txt", "a user's folder");
    task.Source = L"O:\\";
    context.filesCopied = 0;
    ASSERT_TRUE(Backup());

    EXPECT_EQ(context.filesCopied.load(), 2) << vw::WideToUtf8(context.StatusHistory());
    EXPECT_EQ(ReadFileBytes(Dst(L"docs\\System Volume Information\\note.txt")), "a user's folder");
    for (const wchar_t* skipped : {L"System Volume Information", L"$RECYCLE.BIN"}) {
        EXPECT_FALSE(vw::FolderExists(Dst(skipped)));
        EXPECT_NE(context.StatusHistory().find(vw::Format(L"未备份“O:\\%s”", skipped)), std::wstring::npos);
    }
}

TEST_F(BackupPass, HistoryKeepsReplacedAndRemovedFiles)
{
    Put(Src(L"doc\\report.txt"), "v1");
    Put(Src(L"gone\\old.txt"), "old");
    Put(Src(L"top.txt"), "top");
    ASSERT_TRUE(Backup());

    Put(Src(L"doc\\report.txt"), "v2", kNew);
    ASSERT_TRUE(DeleteFileW(Src(L"gone\\old.txt").c_str()));
    ASSERT_TRUE(RemoveDirectoryW(Src(L"gone").c_str()));
    ASSERT_TRUE(DeleteFileW(Src(L"top.txt").c_str()));
    ASSERT_TRUE(Backup());

    EXPECT_EQ(ReadFileBytes(Dst(L"doc\\report.txt")), "v2");
    EXPECT_EQ(ReadFileBytes(Hist(L"doc\\report.txt")), "v1");
    EXPECT_TRUE(SameFileTime(GetLastWriteTime(Hist(L"doc\\report.txt")), kOld)) << "history keeps the file's times";
    EXPECT_EQ(ReadFileBytes(Hist(L"gone\\old.txt")), "old");
    EXPECT_EQ(ReadFileBytes(Hist(L"top.txt")), "top");
    EXPECT_FALSE(vw::FolderExists(Dst(L"gone"))) << "the folder of a removed source folder goes once empty";

    // A second replacement keeps only the newer previous version.
    Put(Src(L"doc\\report.txt"), "v3!", kOld);
    ASSERT_TRUE(Backup());
    EXPECT_EQ(ReadFileBytes(Dst(L"doc\\report.txt")), "v3!");
    EXPECT_EQ(ReadFileBytes(Hist(L"doc\\report.txt")), "v2");
    EXPECT_TRUE(vw::FolderIsEmpty(Dst(L"_TEMP")));
}

TEST_F(BackupPass, RemovedNestedFoldersGoToHistoryWholeAndTheirFoldersDisappear)
{
    Put(Src(L"keep\\k.txt"), "k");
    Put(Src(L"gone\\a\\b\\deep.txt"), "deep");
    Put(Src(L"gone\\a\\side.txt"), "side");
    CreateDirectoryW(Src(L"gone\\empty").c_str(), nullptr);
    Put(Src(L"keep\\gone-too\\x.txt"), "x");
    ASSERT_TRUE(Backup());

    ASSERT_TRUE(RemoveTree(Src(L"gone")));
    ASSERT_TRUE(RemoveTree(Src(L"keep\\gone-too")));
    ASSERT_TRUE(Backup());

    EXPECT_EQ(ReadFileBytes(Hist(L"gone\\a\\b\\deep.txt")), "deep");
    EXPECT_EQ(ReadFileBytes(Hist(L"gone\\a\\side.txt")), "side");
    EXPECT_EQ(ReadFileBytes(Hist(L"keep\\gone-too\\x.txt")), "x");
    EXPECT_FALSE(vw::FolderExists(Dst(L"gone")));
    EXPECT_FALSE(vw::FolderExists(Dst(L"keep\\gone-too")));
    EXPECT_TRUE(FileExists(Dst(L"keep\\k.txt")));
}

TEST_F(BackupPass, WithoutHistoryNothingIsRemovedAndPreviousVersionsGo)
{
    task.History = 0;
    Put(Src(L"keep.txt"), "v1");
    Put(Src(L"removed.txt"), "still here");
    ASSERT_TRUE(Backup());

    Put(Src(L"keep.txt"), "v2", kNew);
    ASSERT_TRUE(DeleteFileW(Src(L"removed.txt").c_str()));
    ASSERT_TRUE(Backup());

    EXPECT_EQ(ReadFileBytes(Dst(L"keep.txt")), "v2");
    EXPECT_EQ(ReadFileBytes(Dst(L"removed.txt")), "still here");
    EXPECT_FALSE(FileExists(Hist(L"keep.txt")));
    EXPECT_TRUE(vw::FolderIsEmpty(Dst(L"_TEMP")));
}

TEST_F(BackupPass, SourceEqualToDestinationDoesNothing)
{
    Put(Src(L"a.txt"), "a");
    vw::CBackupEngine engine(task, context);
    EXPECT_TRUE(engine.ScanSource(Src(), Src(), Src(L"_历史文件")));
    std::wstring upper = Src();
    CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    EXPECT_TRUE(engine.ScanSource(Src(), upper, Src(L"_历史文件")));
    EXPECT_EQ(context.filesCopied.load(), 0);
}

TEST_F(BackupPass, LockedFileFailsOnceAndIsRetried)
{
    Put(Src(L"locked.txt"), "locked");
    Put(Src(L"free.txt"), "free");
    vw::UniqueFile lock(CreateFileW(Src(L"locked.txt").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock);

    vw::CBackupEngine engine(task, context);
    ASSERT_TRUE(engine.Init());
    ASSERT_TRUE(engine.ScanSource(engine.SourceFolder(), engine.DestFolder(), engine.HistoryFolder()));
    EXPECT_EQ(context.filesFailed.load(), 1);
    EXPECT_EQ(context.lastError.load(), 32u);
    EXPECT_EQ(context.stopFlag.load(), 0) << "a locked file fails only that file";
    ASSERT_EQ(context.retryList.size(), 1u);
    EXPECT_EQ(context.retryList[0]->retry, 1);

    // Still locked at the retry: counted once as failed, not listed again.
    EXPECT_TRUE(engine.RetryFailed());
    EXPECT_EQ(context.filesFailed.load(), 1);
    EXPECT_TRUE(context.retryList.empty());
    EXPECT_FALSE(FileExists(Dst(L"locked.txt")));
}

TEST_F(BackupPass, RetryThatSucceedsCountsAsCopied)
{
    Put(Src(L"locked.txt"), "locked");
    vw::UniqueFile lock(CreateFileW(Src(L"locked.txt").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    vw::CBackupEngine engine(task, context);
    ASSERT_TRUE(engine.Init());
    ASSERT_TRUE(engine.ScanSource(engine.SourceFolder(), engine.DestFolder(), engine.HistoryFolder()));
    ASSERT_EQ(context.filesFailed.load(), 1);

    lock.reset();
    EXPECT_TRUE(engine.RetryFailed());
    EXPECT_EQ(context.filesFailed.load(), 0);
    EXPECT_EQ(context.filesCopied.load(), 1);
    EXPECT_EQ(ReadFileBytes(Dst(L"locked.txt")), "locked");
}

TEST_F(BackupPass, StopDuringTheScanEndsTheWalkAtTheNextEntry)
{
    for (int i = 0; i < 8; ++i)
        Put(Src(vw::Format(L"f%d.bin", i)), std::string(1000, 'x'));
    settings.Speed = 100;  // 300 ms a progress report: the stop lands while a copy runs
    std::thread stopper([&] {
        while (context.filesCopied.load() < 2)
            Sleep(1);
        context.stopFlag = 1;
    });
    vw::CBackupEngine engine(task, context);
    ASSERT_TRUE(engine.Init());
    EXPECT_FALSE(engine.BackupPass());
    stopper.join();
    EXPECT_GE(context.filesCopied.load(), 2);
    EXPECT_LE(context.filesCopied.load(), 3);
}

TEST_F(BackupPass, EmptyPathsFailWithTheConfigurationError)
{
    task.Dest.clear();
    vw::CBackupEngine engine(task, context);
    engine.Init();
    EXPECT_FALSE(engine.BackupPass());
    EXPECT_EQ(context.lastError.load(), vw::ERR_TASK_CONFIG);
}

TEST_F(BackupPass, PreviousVersionIsKeptWhenHistoryCannotTakeIt)
{
    Put(Src(L"a\\doc.txt"), "v1");
    ASSERT_TRUE(Backup());
    // A file where the history folder "a" would have to be created.
    ASSERT_TRUE(vw::CreateFolderTree(Hist()));
    Put(Hist(L"a"), "in the way");
    Put(Src(L"a\\doc.txt"), "v2", kNew);

    ASSERT_TRUE(Backup());

    EXPECT_EQ(ReadFileBytes(Dst(L"a\\doc.txt")), "v2");
    const std::wstring kept = Dst(L"_TEMP\\_历史文件\\a\\doc.txt");
    EXPECT_EQ(ReadFileBytes(kept), "v1") << "the previous version survives the emptying of the work folder";
    EXPECT_NE(context.StatusHistory().find(kept), std::wstring::npos) << "a status line names where it is";

    // A later pass leaves it where it is.
    Put(Src(L"b.txt"), "b");
    ASSERT_TRUE(Backup());
    EXPECT_EQ(ReadFileBytes(kept), "v1");
}

TEST_F(BackupPass, PreviousVersionLeftByAnInterruptedPassIsKept)
{
    Put(Src(L"doc.txt"), "v1");
    ASSERT_TRUE(Backup());
    // As a pass cut off during the copy of doc.txt leaves things: the previous version in the
    // work folder, a partial new file in its place.
    ASSERT_TRUE(vw::CreateFolderTree(Dst(L"_TEMP\\")));
    ASSERT_TRUE(MoveFileW(Dst(L"doc.txt").c_str(), Dst(L"_TEMP\\doc.txt").c_str()));
    Put(Dst(L"doc.txt"), "v2 (part");
    Put(Src(L"doc.txt"), "v2 (whole)", kNew);

    ASSERT_TRUE(Backup());

    EXPECT_EQ(ReadFileBytes(Dst(L"doc.txt")), "v2 (whole)");
    EXPECT_EQ(ReadFileBytes(Dst(L"_TEMP\\_历史文件\\doc.txt")), "v1");
    EXPECT_NE(context.StatusHistory().find(L"上次备份中断时留下的旧版本已保留为"), std::wstring::npos);
}

TEST_F(BackupPass, PreviousVersionSetAsideByACutOffReplaceIsFinished)
{
    Put(Src(L"a\\moved.txt"), "m1");
    Put(Src(L"a\\linked.txt"), "l1");
    Put(Src(L"a\\replaced.txt"), "r1");
    ASSERT_TRUE(Backup());
    Put(Src(L"a\\moved.txt"), "m2", kNew);
    Put(Src(L"a\\linked.txt"), "l2", kNew);
    Put(Src(L"a\\replaced.txt"), "r2", kNew);
    // As passes cut off at the three places a set-aside version can be found: moved out of its
    // real name (a volume without hard links), a second name of the real one, and the previous
    // version of a real name that already holds the new one. A work copy never taken into place.
    const std::wstring aside = Dst(L"_TEMP\\previous\\a\\");
    ASSERT_TRUE(vw::CreateFolderTree(aside));
    ASSERT_TRUE(MoveFileW(Dst(L"a\\moved.txt").c_str(), (aside + L"moved.txt").c_str()));
    ASSERT_TRUE(CreateHardLinkW((aside + L"linked.txt").c_str(), Dst(L"a\\linked.txt").c_str(), nullptr));
    ASSERT_TRUE(MoveFileW(Dst(L"a\\replaced.txt").c_str(), (aside + L"replaced.txt").c_str()));
    Put(Dst(L"a\\replaced.txt"), "r2", kNew);
    Put(Dst(L"_TEMP\\~vaultwren-copy.tmp"), "m2 (part");

    context.filesCopied = 0;
    ASSERT_TRUE(Backup());

    const struct {
        const wchar_t* name;
        const char* dest;
        const char* history;
    } cases[] = {
        {L"moved.txt", "m2", "m1"},
        {L"linked.txt", "l2", "l1"},
        {L"replaced.txt", "r2", "r1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReadFileBytes(Dst(L"a\\") + c.name), c.dest) << vw::WideToUtf8(c.name);
        EXPECT_EQ(ReadFileBytes(Hist(L"a\\") + c.name), c.history) << vw::WideToUtf8(c.name);
    }
    EXPECT_EQ(context.filesCopied.load(), 2) << "replaced.txt was already in place";
    EXPECT_TRUE(vw::FolderIsEmpty(Dst(L"_TEMP")));
}

class FullDiskPass : public EngineFixture {
protected:
    FullDiskPass() : EngineFixture(kFullDisk) {}
};

TEST_F(FullDiskPass, EndsThePassAndPutsThePreviousVersionBack)
{
    if (!DriveAvailable(kFullDisk))
        GTEST_SKIP() << "no full-disk drive: mounting a tmpfs was refused here";
    ASSERT_TRUE(WriteFileBytes(Src(L"big.bin"), std::string(1 << 20, 'o')));
    ASSERT_TRUE(SetLastWriteTime(Src(L"big.bin"), kOld));
    ASSERT_TRUE(WriteFileBytes(Src(L"z-later.txt"), "later"));
    ASSERT_TRUE(Backup());

    ASSERT_TRUE(WriteFileOfSize(Src(L"big.bin"), 6 << 20));
    ASSERT_TRUE(DeleteFileW(Dst(L"z-later.txt").c_str()));
    context.filesCopied = 0;
    EXPECT_FALSE(Backup());

    EXPECT_EQ(context.lastError.load(), 112u);
    EXPECT_EQ(context.stopFlag.load(), 1);
    EXPECT_EQ(ReadFileBytes(Dst(L"big.bin")), std::string(1 << 20, 'o')) << "the previous version is back";
    EXPECT_TRUE(vw::FolderIsEmpty(Dst(L"_TEMP")));
}

TEST(CopyDecision, FatDestinationsCompareTimesWithinTwoSeconds)
{
    const uint64_t second = 10'000'000;
    const vw::FileStamp source{1000 * second, 10};
    const struct {
        const wchar_t* fileSystem;
        uint64_t destTime;
        uint64_t destSize;
        bool differs;
    } cases[] = {
        {L"NTFS", 1000 * second, 10, false},
        {L"NTFS", 1001 * second, 10, true},
        {L"NTFS", 1000 * second + 1, 10, true},
        {L"FAT32", 1001 * second, 10, false},
        {L"fat", 998 * second, 10, false},
        {L"exFAT", 1002 * second, 10, false},
        {L"FAT32", 1002 * second + 1, 10, true},
        {L"FAT32", 1000 * second, 11, true},
    };
    for (const auto& c : cases) {
        const vw::FileStamp dest{c.destTime, c.destSize};
        EXPECT_EQ(vw::StampsDiffer(source, &dest, vw::IsFatVolume(c.fileSystem)), c.differs)
            << vw::WideToUtf8(c.fileSystem) << " " << c.destTime;
    }
    EXPECT_TRUE(vw::StampsDiffer(source, nullptr, true)) << "a missing destination is always copied";
}

}  // namespace
