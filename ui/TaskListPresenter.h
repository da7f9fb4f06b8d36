#pragma once
// The main window's task list: its columns, one row per task with the cell texts the core gives,
// the selection, scrolling a row into view and the column widths at a new DPI. It owns the list
// view control of the window's template (through CKoListCtrl, which draws the rows).
#include <windows.h>

#include <cstdint>

#include "ui/CKoListCtrl.h"

namespace vw {

class CBackupItem;
class CBackupItemList;

class TaskListPresenter {
public:
    TaskListPresenter() = default;
    TaskListPresenter(const TaskListPresenter&) = delete;
    TaskListPresenter& operator=(const TaskListPresenter&) = delete;

    // Takes over the list view, gives it its columns (widths for `dpi`), tooltip and styles, and
    // fits its height to whole rows.
    void SetUp(HWND list, UINT dpi);
    HWND Handle() const noexcept { return list_.Handle(); }
    CKoListCtrl& Control() noexcept { return list_; }

    // One row per task, in list order, its status as the run of `runKind` shows it (task/RunKind.h);
    // `select` (when a row) becomes the selected, focused row.
    void Refresh(const CBackupItemList& tasks, int32_t runKind, int select);
    int SelectionMark() const;
    // The task at a valid selection mark, else null.
    CBackupItem* SelectedTask(const CBackupItemList& tasks) const;
    void ScrollIntoView(int row);
    // The columns keep the widths the user gave them, in the new DPI's pixels.
    void ScaleColumns(UINT oldDpi, UINT newDpi);

private:
    void FitHeight();

    CKoListCtrl list_;
};

}  // namespace vw
