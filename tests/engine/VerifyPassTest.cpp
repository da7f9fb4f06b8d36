// Verify on real folders: damage put in the backup by hand, with its time and size put back.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <thread>

#include "engine/FileOps.h"
#include "engine/SystemErrorText.h"
#include "engine/VerifyPass.h"
#include "support/EngineFixture.h"
#include "support/TreeSnapshot.h"
#include "win/Format.h"
#include "win/UniqueHandle.h"

namespace {

using namespace vwtest;

constexpr uint64_t kMiB = 1 << 20;


class VerifyPass : public EngineFixture {
protected:
    explicit VerifyPass(wchar_t destDrive = kDiskM) : EngineFixture(destDrive) {}

    // One verify run as the worker makes it; `passed` is what the pass gave.
    vw::VerifyCounts Verify(bool repair = false, bool* passed = nullptr)
    {
        context.filesFailed = 0;
        vw::CBackupEngine engine(task, context);
        EXPECT_TRUE(engine.InitForReading(true)) << vw::WideToUtf8(vw::SystemErrorText(context.lastError.load()));
        vw::VerifyPass pass(engine, context, repair);
        const bool ran = pass.Run();
        if (passed)
            *passed = ran;
        else
            EXPECT_TRUE(ran);
        return pass.Counts();
    }

