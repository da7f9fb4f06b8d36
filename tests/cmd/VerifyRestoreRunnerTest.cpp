// VaultwrenCmd verify and restore, started as a user's script would start them.
#include <gtest/gtest.h>

#include <string>

#include "engine/FileOps.h"
#include "support/ConsoleRunnerProcess.h"
#include "support/TestDrives.h"
#include "support/TestRegistry.h"
#include "support/TreeSnapshot.h"
#include "win/Format.h"

namespace {

using namespace vwtest;

class VerifyRestoreRunner : public ::testing::Test {
protected:
    VerifyRestoreRunner() : key_(L"cmd-verify")
    {
        SetEnvironmentVariableW(L"VAULTWREN_PROFILE_KEY", key_.path().c_str());
    }
    ~VerifyRestoreRunner() override { SetEnvironmentVariableW(L"VAULTWREN_PROFILE_KEY", nullptr); }

    static std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }
    std::wstring Src(const std::wstring& relative = L"") const { return sources / (L"s\\" + relative); }
    std::wstring Dst(const std::wstring& relative = L"") const { return backups / (L"b\\" + relative); }

    // A task "文档" over a small tree, backed up once.
    void BackedUpTask()
    {
        ASSERT_TRUE(WriteFileBytes(Src(L"a.txt"), "alpha"));
        ASSERT_TRUE(WriteFileBytes(Src(L"docs\\b.txt"), "beta"));
        ASSERT_TRUE(WriteFileBytes(Src(L"docs\\c.txt"), "gamma"));
        ASSERT_EQ(RunCmd(L"add --name 文档 --source " + Quoted(sources / L"s") + L" --dest " + Quoted(backups / L"b"))
                      .exitCode,
                  0u);
        const RunnerResult ran = RunCmd(L"run 文档");
        ASSERT_EQ(ran.exitCode, 0u) << vw::WideToUtf8(ran.output);
    }

private:
    TestRegistryKey key_;

protected:
    ScratchFolder sources{kDiskM, L"vr-src"};
    ScratchFolder backups{kDiskN, L"vr-dst"};
    ScratchFolder targets{kDiskO, L"vr-to"};
};

TEST_F(VerifyRestoreRunner, VerifyFindsADamagedCopyAndRepairMendsIt)
{
    BackedUpTask();
    const RunnerResult intact = RunCmd(L"verify 文档");
    EXPECT_EQ(intact.exitCode, 0u) << vw::WideToUtf8(intact.output);
    EXPECT_TRUE(intact.Has(L"\t校验任务“文档”的备份完成：3个文件相同\r\n")) << vw::WideToUtf8(intact.output);

    ASSERT_TRUE(DamageKeepingStamp(Dst(L"docs\\b.txt"), 1, "E"));
    ASSERT_TRUE(DeleteFileW(Dst(L"a.txt").c_str()));
    const RunnerResult damaged = RunCmd(L"verify 1");
    EXPECT_EQ(damaged.exitCode, 1u) << vw::WideToUtf8(damaged.output);
    EXPECT_TRUE(damaged.Has(L"备份文件“" + Dst(L"docs\\b.txt") + L"”的内容与源文件不同（时间和大小都相同）"));
    EXPECT_TRUE(damaged.Has(L"备份中缺少文件“" + Src(L"a.txt") + L"”"));
    EXPECT_TRUE(damaged.Has(L"1个文件相同，1个文件在备份中缺少，1个文件内容与源文件不同\r\n"));
    EXPECT_EQ(ReadFileBytes(Dst(L"docs\\b.txt")), "bEta") << "verify alone writes nothing";

    const RunnerResult repaired = RunCmd(L"verify 文档 --repair");
    EXPECT_EQ(repaired.exitCode, 1u) << "the missing file is the next backup's: " << vw::WideToUtf8(repaired.output);
    EXPECT_TRUE(repaired.Has(L"已重新复制备份文件“" + Dst(L"docs\\b.txt") + L"”"));
    EXPECT_EQ(ReadFileBytes(Dst(L"docs\\b.txt")), "beta");
    EXPECT_FALSE(FileExists(Dst(L"_历史文件\\docs\\b.txt"))) << "the damaged copy is not kept as a version";

    ASSERT_EQ(RunCmd(L"run 文档").exitCode, 0u);
    EXPECT_EQ(RunCmd(L"verify 文档").exitCode, 0u);
}

