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
    list_.Refresh(tasks_, context_.cleaningRun.load(), select);
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
    const int mark = list_.SelectionMark();
    const int count = static_cast<int>(tasks_.size());
    for (const UINT command : kButtons)
        toolbar_.Enable(command, ToolbarCommandEnabled(command, runState, mark, count));
}

}  // namespace vw
