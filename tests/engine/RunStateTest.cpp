#include <gtest/gtest.h>

#include <functional>

#include "engine/CBackupEngine.h"
#include "engine/FileOps.h"
#include "engine/LongPathIni.h"
#include "engine/RunState.h"
#include "support/EngineFixture.h"
#include "support/TreeSnapshot.h"
#include "win/UniqueHandle.h"

namespace {

using namespace vwtest;

constexpr uint64_t kHour = 3600ull * 10'000'000;

vw::RunStateSeal Seal()
{
    vw::RunStateSeal seal;
    seal.runStart = 133'000'000'000'000'000ull;
    seal.volumeSerial = 0x1234abcd;
    seal.destCreated = 132'000'000'000'000'000ull;
    seal.destWritten = 132'500'000'000'000'000ull;
    seal.binding = L"2024-01-02 03:04:05";
    return seal;
}

vw::FolderSnapshot::Entry File(const wchar_t* name, uint64_t lastWrite, uint64_t size)
{
    return {vw::FileStamp{lastWrite, size}, false, name};
}

class RunStateFile : public EngineFixture {
protected:
    std::wstring Path() const { return root.path() + L"state.dat"; }

    void SaveSample(uint64_t fullListing) const
    {
        vw::RunStateRecorder recorder;
        ASSERT_TRUE(recorder.Open(Path()));
        recorder.AddFolder(L"", {File(L"a.txt", 11, 1), {vw::FileStamp{}, true, L"照片"}});
        recorder.AddFolder(L"照片\\Trip\\", {File(L"IMG_1.jpg", 22, 2000), File(L"说明.txt", 33, 3)});
        ASSERT_TRUE(recorder.Finish(Seal(), fullListing));
        EXPECT_FALSE(vw::PathExists(Path() + L".new")) << "the work file took the state's name";
    }
};

TEST(RunStatePath, IsOneFilePerTaskWithTheIdMadeSafe)
{
    const std::wstring plain = vw::RunStatePath(L"PC20240102030405");
    ASSERT_FALSE(plain.empty());
    EXPECT_TRUE(plain.ends_with(L"\\Vaultwren\\RunState\\PC20240102030405.dat")) << vw::WideToUtf8(plain);
    const std::wstring odd = vw::RunStatePath(L"..\\x:");
    EXPECT_TRUE(odd.ends_with(L"\\RunState\\_002e_002e_005cx_003a.dat")) << vw::WideToUtf8(odd);
    EXPECT_TRUE(vw::RunStatePath(L"").empty());
}

TEST_F(RunStateFile, GivesBackEachFoldersEntriesWhateverTheCase)
{
    const uint64_t listed = Seal().runStart;
    SaveSample(listed);
    vw::RunState state;
    ASSERT_TRUE(state.Load(Path(), Seal(), listed + kHour));
    EXPECT_EQ(state.FullListing(), listed);

    vw::FolderSnapshot trip;
    ASSERT_TRUE(state.Fill(L"照片\\TRIP\\", trip));
    ASSERT_NE(trip.FindFolded(L"IMG_1.JPG"), nullptr);
    EXPECT_EQ(trip.FindFolded(L"IMG_1.JPG")->stamp.size, 2000u);
    EXPECT_EQ(trip.FindFolded(L"IMG_1.JPG")->stamp.lastWrite, 22u);
    EXPECT_EQ(trip.FindFolded(L"IMG_1.JPG")->name, L"IMG_1.jpg");
    EXPECT_EQ(trip.FileCount(), 2u);

    vw::FolderSnapshot top;
    ASSERT_TRUE(state.Fill(L"", top));
    EXPECT_TRUE(top.ContainsFolder(L"照片"));
    EXPECT_TRUE(top.Contains(L"A.TXT"));

    vw::FolderSnapshot unknown;
    EXPECT_FALSE(state.Fill(L"other\\", unknown)) << "a folder the state has no record of is listed";
}

TEST_F(RunStateFile, AStateWrittenInManyPiecesReadsBackWhole)
{
    const uint64_t listed = Seal().runStart;
    {
        vw::RunStateRecorder recorder;
        ASSERT_TRUE(recorder.Open(Path()));
        for (int i = 0; i < 3000; ++i)
            recorder.AddFolder(vw::Format(L"f%04d\\", i),
                               {File(L"one.txt", i, 1), File(L"two.txt", i, 2), File(L"three.txt", i, 3)});
        ASSERT_TRUE(recorder.Finish(Seal(), listed));
    }
    ASSERT_GT(ReadFileBytes(Path()).size(), 4u * 64 * 1024);
    vw::RunState state;
    ASSERT_TRUE(state.Load(Path(), Seal(), listed));
    for (const int i : {0, 1, 1500, 2999}) {
        vw::FolderSnapshot folder;
        ASSERT_TRUE(state.Fill(vw::Format(L"F%04d\\", i), folder)) << i;
        ASSERT_NE(folder.FindFolded(L"THREE.TXT"), nullptr) << i;
        EXPECT_EQ(folder.FindFolded(L"THREE.TXT")->stamp.lastWrite, static_cast<uint64_t>(i));
        EXPECT_EQ(folder.FileCount(), 3u);
    }
}

TEST_F(RunStateFile, IsNotTrustedWhenAnythingMayHaveChanged)
{
    const uint64_t listed = Seal().runStart;
    struct Case {
        const char* what;
        std::function<void(vw::RunStateSeal&)> seal;
        uint64_t now;
    };
    const Case cases[] = {
        {"as it was, an hour later", [](vw::RunStateSeal&) {}, listed + kHour},
        {"another run started since", [](vw::RunStateSeal& s) { ++s.runStart; }, listed + kHour},
        {"the last run was cut off (no completed start)", [](vw::RunStateSeal& s) { s.runStart = 0; }, listed + kHour},
        {"another volume", [](vw::RunStateSeal& s) { s.volumeSerial ^= 1; }, listed + kHour},
        {"the destination folder was made again", [](vw::RunStateSeal& s) { ++s.destCreated; }, listed + kHour},
        {"an entry came or went at the destination's top", [](vw::RunStateSeal& s) { ++s.destWritten; }, listed + kHour},
        {"the destination was bound again", [](vw::RunStateSeal& s) { s.binding = L"2025-01-01 00:00:00"; }, listed + kHour},
        {"a day since the last full listing", [](vw::RunStateSeal&) {}, listed + 24 * kHour},
        {"the clock went back", [](vw::RunStateSeal&) {}, listed - kHour},
    };
    SaveSample(listed);
    for (const Case& c : cases) {
        vw::RunStateSeal seal = Seal();
        c.seal(seal);
        vw::RunState state;
        const bool expected = std::string(c.what) == "as it was, an hour later";
        EXPECT_EQ(state.Load(Path(), seal, c.now), expected) << c.what;
        vw::FolderSnapshot top;
        EXPECT_EQ(state.Fill(L"", top), expected) << c.what << ": a refused state answers nothing";
    }
}

TEST_F(RunStateFile, ADamagedOrPartlyWrittenFileIsNotTrusted)
{
    const uint64_t listed = Seal().runStart;
    SaveSample(listed);
    const std::string whole = ReadFileBytes(Path());
    ASSERT_GT(whole.size(), 100u);
    std::string flipped = whole;
    flipped[whole.size() / 2] ^= 0x20;
    const std::string damaged[] = {
        "",
        whole.substr(0, whole.size() / 2),                      // cut off
        whole.substr(0, whole.size() - 8),                      // no checksum
        flipped,                                                // one bit changed
        std::string(whole.size(), '\0'),                        // a rename on disk before its data
    };
    for (const std::string& bytes : damaged) {
        ASSERT_TRUE(WriteFileBytes(Path(), bytes));
        vw::RunState state;
        EXPECT_FALSE(state.Load(Path(), Seal(), listed + kHour)) << bytes.size() << " bytes";
    }
    DeleteFileW(Path().c_str());
    vw::RunState state;
    EXPECT_FALSE(state.Load(Path(), Seal(), listed + kHour)) << "no file";
}

// A run that trusts the last run's state takes the destination's entries from it: a file deleted
// by hand deep in the destination (which changes no time of the destination folder itself) is
// then not noticed. Each case here must make the run list the destination and copy it back.
class TrustedState : public EngineFixture {
protected:
    void SetUp() override
    {
        task.History = 1;
        Put(Src(L"a.txt"), "a");
        Put(Src(L"sub\\deep\\b.txt"), "bb");
        Put(Src(L"sub\\c.txt"), "ccc");
        ASSERT_TRUE(Backup());
        ASSERT_EQ(context.filesFailed.load(), 0);
    }

