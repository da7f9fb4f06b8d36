#pragma once
// Reads and sets the standard controls of a window in any process, this one or another, as a
// script that drives the program would: the messages that carry pointers get their memory in the
// window's process (VirtualAllocEx), the others are sent as they are.
#include <windows.h>

#include <string>
#include <vector>

namespace vwtest {

using Rows = std::vector<std::vector<std::wstring>>;

// Every cell of a report list view, row by row.
Rows ListViewRows(HWND list);
std::vector<std::wstring> ListViewHeadings(HWND list);
int ListViewSelectionMark(HWND list);
// The row's bounds in the list's client coordinates (empty when there is no such row).
RECT ListViewRowRect(HWND list, int row);
// Selects and focuses the row and makes it the selection mark, as a click would.
void ListViewSelect(HWND list, int row);

// The text of any window, through WM_GETTEXT (marshalled by the system across processes).
std::wstring WindowText(HWND window);

// The labels of a toolbar's buttons in order (separators left out).
std::vector<std::wstring> ToolbarLabels(HWND toolbar);
bool ToolbarButtonEnabled(HWND toolbar, UINT command);

}  // namespace vwtest
