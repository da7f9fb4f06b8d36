#include "task/TaskEntries.h"

#include <windows.h>

#include "win/Format.h"
#include "win/Text.h"
#include "win/UniqueHandle.h"

namespace vw {

TaskEntries EntriesOf(const TaskSnapshot& task)
{
    return task;
}

TaskInput InputOf(const TaskEntries& entries, const std::wstring& storedDest, int32_t minTime)
{
    TaskInput input;
    input.Name = entries.Name;
    input.Source = entries.Source;
    input.Dest = entries.Dest;
    input.Start = entries.Start != 0;
    input.StartTime = static_cast<uint32_t>(entries.StartTime);
    input.ClockHour = entries.ClockHour;
    input.ClockMinute = entries.ClockMinute;
    input.AutoTime = entries.AutoTime != 0;
    input.AutoMinute = static_cast<uint32_t>(entries.AutoMinute);
    input.StoredDest = storedDest;
    input.MinTime = minTime;
    return input;
}

bool EntriesDiffer(const TaskEntries& entries, const TaskSnapshot& task)
{
    return !SameEditedFields(entries, task);
}

bool StoreEntries(CBackupItem& task, const TaskEntries& entries)
{
    if (!EqualsIgnoringCase(entries.Dest, task.Snapshot().Dest)) {
        task.SetCreateTime(DateTime::Never(), false);
        task.SetLastTime(DateTime::Never(), false);
    }
    task.SetEditedFields(entries);
    return task.Save();
}

size_t CountTopLevelEntries(const std::wstring& folder, size_t limit)
{
    std::wstring pattern = folder;
    if (pattern.empty() || pattern.back() != L'\\')
        pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW entry{};
    UniqueFindHandle search(::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch,
                                               nullptr, 0));
    size_t count = 0;
    if (!search)
        return count;
    do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..")
            ++count;
    } while (count < limit && ::FindNextFileW(search.get(), &entry));
    return count;
}

std::wstring NonEmptyDestinationQuestion(size_t count, size_t limit)
{
    std::wstring text = L"备份目标文件夹中已有文件存在，可能造成清理历史文件时原有文件的丢失！\r\n你确定要使用此目标文件夹吗？";
    if (count >= limit)
        text += Format(L"\r\n\r\n（目标文件夹中现有至少 %u 个文件或文件夹。）", static_cast<unsigned>(limit));
    else if (count > 0)
        text += Format(L"\r\n\r\n（目标文件夹中现有 %u 个文件或文件夹。）", static_cast<unsigned>(count));
    return text;
}

}  // namespace vw