TEST_F(VerifyRestoreRunner, RestoreIntoAnEmptyAndANonEmptyFolder)
{
    BackedUpTask();
    const std::wstring target = targets / L"恢复";
    const RunnerResult whole = RunCmd(L"restore 文档 --to " + Quoted(target));
    EXPECT_EQ(whole.exitCode, 0u) << vw::WideToUtf8(whole.output);
    EXPECT_TRUE(whole.Has(L"”完成，成功恢复3个文件\r\n")) << vw::WideToUtf8(whole.output);
    EXPECT_TRUE(SameFiles(ReadTree(Src()), ReadTree(target + L"\\")));

    ASSERT_TRUE(WriteFileBytes(target + L"\\docs\\b.txt", "mine"));
    const RunnerResult kept = RunCmd(L"restore 文档 --to " + Quoted(target) + L" docs");
    EXPECT_EQ(kept.exitCode, 1u) << vw::WideToUtf8(kept.output);
    EXPECT_TRUE(kept.Has(L"“" + target + L"\\docs\\b.txt”已存在，未覆盖"));
    EXPECT_TRUE(kept.Has(L"成功恢复0个文件，2个文件已存在而未覆盖\r\n")) << vw::WideToUtf8(kept.output);
    EXPECT_EQ(ReadFileBytes(target + L"\\docs\\b.txt"), "mine");

    const RunnerResult replaced = RunCmd(L"restore 文档 --to " + Quoted(target) + L" docs\\b.txt --overwrite");
    EXPECT_EQ(replaced.exitCode, 0u) << vw::WideToUtf8(replaced.output);
    EXPECT_EQ(ReadFileBytes(target + L"\\docs\\b.txt"), "beta");
}

TEST_F(VerifyRestoreRunner, RefusedInputEndsWithExitCode2)
{
    BackedUpTask();
    const struct {
        std::wstring arguments;
        std::wstring says;
    } cases[] = {
        {L"verify", L"verify 需要正好一个任务"},
        {L"verify 文档 --fix", L"verify 需要正好一个任务"},
        {L"verify 无此任务", L"找不到任务：无此任务"},
        {L"restore 文档", L"restore 需要一个任务和 --to 文件夹"},
        {L"restore --to " + Quoted(targets / L"x"), L"restore 需要一个任务和 --to 文件夹"},
        {L"restore 文档 --to", L"选项 --to 缺少参数值"},
        {L"restore 文档 --to " + Quoted(targets / L"x") + L" --all", L"未知选项：--all"},
        {L"restore 文档 --to " + Quoted(Dst(L"restored")), L"恢复到的文件夹与目标文件夹是同一个文件夹，或其中一个位于另一个之中"},
        {L"restore 文档 --to " + Quoted(backups / L"."), L"恢复不会写入备份本身"},
        // A closing backslash before the quote leaves the quote in the argument.
        {L"restore 文档 --to " + Quoted(targets.path()), L"恢复到的文件夹必须是带盘符的完整路径"},
        {L"restore 文档 --to " + Quoted(targets / L"x") + L" ..\\b", L"要恢复的路径必须是源文件夹之中的相对路径"},
    };
    for (const auto& c : cases) {
        const RunnerResult result = RunCmd(c.arguments);
        EXPECT_EQ(result.exitCode, 2u) << vw::WideToUtf8(c.arguments) << "\n" << vw::WideToUtf8(result.output);
        EXPECT_TRUE(result.Has(c.says)) << vw::WideToUtf8(c.arguments) << "\n" << vw::WideToUtf8(result.output);
    }
    EXPECT_FALSE(vw::PathExists(Dst(L"restored")));
}

}  // namespace
