#include "updater/UpdateInstall.h"

#include <vector>

#include "updater/ManifestSignature.h"
#include "updater/ProgramFolders.h"
#include "updater/ProgramVersion.h"
#include "updater/Sha256.h"
#include "updater/UpdateJournal.h"
#include "updater/UpdateManifest.h"
#include "updater/VersionNumber.h"
#include "win/Format.h"
#include "win/HaltPoint.h"
#include "win/MutexLock.h"

namespace vw {

namespace {

// Another Updater.exe (or a start-up's recovery) may hold the swap for a moment.
constexpr DWORD kSwapLockWaitMs = 30000;

std::wstring WithBackslash(std::wstring folder)
{
    if (!folder.empty() && folder.back() != L'\\')
        folder += L'\\';
    return folder;
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

InstallResult Ended(InstallEnd end, const std::wstring& file = L"", DWORD error = 0)
{
    return InstallResult{end, file, error};
}

InstallResult Failed(InstallEnd end, const std::wstring& file)
{
    return Ended(end, file, GetLastError());
}

// A second name for the old file; its real name keeps it until the new one takes the name.
// Never over an existing kept file.
bool SetAside(const std::wstring& target, const std::wstring& kept)
{
    if (!MakeParentFolders(kept))
        return false;
    if (CreateHardLinkW(kept.c_str(), target.c_str(), nullptr))
        return true;
    if (GetLastError() == ERROR_ALREADY_EXISTS || GetLastError() == ERROR_FILE_EXISTS)
        return false;
    // A volume without hard links (FAT, exFAT, some shares).
    return CopyFileW(target.c_str(), kept.c_str(), TRUE) != FALSE;
}

InstallResult Undo(const std::wstring& programFolder, const std::vector<SwapEntry>& entries, InstallResult failure)
{
    RecoveryResult undo;
    if (!UndoSwap(programFolder, entries, undo))
        return Ended(InstallEnd::RollbackFailed, undo.file, undo.error);
    return failure;
}

}  // namespace

InstallResult InstallUpdate(const std::wstring& manifestPath, const std::wstring& downloadFolder,
                            const std::wstring& programFolder)
{
    if (!Exists(manifestPath))
        return Ended(InstallEnd::NoManifest);
    if (!IsSignedManifest(manifestPath))
        return Ended(InstallEnd::BadSignature);
    const UpdateManifest manifest(manifestPath);
    const std::wstring from = WithBackslash(downloadFolder);
    const std::wstring to = WithBackslash(programFolder);
    if (to.size() < 3 || !Exists(to + L"Vaultwren.exe"))
        return Ended(InstallEnd::NotAProgramFolder);

    const MutexLock lock(kSwapLockName, kSwapLockWaitMs);
    if (!lock.Held())
        return Ended(InstallEnd::CopyFailed, StagingFolder(to), ERROR_BUSY);
    const RecoveryResult recovered = FinishInterruptedUpdate(to);
    if (recovered.end == RecoveryEnd::Failed)
        return Ended(InstallEnd::RollbackFailed, recovered.file, recovered.error);

    const std::optional<double> offered = ParseVersion(manifest.VersionText());
    const std::optional<double> installed = FileVersionNumber(to + L"Vaultwren.exe");
    // A swap of this very version, cut short after its last rename, was finished just now.
    if (offered && installed && *installed == *offered && recovered.end == RecoveryEnd::Finished)
        return Ended(InstallEnd::Installed);
    if (!offered || !installed || !IsNewerVersion(*installed, *offered))
        return Ended(InstallEnd::NotNewer, to + L"Vaultwren.exe");

    // Everything is checked before anything of the program folder is touched.
    const ManifestFileList listed = manifest.Files();
    if (!listed.ok())
        return Ended(InstallEnd::Refused, listed.faultName);
    if (listed.files.empty())
        return Ended(InstallEnd::NoManifest);
    for (const ManifestFile& file : listed.files) {
        if (FindFileSize(from + file.name) != file.size)
            return Ended(InstallEnd::Refused, file.name);
    }

    // 2. Staged and checked: what is hashed is the very copy that will take the real name.
    if (!RemoveStagingFolder(to))
        return Failed(InstallEnd::CopyFailed, StagingFolder(to));
    for (const ManifestFile& file : listed.files) {
        const std::wstring staged = StagedFile(to, file.name);
        if (!MakeParentFolders(staged) || !CopyFileW((from + file.name).c_str(), staged.c_str(), TRUE)) {
            const InstallResult failure = Failed(InstallEnd::CopyFailed, to + file.name);
            RemoveStagingFolder(to);
            return failure;
        }
        if (FindFileSize(staged) != file.size || !FileMatchesSha256(staged, file.sha256)) {
            RemoveStagingFolder(to);
            return Ended(InstallEnd::Refused, file.name);
        }
    }
    HaltPoint(L"update-staged");

    // 3.
    std::vector<SwapEntry> entries;
    for (const ManifestFile& file : listed.files)
        entries.push_back({file.name, Exists(to + file.name)});
    if (!WriteSwapJournal(to, JournalState::Swapping, entries)) {
        const InstallResult failure = Failed(InstallEnd::CopyFailed, StagingFolder(to));
        RemoveStagingFolder(to);
        return failure;
    }
    HaltPoint(L"update-journal");

    // 4.
    int n = 0;
    for (const SwapEntry& entry : entries) {
        ++n;
        const std::wstring target = to + entry.name;
        if (entry.existed) {
            if (!CanBeReplaced(target) || !SetAside(target, KeptFile(to, entry.name)))
                return Undo(to, entries, Failed(InstallEnd::CopyFailed, target));
            // A read-only or hidden file must not stop the rename; the new file brings its own attributes.
            SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
        } else if (!MakeParentFolders(target)) {
            return Undo(to, entries, Failed(InstallEnd::CopyFailed, target));
        }
        HaltPoint(Format(L"update-set-aside-%d", n).c_str());
        if (!MoveFileExW(StagedFile(to, entry.name).c_str(), target.c_str(),
                         (entry.existed ? MOVEFILE_REPLACE_EXISTING : 0) | MOVEFILE_WRITE_THROUGH))
            return Undo(to, entries, Failed(InstallEnd::CopyFailed, target));
        HaltPoint(Format(L"update-replaced-%d", n).c_str());
    }

    // 5.
    if (!WriteSwapJournal(to, JournalState::Installed, entries))
        return Undo(to, entries, Failed(InstallEnd::CopyFailed, StagingFolder(to)));
    HaltPoint(L"update-committed");
    // A kept file still in use stays behind; the next start clears it away.
    RemoveStagingFolder(to);
    return Ended(InstallEnd::Installed);
}

}  // namespace vw
