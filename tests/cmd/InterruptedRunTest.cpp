// A backup killed in the middle of replacing a large file, or several small ones at once, as a power
// cut or "taskkill /F" would end it, and the run after it.
#include <gtest/gtest.h>

#include <string>

#include "engine/CBackupEngine.h"
#include "engine/FileOps.h"
#include "support/ConsoleRunnerProcess.h"
#include "support/TestDrives.h"
#include "support/TestRegistry.h"
#include "support/TreeSnapshot.h"
#include "win/Format.h"
#include "win/UniqueHandle.h"

namespace {

using namespace vwtest;

const FILETIME kEarlier = FileTimeFromLocal(2020, 8, 9, 10, 11, 12);
const FILETIME kOld = FileTimeFromLocal(2022, 1, 2, 3, 4, 6);
const FILETIME kNew = FileTimeFromLocal(2024, 5, 6, 7, 8, 10);
// Larger than one chunk of the copy many times over, so that a kill during it finds a partial file.
constexpr size_t kBig = 40u << 20;

std::string OldVersion()
{
    return std::string(kBig, 'o');
}

std::string NewVersion()
{
    return std::string(kBig + 1, 'n');
}

class InterruptedRun : public ::testing::Test {
protected:
    InterruptedRun() : key_(L"crash")
    {
        SetEnvironmentVariableW(L"VAULTWREN_PROFILE_KEY", key_.path().c_str());
        SetEnvironmentVariableW(L"VAULTWREN_HALT_EVENT", eventName_.c_str());
    }
    ~InterruptedRun() override
    {
        for (const wchar_t* name : {L"VAULTWREN_PROFILE_KEY", L"VAULTWREN_HALT_EVENT", L"VAULTWREN_HALT_AT"})
            SetEnvironmentVariableW(name, nullptr);
    }

