// A source that goes away while a run works on it (a disk pulled out, a folder renamed), and the
// difference between that and a folder the user really removed.
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "engine/FileOps.h"
#include "engine/FolderListing.h"
#include "engine/Notifications.h"
#include "engine/SystemErrorText.h"
#include "support/EngineFixture.h"
#include "support/MessageWindow.h"
#include "support/TreeSnapshot.h"
#include "win/Format.h"
#include "win/Text.h"
#include "win/UniqueHandle.h"

namespace {

using namespace vwtest;

// The task's source lives behind a folder link (N:\linked, to a folder on M:), which the tests
// take away mid-run as a disk pulled out or a share dropped would.
class VanishingSource : public EngineFixture {
protected:
    VanishingSource()
    {
        task.Source = disk_.path() + L"src";
        CreateDirectoryW(task.Source.c_str(), nullptr);
        task.History = 1;
    }
    ~VanishingSource() override { PutDiskBack(); }


    // A backed-up tree whose history already holds an older version of a\1.txt.
    void BackUpATree()
    {
        Put(Src(L"top.txt"), "top");
        Put(Src(L"a\\1.txt"), "one v1");
        Put(Src(L"a\\2.txt"), "two");
        Put(Src(L"a\\deep\\3.txt"), "three");
        Put(Src(L"b\\4.txt"), "four");
        ASSERT_TRUE(Backup());
        Put(Src(L"a\\1.txt"), "one v2", 1);
        ASSERT_TRUE(Backup());
        ASSERT_EQ(ReadFileBytes(Hist(L"a\\1.txt")), "one v1");
    }

    // The link stays, leading nowhere: its target moves out from under it (Wine moves the
    // target when asked to move a link).
    bool PullDisk()
    {
        pulled_ = MoveFileW(kLinkedFolder, Pulled().c_str()) != FALSE;
        return pulled_;
    }
    void PutDiskBack()
    {
        if (pulled_) {
            EXPECT_TRUE(MoveFileW(Pulled().c_str(), kLinkTarget));
        }
        pulled_ = false;
    }
    static std::wstring Pulled() { return std::wstring(kLinkedFolder) + L"-pulled"; }

    // Runs a backup or a cleaning pass held at its first walk entry, does `fault` there and lets it go on.
    bool RunWithFaultAtFirstEntry(bool cleaning, const std::function<void()>& fault)
    {
        MessageWindow window;
        context.window = window.get();
        context.filesFailed = 0;
        context.cleaningRun = cleaning ? 1 : 0;
        vw::CBackupEngine engine(task, context);
        if (!engine.Init())
            return false;
        task.state = vw::kTaskPaused;
        bool passed = false;
        std::thread worker([&] { passed = cleaning ? engine.CleanPass() : engine.BackupPass(); });
        const bool held = window.PumpUntil([&] { return window.Saw(vw::WM_BACKUP_THREAD_PAUSE_MSG, 0); });
        fault();
        task.state = vw::kTaskRunning;
        worker.join();
        context.cleaningRun = 0;
        context.window = nullptr;
        EXPECT_TRUE(held) << "the walk reached its first entry";
        return passed;
    }

