#pragma once
// Paths next to the running program and in the user's temporary folder, and a size probe.
#include <cstdint>
#include <string>

namespace vw {

// The program's folder, "\" and `name`; returns the length, 0 when the program's path is unknown.
size_t ProgramFolderFile(std::wstring& out, const std::wstring& name);
// The temporary folder, `subPath` (one leading "\" dropped, a trailing one added when missing)
// and `name`; returns the length, 0 when the system names no temporary folder.
size_t TempFolderFile(std::wstring& out, const std::wstring& subPath, const std::wstring& name);
// Makes every missing folder of the folder part of `path` (everything before its last "\").
// The updater's paths lie in the temporary and the program folder, well inside the plain path length.
bool MakeParentFolders(const std::wstring& path);
// The size of the first entry a search for `path` finds; -1 when none.
int64_t FindFileSize(const std::wstring& path);

}  // namespace vw
