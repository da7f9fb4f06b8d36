// Restore on real folders: the whole backup, one folder, previous versions, into an empty and a
// non-empty folder, and what is refused before anything is read.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "engine/FileOps.h"
#include "engine/RestorePass.h"
#include "engine/SystemErrorText.h"
#include "support/EngineFixture.h"
#include "support/TreeSnapshot.h"
#include "win/Format.h"

namespace {

using namespace vwtest;

class RestorePass : public EngineFixture {
protected:
    explicit RestorePass(wchar_t targetDrive = kDiskN) : targets(targetDrive, L"restore") {}

    // One restore run as the worker makes it, the destination checked untouched.
    vw::RestoreCounts Restore(vw::RestoreRequest request, bool* passed = nullptr)
    {
        context.filesFailed = 0;
        const auto destBefore = TreeContents(Dst());
        vw::CBackupEngine engine(task, context);
        EXPECT_TRUE(engine.InitForReading(false));
        vw::RestorePass pass(engine, context, request);
        const bool ran = pass.Run();
        if (passed)
            *passed = ran;
        else
            EXPECT_TRUE(ran) << vw::WideToUtf8(context.StatusHistory());
        EXPECT_EQ(TreeContents(Dst()), destBefore) << "a restore never writes into the backup";
        return pass.Counts();
    }
    vw::RestoreRequest To(const std::wstring& target, std::vector<std::wstring> paths = {}) const
    {
        return vw::RestoreRequest{target, std::move(paths), false, false};
    }
    bool Says(const std::wstring& line) const { return context.StatusHistory().find(line) != std::wstring::npos; }

