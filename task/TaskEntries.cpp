#include "task/TaskEntries.h"

#include "win/Text.h"

namespace vw {

TaskEntries EntriesOf(const TaskSnapshot& task)
{
    TaskEntries e;
    e.Name = task.Name;
    e.Source = task.Source;
    e.Dest = task.Dest;
    e.Start = task.Start != 0;
    e.Clock = task.Clock != 0;
    e.History = task.History != 0;
    e.RemoveFollow = task.RemoveFollow != 0;
    e.StartTime = static_cast<uint32_t>(task.StartTime);
    e.ClockHour = task.ClockHour;
    e.ClockMinute = task.ClockMinute;
    e.Week = task.Week;
    e.AutoTime = task.AutoTime != 0;
    e.AutoMinute = static_cast<uint32_t>(task.AutoMinute);
    return e;
}

TaskInput InputOf(const TaskEntries& entries, const std::wstring& storedDest, int32_t minTime)
{
    TaskInput input;
    input.Name = entries.Name;
    input.Source = entries.Source;
    input.Dest = entries.Dest;
    input.Start = entries.Start;
    input.StartTime = entries.StartTime;
    input.ClockHour = entries.ClockHour;
    input.ClockMinute = entries.ClockMinute;
    input.AutoTime = entries.AutoTime;
    input.AutoMinute = entries.AutoMinute;
    input.StoredDest = storedDest;
    input.MinTime = minTime;
    return input;
}

bool EntriesDiffer(const TaskEntries& entries, const TaskSnapshot& task)
{
    const TaskEntries stored = EntriesOf(task);
    return entries.Name != stored.Name || entries.Source != stored.Source || entries.Dest != stored.Dest ||
           entries.Start != stored.Start || entries.Clock != stored.Clock || entries.History != stored.History ||
           entries.RemoveFollow != stored.RemoveFollow || entries.StartTime != stored.StartTime ||
           entries.ClockHour != stored.ClockHour || entries.ClockMinute != stored.ClockMinute ||
           entries.Week != stored.Week || entries.AutoTime != stored.AutoTime ||
           entries.AutoMinute != stored.AutoMinute;
}

bool StoreEntries(CBackupItem& task, const TaskEntries& entries)
{
    if (!EqualsIgnoringCase(entries.Dest, task.Snapshot().Dest)) {
        task.SetCreateTime(DateTime::Never(), false);
        task.SetLastTime(DateTime::Never(), false);
    }
    task.Name = entries.Name;
    task.Source = entries.Source;
    task.SetDest(entries.Dest, false);
    task.Start = entries.Start ? 1 : 0;
    task.StartTime = static_cast<int32_t>(entries.StartTime);
    task.Clock = entries.Clock ? 1 : 0;
    task.Week = entries.Week;
    task.RemoveFollow = entries.RemoveFollow ? 1 : 0;
    task.History = entries.History ? 1 : 0;
    task.AutoTime = entries.AutoTime ? 1 : 0;
    task.AutoMinute = static_cast<int32_t>(entries.AutoMinute);
    task.ClockHour = static_cast<int32_t>(static_cast<uint32_t>(entries.ClockHour) % 24);
    task.ClockMinute = static_cast<int32_t>(static_cast<uint32_t>(entries.ClockMinute) % 60);
    return task.Save();
}

}  // namespace vw
