#pragma once
// The "恢复文件…" dialog: the folder a task's backup is restored into (typed, picked or dropped)
// and whether each file's previous version is taken from the history folder.
#include <windows.h>

#include <string>

#include "win/Dialog.h"
#include "win/UniqueHandle.h"

namespace vw {

struct RestoreChoice {
    std::wstring target;
    bool previous = false;
};

class CRestoreDlg : public Dialog {
public:
    // `destFolder`: the task's destination, which the target must stay apart from.
    CRestoreDlg(std::wstring destFolder, RestoreChoice initial);

    INT_PTR Run(HWND owner);
    // As shown at the start, or as confirmed with OK.
    const RestoreChoice& Choice() const { return choice_; }

protected:
    bool OnInit() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    // Takes the fields over when the target can be restored into; otherwise says why.
    bool ReadFields();

    std::wstring destFolder_;
    RestoreChoice choice_;
    UniqueIcon browseIcon_;
};

}  // namespace vw
