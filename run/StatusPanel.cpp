#include "run/StatusPanel.h"

#include <algorithm>

#include "engine/RunContext.h"
#include "task/RunKind.h"
#include "win/Format.h"

namespace vw {

namespace {

std::wstring RunStateWord(int32_t runState, int32_t runKind)
{
    switch (runState) {
    case kRunPaused:
        return L"暂停";
    case kRunRunning:
        return std::wstring(L"正在") + RunKindWord(runKind);
    case 1:
        return L"等待备份";
    case kRunIdle:
        return L"空闲中";
    default:
        return L"";
    }
}

std::wstring CleaningLines(const RunView& view, const std::wstring& time)
{
    const wchar_t* name = view.currentTaskName.c_str();
    std::wstring text = Format(L"%s\t清理任务“%s”：当前已清理文件%d个", time.c_str(), name, view.filesDone);
    if (view.runState == kRunPaused)
        text += Format(L"\r\n%s\t清理任务“%s”暂停运行", time.c_str(), name);
    return text;
}

// A verify or a restore: what it has done so far, the file it reads and its share, the pause.
std::wstring ReadingLines(const RunView& view, const std::wstring& time)
{
    const wchar_t* name = view.currentTaskName.c_str();
    const bool verify = view.runKind == static_cast<int32_t>(RunKind::Verify);
    std::wstring text = verify ? Format(L"%s\t校验任务“%s”的备份：已比较文件%d个", time.c_str(), name, view.filesDone)
                               : Format(L"%s\t从任务“%s”的备份恢复文件：已恢复文件%d个", time.c_str(), name, view.filesDone);
    if (!view.currentFile.empty())
        text += Format(L"\r\n%s\t正在%s：“%s” %3.1f%%", time.c_str(), RunKindWord(view.runKind),
                       view.currentFile.c_str(), view.progress);
    if (view.runState == kRunPaused)
        text += Format(L"\r\n%s\t%s暂停运行", time.c_str(), verify ? L"校验" : L"恢复");
    return text;
}

std::wstring BackupLines(const RunView& view, const std::wstring& time)
{
    const wchar_t* name = view.currentTaskName.c_str();
    const std::wstring failed =
        view.filesFailedInTask > 0 ? Format(L"，有%d个文件无法备份", view.filesFailedInTask) : std::wstring();
    const wchar_t* activity = view.currentFile.empty() ? L"正在查找需要备份的文件" : L"正在备份文件";
    std::wstring text = Format(L"%s\t任务“%s”：当前已备份文件%d个%s，%s", time.c_str(), name, view.filesDone,
                               failed.c_str(), activity);
    if (!view.currentFile.empty())
        text += Format(L"\r\n%s\t正在备份：“%s” %3.1f%%", time.c_str(), view.currentFile.c_str(), view.progress);
    if (view.runState == kRunPaused)
        text += Format(L"\r\n%s\t任务“%s”暂停运行", time.c_str(), name);
    return text;
}

// The task still running, and the file it is on when it is on one.
std::wstring WhatStillRuns(const RunView& view)
{
    const std::wstring task = view.hasCurrentTask ? view.currentTaskName : std::wstring(L"?");
    if (view.currentFile.empty())
        return Format(L"任务“%s”仍在运行", task.c_str());
    return Format(L"任务“%s”仍在处理文件“%s”", task.c_str(), view.currentFile.c_str());
}

}  // namespace

std::wstring StatusCaption(int32_t runState, int32_t runKind)
{
    return L"系统状态：" + RunStateWord(runState, runKind);
}

std::wstring StatusPanelText(const RunView& view, const DateTime& now)
{
    std::wstring text = view.history;
    if (view.runState == kRunIdle || !view.batchActive || !view.hasCurrentTask)
        return text;
    const std::wstring time = FormatDateTime(now);
    switch (static_cast<RunKind>(view.runKind)) {
    case RunKind::Cleaning:
        return text + CleaningLines(view, time);
    case RunKind::Verify:
    case RunKind::Restore:
        return text + ReadingLines(view, time);
    default:
        break;
    }
    text += BackupLines(view, time);
    return text;
}

int StatusLinesToTrim(const std::wstring& panelText)
{
    int lines = static_cast<int>(std::count(panelText.begin(), panelText.end(), L'\n'));
    if (!panelText.empty() && panelText.back() != L'\n')
        ++lines;
    return std::max(0, lines - kStatusPanelMaxLines);
}

std::wstring StillRunningText(const RunView& view)
{
    std::wstring text = WhatStillRuns(view) + L"，未能等到它停止，程序直接退出";
    if (!view.currentFile.empty())
        text += L"（该文件不会以不完整的内容留在目标文件夹中）";
    return text;
}

std::wstring StillStoppingText(const RunView& view)
{
    return WhatStillRuns(view) + L"，正在等待它停止";
}

}  // namespace vw
