#pragma once
// The program's message boxes: always captioned with the program's name.
#include <windows.h>

#include <string>

namespace vw {

inline constexpr wchar_t kProgramName[] = L"Vaultwren";

// MessageBoxW with the program's caption; `flags` as MessageBoxW's (buttons and icon).
int ShowMessage(HWND owner, const std::wstring& text, UINT flags = MB_OK | MB_ICONEXCLAMATION);

}  // namespace vw
