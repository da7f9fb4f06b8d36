// The main window's side of a run: the worker notifications, the tray looks they bring, the task
// list and the status panel rebuilt from the run's live values.
#include <windows.h>
#include <commctrl.h>

#include "engine/Notifications.h"
#include "engine/RunContext.h"
#include "resources/resource.h"
#include "run/CommandRules.h"
#include "run/StatusPanel.h"
#include "run/TrayLook.h"
#include "task/TaskCells.h"
#include "ui/CVaultwrenDlg.h"

namespace vw {

void CVaultwrenDlg::OnRunNotification(UINT message, WPARAM wParam)
{
    switch (message) {
    case WM_DISK_SPACE_LOW_MSG:
        OnDiskSpaceLow(static_cast<wchar_t>(wParam & 0xFFFF));
        break;
    case WM_BACKUP_BEGIN_MSG:
        RefreshList(-1);
        ::KillTimer(Handle(), kBalloonTimerId);
        tray_.ClearBalloon();
        break;
    case WM_BACKUP_FINISH_MSG:
        OnBatchFinished(wParam != 0);
        break;
    case WM_BACKUP_THREAD_START_MSG:
        OnTaskStarted();
        break;
    case WM_BACKUP_THREAD_END_MSG:
        OnTaskEnded(wParam);
        break;
    case WM_BACKUP_THREAD_PAUSE_MSG:
        OnPauseChanged(wParam);
        break;
    default:
        break;
    }
    UpdateCommandStates();
}

void CVaultwrenDlg::OnDiskSpaceLow(wchar_t driveLetter)
{
    ::KillTimer(Handle(), kBalloonTimerId);
    tray_.ClearBalloon();
    const Balloon balloon = DiskSpaceLowBalloon(driveLetter);
    tray_.ShowBalloon(balloon.text, balloon.title, static_cast<BalloonIcon>(balloon.icon));
    controller_.HandleMessage(WM_DISK_SPACE_LOW_MSG, driveLetter);
}

void CVaultwrenDlg::OnBatchFinished(bool stopped)
{
    // The controller's end of the batch clears the counters and the cleaning flag: read them first.
    const bool cleaning = context_.cleaningRun.load() != 0;
    const std::optional<Balloon> balloon = BatchEndBalloon(
        stopped, cleaning, context_.tasksDone.load(), context_.filesCopied.load(), context_.filesFailed.load());
    controller_.HandleMessage(WM_BACKUP_FINISH_MSG, stopped ? 1 : 0);
    RefreshList(-1);
    // A batch that began after this message was posted is still on: the message is not its end.
    if (context_.batchActive.load() != 0)
        return;
    ::KillTimer(Handle(), kBalloonTimerId);
    tray_.ClearBalloon();
    if (balloon)
        tray_.ShowBalloon(balloon->text, balloon->title, static_cast<BalloonIcon>(balloon->icon));
    SetTrayLook(kRunIdle, "CVaultwrenDlg::OnBackupFinishMsg");
}

void CVaultwrenDlg::OnTaskStarted()
{
    controller_.HandleMessage(WM_BACKUP_THREAD_START_MSG, 0);
    SetTrayLook(kRunRunning, "CVaultwrenDlg::OnBackupThreadStartMsg");
    RefreshList(-1);
}

void CVaultwrenDlg::OnTaskEnded(WPARAM how)
{
    controller_.HandleMessage(WM_BACKUP_THREAD_END_MSG, how);
    if (how != 0)
        SetTrayLook(kRunIdle, "CVaultwrenDlg::OnBackupThreadEndMsg");
    RefreshList(-1);
}

void CVaultwrenDlg::OnPauseChanged(WPARAM what)
{
    controller_.HandleMessage(WM_BACKUP_THREAD_PAUSE_MSG, what);
    const int32_t runState = context_.runState.load();
    if (what == 1 && runState == kRunPaused)
        SetTrayLook(kRunPaused, "CVaultwrenDlg::OnBackupThreadPauseMsg");
    else if (what == 2 && runState == kRunRunning)
        SetTrayLook(kRunRunning, "CVaultwrenDlg::OnBackupThreadPauseMsg");
    RefreshList(-1);
}

void CVaultwrenDlg::SetTrayLook(int runState, const char* source)
{
    const CBackupItem* current = context_.currentTask.load();
    const std::wstring name = current ? current->Snapshot().Name : std::wstring();
    const TrayLook look = TrayLookFor(runState, current ? &name : nullptr, context_.cleaningRun.load() != 0);
    tray_.SetLook(look.iconId == IDI_TRAY_RUNNING ? trayRunningIcon_.get() : trayIdleIcon_.get(), look.tooltip);
    if (source)
        Log(source, L"Vaultwren修改托盘信息");
}

void CVaultwrenDlg::RefreshList(int select)
{
    const HWND list = list_.Handle();
    if (tasks_.empty()) {
        ::SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
        return;
    }
    ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    const int rows = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    const int count = static_cast<int>(tasks_.size());
    for (int row = rows - 1; row >= count; --row)
        ::SendMessageW(list, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);

    const bool cleaning = context_.cleaningRun.load() != 0;
    for (int position = 0; position < count; ++position) {
        if (position >= rows) {
            LVITEMW row{};
            row.mask = LVIF_TEXT;
            row.iItem = position;
            row.pszText = const_cast<wchar_t*>(L"");
            ::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&row));
        }
        const auto cells = TaskCellTexts(tasks_[static_cast<size_t>(position)].Snapshot(), position, cleaning);
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
    RefreshStatusPanel();
}

void CVaultwrenDlg::RefreshStatusPanel()
{
    const StatusView view = ReadStatusView(context_);
    ::SetDlgItemTextW(Handle(), IDC_STATUS_GROUP, StatusCaption(view).c_str());
    const HWND panel = Item(IDC_STATUS_PANEL);
    ::SetWindowTextW(panel, StatusPanelText(view).c_str());
    const int lines = static_cast<int>(::SendMessageW(panel, EM_GETLINECOUNT, 0, 0));
    ::SendMessageW(panel, EM_LINESCROLL, 0, lines);
    if (const int beyond = HistoryLinesBeyondLimit(lines); beyond > 0)
        context_.TrimStatusHistory(beyond);
}

void CVaultwrenDlg::UpdateCommandStates()
{
    static constexpr UINT kButtons[] = {ID_ADD_TASK, ID_EDIT_TASK, ID_DELETE_TASK, ID_START, ID_PAUSE,
                                        ID_STOP,     ID_MOVE_UP,   ID_MOVE_DOWN,   ID_OPTIONS, ID_ABOUT};
    const int runState = context_.runState.load();
    const int mark = SelectionMark();
    const int count = static_cast<int>(tasks_.size());
    for (const UINT command : kButtons)
        toolbar_.Enable(command, ToolbarCommandEnabled(command, runState, mark, count));
}

void CVaultwrenDlg::ScrollIntoView(int row)
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

}  // namespace vw
