// Updater.exe: started from the updater's working folder once Vaultwren has handed over. It waits
// until Vaultwren has ended, puts the downloaded version into the program folder (all files or
// none) and starts Vaultwren again, the new version or, after a failure, the old one. A failure is
// then told to the user; every run leaves a line in "Updater.log" of the working folder.
//
// No arguments in use; an optional first argument names the profile below HKEY_CURRENT_USER
// (and with it the working folder) in place of the program's own, as the tests run it. The tests
// also shorten the wait for Vaultwren to end with VAULTWREN_UPDATER_WAIT_MS (milliseconds).
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <optional>
#include <string>

#include "updater/CUpdater.h"
#include "updater/ManifestSignature.h"
#include "updater/ProgramFolders.h"
#include "updater/UpdateInstall.h"
#include "updater/UpdateManifest.h"
#include "updater/UpdaterKeys.h"
#include "updater/exe/InstallOutcome.h"
#include "updater/exe/UpdaterLog.h"
#include "win/InstanceName.h"
#include "win/MutexLock.h"
#include "win/UniqueHandle.h"

namespace {

constexpr DWORD kProgramEndWaitMs = 60000;
constexpr wchar_t kWaitVariable[] = L"VAULTWREN_UPDATER_WAIT_MS";
constexpr wchar_t kLogName[] = L"Updater.log";

constexpr int kInstallAttempts = 5;
constexpr DWORD kInstallRetryMs = 500;

enum ExitCode : int { kInstalled = 0, kNotInstalled = 1, kNoProgramFolder = 2, kProgramStillRuns = 3 };

std::wstring ProfileRoot(std::wstring subPath)
{
    while (!subPath.empty() && subPath.back() == L'\\')
        subPath.pop_back();
    return subPath;
}

DWORD ProgramEndWaitMs()
{
    wchar_t value[16] = {};
    const DWORD length = GetEnvironmentVariableW(kWaitVariable, value, 16);
    if (length == 0 || length >= 16)
        return kProgramEndWaitMs;
    wchar_t* end = nullptr;
    const unsigned long ms = wcstoul(value, &end, 10);
    return *end == L'\0' ? static_cast<DWORD>(ms) : kProgramEndWaitMs;
}

// Who still holds the program's name when the wait is over: Vaultwren shows its window class, a
// console runner has none.
vw::InstallOutcome WhoStillRuns()
{
    return FindWindowW(vw::kInstanceName, nullptr) ? vw::InstallOutcome::StillRunning
                                                    : vw::InstallOutcome::RunnerStillRuns;
}

void StartProgram(const std::wstring& programFolder)
{
    const std::wstring program = programFolder + L"Vaultwren.exe";
    ShellExecuteW(nullptr, L"open", program.c_str(), nullptr, programFolder.c_str(), SW_SHOWNORMAL);
}

// Tries the install again while a file is only in use for a moment: every failed attempt is
// rolled back whole.
vw::InstallResult Install(const std::wstring& manifest, const std::wstring& downloads,
                          const std::wstring& programFolder)
{
    // A file can stay in use for a moment after Vaultwren has ended (its last handles closing, a
    // virus scanner reading the new file).
    vw::InstallResult result = vw::InstallUpdate(manifest, downloads, programFolder);
    for (int attempt = 1; attempt < kInstallAttempts && vw::MayPass(result); ++attempt) {
        Sleep(kInstallRetryMs);
        result = vw::InstallUpdate(manifest, downloads, programFolder);
    }
    return result;
}

int Run(const std::wstring& subPath)
{
    std::wstring manifest, downloads, log;
    const bool haveWork = vw::TempFolderFile(manifest, subPath, vw::kManifestName) &&
                          vw::TempFolderFile(downloads, subPath, vw::kDownloadFolderName) &&
                          vw::TempFolderFile(log, subPath, kLogName);
    const std::wstring version =
        haveWork && vw::IsSignedManifest(manifest) ? vw::UpdateManifest(manifest).VersionText() : std::wstring();

    vw::InstallResult result;
    vw::InstallOutcome outcome = vw::InstallOutcome::DownloadDamaged;
    std::wstring programFolder;
    {
        const vw::UpdaterKey key(ProfileRoot(subPath));
        if (!key.ReadString(vw::kPathEntry, programFolder, MAX_PATH))
            programFolder.clear();
    }
    // Taken once Vaultwren and every console runner have let go of it, and held through the swap:
    // no runner starts on half-swapped files. It is let go just before the program starts again,
    // which takes it as its own.
    std::optional<vw::MutexLock> programName;
    if (programFolder.empty()) {
        outcome = vw::InstallOutcome::NoProgramFolder;
    } else {
        if (programFolder.back() != L'\\')
            programFolder += L'\\';
        programName.emplace(vw::kInstanceName, ProgramEndWaitMs());
        if (!programName->Held()) {
            outcome = WhoStillRuns();
        } else if (haveWork) {
            result = Install(manifest, downloads, programFolder);
            outcome = vw::OutcomeOf(result);
        }
    }

    if (outcome == vw::InstallOutcome::Installed && !version.empty()) {
        // The installed version is what the next check compares against: without it the same
        // version would be offered again at every start.
        vw::UpdaterKey key(ProfileRoot(subPath));
        key.WriteString(vw::kVersionEntry, version);
    }
    if (haveWork)
        vw::AppendUpdaterLog(log, vw::LogLine(outcome, version, result));
    // Vaultwren runs again before the user reads why the update failed: the message waits for
    // an answer, the program must not.
    const bool programRuns = outcome == vw::InstallOutcome::StillRunning ||
                             outcome == vw::InstallOutcome::RunnerStillRuns;
    if (programName)
        programName->Release();
    if (outcome != vw::InstallOutcome::NoProgramFolder && !programRuns)
        StartProgram(programFolder);
    const std::wstring message = vw::FailureMessage(outcome);
    if (!message.empty())
        vw::TellUser(message);

    switch (outcome) {
    case vw::InstallOutcome::Installed:
        return kInstalled;
    case vw::InstallOutcome::NoProgramFolder:
        return kNoProgramFolder;
    case vw::InstallOutcome::StillRunning:
    case vw::InstallOutcome::RunnerStillRuns:
        return kProgramStillRuns;
    default:
        return kNotInstalled;
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    const std::wstring subPath = arguments && count > 1 ? arguments[1] : vw::kUpdaterSubPath;
    if (arguments)
        LocalFree(arguments);
    return Run(subPath);
}
