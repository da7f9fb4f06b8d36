#include "task/TaskInput.h"

#include <windows.h>

#include <utility>

#include "resources/resource.h"
#include "task/FolderLocation.h"
#include "task/FolderPathRules.h"
#include "task/TaskFieldTable.h"
#include "win/Format.h"
#include "win/Text.h"
#include "win/UniqueHandle.h"

namespace vw {

namespace {

// The editor's boxes hold at most this many characters, and the balloons promise it.
constexpr size_t kMaxEntryLength = 255;

// Everything after the drive part is checked against these; "\" separates folders.
constexpr wchar_t kForbiddenCharacters[] = L"/:*?\"<>|";
constexpr wchar_t kForbiddenCharacterList[] = L"\\ / : * ? \" < > |";

bool IsUsableDriveLetter(wchar_t c)
{
    return (c >= L'C' && c <= L'Z') || (c >= L'c' && c <= L'z');
}

// "X:" or "X:\..." on the drives C to Z. "X:folder" is refused as well: it names a folder
// relative to whatever the current folder of that drive happens to be in the running process.
bool IsDrivePath(const std::wstring& path)
{
    return path.size() >= 2 && path[1] == L':' && IsUsableDriveLetter(path[0]) &&
           (path.size() == 2 || path[2] == L'\\');
}

bool HasForbiddenCharacter(const std::wstring& path)
{
    return path.size() > 2 && path.find_first_of(kForbiddenCharacters, 2) != std::wstring::npos;
}

// "X:" is looked at as the root "X:\", not as the drive's current folder.
bool IsExistingFolder(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW((path + L"\\").c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::wstring WithOneBackslash(const std::wstring& path)
{
    if (!path.empty() && path.back() == L'\\')
        return path;
    return path + L"\\";
}

TaskInputCheck Fail(TaskInputCheck check, int controlId, std::wstring title, std::wstring text)
{
    check.Ok = false;
    check.ControlId = controlId;
    check.Title = std::move(title);
    check.Text = std::move(text);
    return check;
}

// A folder entry Windows could not hold as written: the name it would open is not the one typed,
// or a file stands where a folder must be. Empty title: the entry passes.
std::pair<std::wstring, std::wstring> FolderRuleFailure(const std::wstring& folder)
{
    const FolderPathProblem name = FindUnusableName(folder);
    if (name.fault == FolderPathFault::ReservedName)
        return {L"文件夹名称不能使用系统保留的名称",
                Format(L"“%s”是 Windows 保留的设备名（CON、PRN、AUX、NUL、COM1-9、LPT1-9），带扩展名也不能使用",
                       name.part.c_str())};
    if (name.fault == FolderPathFault::EndsInDotOrSpace)
        return {L"文件夹名称不能以点或空格结尾",
                Format(L"Windows 会去掉“%s”末尾的点或空格，请修改此名称", name.part.c_str())};
    const FolderPathProblem file = FindFileInTheWay(folder);
    if (file.fault == FolderPathFault::IsFile)
        return {L"这是一个文件，不是文件夹", Format(L"“%s”是一个文件，请输入文件夹路径", file.part.c_str())};
    if (file.fault == FolderPathFault::UnderFile)
        return {L"路径中有一个文件", Format(L"“%s”是一个文件，其中不能存放文件夹", file.part.c_str())};
    return {};
}

}  // namespace

bool DestinationHasEntries(const std::wstring& dest)
{
    WIN32_FIND_DATAW entry{};
    UniqueFindHandle search(FindFirstFileW((WithOneBackslash(dest) + L"*").c_str(), &entry));
    if (!search)
        return false;
    do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..")
            return true;
    } while (FindNextFileW(search.get(), &entry));
    return false;
}

bool NeedsNonEmptyDestinationQuestion(const std::wstring& dest, const std::wstring& storedDest)
{
    return WithOneBackslash(dest) != WithOneBackslash(storedDest) && DestinationHasEntries(dest);
}

TaskInputCheck ValidateTaskInput(const TaskInput& input, const ConfirmNonEmptyDestination& confirm)
{
    TaskInputCheck check;
    check.Source = NormaliseFolderEntry(input.Source);
    check.Dest = NormaliseFolderEntry(input.Dest);
    const std::wstring& source = check.Source;
    const std::wstring& dest = check.Dest;

    if (input.Name.empty())
        return Fail(check, IDC_ITEM_NAME, L"请输入任务名称", L"任务名称不能为空");
    if (input.Name.size() > kMaxEntryLength)
        return Fail(check, IDC_ITEM_NAME, L"任务名称太长", L"任务名称不能超过255个字符");
    // A line break would split the task's line in the list and in every script that reads it.
    if (HasControlCharacter(input.Name))
        return Fail(check, IDC_ITEM_NAME, L"任务名称不能包含控制字符", L"请删除名称中的换行符、制表符等控制字符");

    if (source.empty())
        return Fail(check, IDC_ITEM_SOURCE, L"请输入要备份的文件夹路径", L"文件夹路径不能为空");
    if (source.size() > kMaxEntryLength)
        return Fail(check, IDC_ITEM_SOURCE, L"文件夹路径太长", L"文件夹路径长度不能超过255个字符");
    if (!IsDrivePath(source))
        return Fail(check, IDC_ITEM_SOURCE, L"无法识别的文件夹路径", L"请输入完整且存在的文件夹路径");
    if (HasForbiddenCharacter(source))
        return Fail(check, IDC_ITEM_SOURCE, L"文件夹名称不能包含下列字符", kForbiddenCharacterList);
    if (auto [title, text] = FolderRuleFailure(source); !title.empty())
        return Fail(check, IDC_ITEM_SOURCE, title, text);
    if (!IsExistingFolder(source))
        return Fail(check, IDC_ITEM_SOURCE, L"文件夹不存在", L"要备份的文件夹不存在");

    if (dest.empty())
        return Fail(check, IDC_ITEM_DEST, L"请输入备份目标文件夹路径", L"文件夹路径不能为空");
    if (dest.size() > kMaxEntryLength)
        return Fail(check, IDC_ITEM_DEST, L"文件夹路径太长", L"文件夹路径长度不能超过255个字符");
    if (dest.size() == 2)
        return Fail(check, IDC_ITEM_DEST, L"不允许使用根文件夹作为目标文件夹", L"建议创建新的备份目标文件夹");
    if (!IsDrivePath(dest))
        return Fail(check, IDC_ITEM_DEST, L"无法识别的文件夹路径", L"请输入完整且合法的文件夹路径");
    if (HasForbiddenCharacter(dest))
        return Fail(check, IDC_ITEM_DEST, L"文件夹名称不能包含下列字符", kForbiddenCharacterList);
    if (auto [title, text] = FolderRuleFailure(dest); !title.empty())
        return Fail(check, IDC_ITEM_DEST, title, text);
    // Compared where they really lead, however they are written. A source inside its own destination
    // would be taken for a removed folder by the first run and moved into the history folder, or
    // deleted by cleaning.
    switch (FindFolderOverlap(source, dest)) {
    case FolderOverlap::Same:
        return Fail(check, IDC_ITEM_DEST, L"目标文件夹不能与源文件夹相同", L"请输入其他的目标文件夹路径");
    case FolderOverlap::DestInsideSource:
        return Fail(check, IDC_ITEM_DEST, L"错误的目标文件夹位置", L"目标文件夹不能存放在源文件夹中");
    case FolderOverlap::SourceInsideDest:
        return Fail(check, IDC_ITEM_DEST, L"错误的目标文件夹位置", L"源文件夹不能存放在目标文件夹中");
    case FolderOverlap::None:
        break;
    }
    if (NeedsNonEmptyDestinationQuestion(dest, input.StoredDest) && confirm && !confirm())
        return Fail(check, IDC_ITEM_DEST, L"目标文件夹不为空", L"建议创建新的备份目标文件夹");

    // The ranges are the field table's; the texts name them as the user reads them.
    auto outside = [](TaskKey key, int64_t value) {
        const TaskFieldInfo& field = FieldOf(key);
        return value < field.low || value > field.high;
    };
    if (input.Start && outside(TaskKey::StartTime, input.StartTime))
        return Fail(check, IDC_ITEM_START_TIME, L"超过了允许的时间范围", L"时间范围为 0 - 999");
    if (outside(TaskKey::ClockHour, input.ClockHour))
        return Fail(check, IDC_ITEM_CLOCK_HOUR, L"超过了允许的时间范围", L"时间范围为 0 - 23");
    if (outside(TaskKey::ClockMinute, input.ClockMinute))
        return Fail(check, IDC_ITEM_CLOCK_MINUTE, L"超过了允许的时间范围", L"时间范围为 0 - 59");
    if (input.AutoTime && outside(TaskKey::AutoMinute, input.AutoMinute))
        return Fail(check, IDC_ITEM_AUTO_MINUTE, L"超过了允许的时间间隔范围", L"时间范围为 60 - 9999");
    if (input.AutoTime && static_cast<int64_t>(input.AutoMinute) < input.MinTime)
        return Fail(check, IDC_ITEM_AUTO_MINUTE, Format(L"超过了系统当前允许的最小备份时间间隔%d分钟", input.MinTime),
                    L"你可以通过设置“选项”修改系统当前允许的最小备份时间间隔");
    return check;
}

}  // namespace vw
