#pragma once
// Folder paths Windows cannot hold as written: a reserved device name as a part, a name that
// Windows shortens by its trailing dots or spaces, or a file where the folder (or one of the
// folders above it) should be. Shared by the task-input check and a run's destination check.
#include <string>
#include <string_view>

namespace vw {

enum class FolderPathFault {
    None,
    ReservedName,    // CON, PRN, AUX, NUL, COM1-9, LPT1-9, with or without an extension, any case
    EndsInDotOrSpace,  // Windows opens "backup." and "backup " as "backup"
    IsFile,          // the path itself is a file
    UnderFile,       // a part above the folder is a file
};

struct FolderPathProblem {
    FolderPathFault fault = FolderPathFault::None;
    std::wstring part;  // the offending name, or for a file its whole path
};

// Looks at the text only: the parts after the drive, "." and ".." being steps, not names.
FolderPathProblem FindUnusableName(const std::wstring& folder);

// Looks at the disk: the first part from the root that exists as a file.
FolderPathProblem FindFileInTheWay(const std::wstring& folder);

// Line breaks, tabs and the other C0/C1 control characters.
bool HasControlCharacter(std::wstring_view text);

}  // namespace vw
