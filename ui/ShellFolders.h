#pragma once
// Folders through the shell: the folder picker the dialogs' browse buttons open, and a folder
// opened in Explorer.
#include <windows.h>

#include <string>

namespace vw {

// The folder the user picked, or empty when the picker was cancelled.
std::wstring PickFolder(HWND owner, const wchar_t* title);
// A folder that is not there is the shell's to report.
void OpenFolder(HWND owner, std::wstring folder);

}  // namespace vw