    bool Says(const std::wstring& line) const { return context.StatusHistory().find(line) != std::wstring::npos; }
};

TEST_F(VerifyPass, FindsEachKindOfDifferenceAndWritesNothing)
{
    Put(Src(L"same.txt"), "unchanged");
    Put(Src(L"flipped-first.txt"), "0123456789");
    ASSERT_TRUE(WriteFileOfSize(Src(L"deep\\big.bin"), 5 * kMiB / 2));  // the damage sits in its third chunk
    ASSERT_TRUE(SetLastWriteTime(Src(L"deep\\big.bin"), FileTimeFromLocal(2021, 3, 4, 10, 20, 30)));
    Put(Src(L"deleted.txt"), "gone from the backup");
    Put(Src(L"now-a-folder.txt"), "a folder took its place");
    Put(Src(L"lost-folder\\one.txt"), "1");
    Put(Src(L"lost-folder\\two.txt"), "2");
    Put(Src(L"edited-since.txt"), "v1");
    ASSERT_TRUE(Backup());
    ASSERT_EQ(context.filesFailed.load(), 0);

    ASSERT_TRUE(DamageKeepingStamp(Dst(L"flipped-first.txt"), 0, "X"));
    ASSERT_TRUE(DamageKeepingStamp(Dst(L"deep\\big.bin"), 5 * kMiB / 2 - 1, "X"));
    ASSERT_TRUE(DeleteFileW(Dst(L"deleted.txt").c_str()));
    ASSERT_TRUE(DeleteFileW(Dst(L"now-a-folder.txt").c_str()));
    ASSERT_TRUE(CreateDirectoryW(Dst(L"now-a-folder.txt").c_str(), nullptr));
    ASSERT_TRUE(RemoveTree(Dst(L"lost-folder")));
    Put(Dst(L"only-in-backup.txt"), "extra");
    Put(Dst(L"extra-folder\\x.txt"), "extra too");
    Put(Src(L"edited-since.txt"), "v2", 1);

    const auto sourceBefore = TreeContents(Src());
    const auto destBefore = TreeContents(Dst());
    const vw::VerifyCounts counts = Verify();
    EXPECT_EQ(TreeContents(Src()), sourceBefore) << "verify reads the source only";
    EXPECT_EQ(TreeContents(Dst()), destBefore) << "verify reads the backup only";

    EXPECT_EQ(counts.same, 1);
    EXPECT_EQ(counts.altered, 2);
    EXPECT_EQ(counts.missing, 4);
    EXPECT_EQ(counts.outdated, 1);
    EXPECT_EQ(counts.extra, 2);
    EXPECT_EQ(counts.unreadable, 0);
    EXPECT_EQ(context.filesFailed.load(), 7) << "extra files lose nothing and are left out";

    const struct {
        std::wstring line;
    } lines[] = {
        {L"备份文件“" + Dst(L"flipped-first.txt") + L"”的内容与源文件不同（时间和大小都相同）"},
        {L"备份文件“" + Dst(L"deep\\big.bin") + L"”的内容与源文件不同"},
        {L"备份中缺少文件“" + Src(L"deleted.txt") + L"”"},
        {L"备份中缺少文件“" + Src(L"now-a-folder.txt") + L"”"},
        {L"备份中缺少文件“" + Src(L"lost-folder\\one.txt") + L"”"},
        {L"备份中缺少文件“" + Src(L"lost-folder\\two.txt") + L"”"},
        {L"源文件“" + Src(L"edited-since.txt") + L"”在上次备份后已被修改，下次备份时会复制"},
        {L"只在备份中存在的文件“" + Dst(L"only-in-backup.txt") + L"”"},
        {L"只在备份中存在的文件“" + Dst(L"extra-folder\\x.txt") + L"”"},
    };
    for (const auto& expected : lines)
        EXPECT_TRUE(Says(expected.line)) << vw::WideToUtf8(expected.line) << "\n" << vw::WideToUtf8(context.StatusHistory());
    EXPECT_FALSE(Says(L"_历史文件")) << "the program's own entries are not the user's extras";
    EXPECT_EQ(vw::VerifySummary(L"T", L"完成", counts),
              L"校验任务“T”的备份完成：1个文件相同，4个文件在备份中缺少，2个文件内容与源文件不同，"
              L"1个文件在上次备份后已被修改，2个文件只在备份中存在");
}

TEST_F(VerifyPass, RepairCopiesADamagedFileAgainWithoutKeepingTheDamageInHistory)
{
    Put(Src(L"a.txt"), "the right bytes");
    Put(Src(L"sub\\b.txt"), "also right");
    ASSERT_TRUE(Backup());
    ASSERT_TRUE(DamageKeepingStamp(Dst(L"sub\\b.txt"), 3, "??"));
    SetFileAttributesW(Dst(L"sub\\b.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    const FILETIME stamp = GetLastWriteTime(Src(L"sub\\b.txt"));

    const vw::VerifyCounts repaired = Verify(true);
    EXPECT_EQ(repaired.altered, 1);
    EXPECT_EQ(repaired.repaired, 1);
    EXPECT_EQ(repaired.Mismatches(), 0);
    EXPECT_EQ(context.filesFailed.load(), 0) << "a repaired backup matches";
    EXPECT_TRUE(Says(L"已重新复制备份文件“" + Dst(L"sub\\b.txt") + L"”"));
    EXPECT_EQ(ReadFileBytes(Dst(L"sub\\b.txt")), "also right");
    EXPECT_TRUE(SameFileTime(GetLastWriteTime(Dst(L"sub\\b.txt")), stamp));
    EXPECT_FALSE(FileExists(Hist(L"sub\\b.txt"))) << "a damaged copy is no previous version";
    EXPECT_TRUE(!vw::FolderExists(Dst(L"_TEMP")) || vw::FolderIsEmpty(Dst(L"_TEMP")));

    const vw::VerifyCounts again = Verify();
    EXPECT_EQ(again.same, 2);
    EXPECT_EQ(again.Mismatches(), 0);
}

TEST_F(VerifyPass, AFileItCannotReadIsCountedAndNamed)
{
    Put(Src(L"locked.txt"), "locked");
    Put(Src(L"open.txt"), "open");
    ASSERT_TRUE(Backup());
    // Another program holds the backup's copy without sharing it.
    vw::UniqueFile lock(CreateFileW(Dst(L"locked.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock);

    const vw::VerifyCounts counts = Verify();
    EXPECT_EQ(counts.unreadable, 1);
    EXPECT_EQ(counts.same, 1);
    EXPECT_EQ(context.filesFailed.load(), 1);
    EXPECT_TRUE(Says(L"无法校验“" + Dst(L"locked.txt") + L"”：" + vw::SystemErrorText(ERROR_SHARING_VIOLATION)));
}

TEST_F(VerifyPass, NeedsATaskThatWasBackedUpAndMakesNoDestination)
{
    Put(Src(L"a.txt"), "a");
    vw::CBackupEngine engine(task, context);
    EXPECT_FALSE(engine.InitForReading(true));
    EXPECT_EQ(context.lastError.load(), static_cast<uint32_t>(vw::ERR_NEVER_BACKED_UP));
    EXPECT_FALSE(vw::FolderExists(Dst())) << "a verify binds no destination";

    ASSERT_TRUE(Backup());
    ASSERT_TRUE(RemoveTree(Dst()));
    EXPECT_FALSE(engine.InitForReading(true));
    EXPECT_EQ(context.lastError.load(), static_cast<uint32_t>(vw::ERR_DEST_FOLDER_MISSING));
    EXPECT_FALSE(vw::FolderExists(Dst()));
}

TEST_F(VerifyPass, AStopEndsItWithinTheFileItReads)
{
    ASSERT_TRUE(WriteFileOfSize(Src(L"big.bin"), 8 * kMiB));
    ASSERT_TRUE(Backup());
    settings.Speed = 100;  // 300 ms a chunk, as a slowed copy
    std::thread stopper([&] {
        Sleep(500);
        context.stopFlag = 1;
        context.cancelFlag = 1;
    });
    const ULONGLONG start = GetTickCount64();
    const vw::VerifyCounts counts = Verify();
    stopper.join();
    EXPECT_LT(GetTickCount64() - start, 2000u) << "eight chunks would take 2.4 s";
    EXPECT_EQ(counts.same, 0);
    EXPECT_EQ(counts.Mismatches(), 0) << "a file not read to its end is not a finding";
    EXPECT_EQ(context.copying.load(), 0);
}

class FullDiskVerify : public VerifyPass {
protected:
    FullDiskVerify() : VerifyPass(kFullDisk) {}
};

TEST_F(FullDiskVerify, ARepairWithoutRoomEndsTheRunAndKeepsTheDamagedCopy)
{
    if (!DriveAvailable(kFullDisk))
        GTEST_SKIP() << "no full-disk drive: mounting a tmpfs was refused here";
    ASSERT_TRUE(WriteFileOfSize(Src(L"big.bin"), 5 * kMiB / 2));
    ASSERT_TRUE(Backup());
    ASSERT_TRUE(DamageKeepingStamp(Dst(L"big.bin"), 0, "X"));
    const std::string damaged = ReadFileBytes(Dst(L"big.bin"));

    bool passed = true;
    const vw::VerifyCounts counts = Verify(true, &passed);
    EXPECT_FALSE(passed) << "a full disk ends the run";
    EXPECT_EQ(context.lastError.load(), static_cast<uint32_t>(ERROR_DISK_FULL));
    EXPECT_EQ(counts.repaired, 0);
    EXPECT_EQ(context.filesFailed.load(), 1);
    EXPECT_TRUE(Says(L"无法重新复制备份文件“" + Dst(L"big.bin") + L"”"));
    EXPECT_EQ(ReadFileBytes(Dst(L"big.bin")), damaged) << "the copy in place stays whole";
    EXPECT_TRUE(!vw::FolderExists(Dst(L"_TEMP")) || vw::FolderIsEmpty(Dst(L"_TEMP")));
}

}  // namespace
