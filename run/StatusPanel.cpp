#include "run/StatusPanel.h"

#include <algorithm>

#include "engine/RunContext.h"
#include "win/Format.h"

namespace vw {

namespace {

const wchar_t* RunStateWord(int32_t runState, bool cleaning)
{
    switch (runState) {
    case kRunPaused:
        return L"暂停";
    case kRunRunning:
        return cleaning ? L"正在清理" : L"正在备份";
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

}  // namespace

std::wstring StatusCaption(int32_t runState, bool cleaning)
{
    return Format(L"系统状态：%s", RunStateWord(runState, cleaning));
}

std::wstring StatusPanelText(const RunView& view, const DateTime& now)
{
    std::wstring text = view.history;
    if (view.runState == kRunIdle || !view.batchActive || !view.hasCurrentTask)
        return text;
    const std::wstring time = FormatDateTime(now);
    text += view.cleaning ? CleaningLines(view, time) : BackupLines(view, time);
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
    const std::wstring task = view.hasCurrentTask ? view.currentTaskName : std::wstring(L"?");
    if (view.currentFile.empty())
        return Format(L"任务“%s”仍在运行，未能等到它停止，程序直接退出", task.c_str());
    return Format(L"任务“%s”仍在处理文件“%s”，未能等到它停止，程序直接退出（该文件不会以不完整的内容留在目标文件夹中）",
                  task.c_str(), view.currentFile.c_str());
}

}  // namespace vw
