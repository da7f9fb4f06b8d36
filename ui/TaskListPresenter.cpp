#include "ui/TaskListPresenter.h"

#include <commctrl.h>

#include "task/CBackupItemList.h"
#include "task/TaskCells.h"
#include "win/Dpi.h"

namespace vw {

namespace {

struct Column {
    const wchar_t* heading;
    int format;
    int width;  // pixels at 96 DPI
};
constexpr Column kColumns[] = {
    {L"序号", LVCFMT_CENTER, 40},           {L"名称", LVCFMT_LEFT, 100},
    {L"来源文件夹", LVCFMT_LEFT, 180},       {L"目标文件夹", LVCFMT_LEFT, 180},
    {L"状态", LVCFMT_LEFT, 70},             {L"下次自动备份时间", LVCFMT_LEFT, 160},
    {L"上次成功备份时间", LVCFMT_LEFT, 160},
};
constexpr wchar_t kListHint[] = L"双击记录可查看备份任务的详细信息并对其修改";

}  // namespace

void TaskListPresenter::SetUp(HWND list, UINT dpi)
{
    list_.Attach(list);
    list_.SetPathEllipsisColumns(2, 3, -1);
    list_.SetUpTooltip(kListHint);

    int index = 0;
    for (const Column& column : kColumns) {
        LVCOLUMNW lvColumn{};
        lvColumn.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        lvColumn.fmt = column.format;
        lvColumn.cx = ScaleForDpi(column.width, dpi);
        lvColumn.pszText = const_cast<wchar_t*>(column.heading);
        lvColumn.iSubItem = index;
        ::SendMessageW(list, LVM_INSERTCOLUMNW, index++, reinterpret_cast<LPARAM>(&lvColumn));
    }
    constexpr DWORD extended = LVS_EX_GRIDLINES | LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT |
                               LVS_EX_ONECLICKACTIVATE | LVS_EX_FLATSB | LVS_EX_DOUBLEBUFFER;
    ::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
    FitHeight();
}

void TaskListPresenter::FitHeight()
{
    // The rows area holds a whole number of rows: no half row peeks out at the bottom.
    const HWND list = list_.Handle();
    LVITEMW probe{};
    probe.mask = LVIF_TEXT;
    probe.pszText = const_cast<wchar_t*>(L"");
    ::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&probe));
    RECT row{};
    row.left = LVIR_BOUNDS;
    ::SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
    ::SendMessageW(list, LVM_DELETEITEM, 0, 0);
    const int rowHeight = row.bottom - row.top;
    if (rowHeight <= 0)
        return;

    RECT header{};
    ::GetClientRect(reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0)), &header);
    RECT client{};
    ::GetClientRect(list, &client);
    RECT frame{};
    ::GetWindowRect(list, &frame);
    ::MapWindowPoints(nullptr, ::GetParent(list), reinterpret_cast<POINT*>(&frame), 2);
    const int extra = (client.bottom - header.bottom) % rowHeight;
    ::SetWindowPos(list, nullptr, frame.left, frame.top, frame.right - frame.left,
                   frame.bottom - frame.top - extra, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
}

int TaskListPresenter::SelectionMark() const
{
    return static_cast<int>(::SendMessageW(list_.Handle(), LVM_GETSELECTIONMARK, 0, 0));
}

CBackupItem* TaskListPresenter::SelectedTask(const CBackupItemList& tasks) const
{
    const int mark = SelectionMark();
    if (mark < 0 || static_cast<size_t>(mark) >= tasks.size())
        return nullptr;
    return &tasks[static_cast<size_t>(mark)];
}

void TaskListPresenter::Refresh(const CBackupItemList& tasks, int32_t runKind, int select)
{
    const HWND list = list_.Handle();
    if (tasks.empty()) {
        ::SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
        return;
    }
    ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    const int rows = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    const int count = static_cast<int>(tasks.size());
    for (int row = rows - 1; row >= count; --row)
        ::SendMessageW(list, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);

    for (int position = 0; position < count; ++position) {
        if (position >= rows) {
            LVITEMW row{};
            row.mask = LVIF_TEXT;
            row.iItem = position;
            row.pszText = const_cast<wchar_t*>(L"");
            ::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&row));
        }
        const auto cells = TaskCellTexts(tasks[static_cast<size_t>(position)].Snapshot(), position, runKind);
        for (int column = 0; column < static_cast<int>(cells.size()); ++column) {
            LVITEMW cell{};
            cell.iSubItem = column;
            cell.pszText = const_cast<wchar_t*>(cells[static_cast<size_t>(column)].c_str());
            ::SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(position), reinterpret_cast<LPARAM>(&cell));
        }
    }
    const int rowCount = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    if (select >= 0 && select < rowCount) {
        LVITEMW state{};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        ::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(select), reinterpret_cast<LPARAM>(&state));
        ::SendMessageW(list, LVM_SETSELECTIONMARK, 0, select);
    }
    ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(list, nullptr, FALSE);
}

void TaskListPresenter::ScrollIntoView(int row)
{
    const HWND list = list_.Handle();
    const int rows = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    if (row < 0 || row >= rows)
        return;
    RECT bounds{};
    bounds.left = LVIR_BOUNDS;
    ::SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&bounds));
    RECT header{};
    ::GetClientRect(reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0)), &header);
    RECT client{};
    ::GetClientRect(list, &client);
    if (bounds.top >= header.bottom && bounds.top < client.bottom)
        return;
    const int top = static_cast<int>(::SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
    RECT topRow{};
    topRow.left = LVIR_BOUNDS;
    ::SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(top), reinterpret_cast<LPARAM>(&topRow));
    ::SendMessageW(list, LVM_SCROLL, 0, (topRow.bottom - topRow.top) * (row - top));
}

void TaskListPresenter::ScaleColumns(UINT oldDpi, UINT newDpi)
{
    const HWND list = list_.Handle();
    const HWND header = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0));
    const int columns = header ? static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
    for (int column = 0; column < columns; ++column) {
        const int width = static_cast<int>(::SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0));
        ::SendMessageW(list, LVM_SETCOLUMNWIDTH, column,
                       ::MulDiv(width, static_cast<int>(newDpi), static_cast<int>(oldDpi)));
    }
}

}  // namespace vw
