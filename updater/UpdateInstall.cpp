#include "updater/UpdateInstall.h"

#include <vector>

#include "updater/ProgramFolders.h"
#include "updater/Sha256.h"
#include "updater/UpdateManifest.h"

namespace vw {

namespace {

constexpr wchar_t kStagedSuffix[] = L".vwnew";
constexpr wchar_t kKeptSuffix[] = L".vwold";

struct Planned {
    std::wstring source;
    std::wstring target;
    bool existed = false;
    bool swapped = false;
};

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

// A read-only or hidden target must not stop the swap; the new file brings its own attributes.
void MakeWritable(const std::wstring& path)
{
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

void RemoveStaged(const std::vector<Planned>& plan)
{
    for (const Planned& file : plan)
        DeleteFileW((file.target + kStagedSuffix).c_str());
}

// Back to the state before the swaps, newest first.
void RollBack(std::vector<Planned>& plan)
{
    for (auto it = plan.rbegin(); it != plan.rend(); ++it) {
        if (!it->swapped)
            continue;
        MakeWritable(it->target);
        if (it->existed)
            MoveFileExW((it->target + kKeptSuffix).c_str(), it->target.c_str(), MOVEFILE_REPLACE_EXISTING);
        else
            DeleteFileW(it->target.c_str());
        it->swapped = false;
    }
    RemoveStaged(plan);
}

}  // namespace

InstallResult InstallUpdate(const std::wstring& manifestPath, const std::wstring& downloadFolder,
                            const std::wstring& programFolder)
{
    InstallResult result;
    const UpdateManifest manifest(manifestPath);
    const int count = Exists(manifestPath) ? manifest.FileCount() : 0;
    if (count <= 0)
        return result;
    const std::wstring from = WithBackslash(downloadFolder);
    const std::wstring to = WithBackslash(programFolder);
    if (to.size() < 3 || !Exists(to + L"Vaultwren.exe")) {
        result.end = InstallEnd::NotAProgramFolder;
        return result;
    }

    // Everything is checked before anything is touched.
    std::vector<Planned> plan;
    for (int d = 1; d <= count; ++d) {
        const std::wstring name = manifest.FileName(d);
        result.file = name;
        if (!IsSafeRelativeName(name)) {
            result.end = InstallEnd::Refused;
            return result;
        }
        Planned file{from + name, to + name};
        const std::wstring digest = manifest.FileSha256(d);
        if (!Exists(file.source) || FindFileSize(file.source) != manifest.FileSize(d) ||
            (!digest.empty() && !FileMatchesSha256(file.source, digest))) {
            result.end = InstallEnd::Refused;
            return result;
        }
        file.existed = Exists(file.target);
        plan.push_back(std::move(file));
    }

    result.end = InstallEnd::CopyFailed;
    for (const Planned& file : plan) {
        const std::wstring staged = file.target + kStagedSuffix;
        if (!MakeParentFolders(staged) || !CopyFileW(file.source.c_str(), staged.c_str(), FALSE)) {
            result.file = file.target;
            result.error = GetLastError();
            RemoveStaged(plan);
            return result;
        }
    }
    for (Planned& file : plan) {
        const std::wstring staged = file.target + kStagedSuffix;
        if (file.existed) {
            MakeWritable(file.target);
            if (!MoveFileExW(file.target.c_str(), (file.target + kKeptSuffix).c_str(), MOVEFILE_REPLACE_EXISTING)) {
                result.file = file.target;
                result.error = GetLastError();
                RollBack(plan);
                return result;
            }
        }
        file.swapped = true;
        if (!MoveFileExW(staged.c_str(), file.target.c_str(), 0)) {
            result.file = file.target;
            result.error = GetLastError();
            RollBack(plan);
            return result;
        }
    }
    // A kept file that is still in use stays behind; the next update replaces it.
    for (const Planned& file : plan) {
        if (file.existed)
            DeleteFileW((file.target + kKeptSuffix).c_str());
    }
    result.end = InstallEnd::Installed;
    result.file.clear();
    return result;
}

}  // namespace vw
