#pragma once
// What Updater.exe does with a downloaded version: the files the signed manifest lists are taken
// from the download folder into the program folder, all or none, in a way that a kill at any
// moment leaves the old or the new version whole once the next start has looked (UpdateJournal.h).
#include <windows.h>

#include <string>

namespace vw {

enum class InstallEnd {
    Installed,
    NoManifest,         // no manifest, or one that lists no file
    BadSignature,       // the manifest is not signed with the key this program trusts
    Refused,            // a refused name, a missing file, a wrong size or digest of a staged copy
    NotNewer,           // the offered version is not above the one installed (or that cannot be read)
    NotAProgramFolder,  // the target folder holds no Vaultwren.exe
    CopyFailed,         // a file could not be staged or put in place: everything was put back
    RollbackFailed,     // and putting back failed too: the journal stays for the next start
};

struct InstallResult {
    InstallEnd end = InstallEnd::NoManifest;
    std::wstring file;  // the file that failed or was refused
    DWORD error = 0;    // the system's code of a failed copy or move
};

// The steps, each of which a crash test can halt (win/HaltPoint.h):
//   1. an earlier interrupted swap is finished or undone;
//   2. every file is copied into the staging folder's "new\" and the copy's size and SHA-256 are
//      checked ("update-staged");
//   3. the journal is written: state "swapping" and every file ("update-journal");
//   4. per file n: an existing file gets a second name in "old\" (a hard link, or a copy where the
//      volume has none), so that its real name never stands empty ("update-set-aside-n"), then the
//      staged copy takes the real name in one rename ("update-replaced-n");
//   5. the journal says "installed" ("update-committed"); then the staging folder goes.
// A failure in 2-5 undoes every step taken; the program folder then holds the old version.
InstallResult InstallUpdate(const std::wstring& manifestPath, const std::wstring& downloadFolder,
                            const std::wstring& programFolder);

}  // namespace vw
