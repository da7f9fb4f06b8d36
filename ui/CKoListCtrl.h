#pragma once
// The task list: a report list view with owner-drawn rows, folder paths shortened in the middle, a
// hover tooltip with the full text of the cell under the mouse (a hint below the rows), and no
// selection left behind by a click on empty space. The main window fills the rows; this control
// only draws and helps.
#include <windows.h>
#include <commctrl.h>

#include <array>
#include <string>

#include "win/UniqueHandle.h"

namespace vw {

class CKoListCtrl {
public:
    CKoListCtrl() = default;
    CKoListCtrl(const CKoListCtrl&) = delete;
    CKoListCtrl& operator=(const CKoListCtrl&) = delete;
    ~CKoListCtrl();

    // Takes over the list view control of the dialog.
    void Attach(HWND list);
    HWND Handle() const noexcept { return list_; }

    // A tooltip that shows at once, also while the window is not active; false when it could not
    // be made (the list then works without one).
    bool SetUpTooltip(const std::wstring& hint);
    // Up to three columns whose cells are shortened in the middle; -1 leaves an entry empty.
    void SetPathEllipsisColumns(int first, int second = -1, int third = -1);

    // The parent hands on the drawing of each row (WM_DRAWITEM) ...
    void DrawRow(const DRAWITEMSTRUCT& item) const;
    // ... and the click notifications of the list before it looks at them itself.
    void OnClickNotify(const NMITEMACTIVATE& click);

    std::wstring CellText(int row, int column) const;
    // The text the tooltip shows now (empty when it shows none).
    const std::wstring& TooltipText() const noexcept { return tipText_; }

private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR self) noexcept;
    void OnMouseMove(LPARAM position);
    // The one tooltip tool, over the list's whole client area, showing `text`.
    TTTOOLINFOW WholeListTool(wchar_t* text) const;
    void Detach();
    bool IsPathColumn(int column) const;

    HWND list_ = nullptr;
    UniqueWindow tooltip_;
    std::wstring hint_;
    std::wstring tipText_;
    int lastRow_ = -1;
    int lastColumn_ = -1;
    std::array<int, 3> pathColumns_{-1, -1, -1};
};

}  // namespace vw
