#pragma once
// What Updater.exe does with a downloaded version: the files the manifest lists are taken from the
// download folder into the program folder, all or none.
#include <windows.h>

#include <string>

namespace vw {

enum class InstallEnd {
    Installed,
    NoManifest,    // no manifest, or one that lists no file
    Refused,       // a name outside the program folder, a missing file, a wrong size or digest
    NotAProgramFolder,  // the target folder holds no Vaultwren.exe
    CopyFailed,    // a file could not be written or put in place: everything was put back
};

struct InstallResult {
    InstallEnd end = InstallEnd::NoManifest;
    std::wstring file;  // the file that failed or was refused
    DWORD error = 0;    // the system's code of a failed copy
};

// Every file is first written beside its target ("<name>.vwnew"); only when all are there are they
// swapped in, each old file kept as "<name>.vwold" until the last swap succeeded. A failure puts
// every replaced file back and removes what was added.
InstallResult InstallUpdate(const std::wstring& manifestPath, const std::wstring& downloadFolder,
                            const std::wstring& programFolder);

}  // namespace vw
