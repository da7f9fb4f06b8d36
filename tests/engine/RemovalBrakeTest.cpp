// The brake on a run that would move more than half of a backup into history: an emptied or
// replaced source, or a mass deletion or renaming, keeps the backup as it is until the user agrees.
#include <gtest/gtest.h>

#include "engine/FileOps.h"
#include "engine/SystemErrorText.h"
#include "support/EngineFixture.h"
#include "support/TreeSnapshot.h"
#include "win/Format.h"
#include "win/Text.h"

namespace {

using namespace vwtest;

class RemovalBrake : public EngineFixture {
protected:
    RemovalBrake()
    {
        task.Name = L"brake";
        task.History = 1;
    }

    void PutFiles(const std::wstring& folder, int count)
    {
        for (int i = 0; i < count; ++i)
            ASSERT_TRUE(WriteFileBytes(Src(folder + vw::Format(L"f%03d.txt", i)), "data"));
    }
    void RemoveFiles(const std::wstring& folder, int count)
    {
        for (int i = 0; i < count; ++i)
            ASSERT_TRUE(DeleteFileW(Src(folder + vw::Format(L"f%03d.txt", i)).c_str()));
    }
    int FilesIn(const std::wstring& root)
    {
        int files = 0;
        for (const auto& [path, entry] : ReadTree(root))
            files += entry.folder ? 0 : 1;
        return files;
    }
    bool BackupCounted()
    {
        context.filesCopied = 0;
        context.removalsHeld = 0;
        context.lastError = 0;
        return Backup();
    }
};

TEST_F(RemovalBrake, MoreThanHalfOfTheBackupIsKeptUntilTheUserAgrees)
{
    const struct {
        const char* what;
        int kept;     // files that stay in the source
        int removed;  // files removed from the source (or renamed, see below)
        bool renamed;
        bool folder;  // the removed files are a whole folder
        bool held;
    } cases[] = {
        {"source emptied", 0, 150, false, false, true},
        {"a whole folder gone", 20, 150, false, true, true},
        {"every file renamed, as ransomware leaves them", 0, 120, true, false, true},
        {"fewer than 100 files", 0, 99, false, false, false},
        {"100 files, half of the backup or less", 100, 100, false, false, false},
    };
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        task.Source = root.path() + vw::Format(L"src-%d", row);
        task.Dest = destRoot.path() + vw::Format(L"backup-%d", row++);
        // A new task on a new destination for each row.
        task.SetCreateTime(vw::DateTime::Never(), false);
        task.SetLastTime(vw::DateTime::Never(), false);
        const std::wstring gone = c.folder ? L"photos\\" : L"";
        PutFiles(L"keep\\", c.kept);
        PutFiles(gone, c.removed);
        ASSERT_TRUE(BackupCounted()) << context.lastError.load();

        if (c.folder)
            ASSERT_TRUE(RemoveTree(Src(gone)));
        else
            RemoveFiles(gone, c.removed);
        for (int i = 0; c.renamed && i < c.removed; ++i)
            ASSERT_TRUE(WriteFileBytes(Src(vw::Format(L"f%03d.txt.locked", i)), "scrambled"));
        ASSERT_TRUE(WriteFileBytes(Src(L"new.txt"), "new"));
        EXPECT_EQ(BackupCounted(), !c.held) << vw::WideToUtf8(context.StatusHistory());
        EXPECT_EQ(ReadFileBytes(Dst(L"new.txt")), "new") << "everything else is copied";
        EXPECT_EQ(context.filesCopied.load(), 1 + (c.renamed ? c.removed : 0));
        if (!c.held) {
            EXPECT_EQ(FilesIn(Hist()), c.removed);
            continue;
        }
        EXPECT_EQ(context.removalsHeld.load(), c.removed);
        EXPECT_EQ(context.lastError.load(), static_cast<uint32_t>(vw::ERR_REMOVALS_HELD));
        EXPECT_NE(context.StatusHistory().find(vw::Format(vw::kRemovalsHeldFormat, task.Name.c_str(), c.removed)),
                  std::wstring::npos);
        EXPECT_EQ(FilesIn(Hist()), 0) << "nothing moved into history";
        EXPECT_TRUE(FileExists(Dst(gone + L"f000.txt")));

        // Held again by the next run, until the batch has the user's consent.
        EXPECT_FALSE(BackupCounted());
        context.allowRemovals = 1;
        EXPECT_TRUE(BackupCounted());
        context.allowRemovals = 0;
        EXPECT_EQ(FilesIn(Hist()), c.removed);
        EXPECT_FALSE(FileExists(Dst(gone + L"f000.txt")));
    }
}

TEST_F(RemovalBrake, CleaningDeletesNoMoreThanHalfOfTheBackupUntilTheUserAgrees)
{
    task.History = 0;  // a backup without history keeps what the source lost: cleaning deletes it
    PutFiles(L"", 150);
    PutFiles(L"keep\\", 20);
    ASSERT_TRUE(BackupCounted());
    RemoveFiles(L"", 150);
    const auto clean = [&] {
        context.cleaningRun = 1;
        context.removalsHeld = 0;
        context.lastError = 0;
        context.filesDone = 0;
        vw::CBackupEngine engine(task, context);
        const bool cleaned = engine.Init() && engine.CleanPass();
        context.cleaningRun = 0;
        return cleaned;
    };

    EXPECT_FALSE(clean()) << vw::WideToUtf8(context.StatusHistory());
    EXPECT_EQ(context.removalsHeld.load(), 150);
    EXPECT_EQ(context.lastError.load(), static_cast<uint32_t>(vw::ERR_REMOVALS_HELD));
    EXPECT_EQ(context.filesDone.load(), 0);
    EXPECT_EQ(FilesIn(Dst()), 170) << "nothing deleted";

    context.allowRemovals = 1;
    EXPECT_TRUE(clean());
    context.allowRemovals = 0;
    EXPECT_EQ(context.filesDone.load(), 150);
    EXPECT_EQ(FilesIn(Dst()), 20);
}

}  // namespace
