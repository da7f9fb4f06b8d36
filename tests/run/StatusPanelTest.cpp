#include "run/StatusPanel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "engine/RunContext.h"
#include "task/AppSettings.h"
#include "win/Format.h"

namespace {

using vw::RunView;
using vw::WideToUtf8;

constexpr int kIdle = vw::kRunIdle, kPaused = vw::kRunPaused, kRunning = vw::kRunRunning;

struct CaptionCase {
    int runState;
    int cleaning;  // the run kind: 0 backup, 1 cleaning, 2 verify, 3 restore
    const wchar_t* caption;
};

TEST(StatusPanelTest, CaptionNamesTheRunState)
{
    const CaptionCase cases[] = {
        {kIdle, false, L"系统状态：空闲中"},   {kIdle, true, L"系统状态：空闲中"},
        {kRunning, false, L"系统状态：正在备份"}, {kRunning, true, L"系统状态：正在清理"},
        {kPaused, false, L"系统状态：暂停"},     {kPaused, true, L"系统状态：暂停"},
        {1, false, L"系统状态：等待备份"},       {7, false, L"系统状态："},
        {-1, true, L"系统状态："},
        {kRunning, 2, L"系统状态：正在校验"},   {kRunning, 3, L"系统状态：正在恢复"},
        {kPaused, 2, L"系统状态：暂停"},
    };
    for (const CaptionCase& c : cases)
        EXPECT_EQ(WideToUtf8(vw::StatusCaption(c.runState, c.cleaning)), WideToUtf8(c.caption))
            << c.runState << (c.cleaning ? " cleaning" : "");
}

const std::wstring kHistory = L"2024-03-05 08:00:00\t启动备份任务...\r\n2024-03-05 08:00:00\t任务“文档”开始...\r\n";
constexpr wchar_t kNow[] = L"2024-03-05 08:07:09";

RunView Backup(int runState, int filesDone, const wchar_t* currentFile = L"", double progress = 0.0)
{
    RunView view;
    view.runState = runState;
    view.batchActive = true;
    view.hasCurrentTask = true;
    view.currentTaskName = L"文档";
    view.history = kHistory;
    view.filesDone = filesDone;
    view.currentFile = currentFile;
    view.progress = progress;
    return view;
}

RunView Cleaning(int runState, int filesDone)
{
    RunView view = Backup(runState, filesDone);
    view.cleaning = true;
    view.runKind = static_cast<int32_t>(vw::RunKind::Cleaning);
    return view;
}

RunView Reading(vw::RunKind kind, int runState, int filesDone, const wchar_t* currentFile = L"", double progress = 0.0)
{
    RunView view = Backup(runState, filesDone, currentFile, progress);
    view.runKind = static_cast<int32_t>(kind);
    return view;
}

RunView WithFailed(RunView view, int failed)
{
    view.filesFailedInTask = failed;
    return view;
}

RunView NoBatch(RunView view)
{
    view.batchActive = false;
    return view;
}

RunView NoTask(RunView view)
{
    view.hasCurrentTask = false;
    view.currentTaskName.clear();
    return view;
}

struct PanelCase {
    const char* what;
    RunView view;
    std::wstring live;  // what follows the history
};

TEST(StatusPanelTest, HistoryThenTheLiveLines)
{
    const std::wstring t = std::wstring(kNow) + L"\t";
    const PanelCase cases[] = {
        {"idle: the history alone", Backup(kIdle, 5, L"a.txt", 50.0), L""},
        {"no batch active: the history alone", NoBatch(Backup(kRunning, 5, L"a.txt", 50.0)), L""},
        {"no current task: the history alone", NoTask(Backup(kRunning, 5, L"a.txt", 50.0)), L""},
        {"still scanning: no progress line", Backup(kRunning, 0), t + L"任务“文档”：当前已备份文件0个，正在查找需要备份的文件"},
        {"copying: the file and its progress", Backup(kRunning, 12, L"报告.docx", 42.54),
         t + L"任务“文档”：当前已备份文件12个，正在备份文件\r\n" + t + L"正在备份：“报告.docx” 42.5%"},
        {"progress with one decimal, padded to three", Backup(kRunning, 1, L"a", 0.04),
         t + L"任务“文档”：当前已备份文件1个，正在备份文件\r\n" + t + L"正在备份：“a” 0.0%"},
        {"progress rounds up to a full hundred", Backup(kRunning, 1, L"a", 99.96),
         t + L"任务“文档”：当前已备份文件1个，正在备份文件\r\n" + t + L"正在备份：“a” 100.0%"},
        {"failed files of the task are counted", WithFailed(Backup(kRunning, 3, L"b", 10.0), 2),
         t + L"任务“文档”：当前已备份文件3个，有2个文件无法备份，正在备份文件\r\n" + t + L"正在备份：“b” 10.0%"},
        {"paused in a copy: three lines", Backup(kPaused, 4, L"c.bin", 75.0),
         t + L"任务“文档”：当前已备份文件4个，正在备份文件\r\n" + t + L"正在备份：“c.bin” 75.0%\r\n" + t +
             L"任务“文档”暂停运行"},
        {"paused while scanning: two lines", Backup(kPaused, 4),
         t + L"任务“文档”：当前已备份文件4个，正在查找需要备份的文件\r\n" + t + L"任务“文档”暂停运行"},
        {"cleaning", Cleaning(kRunning, 9), t + L"清理任务“文档”：当前已清理文件9个"},
        {"paused cleaning", Cleaning(kPaused, 9),
         t + L"清理任务“文档”：当前已清理文件9个\r\n" + t + L"清理任务“文档”暂停运行"},
        {"verifying: what was compared and the file being read", Reading(vw::RunKind::Verify, kRunning, 7, L"a.txt", 12.0),
         t + L"校验任务“文档”的备份：已比较文件7个\r\n" + t + L"正在校验：“a.txt” 12.0%"},
        {"paused verify", Reading(vw::RunKind::Verify, kPaused, 7),
         t + L"校验任务“文档”的备份：已比较文件7个\r\n" + t + L"校验暂停运行"},
        {"restoring", Reading(vw::RunKind::Restore, kRunning, 2, L"b.txt", 50.0),
         t + L"从任务“文档”的备份恢复文件：已恢复文件2个\r\n" + t + L"正在恢复：“b.txt” 50.0%"},
        {"run state 1 counts as not idle", Backup(1, 2), t + L"任务“文档”：当前已备份文件2个，正在查找需要备份的文件"},
    };
    vw::DateTime now;
    ASSERT_TRUE(vw::ParseDateTime(kNow, now));
    for (const PanelCase& c : cases)
        EXPECT_EQ(WideToUtf8(vw::StatusPanelText(c.view, now)), WideToUtf8(kHistory + c.live)) << c.what;
}

std::wstring Lines(int count, const wchar_t* tail = L"")
{
    std::wstring text;
    for (int i = 0; i < count; ++i)
        text += vw::Format(L"2024-03-05 08:00:00\t第%d行\r\n", i);
    return text + tail;
}

struct TrimCase {
    const char* what;
    std::wstring text;
    int trim;
};

TEST(StatusPanelTest, LinesBeyondAHundredAreTrimmed)
{
    const TrimCase cases[] = {
        {"empty panel", L"", 0},
        {"a hundred finished lines", Lines(100), 0},
        {"a hundred and one finished lines", Lines(101), 1},
        {"ninety-nine lines and a live one", Lines(99, L"live"), 0},
        {"a hundred lines and three live ones", Lines(100, L"a\r\nb\r\nc"), 3},
        {"three hundred lines", Lines(300), 200},
    };
    for (const TrimCase& c : cases)
        EXPECT_EQ(vw::StatusLinesToTrim(c.text), c.trim) << c.what;
}

TEST(StatusPanelTest, TrimmedHistoryKeepsTheNewestHundredLines)
{
    vw::AppSettings settings;
    vw::RunContext context(settings);
    for (int i = 0; i < 130; ++i)
        context.AppendStatusLine(vw::Format(L"第%d行", i));

    RunView view = Backup(kRunning, 1, L"x", 1.0);
    view.history = context.StatusHistory();
    const vw::DateTime now = vw::DateTime::Now();
    const int trim = vw::StatusLinesToTrim(vw::StatusPanelText(view, now));
    EXPECT_EQ(trim, 32);  // 130 history lines and two live ones
    context.TrimStatusHistory(trim);

    view.history = context.StatusHistory();
    const std::wstring panel = vw::StatusPanelText(view, now);
    EXPECT_EQ(vw::StatusLinesToTrim(panel), 0);
    EXPECT_EQ(std::count(panel.begin(), panel.end(), L'\n'), 99);
    EXPECT_EQ(view.history.find(L"第31行"), std::wstring::npos);
    EXPECT_NE(view.history.find(L"\t第32行\r\n"), std::wstring::npos);
    EXPECT_EQ(view.history.find(L"\t第32行"), view.history.find(L'\t'));
    EXPECT_NE(view.history.find(L"\t第129行\r\n"), std::wstring::npos);
}

TEST(StatusPanelTest, AnExitThatCannotWaitNamesTheTaskAndTheFileStillBeingWorkedOn)
{
    EXPECT_EQ(vw::StillRunningText(Backup(kRunning, 3, L"照片.jpg")),
              L"任务“文档”仍在处理文件“照片.jpg”，未能等到它停止，程序直接退出（该文件不会以不完整的内容留在目标文件夹中）");
    EXPECT_EQ(vw::StillRunningText(Backup(kRunning, 3)), L"任务“文档”仍在运行，未能等到它停止，程序直接退出");
}

TEST(StatusPanelTest, AStopThatCannotWaitNamesTheTaskAndTheFileItWaitsFor)
{
    EXPECT_EQ(vw::StillStoppingText(Backup(kRunning, 3, L"照片.jpg")), L"任务“文档”仍在处理文件“照片.jpg”，正在等待它停止");
    EXPECT_EQ(vw::StillStoppingText(Backup(kRunning, 3)), L"任务“文档”仍在运行，正在等待它停止");
}

}  // namespace
