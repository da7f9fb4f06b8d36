// The main window's commands on tasks, its menus and the tray icon's mouse events.
#include <windows.h>
#include <shellapi.h>

#include <memory>

#include "engine/RunContext.h"
#include "resources/resource.h"
#include "run/CommandRules.h"
#include "task/AppSettings.h"
#include "task/TaskReset.h"
#include "ui/CItemEditDlg.h"
#include "ui/CVaultwrenDlg.h"
#include "ui/ShellFolders.h"
#include "win/Format.h"
#include "win/MessageBox.h"

namespace vw {

int CVaultwrenDlg::SelectionMark() const
{
    return list_.SelectionMark();
}

CBackupItem* CVaultwrenDlg::SelectedTask() const
{
    return list_.SelectedTask(tasks_);
}

void CVaultwrenDlg::AddTask()
{
    // Every change of the list is refused while a run holds tasks of it, whatever sent the command.
    if (context_.runState.load() != kRunIdle)
        return;
    // The new task stays out of the list until the editor is confirmed: while the editor's loop
    // runs, a start command or a task's timer works on the list, and must not find a task the user
    // has not accepted yet. An interruption meanwhile leaves nothing of it in the profile either.
    std::unique_ptr<CBackupItem> made = tasks_.MakeNew();
    // No clean or reset handed back from a new task's editor: there is nothing of it to clean, and
    // the command would act on whatever row is selected.
    CItemEditDlg editor(*made, true, settings_, nullptr);
    if (editor.Run(Handle()) != IDOK)
        return;
    // A run the editor's loop let begin meanwhile holds tasks of the list, but never moves them:
    // a task added at the end leaves them where they are.
    CBackupItem* added = tasks_.Append(std::move(made));
    if (!added)
        return;  // not stored: the list and the profile stay as they were
    added->state = kTaskIdle;
    added->Reschedule(Handle(), settings_.MinTime.load(), false);
    const int position = static_cast<int>(tasks_.size()) - 1;
    RefreshList(position);
    list_.ScrollIntoView(position);
}

void CVaultwrenDlg::EditSelectedTask()
{
    const int position = SelectionMark();
    CBackupItem* task = SelectedTask();
    if (!task)
        return;
    list_.ScrollIntoView(position);
    CItemEditDlg editor(*task, false, settings_, Handle());
    if (editor.Run(Handle()) != IDOK)
        return;
    task->state = kTaskIdle;
    task->Reschedule(Handle(), settings_.MinTime.load(), false);
    RefreshList(position);
}

void CVaultwrenDlg::DeleteSelectedTask()
{
    CBackupItem* task = SelectedTask();
    if (!task || context_.runState.load() != kRunIdle)
        return;
    list_.ScrollIntoView(SelectionMark());
    const std::wstring question = Format(L"真的要删除备份任务“%s”吗？", task->Name.c_str());
    if (ShowMessage(Handle(), question, MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
        return;
    // The question waited in a message loop: a run may have begun meanwhile.
    if (context_.runState.load() != kRunIdle || task != SelectedTask())
        return;
    ::KillTimer(Handle(), static_cast<UINT_PTR>(task->timerId));
    tasks_.Remove(*task);
    RefreshList(-1);
}

void CVaultwrenDlg::StartAllOrResume()
{
    const int32_t state = context_.runState.load();
    if (state == kRunPaused)
        controller_.Resume();
    else if (state == kRunIdle)
        controller_.StartAll();
    RefreshList(-1);
}

void CVaultwrenDlg::Pause()
{
    controller_.RequestPause();
}

void CVaultwrenDlg::StopAll()
{
    controller_.StopAll();
    RefreshList(-1);
}

void CVaultwrenDlg::MoveSelectedUp()
{
    MoveSelected(-1);
}

void CVaultwrenDlg::MoveSelectedDown()
{
    MoveSelected(1);
}

void CVaultwrenDlg::MoveSelected(int step)
{
    const int mark = SelectionMark();
    const int target = mark + step;
    const int count = static_cast<int>(tasks_.size());
    if (context_.runState.load() != kRunIdle || mark < 0 || mark >= count || target < 0 || target >= count)
        return;
    tasks_.Swap(mark, target);
    RefreshList(target);
    list_.ScrollIntoView(target);
}

void CVaultwrenDlg::StartSelectedTask()
{
    CBackupItem* task = SelectedTask();
    if (!task)
        return;
    if (context_.runState.load() == kRunPaused && task->state.load() == kTaskPaused) {
        controller_.Resume();
    } else if (task->state.load() == kTaskIdle) {
        controller_.Enqueue(task, true, true);
        RefreshList(-1);
    }
}

void CVaultwrenDlg::PauseSelectedTask()
{
    const CBackupItem* task = SelectedTask();
    if (task && TaskPausable(context_.runState.load(), task->state.load()))
        controller_.RequestPause();
}

void CVaultwrenDlg::StopSelectedTask()
{
    CBackupItem* task = SelectedTask();
    if (task && TaskStoppable(context_.runState.load(), task->state.load())) {
        controller_.StopTask(task);
        RefreshList(-1);
    }
}

void CVaultwrenDlg::OpenBackupFolder()
{
    if (const CBackupItem* task = SelectedTask())
        OpenFolder(Handle(), task->Snapshot().Dest);
}

void CVaultwrenDlg::OpenHistoryFolder()
{
    const CBackupItem* task = SelectedTask();
    if (!task)
        return;
    const TaskSnapshot snapshot = task->Snapshot();
    if (!snapshot.History)
        return;
    std::wstring folder = snapshot.Dest;
    if (folder.empty() || folder.back() != L'\\')
        folder += L'\\';
    OpenFolder(Handle(), folder + L"_历史文件");
}

void CVaultwrenDlg::ResetSelectedTask()
{
    CBackupItem* task = SelectedTask();
    if (!task)
        return;
    if (!ResetTask(*task)) {
        ShowMessage(Handle(), kResetRefusedText);
        return;
    }
    RefreshList(-1);
    ShowMessage(Handle(), kResetDoneText);
}

void CVaultwrenDlg::CleanSelectedHistory()
{
    CBackupItem* task = SelectedTask();
    if (!task)
        return;
    if (task->state.load() != kTaskIdle || context_.runState.load() != kRunIdle) {
        ShowMessage(Handle(), kBusyText);
        return;
    }
    const std::wstring question = Format(
        L"您确定要清理任务“%s”备份中的过期历史文件吗？\r\n此操作可能导致你失去备份的已删除文件！", task->Name.c_str());
    if (ShowMessage(Handle(), question, MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
        return;
    if (context_.runState.load() == kRunIdle && task == SelectedTask())
        controller_.StartCleaning(task);
}

void CVaultwrenDlg::ShowMainWindow()
{
    if (startMinimised_) {
        // From now on an ordinary application window, with its taskbar button.
        const LONG_PTR style = ::GetWindowLongPtrW(Handle(), GWL_EXSTYLE);
        ::SetWindowLongPtrW(Handle(), GWL_EXSTYLE, (style & ~WS_EX_TOOLWINDOW) | WS_EX_APPWINDOW);
        ::ShowWindow(Handle(), SW_HIDE);
    }
    startMinimised_ = false;
    ::ShowWindow(Handle(), SW_SHOWNORMAL);
    ::SetForegroundWindow(Handle());
}

void CVaultwrenDlg::PostExit()
{
    ::PostMessageW(Handle(), WM_CLOSE, 0, 0);
}

void CVaultwrenDlg::ShowTaskMenu(POINT inList)
{
    if (toolbar_.Visible())
        UpdateCommandStates();
    const CBackupItem* task = SelectedTask();
    if (!task)
        return;
    const UniqueMenu menu(::LoadMenuW(instance_, MAKEINTRESOURCEW(IDR_TASK_MENU)));
    const HMENU popup = menu ? ::GetSubMenu(menu.get(), 0) : nullptr;
    if (!popup)
        return;
    ::ClientToScreen(list_.Handle(), &inList);

    ContextMenuInputs inputs{};
    inputs.runState = context_.runState.load();
    inputs.taskState = task->state.load();
    inputs.cleaning = context_.cleaningRun.load() != 0;
    inputs.isCurrent = context_.currentTask.load() == task;
    inputs.selectionMark = SelectionMark();
    inputs.taskCount = static_cast<int>(tasks_.size());
    inputs.keepsHistory = task->Snapshot().History != 0;
    for (const UINT command : DisabledContextCommands(inputs))
        ::EnableMenuItem(popup, command, MF_BYCOMMAND | MF_GRAYED);
    ::TrackPopupMenu(popup, TPM_LEFTALIGN, inList.x, inList.y, 0, Handle(), nullptr);
}

void CVaultwrenDlg::OnTrayNotify(WPARAM iconId, LPARAM mouseMessage)
{
    switch (TrayActionFor(iconId, mouseMessage)) {
    case TrayAction::ShowWindow:
        ShowMainWindow();
        break;
    case TrayAction::ShowMenu:
        tray_.ShowMenu(context_.runState.load());
        break;
    case TrayAction::None:
        break;
    }
}

}  // namespace vw
