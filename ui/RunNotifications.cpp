#include "ui/RunNotifications.h"

#include <utility>

#include "engine/Notifications.h"
#include "engine/RunContext.h"
#include "run/LogWriter.h"
#include "run/NotificationReaction.h"
#include "run/RunController.h"
#include "run/RunView.h"
#include "task/CBackupItem.h"
#include "task/RunKind.h"
#include "ui/MainTray.h"

namespace vw {

RunNotifications::RunNotifications(RunController& controller, RunContext& context, MainTray& tray, LogWriter& log,
                                   WindowSide window)
    : controller_(controller), context_(context), tray_(tray), log_(log), window_(std::move(window))
{
}

bool RunNotifications::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message < WM_DISK_SPACE_LOW_MSG || message > WM_BACKUP_THREAD_PAUSE_MSG)
        return false;
    // A message of a run that was stopped since it was posted is stale.
    if (context_.IsCurrent(lParam))
        Act(message, wParam);
    return true;
}

void RunNotifications::Act(UINT message, WPARAM wParam)
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
        window_.refreshList();
    controller_.HandleMessage(message, wParam);
    if (reaction.clearBalloon) {
        ::KillTimer(context_.window.load(), kBalloonTimerId);
        tray_.ClearBalloon();
    }
    if (reaction.balloon)
        tray_.ShowBalloon(reaction.balloon->text, reaction.balloon->title, reaction.balloon->icon);
    if (reaction.look) {
        tray_.ShowLook(*reaction.look);
        log_.WriteLine(reaction.logSource, kTrayChangedLogText);
    }
    if (reaction.refresh == ListRefresh::AfterController)
        window_.refreshList();
    window_.updateCommandStates();
    // Asked once the batch is closed, so that Yes can start the task's new batch.
    if (heldRemovals.task && context_.batchActive.load() == 0 &&
        window_.askYesNo(HeldRemovalsQuestion(heldRemovals.task->Name, heldRemovals.files))) {
        controller_.RunAllowingRemovals(heldRemovals);
        window_.refreshList();
        window_.updateCommandStates();
    }
    if (restoreEnded)
        window_.offerRestoredFolder(context_.restoreRequest.target);
}

}  // namespace vw
