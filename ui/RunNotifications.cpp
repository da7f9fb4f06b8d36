// The main window's side of a run: the worker notifications, the tray looks they bring, the task
// list and the status panel rebuilt from the run's live values.
#include <windows.h>
#include <commctrl.h>

#include "engine/Notifications.h"
#include "engine/RunContext.h"
#include "resources/resource.h"
#include "run/CommandRules.h"
#include "run/NotificationReaction.h"
#include "run/RunView.h"
#include "run/StatusPanel.h"
#include "run/RunController.h"
#include "run/TrayLook.h"
#include "task/CBackupItem.h"
#include "task/TaskCells.h"
#include "ui/CVaultwrenDlg.h"
#include "win/MessageBox.h"

namespace vw {

void CVaultwrenDlg::OnRunNotification(UINT message, WPARAM wParam)
{
    // Decided from the run as it stands now: the controller's part may close the batch and reset
    // the counters the balloon reports.
    const RunView view = ReadRunView(controller_, context_);
    const NotificationReaction reaction = ReactionTo(message, wParam, view);
    // A restore that ended by itself offers its folder once its batch is closed.
    const bool restoreEnded = message == WM_BACKUP_FINISH_MSG && wParam == 0 && !view.workerRunning &&
                              view.runKind == static_cast<int32_t>(RunKind::Restore);
    const HeldRemovals heldRemovals = message == WM_BACKUP_FINISH_MSG ? controller_.HeldRemovalsToAsk() : HeldRemovals{};
    if (reaction.refresh == ListRefresh::BeforeController)
        RefreshList(-1);
    controller_.HandleMessage(message, wParam);
    if (reaction.clearBalloon) {
        ::KillTimer(Handle(), kBalloonTimerId);
        tray_.ClearBalloon();
    }
    if (reaction.balloon)
        tray_.ShowBalloon(reaction.balloon->text, reaction.balloon->title, reaction.balloon->icon);
    if (reaction.look) {
        ShowTrayLook(*reaction.look);
        Log(reaction.logSource, kTrayChangedLogText);
    }
    if (reaction.refresh == ListRefresh::AfterController)
        RefreshList(-1);
    UpdateCommandStates();
    // Asked once the batch is closed, so that Yes can start the task's new batch.
    if (heldRemovals.task && context_.batchActive.load() == 0 &&
        ShowMessage(Handle(), HeldRemovalsQuestion(heldRemovals.task->Name, heldRemovals.files),
                    MB_YESNO | MB_ICONWARNING) == IDYES) {
        controller_.RunAllowingRemovals(heldRemovals);
        RefreshList(-1);
        UpdateCommandStates();
    }
    if (restoreEnded)
        OfferToOpenRestoredFolder(context_.restoreRequest.target);
}

void CVaultwrenDlg::ShowTrayLook(const TrayLook& look)
{
    tray_.SetLook(look.iconId == IDI_TRAY_RUNNING ? trayRunningIcon_.get() : trayIdleIcon_.get(), look.tooltip);
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

    const int32_t runKind = context_.cleaningRun.load();
    for (int position = 0; position < count; ++position) {
        if (position >= rows) {
            LVITEMW row{};
            row.mask = LVIF_TEXT;
            row.iItem = position;
            row.pszText = const_cast<wchar_t*>(L"");
            ::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&row));
        }
        const auto cells = TaskCellTexts(tasks_[static_cast<size_t>(position)].Snapshot(), position, runKind);
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
    const RunView view = ReadRunView(controller_, context_);
    ::SetDlgItemTextW(Handle(), IDC_STATUS_GROUP, StatusCaption(view.runState, view.runKind).c_str());
    const std::wstring text = StatusPanelText(view, DateTime::Now());
    const HWND panel = Item(IDC_STATUS_PANEL);
    ::SetWindowTextW(panel, text.c_str());
    const int lines = static_cast<int>(::SendMessageW(panel, EM_GETLINECOUNT, 0, 0));
    ::SendMessageW(panel, EM_LINESCROLL, 0, lines);
    if (const int beyond = StatusLinesToTrim(text); beyond > 0)
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
