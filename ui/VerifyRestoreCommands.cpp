// The main window's verify and restore commands on the selected task: each starts a run that is
// a batch of its own, as cleaning does, and is refused while anything runs.
#include <windows.h>

#include "engine/FileOps.h"
#include "engine/RestorePass.h"
#include "engine/RunContext.h"
#include "run/CommandRules.h"
#include "run/LogWriter.h"
#include "task/CBackupItem.h"
#include "task/DateTime.h"
#include "ui/CRestoreDlg.h"
#include "ui/CVaultwrenDlg.h"
#include "ui/ShellFolders.h"
#include "win/MessageBox.h"

namespace vw {

bool CVaultwrenDlg::TaskFreeForOwnRun(const CBackupItem& task) const
{
    return task.state.load() == kTaskIdle && context_.runState.load() == kRunIdle &&
           context_.batchActive.load() == 0;
}

CBackupItem* CVaultwrenDlg::SelectedFreeTask()
{
    CBackupItem* task = SelectedTask();
    if (task && !TaskFreeForOwnRun(*task)) {
        ShowMessage(Handle(), kBusyText);
        return nullptr;
    }
    return task;
}

void CVaultwrenDlg::VerifySelectedTask()
{
    CBackupItem* task = SelectedFreeTask();
    if (!task)
        return;
    context_.verifyRequest = VerifyRequest{};
    controller_.StartOwnBatch(task, RunKind::Verify);
    RefreshList(-1);
}

void CVaultwrenDlg::RestoreFromSelectedTask()
{
    CBackupItem* task = SelectedFreeTask();
    if (!task)
        return;
    const TaskSnapshot snapshot = task->Snapshot();
    const DateTime today = DateTime::Now();
    CRestoreDlg dialog(AppendBackslash(snapshot.Dest),
                       RestoreChoice{DefaultRestoreFolder(DesktopFolder(), snapshot.Name, today.Year(), today.Month(),
                                                          today.Day(), PathExists)});
    if (dialog.Run(Handle()) != IDOK)
        return;
    // A scheduled run may have begun while the dialog was open.
    if (task != SelectedTask() || !TaskFreeForOwnRun(*task)) {
        ShowMessage(Handle(), kBusyText);
        return;
    }
    context_.restoreRequest = RestoreRequest{dialog.Choice().target, {}, dialog.Choice().previous, false};
    controller_.StartOwnBatch(task, RunKind::Restore);
    RefreshList(-1);
}

void CVaultwrenDlg::OfferToOpenRestoredFolder(const std::wstring& target)
{
    if (ShowMessage(Handle(), RestoreOpenQuestion(target), MB_YESNO | MB_ICONQUESTION) == IDYES)
        OpenFolder(Handle(), target);
}

}  // namespace vw
