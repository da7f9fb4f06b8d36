// Updater.exe: started from the updater's working folder once Vaultwren has handed over. It waits
// until Vaultwren has ended, puts the downloaded version into the program folder (all files or
// none) and starts Vaultwren again, the new version or, after a failure, the old one.
//
// No arguments in use; an optional first argument names the profile below HKEY_CURRENT_USER
// (and with it the working folder) in place of the program's own, as the tests run it.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "updater/CUpdater.h"
#include "updater/ProgramFolders.h"
#include "updater/UpdateInstall.h"
#include "updater/UpdateManifest.h"
#include "updater/UpdaterKeys.h"
#include "win/InstanceName.h"
#include "win/UniqueHandle.h"

namespace {

constexpr DWORD kProgramEndWaitMs = 60000;

constexpr int kInstallAttempts = 5;
constexpr DWORD kInstallRetryMs = 500;

// A failure that may be gone a moment later.
bool IsPassing(const vw::InstallResult& result)
{
    return result.end == vw::InstallEnd::CopyFailed &&
           (result.error == ERROR_SHARING_VIOLATION || result.error == ERROR_LOCK_VIOLATION ||
            result.error == ERROR_ACCESS_DENIED);
}

enum ExitCode : int { kInstalled = 0, kNotInstalled = 1, kNoProgramFolder = 2, kProgramStillRuns = 3 };

std::wstring ProfileRoot(std::wstring subPath)
{
    while (!subPath.empty() && subPath.back() == L'\\')
        subPath.pop_back();
    return subPath;
}

// True when no Vaultwren holds its mutex any more (also when it never ran).
bool WaitForProgramEnd()
{
    const vw::UniqueHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, vw::kInstanceName));
    if (!mutex)
        return true;
    const DWORD waited = WaitForSingleObject(mutex.get(), kProgramEndWaitMs);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
        ReleaseMutex(mutex.get());
        return true;
    }
    return false;
}

void StartProgram(const std::wstring& programFolder)
{
    const std::wstring program = programFolder + L"Vaultwren.exe";
    ShellExecuteW(nullptr, L"open", program.c_str(), nullptr, programFolder.c_str(), SW_SHOWNORMAL);
}

int Run(const std::wstring& subPath)
{
    std::wstring programFolder;
    {
        const vw::UpdaterKey key(ProfileRoot(subPath));
        if (!key.ReadString(vw::kPathEntry, programFolder, MAX_PATH) || programFolder.empty())
            return kNoProgramFolder;
    }
    if (programFolder.back() != L'\\')
        programFolder += L'\\';
    if (!WaitForProgramEnd())
        return kProgramStillRuns;

    std::wstring manifest, downloads;
    if (!vw::TempFolderFile(manifest, subPath, vw::kManifestName) ||
        !vw::TempFolderFile(downloads, subPath, vw::kDownloadFolderName))
        return kNotInstalled;
    // A file can stay in use for a moment after Vaultwren has ended (its last handles closing, a
    // virus scanner reading the new file): every failed attempt is rolled back whole, so it is
    // simply tried again a few times.
    vw::InstallResult result = vw::InstallUpdate(manifest, downloads, programFolder);
    for (int attempt = 1; attempt < kInstallAttempts && IsPassing(result); ++attempt) {
        Sleep(kInstallRetryMs);
        result = vw::InstallUpdate(manifest, downloads, programFolder);
    }
    if (result.end == vw::InstallEnd::NotAProgramFolder)
        return kNoProgramFolder;
    if (result.end == vw::InstallEnd::Installed) {
        // The installed version is what the next check compares against: without it the same
        // version would be offered again at every start.
        const std::wstring version = vw::UpdateManifest(manifest).VersionText();
        vw::UpdaterKey key(ProfileRoot(subPath));
        if (!version.empty())
            key.WriteString(vw::kVersionEntry, version);
    }
    StartProgram(programFolder);
    return result.end == vw::InstallEnd::Installed ? kInstalled : kNotInstalled;
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