    // Runs the task until the runner reaches `step` of a replace, then kills it there; after
    // `settleMs`, so that the other copiers reach it too.
    bool RunAndKillAt(const std::wstring& task, const wchar_t* step, DWORD settleMs = 0)
    {
        ResetEvent(reached_.get());
        SetEnvironmentVariableW(L"VAULTWREN_HALT_AT", step);
        RunnerProcess runner(L"run " + task);
        SetEnvironmentVariableW(L"VAULTWREN_HALT_AT", nullptr);
        const bool halted = WaitForSingleObject(reached_.get(), 60000) == WAIT_OBJECT_0;
        Sleep(settleMs);
        runner.Kill();
        return halted;
    }

private:
    TestRegistryKey key_;
    std::wstring eventName_ = vw::Format(L"VaultwrenHaltReached-%lu", GetCurrentProcessId());
    vw::UniqueHandle reached_{CreateEventW(nullptr, TRUE, FALSE, eventName_.c_str())};

protected:
    ScratchFolder sources{kDiskM, L"crash-src"};
    ScratchFolder backups{kDiskN, L"crash-dst"};
};

TEST_F(InterruptedRun, EveryRealNameHoldsAWholeVersionAndTheNextRunFinishesTheJob)
{
    const struct {
        const wchar_t* step;
        bool history;
        bool newInPlace;  // after the kill, the real name holds the new version (else the old one)
        bool earlier;     // history already holds an earlier version of the file
    } cases[] = {
        {L"copying", true, false, false},
        {L"copied", true, false, false},
        {L"set-aside", true, false, false},
        {L"replaced", true, true, false},
        {L"copied", true, false, true},
        {L"set-aside", true, false, true},
        {L"replaced", true, true, true},
        {L"copying", false, false, false},
        {L"replaced", false, true, false},
    };
    int row = 0;
    for (const auto& c : cases) {
        const std::wstring task = vw::Format(L"t%d", ++row);
        const std::wstring src = sources / task + L"\\";
        const std::wstring dst = backups / task + L"\\";
        const std::string where = vw::WideToUtf8(c.step) + (c.history ? " with history" : " without history") +
                                  (c.earlier ? ", an earlier version in history" : "");
        ASSERT_TRUE(WriteFileBytes(src + L"same.txt", "unchanged"));
        ASSERT_EQ(RunCmd(L"add --name " + task + L" --source " + src + L" --dest " + dst +
                         (c.history ? L"" : L" --history 0"))
                      .exitCode,
                  0u);
        if (c.earlier) {
            ASSERT_TRUE(WriteFileBytes(src + L"big.bin", "earlier"));
            ASSERT_TRUE(SetLastWriteTime(src + L"big.bin", kEarlier));
            ASSERT_EQ(RunCmd(L"run " + task).exitCode, 0u);
        }
        ASSERT_TRUE(WriteFileBytes(src + L"big.bin", OldVersion()));
        ASSERT_TRUE(SetLastWriteTime(src + L"big.bin", kOld));
        ASSERT_EQ(RunCmd(L"run " + task).exitCode, 0u);
        ASSERT_TRUE(WriteFileBytes(src + L"big.bin", NewVersion()));
        ASSERT_TRUE(SetLastWriteTime(src + L"big.bin", kNew));

        ASSERT_TRUE(RunAndKillAt(task, c.step)) << where << ": the runner never reached the step";
        EXPECT_TRUE(ReadFileBytes(dst + L"big.bin") == (c.newInPlace ? NewVersion() : OldVersion()))
            << where << ": the real name holds a whole version";
        EXPECT_EQ(ReadFileBytes(dst + L"same.txt"), "unchanged") << where;
        if (FileExists(dst + L"_历史文件\\big.bin")) {
            const std::string kept = ReadFileBytes(dst + L"_历史文件\\big.bin");
            EXPECT_TRUE(kept == OldVersion() || (c.earlier && kept == "earlier"))
                << where << ": history holds nothing but a version the file had before";
        } else {
            EXPECT_FALSE(c.earlier) << where << ": the earlier version stays until the new one is in place";
        }

        const RunnerResult next = RunCmd(L"run " + task);
        EXPECT_EQ(next.exitCode, 0u) << where << "\n" << vw::WideToUtf8(next.output);
        std::wstring difference;
        EXPECT_TRUE(SameFiles(ReadTree(src), ReadTree(dst), &difference)) << where << ": " << vw::WideToUtf8(difference);
        EXPECT_TRUE(ReadFileBytes(dst + L"big.bin") == NewVersion()) << where;
        if (c.history)
            EXPECT_TRUE(ReadFileBytes(dst + L"_历史文件\\big.bin") == OldVersion())
                << where << ": history holds exactly the true previous version";
        else
            EXPECT_FALSE(FileExists(dst + L"_历史文件\\big.bin")) << where;
        EXPECT_TRUE(vw::FolderIsEmpty(dst + L"_TEMP")) << where << ": nothing is left in the work folder";
    }
}

// Work copies in a destination's work folder.
int WorkCopiesIn(const std::wstring& dst)
{
    int count = 0;
    for (const auto& [path, entry] : ReadTree(dst + L"_TEMP\\", false))
        count += !entry.folder && vw::IsWorkCopyName(path) ? 1 : 0;
    return count;
}

TEST_F(InterruptedRun, SeveralCopiesKilledAtOneStepLeaveWholeVersionsThatTheNextRunFinishes)
{
    constexpr int kFiles = 24;
    const auto oldVersion = [](int i) { return std::string(100u << 10, static_cast<char>('a' + i)); };
    const auto newVersion = [](int i) { return std::string((100u << 10) + 1, static_cast<char>('A' + i)); };
    const auto file = [](int i) { return vw::Format(L"d%d\\f%02d.bin", i % 3, i); };
    const struct {
        const wchar_t* step;
        bool history;
        bool workCopiesLeft;  // each copier halted holds a work copy
    } cases[] = {
        {L"copying", true, true},    {L"copied", true, true},  {L"set-aside", true, true},
        {L"replaced", true, false},  {L"copied", false, true}, {L"replaced", false, false},
    };
    int row = 0;
    for (const auto& c : cases) {
        const std::wstring task = vw::Format(L"p%d", ++row);
        const std::wstring src = sources / task + L"\\";
        const std::wstring dst = backups / task + L"\\";
        const std::string where = vw::WideToUtf8(c.step) + (c.history ? " with history" : " without history");
        for (int i = 0; i < kFiles; ++i) {
            ASSERT_TRUE(WriteFileBytes(src + file(i), oldVersion(i)));
            ASSERT_TRUE(SetLastWriteTime(src + file(i), kOld));
        }
        ASSERT_EQ(RunCmd(L"add --name " + task + L" --source " + src + L" --dest " + dst +
                         (c.history ? L"" : L" --history 0"))
                      .exitCode,
                  0u);
        ASSERT_EQ(RunCmd(L"run " + task).exitCode, 0u);
        for (int i = 0; i < kFiles; ++i) {
            ASSERT_TRUE(WriteFileBytes(src + file(i), newVersion(i)));
            ASSERT_TRUE(SetLastWriteTime(src + file(i), kNew));
        }

        ASSERT_TRUE(RunAndKillAt(task, c.step, 2000)) << where << ": the runner never reached the step";
        if (c.workCopiesLeft) {
            EXPECT_GE(WorkCopiesIn(dst), 2) << where << ": several copies were under way";
        }
        for (int i = 0; i < kFiles; ++i) {
            const std::string held = ReadFileBytes(dst + file(i));
            EXPECT_TRUE(held == oldVersion(i) || held == newVersion(i)) << where << ": a whole version in " << i;
            if (FileExists(dst + L"_历史文件\\" + file(i))) {
                EXPECT_TRUE(ReadFileBytes(dst + L"_历史文件\\" + file(i)) == oldVersion(i)) << where << ": " << i;
            }
        }

        const RunnerResult next = RunCmd(L"run " + task);
        EXPECT_EQ(next.exitCode, 0u) << where << "\n" << vw::WideToUtf8(next.output);
        std::wstring difference;
        EXPECT_TRUE(SameFiles(ReadTree(src), ReadTree(dst), &difference)) << where << ": " << vw::WideToUtf8(difference);
        for (int i = 0; i < kFiles; ++i) {
            EXPECT_TRUE(ReadFileBytes(dst + file(i)) == newVersion(i)) << where << ": " << i;
            if (c.history) {
                EXPECT_TRUE(ReadFileBytes(dst + L"_历史文件\\" + file(i)) == oldVersion(i))
                    << where << ": history holds exactly the true previous version of " << i;
            } else {
                EXPECT_FALSE(FileExists(dst + L"_历史文件\\" + file(i))) << where;
            }
        }
        EXPECT_TRUE(vw::FolderIsEmpty(dst + L"_TEMP")) << where << ": nothing is left in the work folder";
    }
}

// Overwrites a file with zeros and gives it back its last-write time: what a power cut leaves under
// a name whose rename reached the disk before its data.
bool ZeroKeepingStamp(const std::wstring& path)
{
    const FILETIME time = GetLastWriteTime(path);
    const std::string content = ReadFileBytes(path);
    return WriteFileBytes(path, std::string(content.size(), '\0')) && SetLastWriteTime(path, time);
}

TEST_F(InterruptedRun, AFileACutOffRunWroteIsCopiedAgainByTheNextRun)
{
    for (const bool history : {true, false}) {
        const std::wstring task = history ? L"power-h" : L"power";
        const std::string where = history ? "with history" : "without history";
        const std::wstring src = sources / task + L"\\";
        const std::wstring dst = backups / task + L"\\";
        ASSERT_TRUE(WriteFileBytes(src + L"big.bin", OldVersion()));
        ASSERT_TRUE(SetLastWriteTime(src + L"big.bin", kOld));
        ASSERT_EQ(RunCmd(L"add --name " + task + L" --source " + src + L" --dest " + dst +
                         (history ? L"" : L" --history 0")).exitCode, 0u);
        ASSERT_EQ(RunCmd(L"run " + task).exitCode, 0u);
        ASSERT_TRUE(WriteFileBytes(src + L"big.bin", NewVersion()));
        ASSERT_TRUE(SetLastWriteTime(src + L"big.bin", kNew));

        ASSERT_TRUE(RunAndKillAt(task, L"replaced")) << where;
        ASSERT_TRUE(ZeroKeepingStamp(dst + L"big.bin")) << where;

        const RunnerResult next = RunCmd(L"run " + task);
        EXPECT_EQ(next.exitCode, 0u) << where << "\n" << vw::WideToUtf8(next.output);
        EXPECT_TRUE(next.Has(L"上次备份没有正常结束")) << where;
        EXPECT_TRUE(ReadFileBytes(dst + L"big.bin") == NewVersion()) << where << ": the zeroed copy was copied again";
        if (history) {
            EXPECT_TRUE(ReadFileBytes(dst + L"_历史文件\\big.bin") == OldVersion())
                << where << ": the zeroed copy did not go into history";
        }

        // That run got to its end: the one after it copies nothing.
        const RunnerResult quiet = RunCmd(L"run " + task);
        EXPECT_TRUE(quiet.Has(L"成功备份0个文件")) << where << "\n" << vw::WideToUtf8(quiet.output);
        EXPECT_FALSE(quiet.Has(L"上次备份没有正常结束")) << where;
    }
}

}  // namespace
