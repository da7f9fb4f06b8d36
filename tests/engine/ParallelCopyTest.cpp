// A backup pass whose small files are copied on several threads at once: the result, the
// history, the counts, and a full disk, a stop and a pause landing while several copies run.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <thread>
#include <vector>

#include "engine/CBackupEngine.h"
#include "engine/FileOps.h"
#include "support/EngineFixture.h"
#include "support/TestDrives.h"
#include "support/TreeSnapshot.h"
#include "win/Format.h"

namespace {

using namespace vwtest;

using Files = std::map<std::wstring, std::string>;

// Each file below `root` (the program's own names at its top left out) with its bytes.
Files FileBytes(const std::wstring& root)
{
    Files files;
    for (const auto& [path, entry] : ReadTree(root))
        if (!entry.folder)
            files[path] = ReadFileBytes(root + path);
    return files;
}

// What a version of file `i` holds: each file and each version its own bytes, of `size` bytes.
std::string Version(int i, int version, size_t size)
{
    std::string bytes = vw::WideToUtf8(vw::Format(L"file %d version %d;", i, version));
    bytes.resize(size, static_cast<char>('a' + (i + version) % 26));
    return bytes;
}

std::wstring FileName(int i)
{
    return vw::Format(L"d%d\\f%03d.bin", i % 6, i);
}

class ParallelCopies : public EngineFixture {
protected:
    explicit ParallelCopies(wchar_t destDrive = kDiskM) : EngineFixture(destDrive) {}

    // `count` files spread over six folders, each at `version` with `size` bytes.
    void PutFiles(int count, int version, size_t size)
    {
        for (int i = 0; i < count; ++i)
            Put(Src(FileName(i)), Version(i, version, size), version);
    }

