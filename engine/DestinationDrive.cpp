// What a destination's drive must be, and what its volume is formatted with.
#include <windows.h>

#include "engine/CBackupEngine.h"
#include "win/Text.h"

namespace vw {

bool DriveIsUsable(const std::wstring& path, bool allowOptical)
{
    if (path.size() < 2 || path[1] != L':')
        return false;
    const wchar_t letter = path[0];
    wchar_t upper = 0;
    if (letter >= L'C' && letter <= L'Z')
        upper = letter;
    else if (letter >= L'c' && letter <= L'z')
        upper = static_cast<wchar_t>(letter - L'a' + L'A');
    else
        return false;  // A: and B: are floppy drives, anything else is no drive letter.

    if ((GetLogicalDrives() & (1u << (upper - L'A'))) == 0)
        return false;
    // The root with its backslash, as the call documents it.
    const wchar_t root[] = {letter, L':', L'\\', 0};
    const UINT type = GetDriveTypeW(root);
    if (type == DRIVE_UNKNOWN || type == DRIVE_NO_ROOT_DIR)
        return false;
    return allowOptical || type != DRIVE_CDROM;
}

bool IsFatVolume(const std::wstring& fileSystemName)
{
    return EqualsIgnoringCase(fileSystemName, L"FAT") || EqualsIgnoringCase(fileSystemName, L"FAT32") ||
           EqualsIgnoringCase(fileSystemName, L"exFAT");
}

}  // namespace vw
