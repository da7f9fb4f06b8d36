// The real VaultwrenCmd.exe, started as a user's script would start it.
#include <gtest/gtest.h>

#include <string>

#include "app/SingleInstance.h"
#include "support/ConsoleRunnerProcess.h"
#include "support/RegistryLock.h"
#include "support/TestDrives.h"
#include "support/TestRegistry.h"
#include "support/TreeSnapshot.h"
#include "win/Format.h"
#include "win/ProfileStore.h"
#include "win/UniqueHandle.h"

namespace {

using namespace vwtest;

using Result = RunnerResult;
using Runner = RunnerProcess;

class ConsoleRunner : public ::testing::Test {
protected:
    ConsoleRunner() : key_(L"cmd"), profile(key_.path())
    {
        SetEnvironmentVariableW(L"VAULTWREN_PROFILE_KEY", key_.path().c_str());
    }
    ~ConsoleRunner() override { SetEnvironmentVariableW(L"VAULTWREN_PROFILE_KEY", nullptr); }

    std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }
    Result Add(const std::wstring& name, const std::wstring& source, const std::wstring& dest)
    {
        return RunCmd(L"add --name " + Quoted(name) + L" --source " + Quoted(source) + L" --dest " + Quoted(dest));
    }

private:
    TestRegistryKey key_;

protected:
    vw::ProfileStore profile;
    ScratchFolder sources{kDiskM, L"cmd-src"};
    ScratchFolder backups{kDiskN, L"cmd-dst"};
};

TEST_F(ConsoleRunner, AddsTwoTasksAndRunsThemIntoMirrors)
{
    ASSERT_TRUE(WriteFileBytes(sources / L"一\\a.txt", "alpha"));
    ASSERT_TRUE(WriteFileBytes(sources / L"一\\子\\b.txt", "beta"));
    ASSERT_TRUE(WriteFileBytes(sources / L"two\\c.txt", "gamma"));
    EXPECT_EQ(Add(L"文档", sources / L"一", backups / L"一").exitCode, 0u);
    EXPECT_EQ(Add(L"Two", sources / L"two", backups / L"two").exitCode, 0u);

    const Result listed = RunCmd(L"list");
    EXPECT_TRUE(listed.Has(L"1\t文档\t")) << vw::WideToUtf8(listed.output);
    EXPECT_TRUE(listed.Has(L"2\tTwo\t"));

    const Result ran = RunCmd(L"run --all");
    EXPECT_EQ(ran.exitCode, 0u) << vw::WideToUtf8(ran.output);
    EXPECT_TRUE(ran.Has(L"\t任务“文档”完成，成功备份2个文件\r\n"));
    EXPECT_TRUE(ran.Has(L"\t备份任务完成！共完成备份任务2个，成功备份3个文件\r\n"));
    EXPECT_TRUE(SameFiles(ReadTree(sources / L"一\\"), ReadTree(backups / L"一\\")));
    EXPECT_TRUE(SameFiles(ReadTree(sources / L"two\\"), ReadTree(backups / L"two\\")));

    // By name, in another letter case, and by number.
    EXPECT_EQ(RunCmd(L"run two 1").exitCode, 0u);
}

TEST_F(ConsoleRunner, RefusesBadInputWithExitCode2)
{
    ASSERT_TRUE(WriteFileBytes(sources / L"s\\a.txt", "a"));
    ASSERT_TRUE(WriteFileBytes(backups / L"used\\old.txt", "old"));
    const struct {
        std::wstring arguments;
        std::wstring says;
    } cases[] = {
        {L"", L"用法："},
        {L"frobnicate", L"未知命令：frobnicate"},
        {L"run", L"run 需要 --all 或至少一个任务"},
        {L"run nosuchtask", L"找不到任务：nosuchtask"},
        {L"add --name x --source " + sources / L"s" + L" --dest " + sources / L"s\\inner", L"目标文件夹"},
        {L"add --name x --source " + sources / L"s" + L" --dest " + backups / L"used", L"目标文件夹不为空"},
        {L"add --name x --source " + sources / L"s" + L" --dest " + backups / L"b" + L" --history 2", L"0 或 1"},
    };
    for (const auto& c : cases) {
        const Result result = RunCmd(c.arguments);
        EXPECT_EQ(result.exitCode, c.arguments.empty() ? 0u : 2u) << vw::WideToUtf8(c.arguments);
        EXPECT_TRUE(result.Has(c.says)) << vw::WideToUtf8(c.arguments) << "\n" << vw::WideToUtf8(result.output);
    }
    // --force takes a destination that already holds files.
    EXPECT_EQ(RunCmd(L"add --name used --source " + sources / L"s" + L" --dest " + backups / L"used --force").exitCode,
              0u);
}