    // Every destination file holds the old or the new version of its file, whole; a new one in
    // place has the old one in history. Returns how many hold the new version.
    int ExpectWholeVersions(int count, size_t oldSize, size_t newSize)
    {
        int newInPlace = 0;
        for (int i = 0; i < count; ++i) {
            const std::string held = ReadFileBytes(Dst(FileName(i)));
            const bool isNew = held == Version(i, 1, newSize);
            EXPECT_TRUE(isNew || held == Version(i, 0, oldSize)) << vw::WideToUtf8(FileName(i)) << " holds a whole version";
            if (isNew) {
                ++newInPlace;
                // Or kept in the work folder where history could not take it (a full disk).
                const std::wstring kept = Dst(L"_TEMP\\_历史文件\\" + FileName(i));
                EXPECT_EQ(ReadFileBytes(FileExists(kept) ? kept : Hist(FileName(i))), Version(i, 0, oldSize))
                    << vw::WideToUtf8(FileName(i));
            }
        }
        return newInPlace;
    }
};

TEST(WorkCopyNames, EachCopierHasItsOwnAndThePassStartKnowsThemAll)
{
    EXPECT_EQ(vw::WorkCopyName(0), vw::kWorkCopyName);
    EXPECT_EQ(vw::WorkCopyName(2), L"~vaultwren-copy-2.tmp");
    const struct {
        const wchar_t* name;
        bool workCopy;
    } cases[] = {
        {L"~vaultwren-copy.tmp", true},    {L"~VAULTWREN-COPY.TMP", true},    {L"~vaultwren-copy-1.tmp", true},
        {L"~vaultwren-copy-12.TMP", true}, {L"~vaultwren-copy-.tmp", false},  {L"~vaultwren-copy-x.tmp", false},
        {L"~vaultwren-copy-1.txt", false}, {L"vaultwren-copy-1.tmp", false}, {L"~vaultwren-copy-1.tmp.bak", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(vw::IsWorkCopyName(c.name), c.workCopy) << vw::WideToUtf8(c.name);
}

TEST_F(ParallelCopies, ManySmallFilesEndAsTheSourceWithEveryPreviousVersionInHistory)
{
    constexpr int kFiles = 120;
    PutFiles(kFiles, 0, 3000);
    // One file too large for the copiers between the small ones: it waits for them, then goes alone.
    Put(Src(L"d3\\large.bin"), std::string((2 << 20) + 5, 'L'));
    ASSERT_TRUE(Backup());
    EXPECT_EQ(context.filesCopied.load(), kFiles + 1);
    EXPECT_EQ(FileBytes(Dst()), FileBytes(Src()));

    // Every other file changes; a new folder comes with files of its own.
    for (int i = 0; i < kFiles; i += 2)
        Put(Src(FileName(i)), Version(i, 1, 2000 + static_cast<size_t>(i) * 50), 1);
    for (int i = 0; i < 20; ++i)
        Put(Src(vw::Format(L"new\\inner\\n%02d.txt", i)), Version(i, 2, 700), 2);
    const FILETIME innerTime = FileTimeFromLocal(2019, 6, 7, 8, 9, 10);
    ASSERT_TRUE(SetLastWriteTime(Src(L"new\\inner"), innerTime));
    context.filesCopied = 0;
    ASSERT_TRUE(Backup());

    EXPECT_EQ(context.filesCopied.load(), kFiles / 2 + 20);
    EXPECT_EQ(context.filesFailed.load(), 0);
    std::wstring difference;
    EXPECT_TRUE(SameFiles(ReadTree(Src()), ReadTree(Dst()), &difference)) << vw::WideToUtf8(difference);
    EXPECT_EQ(FileBytes(Dst()), FileBytes(Src()));
    Files previous;
    for (int i = 0; i < kFiles; i += 2)
        previous[FileName(i)] = Version(i, 0, 3000);
    EXPECT_EQ(FileBytes(Hist()), previous) << "history holds exactly the version each changed file replaced";
    EXPECT_TRUE(SameFileTime(GetLastWriteTime(Dst(L"new\\inner")), innerTime))
        << "a folder the pass made takes its source's time after the copies into it";
    EXPECT_TRUE(vw::FolderIsEmpty(Dst(L"_TEMP")));
}

TEST_F(ParallelCopies, ThePassStartDeletesTheWorkCopiesOfEveryCopierAndKeepsOtherLeftovers)
{
    Put(Src(L"a.txt"), "a");
    ASSERT_TRUE(Backup());
    // What a run killed with several copies in flight leaves, and what a much older version left.
    for (const wchar_t* name : {L"~vaultwren-copy.tmp", L"~vaultwren-copy-1.tmp", L"~VAULTWREN-COPY-3.TMP"})
        ASSERT_TRUE(WriteFileBytes(Dst(L"_TEMP\\") + name, "partial copy"));
    ASSERT_TRUE(WriteFileBytes(Dst(L"_TEMP\\a.txt"), "a previous version"));

    ASSERT_TRUE(Backup());

    Tree left;
    for (const auto& [path, entry] : ReadTree(Dst(L"_TEMP\\"), false))
        left[path] = entry.folder ? TreeEntry{true} : TreeEntry{};
    EXPECT_EQ(left, (Tree{{L"_历史文件", TreeEntry{true}}, {L"_历史文件\\a.txt", TreeEntry{}}}))
        << "no partial copy is taken for a previous version";
    EXPECT_EQ(ReadFileBytes(Dst(L"_TEMP\\_历史文件\\a.txt")), "a previous version");
}

TEST_F(ParallelCopies, AStopAmidTheCopiesLeavesWholeVersionsAndTheNextRunEndsTheJob)
{
    constexpr int kFiles = 150;
    constexpr size_t kOld = 1000;
    constexpr size_t kNew = 300 << 10;
    PutFiles(kFiles, 0, kOld);
    ASSERT_TRUE(Backup());
    PutFiles(kFiles, 1, kNew);
    context.filesCopied = 0;

    std::thread stopper([&] {
        while (context.filesCopied.load() < 20)
            Sleep(1);
        context.stopFlag = 1;
    });
    EXPECT_FALSE(Backup());
    stopper.join();

    const int copied = context.filesCopied.load();
    EXPECT_LT(copied, kFiles) << "the stop landed amid the copies";
    EXPECT_EQ(ExpectWholeVersions(kFiles, kOld, kNew), copied) << "each copy counted is in place, and no other";
    EXPECT_EQ(context.filesFailed.load(), 0) << "a cancelled copy is not a failure";
    EXPECT_EQ(context.copying.load(), 0);
    EXPECT_TRUE(vw::FolderIsEmpty(Dst(L"_TEMP"))) << "no work copy is left";

    context.stopFlag = 0;
    context.filesCopied = 0;
    ASSERT_TRUE(Backup());
    EXPECT_EQ(context.filesCopied.load(), kFiles - copied);
    EXPECT_EQ(FileBytes(Dst()), FileBytes(Src()));
    EXPECT_EQ(ExpectWholeVersions(kFiles, kOld, kNew), kFiles);
}

TEST_F(ParallelCopies, APauseHoldsEveryCopierUntilTheRunGoesOn)
{
    constexpr int kFiles = 150;
    PutFiles(kFiles, 0, 64 << 10);
    vw::CBackupEngine engine(task, context);
    ASSERT_TRUE(engine.Init());
    bool passed = false;
    std::thread worker([&] { passed = engine.BackupPass(); });
    while (context.filesCopied.load() < 10)
        Sleep(1);
    task.state = vw::kTaskPaused;
    // The copies in hand end; then nothing moves.
    Sleep(500);
    const int atPause = context.filesCopied.load();
    Sleep(1500);
    EXPECT_EQ(context.filesCopied.load(), atPause) << "no file is copied while the run is paused";
    EXPECT_EQ(context.copying.load(), 0);
    EXPECT_LT(atPause, kFiles);
    task.state = vw::kTaskRunning;
    worker.join();

    EXPECT_TRUE(passed);
    EXPECT_EQ(context.filesCopied.load(), kFiles);
    EXPECT_EQ(FileBytes(Dst()), FileBytes(Src()));
}

class ParallelCopiesOnAFullDisk : public ParallelCopies {
protected:
    ParallelCopiesOnAFullDisk() : ParallelCopies(kFullDisk) {}
};

TEST_F(ParallelCopiesOnAFullDisk, EndTheRunWithTheDisksErrorAndEveryPreviousVersionBack)
{
    if (!DriveAvailable(kFullDisk))
        GTEST_SKIP() << "no full-disk drive: mounting a tmpfs was refused here";
    constexpr int kFiles = 30;
    constexpr size_t kOld = 1000;
    constexpr size_t kNew = 200 << 10;  // 6 MiB in all, on a 4 MiB disk
    PutFiles(kFiles, 0, kOld);
    ASSERT_TRUE(Backup());
    PutFiles(kFiles, 1, kNew);

    // The first pass, and the next one on the same full disk.
    for (const char* pass : {"first pass", "next pass"}) {
        context.stopFlag = 0;
        context.lastError = 0;
        context.filesCopied = 0;
        context.filesFailed = 0;
        EXPECT_FALSE(Backup()) << pass;

        EXPECT_EQ(context.lastError.load(), 112u) << pass << ": the run ends with the full disk, not a copy the stop cancelled";
        EXPECT_EQ(context.stopFlag.load(), 1) << pass;
        EXPECT_GE(context.filesFailed.load(), 1) << pass;
        EXPECT_LE(context.filesCopied.load() + context.filesFailed.load(), kFiles) << pass;
        // Nothing but previous versions history could not take, each named.
        for (const auto& [path, entry] : ReadTree(Dst(L"_TEMP\\"), false)) {
            EXPECT_TRUE(entry.folder || path.starts_with(L"_历史文件\\")) << pass << ": " << vw::WideToUtf8(path);
            if (!entry.folder) {
                EXPECT_NE(context.StatusHistory().find(path), std::wstring::npos) << vw::WideToUtf8(path);
            }
        }
    }
    const int newInPlace = ExpectWholeVersions(kFiles, kOld, kNew);
    EXPECT_GT(newInPlace, 0);
    EXPECT_LT(newInPlace, kFiles);
}

}  // namespace