    // Deletes a backed-up file deep down, runs a backup, and says whether the run copied it back.
    bool DeletedDeepFileIsCopiedBack()
    {
        if (!DeleteFileW(Dst(L"sub\\deep\\b.txt").c_str()))
            return false;
        context.filesCopied = 0;
        Backup();
        return ReadFileBytes(Dst(L"sub\\deep\\b.txt")) == "bb";
    }

    std::wstring StateFile() const { return vw::RunStatePath(task.Id); }
};

TEST_F(TrustedState, ANoChangeRunTakesTheDestinationFromTheState)
{
    ASSERT_TRUE(vw::PathExists(StateFile())) << "a clean run leaves its state";
    const FILETIME destTime = GetLastWriteTime(Dst());
    ASSERT_TRUE(Backup());
    EXPECT_TRUE(SameFileTime(GetLastWriteTime(Dst()), destTime)) << "a run with nothing to do changes nothing at the top";
    EXPECT_FALSE(DeletedDeepFileIsCopiedBack()) << "the destination was not listed";
    EXPECT_EQ(context.filesCopied.load(), 0);
}

TEST_F(TrustedState, EveryReasonForDoubtMakesTheRunListTheDestination)
{
    struct Case {
        const char* what;
        std::function<void()> before;
    };
    const Case cases[] = {
        {"an entry was added at the destination's top and removed again",
         [this] {
             ASSERT_TRUE(WriteFileBytes(Dst(L"x.tmp"), "x"));
             DeleteFileW(Dst(L"x.tmp").c_str());
         }},
        {"the last run was cut off",
         [this] { vw::LongPathIni(Dst(L"_Vaultwren.ini")).SetString(L"TEST-TASK", L"RunEnd", L"1"); }},
        {"a cleaning run ran in between",
         [this] {
             context.cleaningRun = 1;
             vw::CBackupEngine engine(task, context);
             ASSERT_TRUE(engine.Init());
             engine.CleanPass();
             context.cleaningRun = 0;
         }},
        {"the state file was damaged",
         [this] {
             std::string bytes = ReadFileBytes(StateFile());
             ASSERT_FALSE(bytes.empty());
             bytes[bytes.size() / 2] ^= 1;
             ASSERT_TRUE(WriteFileBytes(StateFile(), bytes));
         }},
        {"the last run could not back up a file",
         [this] {
             Put(Src(L"sub\\c.txt"), "changed", 1);
             const vw::UniqueFile locked(CreateFileW(Src(L"sub\\c.txt").c_str(), GENERIC_READ, 0, nullptr,
                                                     OPEN_EXISTING, 0, nullptr));
             ASSERT_TRUE(locked);
             Backup();
             ASSERT_GT(context.filesFailed.load(), 0);
             context.filesFailed = 0;
         }},
        {"the last run was stopped",
         [this] {
             context.stopFlag = 1;
             Backup();
             context.stopFlag = 0;
             EXPECT_FALSE(vw::PathExists(StateFile() + L".new")) << "an unfinished state leaves nothing";
         }},
        // Last: what was left is kept in the work folder for good.
        {"something was left in the work folder",
         [this] { ASSERT_TRUE(WriteFileBytes(Dst(L"_TEMP\\left.txt"), "left")); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(Backup()) << "a clean run, whose state the next would trust";
        ASSERT_TRUE(vw::PathExists(StateFile()));
        ASSERT_TRUE(vw::FolderIsEmpty(Dst(L"_TEMP")));
        c.before();
        EXPECT_TRUE(DeletedDeepFileIsCopiedBack());
        EXPECT_EQ(context.filesFailed.load(), 0);
    }
}

TEST_F(TrustedState, ChangesInTheSourceAreBackedUpAsWithAListing)
{
    Put(Src(L"a.txt"), "a, second version", 1);  // changed
    ASSERT_TRUE(DeleteFileW(Src(L"sub\\c.txt").c_str()));  // removed
    Put(Src(L"sub\\new.txt"), "new");              // added
    Put(Src(L"added\\inner\\d.txt"), "d");       // in a new folder
    ASSERT_TRUE(DeleteFileW(Src(L"sub\\deep\\b.txt").c_str()));  // a folder removed
    ASSERT_TRUE(RemoveDirectoryW(Src(L"sub\\deep").c_str()));
    context.filesCopied = 0;
    ASSERT_TRUE(Backup());

    std::wstring difference;
    EXPECT_TRUE(SameFiles(ReadTree(Src()), ReadTree(Dst()), &difference)) << vw::WideToUtf8(difference);
    EXPECT_EQ(context.filesCopied.load(), 3);
    EXPECT_EQ(ReadFileBytes(Hist(L"a.txt")), "a");
    EXPECT_EQ(ReadFileBytes(Hist(L"sub\\c.txt")), "ccc");
    EXPECT_EQ(ReadFileBytes(Hist(L"sub\\deep\\b.txt")), "bb");

    // And the run after it, on the state this one left, finds nothing to do.
    context.filesCopied = 0;
    ASSERT_TRUE(Backup());
    EXPECT_EQ(context.filesCopied.load(), 0);
    EXPECT_TRUE(SameFiles(ReadTree(Src()), ReadTree(Dst()), &difference)) << vw::WideToUtf8(difference);
}

TEST_F(TrustedState, AFileThatAppearedUnderANewNameIsKeptAsAPreviousVersion)
{
    // Put there by hand deep down, under the name a new source file then takes: the state says
    // the name is free, the rename finds it taken.
    Put(Dst(L"sub\\deep\\new.txt"), "put there by hand");
    Put(Src(L"sub\\deep\\new.txt"), "the source's", 1);
    context.filesCopied = 0;
    ASSERT_TRUE(Backup());

    EXPECT_EQ(ReadFileBytes(Dst(L"sub\\deep\\new.txt")), "the source's");
    EXPECT_EQ(ReadFileBytes(Hist(L"sub\\deep\\new.txt")), "put there by hand");
    EXPECT_EQ(context.filesCopied.load(), 1);
    EXPECT_EQ(context.filesFailed.load(), 0);
}

TEST_F(TrustedState, AFolderThatAppearedUnderANewNameIsReadLikeAnyOther)
{
    // Made by hand deep down, under the name a new source folder then takes: the state says the
    // name is free, the folder is there.
    Put(Dst(L"sub\\deep\\photos\\by-hand.txt"), "put there by hand");
    Put(Src(L"sub\\deep\\photos\\new.txt"), "the source's");
    context.filesCopied = 0;
    ASSERT_TRUE(Backup());

    EXPECT_EQ(ReadFileBytes(Dst(L"sub\\deep\\photos\\new.txt")), "the source's");
    EXPECT_EQ(ReadFileBytes(Hist(L"sub\\deep\\photos\\by-hand.txt")), "put there by hand");
    EXPECT_EQ(context.filesCopied.load(), 1);
    EXPECT_EQ(context.filesFailed.load(), 0) << vw::WideToUtf8(context.StatusHistory());
}

}  // namespace
