#include "run/NotificationReaction.h"

#include "engine/Notifications.h"
#include "engine/RunContext.h"
#include "task/RunKind.h"

namespace vw {

namespace {

TrayLook LookOf(int32_t runState, const RunView& view)
{
    return TrayLookFor(runState, view.hasCurrentTask ? &view.currentTaskName : nullptr, view.runKind);
}

}  // namespace

NotificationReaction ReactionTo(UINT message, WPARAM wParam, const RunView& view)
{
    NotificationReaction reaction;
    switch (message) {
    case WM_DISK_SPACE_LOW_MSG:
        reaction.clearBalloon = true;
        reaction.balloon = DiskSpaceBalloon(static_cast<wchar_t>(LOWORD(wParam)));
        break;
    case WM_BACKUP_BEGIN_MSG:
        reaction.refresh = ListRefresh::AfterController;
        reaction.clearBalloon = true;
        break;
    case WM_BACKUP_FINISH_MSG:
        // A new batch began after this message was posted: its end is past and its counters
        // are gone, and the tray must keep the running look of the new batch.
        if (view.workerRunning) {
            reaction.refresh = ListRefresh::AfterController;
            break;
        }
        // Before the controller closes the batch: the status column still sees the cleaning flag.
        reaction.refresh = ListRefresh::BeforeController;
        reaction.clearBalloon = true;
        reaction.balloon =
            view.runKind >= static_cast<int32_t>(RunKind::Verify)
                ? ReadingRunEndBalloon(wParam != 0, view.runKind, view.filesDone, view.filesCopied, view.filesFailed)
                : BatchEndBalloon(wParam != 0, view.cleaning, view.tasksDone, view.filesCopied, view.filesFailed);
        reaction.look = LookOf(kRunIdle, view);
        reaction.logSource = "CVaultwrenDlg::OnBackupFinishMsg";
        break;
    case WM_BACKUP_THREAD_START_MSG:
        reaction.refresh = ListRefresh::AfterController;
        reaction.look = LookOf(kRunRunning, view);
        reaction.logSource = "CVaultwrenDlg::OnBackupThreadStartMsg";
        break;
    case WM_BACKUP_THREAD_END_MSG:
        reaction.refresh = ListRefresh::AfterController;
        // The end of a run that was joined already, while a later run goes on, leaves its look.
        if (wParam != 0 && !view.workerRunning) {
            reaction.look = LookOf(kRunIdle, view);
            reaction.logSource = "CVaultwrenDlg::OnBackupThreadEndMsg";
        }
        break;
    case WM_BACKUP_THREAD_PAUSE_MSG:
        reaction.refresh = ListRefresh::AfterController;
        if ((wParam == 1 && view.runState == kRunPaused) || (wParam == 2 && view.runState == kRunRunning)) {
            reaction.look = LookOf(view.runState, view);
            reaction.logSource = "CVaultwrenDlg::OnBackupThreadPauseMsg";
        }
        break;
    default:
        break;
    }
    return reaction;
}

}  // namespace vw