    std::wstring History() const { return context.StatusHistory(); }

private:
    ScratchFolder disk_{kLinkedFolder[0], std::wstring(kLinkedFolder).substr(3) + L"\\vanish"};
    bool pulled_ = false;
};

TEST(FolderListing, TellsListedAbsentAndFailedApart)
{
    ScratchFolder scratch;
    ASSERT_TRUE(CreateDirectoryW((scratch / L"empty").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((scratch / L"held").c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(scratch / L"a-file", "x"));
    const vw::UniqueFile held(CreateFileW((scratch / L"held").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_TRUE(held);
    const struct {
        std::wstring folder;
        vw::ListingState state;
    } cases[] = {
        {scratch.path(), vw::ListingState::Listed},
        {scratch / L"empty\\", vw::ListingState::Listed},
        {scratch / L"missing\\", vw::ListingState::Absent},
        {scratch / L"missing\\below\\", vw::ListingState::Absent},
        {scratch / L"a-file\\", vw::ListingState::Absent},
        {scratch / L"held\\", vw::ListingState::Failed},
    };
    for (const auto& c : cases) {
        vw::FolderListing listing(c.folder);
        while (listing.Next()) {
        }
        EXPECT_EQ(listing.State(), c.state) << vw::WideToUtf8(c.folder);
    }
}

TEST_F(VanishingSource, ASourceGoneMidRunLeavesTheBackupAndItsHistoryAsTheyAre)
{
    BackUpATree();
    // The marker file aside, which records every run.
    const Tree backup = ReadTree(Dst());
    const Tree history = ReadTree(Hist());
    const struct {
        const char* what;
        bool cleaning;
        bool pullDisk;  // the link goes; else the source folder is renamed
    } cases[] = {
        // (The scan holds its source folder open, which Wine will not rename then.)
        {"backup, link removed", false, true},
        {"cleaning, link removed", true, true},
        {"cleaning, source renamed", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring renamed = task.Source + L"-renamed";
        RunWithFaultAtFirstEntry(c.cleaning, [&] {
            if (c.pullDisk)
                EXPECT_TRUE(PullDisk());
            else
                EXPECT_TRUE(MoveFileW(task.Source.c_str(), renamed.c_str()));
        });
        if (c.pullDisk)
            PutDiskBack();
        else
            ASSERT_TRUE(MoveFileW(renamed.c_str(), task.Source.c_str()));

        std::wstring difference;
        EXPECT_TRUE(SameFiles(backup, ReadTree(Dst()), &difference) && SameFiles(history, ReadTree(Hist()), &difference))
            << "nothing moved or deleted: " << vw::WideToUtf8(difference) << "\n" << vw::WideToUtf8(History());
        EXPECT_EQ(ReadFileBytes(Hist(L"a\\1.txt")), "one v1") << "the older version kept in history stays";
        EXPECT_GT(context.filesFailed.load(), 0) << "the run ends failed";
        EXPECT_NE(History().find(L"“" + Src(L"a\\") + L"”"), std::wstring::npos)
            << "a line names the folder\n" << vw::WideToUtf8(History());
    }
    // With the source back, the next run finds everything in place.
    context.filesFailed = 0;
    EXPECT_TRUE(Backup());
    EXPECT_EQ(context.filesFailed.load(), 0);
    EXPECT_TRUE(SameFiles(ReadTree(Src()), ReadTree(Dst())));
}

TEST_F(VanishingSource, ASourceGoneBeforeCleaningStopsItBeforeItDeletesAnything)
{
    BackUpATree();
    const Tree backup = ReadTree(Dst(), false);
    context.cleaningRun = 1;
    vw::CBackupEngine engine(task, context);
    ASSERT_TRUE(engine.Init());
    ASSERT_TRUE(PullDisk());
    context.filesFailed = 0;
    EXPECT_FALSE(engine.CleanPass());
    PutDiskBack();
    context.cleaningRun = 0;
    EXPECT_TRUE(SameFiles(backup, ReadTree(Dst(), false))) << "history not emptied, nothing deleted";
    EXPECT_EQ(context.lastError.load(), static_cast<uint32_t>(vw::ERR_SOURCE_FOLDER_MISSING));
    EXPECT_NE(History().find(L"无法读取文件夹“" + Src() + L"”"), std::wstring::npos) << vw::WideToUtf8(History());
}

TEST_F(VanishingSource, AFolderTheUserRemovedMidRunStillGoesToHistory)
{
    BackUpATree();
    for (const bool cleaning : {false, true}) {
        SCOPED_TRACE(cleaning ? "cleaning" : "backup");
        const std::wstring removed = cleaning ? L"b" : L"a";
        RunWithFaultAtFirstEntry(cleaning, [&] { EXPECT_TRUE(RemoveTree(Src(removed))); });
        EXPECT_EQ(context.filesFailed.load(), 0) << vw::WideToUtf8(History());
        // The folder itself goes with the next run, which no longer lists it.
        EXPECT_EQ(ReadTree(Dst(removed)).count(L"deep\\3.txt") + ReadTree(Dst(removed)).count(L"4.txt"), 0u);
        if (!cleaning) {
            EXPECT_EQ(ReadFileBytes(Hist(L"a\\1.txt")), "one v2") << "moved into history as a removal";
            EXPECT_EQ(ReadFileBytes(Hist(L"a\\deep\\3.txt")), "three");
        }
    }
    EXPECT_TRUE(FileExists(Dst(L"top.txt")));
}

}  // namespace
