// The backup and cleaning passes where the destination or the source is not as the last backup
// left it: an entry that changed kind, read-only copies, a folder that cannot be listed.
#include <gtest/gtest.h>

#include "engine/FileOps.h"
#include "engine/FolderListing.h"
#include "support/EngineFixture.h"
#include "support/TreeSnapshot.h"
#include "win/Format.h"
#include "win/UniqueHandle.h"

namespace {

using namespace vwtest;

class HardenedPass : public EngineFixture {
protected:
    bool BackupCounted()
    {
        context.filesCopied = 0;
        context.filesFailed = 0;
        return Backup();
    }
    bool Clean()
    {
        context.cleaningRun = 1;
        vw::CBackupEngine engine(task, context);
        const bool cleaned = engine.Init() && engine.CleanPass();
        context.cleaningRun = 0;
        return cleaned;
    }
    bool Mirrors()
    {
        std::wstring difference;
        const bool same = SameFiles(ReadTree(Src()), ReadTree(Dst()), &difference);
        EXPECT_TRUE(same) << vw::WideToUtf8(difference);
        return same;
    }
};

// Opens a folder the way another program may hold it: no sharing, so it cannot be listed.
vw::UniqueFile HoldFolder(const std::wstring& folder)
{
    return vw::UniqueFile(CreateFileW(folder.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

TEST_F(HardenedPass, AnEntryThatChangedKindIsARemovalAndAnAddition)
{
    for (const int history : {1, 0}) {
        SCOPED_TRACE(history ? "with history" : "without history");
        task.History = history;
        const std::wstring file = vw::Format(L"was-file-%d", history);
        const std::wstring folder = vw::Format(L"was-folder-%d", history);
        Put(Src(file), "a file");
        Put(Src(folder + L"\\a.txt"), "a");
        Put(Src(folder + L"\\sub\\b.txt"), "b");
        ASSERT_TRUE(BackupCounted());

        ASSERT_TRUE(DeleteFileW(Src(file).c_str()));
        Put(Src(file + L"\\inside.txt"), "now a folder");
        ASSERT_TRUE(RemoveTree(Src(folder)));
        Put(Src(folder), "now a file", 1);
        EXPECT_TRUE(BackupCounted());

        EXPECT_EQ(context.filesFailed.load(), 0);
        EXPECT_EQ(context.filesCopied.load(), 2) << vw::WideToUtf8(context.StatusHistory());
        Mirrors();
        if (history) {
            EXPECT_EQ(ReadFileBytes(Hist(file)), "a file");
            EXPECT_EQ(ReadFileBytes(Hist(folder + L"\\a.txt")), "a");
            EXPECT_EQ(ReadFileBytes(Hist(folder + L"\\sub\\b.txt")), "b");
        } else {
            EXPECT_FALSE(FileExists(Hist(file)));
            EXPECT_FALSE(FileExists(Hist(folder + L"\\a.txt")));
        }
    }
}

TEST_F(HardenedPass, AChangeOfKindThatCannotBeDoneFailsItsFiles)
{
    Put(Src(L"x"), "a file");
    ASSERT_TRUE(BackupCounted());
    ASSERT_TRUE(DeleteFileW(Src(L"x").c_str()));
    Put(Src(L"x\\one.txt"), "1");
    Put(Src(L"x\\deeper\\two.txt"), "2");
    // Another program holds the old file open: it can go neither into history nor away.
    const vw::UniqueFile held(
        CreateFileW(Dst(L"x").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);

    BackupCounted();

    EXPECT_EQ(context.filesFailed.load(), 2) << "never a silent success";
    EXPECT_EQ(ReadFileBytes(Dst(L"x")), "a file");
}

TEST_F(HardenedPass, ReadOnlyFilesAreBackedUpOnEveryChange)
{
    for (const int history : {1, 0}) {
        SCOPED_TRACE(history ? "with history" : "without history");
        task.History = history;
        const std::wstring name = vw::Format(L"ro-%d.txt", history);
        for (int version = 1; version <= 3; ++version) {
            SetFileAttributesW(Src(name).c_str(), FILE_ATTRIBUTE_NORMAL);
            Put(Src(name), vw::WideToUtf8(vw::Format(L"version %d", version)), version);
            ASSERT_TRUE(SetFileAttributesW(Src(name).c_str(), FILE_ATTRIBUTE_READONLY));
            ASSERT_TRUE(BackupCounted());
            EXPECT_EQ(context.filesFailed.load(), 0) << version;
            EXPECT_EQ(context.filesCopied.load(), 1) << version;
            EXPECT_EQ(ReadFileBytes(Dst(name)), vw::WideToUtf8(vw::Format(L"version %d", version)));
            EXPECT_TRUE(GetFileAttributesW(Dst(name).c_str()) & FILE_ATTRIBUTE_READONLY) << "the copy keeps it";
            if (history && version > 1) {
                EXPECT_EQ(ReadFileBytes(Hist(name)), vw::WideToUtf8(vw::Format(L"version %d", version - 1)));
            }
            EXPECT_TRUE(vw::FolderIsEmpty(Dst(L"_TEMP"))) << version;
        }
        EXPECT_TRUE(GetFileAttributesW(Src(name).c_str()) & FILE_ATTRIBUTE_READONLY) << "the source is never touched";
    }
    EXPECT_EQ(context.StatusHistory().find(L"无法移入历史文件夹"), std::wstring::npos);

    // Cleaning empties the history folder, read-only previous versions included.
    ASSERT_TRUE(GetFileAttributesW(Hist(L"ro-1.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
    task.History = 1;
    ASSERT_TRUE(Clean());
    EXPECT_TRUE(vw::FolderIsEmpty(Hist()));
}

TEST_F(HardenedPass, AFolderThatCannotBeListedKeepsItsBackupAsItIs)
{
    Put(Src(L"top.txt"), "top");
    Put(Src(L"locked\\a.txt"), "a");
    Put(Src(L"locked\\inner\\b.txt"), "b");
    ASSERT_TRUE(BackupCounted());
    {
        const vw::UniqueFile held = HoldFolder(Src(L"locked"));
        ASSERT_TRUE(held);
        vw::FolderListing probe(Src(L"locked\\"));
        ASSERT_FALSE(probe.Next() || !probe.Failed()) << "the folder cannot be listed while held";

        EXPECT_TRUE(BackupCounted());
        EXPECT_EQ(context.filesFailed.load(), 1) << "the folder counts as a failure";
        EXPECT_NE(context.StatusHistory().find(L"无法读取文件夹“" + Src(L"locked\\") + L"”"), std::wstring::npos)
            << vw::WideToUtf8(context.StatusHistory());
        EXPECT_FALSE(vw::FolderExists(Hist(L"locked"))) << "nothing moved into history";

        EXPECT_FALSE(Clean()) << "a cleaning that could not see the whole source ends failed";
        EXPECT_TRUE(FileExists(Dst(L"locked\\a.txt"))) << "nothing deleted by cleaning";
        EXPECT_TRUE(FileExists(Dst(L"locked\\inner\\b.txt")));
    }
    ASSERT_TRUE(BackupCounted());
    EXPECT_EQ(context.filesFailed.load(), 0);
    Mirrors();
}

TEST_F(HardenedPass, PathsLongerThanThePlainLimitAreBackedUpChangedAndCleaned)
{
    std::wstring relative;
    for (const wchar_t letter : {L'a', L'b', L'c', L'd'})
        relative += std::wstring(90, letter) + L"\\";
    relative += L"a-file-at-the-bottom-of-it.txt";
    ASSERT_GT(Hist(relative).size(), 400u);
    Put(Src(relative), "v1");
    ASSERT_TRUE(BackupCounted());
    EXPECT_EQ(context.filesCopied.load(), 1);
    Mirrors();

    Put(Src(relative), "v2!", 1);
    ASSERT_TRUE(BackupCounted());
    EXPECT_EQ(context.filesFailed.load(), 0);
    EXPECT_EQ(ReadFileBytes(Dst(relative)), "v2!");
    EXPECT_EQ(ReadFileBytes(Hist(relative)), "v1") << "the previous version at its long path in history";

    task.History = 0;
    ASSERT_TRUE(DeleteFileW(Src(relative).c_str()));
    ASSERT_TRUE(Clean());
    EXPECT_FALSE(FileExists(Dst(relative))) << "cleaning deletes the orphan at its long path";
    task.History = 1;
    ASSERT_TRUE(Clean());
    EXPECT_TRUE(vw::FolderIsEmpty(Hist())) << "and empties history through long paths";
}

TEST_F(HardenedPass, ABackupCopyHeldOpenKeepsItsVersionUntilItIsFree)
{
    for (const int history : {1, 0}) {
        SCOPED_TRACE(history ? "with history" : "without history");
        task.History = history;
        const std::wstring name = vw::Format(L"open-%d.txt", history);
        Put(Src(name), "v1", 1);
        ASSERT_TRUE(BackupCounted());
        Put(Src(name), "v2", 2);
        {
            // A viewer that shares reading only: the new version cannot take the name.
            const vw::UniqueFile viewer(CreateFileW(Dst(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                    OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(viewer);
            BackupCounted();
            EXPECT_EQ(context.filesFailed.load(), 1) << "never a silent success";
            EXPECT_EQ(ReadFileBytes(Dst(name)), "v1");
            // A second name of the version in place may stay in history while the viewer holds it
            // (no name of an open file can go): it is a version the file really had, never a torn one.
            EXPECT_TRUE(!FileExists(Hist(name)) || ReadFileBytes(Hist(name)) == "v1");
        }
        // A second name the held file kept in the work folder is recognised as the version in place.
        ASSERT_TRUE(BackupCounted());
        EXPECT_EQ(context.filesCopied.load(), 1);
        EXPECT_EQ(ReadFileBytes(Dst(name)), "v2");
        if (history) {
            EXPECT_EQ(ReadFileBytes(Hist(name)), "v1");
        }
        EXPECT_TRUE(vw::FolderIsEmpty(Dst(L"_TEMP")));
    }
    EXPECT_EQ(context.StatusHistory().find(L"无法移入历史文件夹"), std::wstring::npos);
}

TEST_F(HardenedPass, CleaningFinishesAReplaceThatWasCutOff)
{
    Put(Src(L"a\\doc.txt"), "v1");
    ASSERT_TRUE(BackupCounted());
    // As a replace on a volume without hard links is left when cut off between its two renames:
    // the previous version set aside, the new one not yet in place.
    const std::wstring aside = Dst(L"_TEMP\\previous\\a\\");
    ASSERT_TRUE(vw::CreateFolderTree(aside));
    ASSERT_TRUE(MoveFileW(Dst(L"a\\doc.txt").c_str(), (aside + L"doc.txt").c_str()));

    ASSERT_TRUE(Clean());

    EXPECT_EQ(ReadFileBytes(Dst(L"a\\doc.txt")), "v1") << "back under its real name, not emptied away";
    EXPECT_TRUE(vw::FolderIsEmpty(Dst(L"_TEMP")));
}

}  // namespace