// A task may be named with digits only; an argument that is the name of one task and the number
// of another is refused rather than guessed.
TEST_F(ConsoleRunner, ANumberThatIsAlsoAnotherTasksNameIsRefused)
{
    ASSERT_TRUE(WriteFileBytes(sources / L"s\\a.txt", "a"));
    ASSERT_EQ(Add(L"2", sources / L"s", backups / L"two").exitCode, 0u);
    ASSERT_EQ(Add(L"乙", sources / L"s", backups / L"yi").exitCode, 0u);
    ASSERT_EQ(Add(L"3", sources / L"s", backups / L"three").exitCode, 0u);

    const struct {
        std::wstring arguments;
        DWORD exitCode;
        std::wstring says;
    } cases[] = {
        {L"remove 2", 2u, L"“2”既是任务“乙”的序号，又是另一个任务的名称"},
        {L"reset 2", 2u, L"无法确定指的是哪一个"},
        {L"run 2", 2u, L"无法确定指的是哪一个"},
        {L"reset 3", 0u, L""},  // the name and the number are the same task
        {L"reset 1", 0u, L""},  // a number that is no task's name
    };
    for (const auto& c : cases) {
        const Result result = RunCmd(c.arguments);
        EXPECT_EQ(result.exitCode, c.exitCode) << vw::WideToUtf8(c.arguments) << "\n" << vw::WideToUtf8(result.output);
        EXPECT_TRUE(result.Has(c.says)) << vw::WideToUtf8(c.arguments) << "\n" << vw::WideToUtf8(result.output);
    }
    EXPECT_EQ(profile.GetInt(L"Project", L"Count", 0), 3) << "nothing was removed";
    EXPECT_EQ(vw::WideToUtf8(profile.GetString(L"Item1", L"Name", L"")), "乙");
}

// A profile that refuses the new "Count" leaves no task half made behind.
TEST_F(ConsoleRunner, AddThatCannotBeStoredLeavesNoTask)
{
    ASSERT_TRUE(WriteFileBytes(sources / L"s\\a.txt", "a"));
    ASSERT_EQ(Add(L"甲", sources / L"s", backups / L"jia").exitCode, 0u);
    {
        RegistryLock lock(profile.RootPath() + L"\\Project", KEY_SET_VALUE);
        ASSERT_TRUE(lock.locked());
        const Result refused = Add(L"乙", sources / L"s", backups / L"yi");
        EXPECT_EQ(refused.exitCode, 1u) << vw::WideToUtf8(refused.output);
        EXPECT_TRUE(refused.Has(L"无法保存新任务。"));
    }
    const Result listed = RunCmd(L"list");
    EXPECT_TRUE(listed.Has(L"1\t甲\t"));
    EXPECT_FALSE(listed.Has(L"乙")) << vw::WideToUtf8(listed.output);
    ASSERT_EQ(Add(L"丙", sources / L"s", backups / L"bing").exitCode, 0u);
    EXPECT_EQ(profile.GetInt(L"Project", L"Count", 0), 2);
    EXPECT_EQ(vw::WideToUtf8(profile.GetString(L"Item1", L"Name", L"")), "丙");
}

