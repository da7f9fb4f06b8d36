#include "run/RunView.h"

#include "engine/RunContext.h"
#include "run/RunController.h"
#include "task/CBackupItem.h"
#include "task/RunKind.h"

namespace vw {

RunView ReadRunView(const RunController& controller, const RunContext& context)
{
    RunView view;
    view.runState = context.runState.load();
    view.runKind = context.cleaningRun.load();
    view.cleaning = view.runKind == static_cast<int32_t>(RunKind::Cleaning);
    view.batchActive = context.batchActive.load() != 0;
    if (const CBackupItem* task = context.currentTask.load()) {
        view.hasCurrentTask = true;
        view.currentTaskName = task->Snapshot().Name;
    }
    view.history = context.StatusHistory();
    view.filesDone = context.filesDone.load();
    view.filesFailedInTask = context.RetryCount();
    view.currentFile = context.CurrentFile();
    view.progress = context.progress.load();
    view.tasksDone = context.tasksDone.load();
    view.filesCopied = context.filesCopied.load();
    view.filesFailed = context.filesFailed.load();
    view.workerRunning = controller.HasWorker() && context.workerEnded.load() == 0;
    return view;
}

}  // namespace vw
