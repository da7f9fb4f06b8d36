#pragma once
// The task editor: a task's name, folders, options and automatic triggers, checked before anything
// is stored. A task that is not idle is shown read-only. Its two maintenance buttons hand the clean
// and reset commands to the main window.
#include <windows.h>
#include <shellapi.h>

#include "task/TaskEntries.h"
#include "ui/DialogToolTips.h"
#include "ui/ErrorBalloon.h"
#include "win/Dialog.h"
#include "win/UniqueHandle.h"

namespace vw {

class CBackupItem;
struct AppSettings;

class CItemEditDlg : public Dialog {
public:
    // `mainWindow` receives the clean-history and reset commands; MinTime is read from `settings`.
    CItemEditDlg(CBackupItem& task, bool isNew, const AppSettings& settings, HWND mainWindow);

    // IDOK when the entries were valid (and stored when they changed), IDCANCEL otherwise.
    INT_PTR Run(HWND owner);

    const ErrorBalloon& Balloon() const { return balloon_; }

protected:
    bool OnInit() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    void OnDestroy() override;

private:
    void ShowEntries();
    // False after a number field was rejected with its message; the fields after it keep their values.
    bool ReadEntries();
    // Reads, tidies the folder entries, and checks them all; the first failure is shown on its field.
    bool Validate();
    bool IsBusy() const;
    void EnableWeekdays();
    void Browse(int editId);
    void OnOk();
    void HandOver(int mainWindowCommand);
    void OnDropFiles(HDROP drop);

    CBackupItem& task_;
    bool isNew_;
    const AppSettings& settings_;
    HWND mainWindow_;
    TaskEntries entries_;
    DialogToolTips tips_;
    ErrorBalloon balloon_;
    UniqueIcon browseIcon_;
};

}  // namespace vw