TEST_F(ConsoleRunner, RefusesWhatWindowsCannotHoldWithExitCode2)
{
    ASSERT_TRUE(WriteFileBytes(sources / L"s\\a.txt", "a"));
    ASSERT_TRUE(WriteFileBytes(backups / L"a_file", "f"));
    const std::wstring source = sources / L"s";
    const struct {
        const char* what;
        std::wstring name;
        std::wstring dest;
        std::wstring says;
    } cases[] = {
        {"line break in the name", L"two\r\nlines", backups / L"b", L"任务名称不能包含控制字符："},
        {"tab in the name", L"a\tb", backups / L"b", L"任务名称不能包含控制字符："},
        {"destination is a file", L"x", backups / L"a_file", L"这是一个文件，不是文件夹："},
        {"destination under a file", L"x", backups / L"a_file\\sub", L"路径中有一个文件："},
        {"reserved name", L"x", L"N:\\CON\\x", L"文件夹名称不能使用系统保留的名称：“CON”"},
        {"reserved name with an extension", L"x", backups / L"lpt1.txt", L"“lpt1.txt”是 Windows 保留的设备名"},
        {"part ending in a dot", L"x", backups / L"backup.", L"文件夹名称不能以点或空格结尾："},
        {"part ending in a space", L"x", backups / L"backup \\x", L"Windows 会去掉“backup ”末尾的点或空格"},
    };
    for (const auto& c : cases) {
        const Result result = Add(c.name, source, c.dest);
        EXPECT_EQ(result.exitCode, 2u) << c.what;
        EXPECT_TRUE(result.Has(c.says)) << c.what << "\n" << vw::WideToUtf8(result.output);
    }
    EXPECT_EQ(profile.GetInt(L"Project", L"Count", 0), 0) << "nothing was added";
    EXPECT_EQ(Add(L"[旧] 备份 v1.2", source, backups / L"备份（旧） v1.2").exitCode, 0u);
}

TEST_F(ConsoleRunner, MissingDestinationDiskFailsWithExitCode1)
{
    ASSERT_TRUE(WriteFileBytes(sources / L"s\\a.txt", "a"));
    const std::wstring disk = DriveBackingFolder(kDiskO);
    ASSERT_FALSE(disk.empty());
    ASSERT_EQ(Add(L"removable", sources / L"s", L"O:\\cmd-backup").exitCode, 0u);
    ASSERT_EQ(RunCmd(L"run removable").exitCode, 0u);

    // The disk is gone: its letter has no root any more.
    ASSERT_TRUE(MoveFileW(disk.c_str(), (disk + L"-away").c_str()));
    const Result result = RunCmd(L"run removable");
    MoveFileW((disk + L"-away").c_str(), disk.c_str());
    RemoveTree(L"O:\\cmd-backup");

    EXPECT_EQ(result.exitCode, 1u) << vw::WideToUtf8(result.output);
    EXPECT_TRUE(result.Has(L"任务“removable”启动失败，请检查任务设置是否正确！"));
    EXPECT_TRUE(result.Has(L"错误原因为：目标文件夹不存在,如果你删除了目标文件夹，请重置此任务。"));
    EXPECT_TRUE(result.Has(L"任务“removable”已终止，成功备份0个文件"));
}

TEST_F(ConsoleRunner, SecondRunnerIsRefusedWithExitCode3)
{
    ASSERT_TRUE(WriteFileOfSize(sources / L"s\\big.bin", 8 << 20));
    ASSERT_EQ(Add(L"slow", sources / L"s", backups / L"slow").exitCode, 0u);
    profile.SetInt(L"SysInfo", L"Speed", 100);  // 300 ms a chunk

    Runner first(L"run slow");
    // Wait until the first runner holds the profile (its copy has started in the work folder).
    for (int i = 0; i < 200 && !FileExists(backups / L"slow\\_TEMP\\~vaultwren-copy.tmp"); ++i)
        Sleep(50);
    const Result second = RunCmd(L"run slow");
    EXPECT_EQ(second.exitCode, 3u) << vw::WideToUtf8(second.output);
    EXPECT_TRUE(second.Has(L"正在运行"));
    EXPECT_EQ(first.Wait().exitCode, 0u);
}

// A program of the same user in another session (a Task Scheduler job that runs whether the user
// is signed in or not) holds only the global name there: the runner keeps away all the same, and
// takes both names once they are free.
TEST_F(ConsoleRunner, TheUsersGlobalNameKeepsTheRunnerAwayToo)
{
    ASSERT_TRUE(WriteFileBytes(sources / L"s\\a.txt", "a"));
    const std::wstring global = vw::GlobalInstanceName();
    ASSERT_EQ(global.rfind(L"Global\\CVaultwren-S-1-5-", 0), 0u) << vw::WideToUtf8(global);
    {
        vw::UniqueHandle other(CreateMutexW(nullptr, TRUE, global.c_str()));
        ASSERT_TRUE(other);
        const Result refused = Add(L"甲", sources / L"s", backups / L"jia");
        EXPECT_EQ(refused.exitCode, 3u) << vw::WideToUtf8(refused.output);
        EXPECT_TRUE(refused.Has(L"正在运行"));
        ReleaseMutex(other.get());
    }
    EXPECT_EQ(Add(L"甲", sources / L"s", backups / L"jia").exitCode, 0u);
}