    // A small backed-up tree: two files at the top, one of them read-only and hidden, and a folder.
    void BackUpATree()
    {
        Put(Src(L"a.txt"), "alpha");
        Put(Src(L"kept.txt"), "read-only and hidden");
        SetFileAttributesW(Src(L"kept.txt").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
        Put(Src(L"docs\\b.txt"), "beta");
        Put(Src(L"docs\\inner\\c.txt"), "gamma");
        CreateDirectoryW(Src(L"empty").c_str(), nullptr);
        ASSERT_TRUE(Backup());
    }

    ScratchFolder targets;
};

TEST_F(RestorePass, TheWholeBackupIntoANewFolderWithTimesAndAttributes)
{
    BackUpATree();
    // The source is the very thing lost.
    ASSERT_TRUE(RemoveTree(Src()));

    const vw::RestoreCounts counts = Restore(To(targets / L"new\\place"));
    EXPECT_EQ(counts.restored, 4);
    EXPECT_EQ(counts.NotRestored(), 0);
    EXPECT_EQ(context.filesFailed.load(), 0);
    std::wstring difference;
    EXPECT_TRUE(SameFiles(ReadTree(Dst()), ReadTree(targets / L"new\\place\\"), &difference))
        << "same names, sizes and times; first difference: " << vw::WideToUtf8(difference);
    EXPECT_EQ(ReadFileBytes(targets / L"new\\place\\docs\\inner\\c.txt"), "gamma");
    EXPECT_TRUE(vw::IsFolder(targets / L"new\\place\\empty")) << "an empty folder of the backup too";
    EXPECT_EQ(GetFileAttributesW((targets / L"new\\place\\kept.txt").c_str()) &
                  (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_FALSE(vw::PathExists(targets / L"new\\place\\_历史文件")) << "the program's own entries stay behind";
    EXPECT_FALSE(vw::PathExists(targets / L"new\\place\\_Vaultwren.ini"));
    EXPECT_EQ(vw::RestoreSummary(L"T", L"完成", targets / L"x", counts),
              L"从任务“T”的备份恢复文件到“" + (targets / L"x") + L"”完成，成功恢复4个文件");
}

TEST_F(RestorePass, NamedFoldersAndFilesOnly)
{
    BackUpATree();
    const vw::RestoreCounts counts = Restore(To(targets / L"some", {L"docs/inner\\", L"a.txt", L"nothing-here.txt"}));
    EXPECT_EQ(counts.restored, 2);
    EXPECT_EQ(counts.failed, 1) << "a path the backup does not have";
    EXPECT_TRUE(Says(L"无法恢复“" + Dst(L"nothing-here.txt") + L"”"));
    EXPECT_EQ(ReadFileBytes(targets / L"some\\docs\\inner\\c.txt"), "gamma");
    EXPECT_EQ(ReadFileBytes(targets / L"some\\a.txt"), "alpha");
    EXPECT_FALSE(FileExists(targets / L"some\\docs\\b.txt")) << "only what was named";
    EXPECT_FALSE(FileExists(targets / L"some\\kept.txt"));
}

TEST_F(RestorePass, PreviousVersionsFromHistoryAndTheFilesThatHaveNone)
{
    Put(Src(L"changed.txt"), "first");
    Put(Src(L"docs\\same.txt"), "never changed");
    Put(Src(L"removed.txt"), "removed later");
    ASSERT_TRUE(Backup());
    Put(Src(L"changed.txt"), "second", 1);
    ASSERT_TRUE(DeleteFileW(Src(L"removed.txt").c_str()));
    ASSERT_TRUE(Backup());
    ASSERT_EQ(ReadFileBytes(Hist(L"changed.txt")), "first");

    vw::RestoreRequest request = To(targets / L"old");
    request.previous = true;
    const vw::RestoreCounts counts = Restore(request);
    EXPECT_EQ(counts.restored, 2);
    EXPECT_EQ(counts.withoutPrevious, 1);
    EXPECT_EQ(ReadFileBytes(targets / L"old\\changed.txt"), "first");
    EXPECT_TRUE(SameFileTime(GetLastWriteTime(targets / L"old\\changed.txt"), GetLastWriteTime(Hist(L"changed.txt"))));
    EXPECT_EQ(ReadFileBytes(targets / L"old\\docs\\same.txt"), "never changed");
    EXPECT_TRUE(Says(L"“" + Dst(L"docs\\same.txt") + L"”在历史文件夹中没有上一版本，恢复的是备份中的版本"));

    // A file removed from the source is in history only: named, it comes back from there.
    request.target = targets / L"removed";
    request.paths = {L"removed.txt"};
    EXPECT_EQ(Restore(request).restored, 1);
    EXPECT_EQ(ReadFileBytes(targets / L"removed\\removed.txt"), "removed later");
}

TEST_F(RestorePass, AnExistingFileStaysUnlessOverwritingWasAsked)
{
    BackUpATree();
    ASSERT_TRUE(WriteFileBytes(targets / L"full\\a.txt", "the user's own"));
    ASSERT_TRUE(WriteFileBytes(targets / L"full\\docs\\b.txt", "also the user's"));
    SetFileAttributesW((targets / L"full\\docs\\b.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(WriteFileBytes(targets / L"full\\unrelated.txt", "not in the backup"));

    const vw::RestoreCounts kept = Restore(To(targets / L"full"));
    EXPECT_EQ(kept.existing, 2);
    EXPECT_EQ(kept.restored, 2);
    EXPECT_EQ(context.filesFailed.load(), 2) << "what was asked for and not restored";
    EXPECT_TRUE(Says(L"“" + (targets / L"full\\a.txt") + L"”已存在，未覆盖"));
    EXPECT_EQ(ReadFileBytes(targets / L"full\\a.txt"), "the user's own");
    EXPECT_EQ(ReadFileBytes(targets / L"full\\docs\\b.txt"), "also the user's");

    vw::RestoreRequest overwrite = To(targets / L"full");
    overwrite.overwrite = true;
    const vw::RestoreCounts replaced = Restore(overwrite);
    EXPECT_EQ(replaced.restored, 4);
    EXPECT_EQ(replaced.NotRestored(), 0);
    EXPECT_EQ(ReadFileBytes(targets / L"full\\a.txt"), "alpha");
    EXPECT_EQ(ReadFileBytes(targets / L"full\\docs\\b.txt"), "beta") << "a read-only file is replaced as well";
    EXPECT_EQ(ReadFileBytes(targets / L"full\\unrelated.txt"), "not in the backup");
    for (const auto& [path, entry] : ReadTree(targets / L"full\\", false))
        EXPECT_EQ(path.find(L"~vaultwren-restore"), std::wstring::npos) << "no work file left behind";
}

TEST_F(RestorePass, PathsLongerThanThePlainLimit)
{
    std::wstring relative;
    for (const wchar_t letter : {L'a', L'b', L'c'})
        relative += std::wstring(90, letter) + L"\\";
    relative += L"deep-file.txt";
    Put(Src(relative), "deep");
    ASSERT_TRUE(Backup());
    const std::wstring target = targets / L"long-" + std::wstring(60, L'x');
    ASSERT_GT((target + L"\\" + relative).size(), 300u);

    EXPECT_EQ(Restore(To(target)).restored, 1);
    EXPECT_EQ(ReadFileBytes(vw::LongPath(target + L"\\" + relative)), "deep");
    EXPECT_EQ(Restore(To(target, {relative})).existing, 1) << "a named file at its long path";
}

TEST(RestoreRequest, RefusedBeforeAnythingIsRead)
{
    const std::wstring dest = L"N:\\backups\\docs\\";
    const struct {
        std::wstring target;
        std::vector<std::wstring> paths;
        uint32_t fault;
    } cases[] = {
        {L"N:\\restored", {}, 0},
        {L"N:\\backups\\docs-restored", {L"a\\b.txt", L"a/c/", L"x"}, 0},
        {L"M:\\", {}, 0},
        {L"N:\\backups\\docs", {}, vw::ERR_RESTORE_TARGET_IN_DEST},
        {L"N:\\backups\\docs\\restored", {}, vw::ERR_RESTORE_TARGET_IN_DEST},
        {L"n:\\BACKUPS\\docs\\_历史文件", {}, vw::ERR_RESTORE_TARGET_IN_DEST},
        {L"N:\\backups", {}, vw::ERR_RESTORE_TARGET_IN_DEST},
        {L"N:\\", {}, vw::ERR_RESTORE_TARGET_IN_DEST},
        {L"restored", {}, vw::ERR_RESTORE_TARGET_UNUSABLE},
        {L"", {}, vw::ERR_RESTORE_TARGET_UNUSABLE},
        {L"N:restored", {}, vw::ERR_RESTORE_TARGET_UNUSABLE},
        {L"N:\\restored\\con", {}, vw::ERR_RESTORE_TARGET_UNUSABLE},
        {L"N:\\restored\"", {}, vw::ERR_RESTORE_TARGET_UNUSABLE},
        {L"N:\\a:b", {}, vw::ERR_RESTORE_TARGET_UNUSABLE},
        {L"N:\\what?", {}, vw::ERR_RESTORE_TARGET_UNUSABLE},
        {L"N:\\restored", {L"..\\outside.txt"}, vw::ERR_RESTORE_PATH_UNUSABLE},
        {L"N:\\restored", {L"a\\..\\..\\b"}, vw::ERR_RESTORE_PATH_UNUSABLE},
        {L"N:\\restored", {L"C:\\Windows"}, vw::ERR_RESTORE_PATH_UNUSABLE},
        {L"N:\\restored", {L"\\root.txt"}, vw::ERR_RESTORE_PATH_UNUSABLE},
        {L"N:\\restored", {L"_历史文件\\a.txt"}, vw::ERR_RESTORE_PATH_UNUSABLE},
        {L"N:\\restored", {L"_Vaultwren.ini"}, vw::ERR_RESTORE_PATH_UNUSABLE},
        {L"N:\\restored", {L""}, vw::ERR_RESTORE_PATH_UNUSABLE},
    };
    for (const auto& c : cases) {
        const vw::RestoreRequest request{c.target, c.paths, false, false};
        EXPECT_EQ(vw::RestoreRequestFault(dest, request), c.fault) << vw::WideToUtf8(c.target);
    }
    EXPECT_EQ(vw::RestorePathWithin(L"a//b/c\\"), L"a\\b\\c");
    EXPECT_EQ(vw::RestorePathWithin(L"deeper\\_历史文件"), L"deeper\\_历史文件") << "the name is the user's below the top";
}

TEST_F(RestorePass, ATargetInsideTheBackupIsRefusedAndNothingIsWritten)
{
    BackUpATree();
    bool passed = true;
    Restore(To(Dst(L"restored")), &passed);
    EXPECT_FALSE(passed);
    EXPECT_EQ(context.lastError.load(), static_cast<uint32_t>(vw::ERR_RESTORE_TARGET_IN_DEST));
    EXPECT_FALSE(vw::PathExists(Dst(L"restored")));
}

class FullDiskRestore : public RestorePass {
protected:
    FullDiskRestore() : RestorePass(kFullDisk) {}
};

TEST_F(FullDiskRestore, ATargetWithoutRoomEndsTheRunWithoutATornFile)
{
    if (!DriveAvailable(kFullDisk))
        GTEST_SKIP() << "no full-disk drive: mounting a tmpfs was refused here";
    ASSERT_TRUE(WriteFileOfSize(Src(L"a-big.bin"), 6 << 20));
    Put(Src(L"b-small.txt"), "small");
    ASSERT_TRUE(Backup());

    bool passed = true;
    const vw::RestoreCounts counts = Restore(To(targets / L"out"), &passed);
    EXPECT_FALSE(passed) << "a full disk ends the run";
    EXPECT_EQ(context.lastError.load(), static_cast<uint32_t>(ERROR_DISK_FULL));
    EXPECT_EQ(counts.failed, 1);
    EXPECT_TRUE(Says(L"无法恢复的文件“" + Dst(L"a-big.bin") + L"”"));
    EXPECT_FALSE(FileExists(targets / L"out\\a-big.bin"));
    // The small file may have come first; whatever is there is whole, and no work file stays.
    for (const auto& [path, entry] : ReadTree(targets / L"out\\", false))
        EXPECT_EQ(path, L"b-small.txt") << "left behind: " << vw::WideToUtf8(path);
    if (FileExists(targets / L"out\\b-small.txt")) {
        EXPECT_EQ(ReadFileBytes(targets / L"out\\b-small.txt"), "small");
    }
}

}  // namespace

namespace {

TEST(DefaultRestoreFolder, ANewFolderNamedAfterTheTaskAndTheDay)
{
    const std::wstring desktop = L"C:\\users\\me\\Desktop";
    const auto none = [](const std::wstring&) { return false; };
    EXPECT_EQ(vw::DefaultRestoreFolder(desktop, L"文档", 2026, 12, 1, none), desktop + L"\\文档 恢复 2026-12-01");
    EXPECT_EQ(vw::DefaultRestoreFolder(desktop + L"\\", L"a/b:c*?", 2026, 1, 31, none),
              desktop + L"\\a_b_c__ 恢复 2026-01-31")
        << "what a folder name cannot hold";

    const std::wstring first = desktop + L"\\文档 恢复 2026-12-01";
    const auto twoTaken = [&](const std::wstring& path) { return path == first || path == first + L" (2)"; };
    EXPECT_EQ(vw::DefaultRestoreFolder(desktop, L"文档", 2026, 12, 1, twoTaken), first + L" (3)");
    EXPECT_EQ(vw::RestoreOpenQuestion(L"D:\\r"), L"文件已恢复到“D:\\r”。\r\n要打开这个文件夹吗？");
}

}  // namespace
