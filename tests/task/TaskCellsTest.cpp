#include "task/TaskCells.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "task/CBackupItem.h"
#include "task/DateTime.h"
#include "win/Format.h"

namespace {

using vw::DateTime;
using vw::TaskSnapshot;

DateTime At(const wchar_t* text)
{
    DateTime time;
    EXPECT_TRUE(vw::ParseDateTime(text, time)) << vw::WideToUtf8(text);
    return time;
}

TaskSnapshot Task(const wchar_t* next, const wchar_t* last)
{
    TaskSnapshot task;
    task.Name = L"文档";
    task.Source = L"D:\\文档";
    task.Dest = L"E:\\备份\\文档";
    task.NextTime = At(next);
    task.LastTime = At(last);
    return task;
}

TaskSnapshot WithTimes(TaskSnapshot task, DateTime next, DateTime last)
{
    task.NextTime = next;
    task.LastTime = last;
    return task;
}

TaskSnapshot InState(TaskSnapshot task, vw::TaskState state, uint32_t result = 0)
{
    task.state = state;
    task.result = result;
    return task;
}

const DateTime kInvalid = DateTime::FromParts(2024, 2, 30, 8, 0, 0);
constexpr wchar_t kNever[] = L"2000-01-01 00:00:00";

struct CellCase {
    const char* what;
    TaskSnapshot task;
    int position;
    bool cleaning;
    std::array<const wchar_t*, 7> cells;
};

TEST(TaskCellsTest, SevenTextsOfARow)
{
    const CellCase cases[] = {
        {"both times set", Task(L"2024-03-06 08:00:00", L"2024-03-05 08:00:13"), 0, false,
         {L"1", L"文档", L"D:\\文档", L"E:\\备份\\文档", L"", L"2024-03-06 08:00:00", L"2024-03-05 08:00:13"}},
        {"never run, nothing scheduled: empty time cells", Task(kNever, kNever), 2, false,
         {L"3", L"文档", L"D:\\文档", L"E:\\备份\\文档", L"", L"", L""}},
        {"a new task holds never in both times", WithTimes(Task(kNever, kNever), DateTime(), DateTime()), 0, false,
         {L"1", L"文档", L"D:\\文档", L"E:\\备份\\文档", L"", L"", L""}},
        {"only the exact never instant is empty", Task(L"2000-01-01 12:30:00", kNever), 0, false,
         {L"1", L"文档", L"D:\\文档", L"E:\\备份\\文档", L"", L"2000-01-01 12:30:00", L""}},
        {"invalid times are named", WithTimes(Task(kNever, kNever), kInvalid, kInvalid), 9, false,
         {L"10", L"文档", L"D:\\文档", L"E:\\备份\\文档", L"", L"Invalid DateTime", L"Invalid DateTime"}},
        {"null time: empty", WithTimes(Task(kNever, kNever), DateTime::Null(), At(L"2024-03-05 08:00:13")), 0, false,
         {L"1", L"文档", L"D:\\文档", L"E:\\备份\\文档", L"", L"", L"2024-03-05 08:00:13"}},
        {"running backup", InState(Task(kNever, kNever), vw::kTaskRunning), 0, false,
         {L"1", L"文档", L"D:\\文档", L"E:\\备份\\文档", L"正在备份", L"", L""}},
        {"running cleaning", InState(Task(kNever, kNever), vw::kTaskRunning), 0, true,
         {L"1", L"文档", L"D:\\文档", L"E:\\备份\\文档", L"正在清理", L"", L""}},
        {"waiting", InState(Task(kNever, kNever), vw::kTaskWaiting), 1, false,
         {L"2", L"文档", L"D:\\文档", L"E:\\备份\\文档", L"等待备份", L"", L""}},
        {"idle after a failed cleaning", InState(Task(kNever, kNever), vw::kTaskIdle, 5), 0, true,
         {L"1", L"文档", L"D:\\文档", L"E:\\备份\\文档", L"清理出错", L"", L""}},
        {"idle after a full disk", InState(Task(kNever, kNever), vw::kTaskIdle, 39), 0, false,
         {L"1", L"文档", L"D:\\文档", L"E:\\备份\\文档", L"磁盘已满", L"", L""}},
    };
    for (const CellCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::array<std::wstring, 7> cells = vw::TaskCellTexts(c.task, c.position, c.cleaning);
        for (size_t column = 0; column < cells.size(); ++column)
            EXPECT_EQ(vw::WideToUtf8(cells[column]), vw::WideToUtf8(c.cells[column])) << "column " << column;
    }
}

}  // namespace