TEST_F(ConsoleRunner, ResetThenRunRecreatesADeletedDestination)
{
    ASSERT_TRUE(WriteFileBytes(sources / L"s\\a.txt", "a"));
    ASSERT_EQ(Add(L"t", sources / L"s", backups / L"t").exitCode, 0u);
    ASSERT_EQ(RunCmd(L"run t").exitCode, 0u);
    ASSERT_TRUE(RemoveTree(backups / L"t"));

    const Result refused = RunCmd(L"run t");
    EXPECT_EQ(refused.exitCode, 1u);
    EXPECT_TRUE(refused.Has(L"请重置此任务"));

    const Result reset = RunCmd(L"reset t");
    EXPECT_EQ(reset.exitCode, 0u);
    EXPECT_TRUE(reset.Has(L"当前任务已重置，将恢复任务备份的目标文件夹！"));
    EXPECT_EQ(RunCmd(L"run t").exitCode, 0u);
    EXPECT_EQ(ReadFileBytes(backups / L"t\\a.txt"), "a");
    const DWORD marker = GetFileAttributesW((backups / L"t\\_Vaultwren.ini").c_str());
    ASSERT_NE(marker, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(marker & FILE_ATTRIBUTE_HIDDEN);
}

TEST_F(ConsoleRunner, CleanPrintsTheFreedSpaceAndRemoveDropsTheTask)
{
    ASSERT_TRUE(WriteFileBytes(sources / L"s\\keep.txt", "k"));
    ASSERT_TRUE(WriteFileBytes(sources / L"s\\drop.txt", std::string(1536, 'd')));
    ASSERT_EQ(Add(L"c", sources / L"s", backups / L"c").exitCode, 0u);
    ASSERT_EQ(RunCmd(L"run c").exitCode, 0u);
    ASSERT_TRUE(DeleteFileW((sources / L"s\\drop.txt").c_str()));
    ASSERT_EQ(RunCmd(L"run c").exitCode, 0u);  // drop.txt goes to history

    const Result cleaned = RunCmd(L"clean c");
    EXPECT_EQ(cleaned.exitCode, 0u);
    EXPECT_TRUE(cleaned.Has(L"清理任务“c”清理历史文件完成，成功清理文件1个，释放空间1.50KB"))
        << vw::WideToUtf8(cleaned.output);

    EXPECT_EQ(RunCmd(L"remove c").exitCode, 0u);
    EXPECT_TRUE(RunCmd(L"list").Has(L"没有备份任务。"));
}

TEST_F(ConsoleRunner, EveryFileThatFailsCountsInTheLinesAndTheExitCode)
{
    const std::wstring source = sources / L"f\\";
    const std::wstring dest = backups / L"f\\";
    ASSERT_TRUE(WriteFileBytes(source + L"fine.txt", "fine"));
    ASSERT_TRUE(WriteFileBytes(source + L"busy.txt", "busy v1"));
    ASSERT_TRUE(WriteFileBytes(source + L"gone.txt", "gone"));
    ASSERT_EQ(Add(L"f", sources / L"f", backups / L"f").exitCode, 0u);
    ASSERT_EQ(RunCmd(L"run f").exitCode, 0u);

    ASSERT_TRUE(WriteFileBytes(source + L"busy.txt", "busy v2, longer"));
    ASSERT_TRUE(DeleteFileW((source + L"gone.txt").c_str()));
    {
        // Another program holds both without sharing: the copy and the move into history fail.
        const vw::UniqueFile busy(CreateFileW((source + L"busy.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        const vw::UniqueFile gone(CreateFileW((dest + L"gone.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(busy && gone);
        const Result ran = RunCmd(L"run f");
        EXPECT_EQ(ran.exitCode, 1u) << vw::WideToUtf8(ran.output);
        EXPECT_TRUE(ran.Has(L"无法备份的文件“" + source + L"busy.txt”")) << vw::WideToUtf8(ran.output);
        EXPECT_TRUE(ran.Has(L"无法移入历史文件夹的文件“" + dest + L"gone.txt”"));
        EXPECT_TRUE(ran.Has(L"\t任务“f”完成，成功备份0个文件，共2个文件无法备份\r\n"));
        EXPECT_TRUE(ran.Has(L"\t备份任务完成！共完成备份任务1个，成功备份0个文件，2个文件无法备份\r\n"));

        const Result cleaned = RunCmd(L"clean f");
        EXPECT_EQ(cleaned.exitCode, 1u) << vw::WideToUtf8(cleaned.output);
        EXPECT_TRUE(cleaned.Has(L"无法删除的文件“" + dest + L"gone.txt”")) << vw::WideToUtf8(cleaned.output);
        EXPECT_TRUE(cleaned.Has(L"清理历史文件完成，成功清理文件0个，释放空间0.00字节，共1个文件无法清理"));
    }
    EXPECT_EQ(RunCmd(L"run f").exitCode, 0u) << "once free, both go through";
    EXPECT_EQ(ReadFileBytes(dest + L"busy.txt"), "busy v2, longer");
    EXPECT_TRUE(FileExists(dest + L"_历史文件\\gone.txt"));
}

TEST_F(ConsoleRunner, AMassRemovalWaitsForAllowRemovals)
{
    const std::wstring source = sources / L"mass\\";
    const std::wstring dest = backups / L"mass\\";
    for (int i = 0; i < 120; ++i)
        ASSERT_TRUE(WriteFileBytes(source + vw::Format(L"f%03d.txt", i), "data"));
    ASSERT_EQ(Add(L"mass", sources / L"mass", backups / L"mass").exitCode, 0u);
    ASSERT_EQ(RunCmd(L"run mass").exitCode, 0u);
    ASSERT_TRUE(RemoveTree(source));
    ASSERT_TRUE(CreateDirectoryW(source.c_str(), nullptr));

    const Result held = RunCmd(L"run mass");
    EXPECT_EQ(held.exitCode, 1u) << vw::WideToUtf8(held.output);
    EXPECT_TRUE(held.Has(L"任务“mass”本次要从目标文件夹中移走120个文件")) << vw::WideToUtf8(held.output);
    EXPECT_TRUE(held.Has(L"VaultwrenCmd run --allow-removals"));
    EXPECT_TRUE(FileExists(dest + L"f000.txt")) << "the backup stays as it was";

    const Result allowed = RunCmd(L"run --allow-removals mass");
    EXPECT_EQ(allowed.exitCode, 0u) << vw::WideToUtf8(allowed.output);
    EXPECT_FALSE(FileExists(dest + L"f000.txt"));
    EXPECT_TRUE(FileExists(dest + L"_历史文件\\f119.txt"));

    // Cleaning a backup without history deletes what the source lost: held the same way.
    for (int i = 0; i < 120; ++i)
        ASSERT_TRUE(WriteFileBytes(sources / vw::Format(L"kept\\f%03d.txt", i), "data"));
    ASSERT_EQ(RunCmd(L"add --name kept --source " + Quoted(sources / L"kept") + L" --dest " +
                     Quoted(backups / L"kept") + L" --history 0").exitCode, 0u);
    ASSERT_EQ(RunCmd(L"run kept").exitCode, 0u);
    ASSERT_TRUE(RemoveTree(sources / L"kept"));
    ASSERT_TRUE(CreateDirectoryW((sources / L"kept").c_str(), nullptr));
    const Result cleanHeld = RunCmd(L"clean kept");
    EXPECT_EQ(cleanHeld.exitCode, 1u) << vw::WideToUtf8(cleanHeld.output);
    EXPECT_TRUE(cleanHeld.Has(L"任务“kept”本次要从目标文件夹中移走120个文件"));
    EXPECT_TRUE(FileExists(backups / L"kept\\f000.txt"));
    EXPECT_EQ(RunCmd(L"clean --allow-removals kept").exitCode, 0u);
    EXPECT_FALSE(FileExists(backups / L"kept\\f000.txt"));
}

}  // namespace
