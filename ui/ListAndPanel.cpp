// The main window's list, status panel and toolbar buttons, rebuilt from the run's live values.
#include <windows.h>

#include "engine/RunContext.h"
#include "resources/resource.h"
#include "run/CommandRules.h"
#include "run/RunView.h"
#include "run/StatusPanel.h"
#include "ui/CVaultwrenDlg.h"

namespace vw {

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
