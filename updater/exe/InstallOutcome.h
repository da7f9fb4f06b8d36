#pragma once
// How one run of Updater.exe ended, in the words the user reads and the line the log keeps.
#include <windows.h>

#include <string>

#include "updater/UpdateInstall.h"

namespace vw {

enum class InstallOutcome {
    Installed,
    FilesInUse,        // a file of the program folder was held by another program
    CannotWrite,       // the program folder took no new file (a full disk, no rights)
    DownloadDamaged,   // the downloaded files are missing, incomplete or not the published ones
    BadSignature,      // the manifest is not the vendor's
    NotNewer,          // the offered version is not above the installed one
    RollbackFailed,    // the install failed and the old version could not be put back whole
    NoProgramFolder,   // the profile names no folder, or one without Vaultwren.exe
    StillRunning,      // Vaultwren did not end within the wait
    RunnerStillRuns,   // a console runner (VaultwrenCmd.exe) did not end within the wait
};

// A failure of the install that may be gone a moment later: the file was in use.
bool IsFileInUse(const InstallResult& result);
// Worth another attempt: a file in use, or one refused for a moment (a program that has just ended,
// a virus scanner reading the file).
bool MayPass(const InstallResult& result);

InstallOutcome OutcomeOf(const InstallResult& result);

// What the user is told after a failed install: why, in plain words, and whether the old version
// still works. Empty for a successful install, which stays silent.
std::wstring FailureMessage(InstallOutcome outcome);

// Shows the failure on its own (no owner, in front of every window) and returns once the user
// has closed it.
void TellUser(const std::wstring& message);

// "<version>: <outcome>[ - <file>][ (error <code>)]" for the updater's log.
std::wstring LogLine(InstallOutcome outcome, const std::wstring& version, const InstallResult& result);

}  // namespace vw
