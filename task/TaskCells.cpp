#include "task/TaskCells.h"

#include "task/DateTime.h"
#include "win/Format.h"

namespace vw {

namespace {

std::wstring TimeCell(const DateTime& time)
{
    std::wstring text = FormatDateTime(time);
    if (text == FormatDateTime(DateTime::Never()))
        text.clear();
    return text;
}

}  // namespace

std::array<std::wstring, kTaskColumnCount> TaskCellTexts(const TaskSnapshot& task, int position, int32_t runKind)
{
    return {
        Format(L"%d", position + 1),
        task.Name,
        task.Source,
        task.Dest,
        TaskStatusText(task, runKind),
        TimeCell(task.NextTime),
        TimeCell(task.LastTime),
    };
}

}  // namespace vw
