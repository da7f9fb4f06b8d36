// The replace of one destination file, in an order that never leaves its real name without a
// complete version, and the finishing of a replace that a crash or a power cut interrupted.
//
// A replace goes through these steps; a process killed between any two of them leaves, under the
// real name, the old or the new version, whole:
//   1. copied      the new version is written under its copier's work copy name in the work
//                  folder ("_TEMP\~vaultwren-copy.tmp" for the pass's own thread,
//                  "_TEMP\~vaultwren-copy-2.tmp" for copier 2) and takes the source's times and
//                  attributes;
//   2. set aside   with history kept, the previous version gets a second name (a hard link, so
//                  the real name still holds it): in history itself when history holds no earlier
//                  version of the file, else in the work folder's "previous" tree, at its path
//                  below the destination (there by a rename where the volume has no hard links);
//   3. replaced    one rename on the same volume puts the new version in place of the old;
//   4. disposed    a previous version set aside in the work folder moves into history.
// Without history there is no step 2 or 4: the rename of step 3 drops the previous version.
//
// A second name in history made in step 2 is the whole of what a replace does there: a pass cut
// off before step 3 leaves in history a second name of the version still in place, which is a
// version the file really had; the next replace of the file finds the name taken and goes
// through the work folder, which puts the version it replaces over it.
//
// Several replaces may be under way at once, one per copier, each of a different file: the work
// copy is the copier's, the set-aside names are the file's own.
//
// The next pass begins by finishing what it finds: every work copy is deleted (its source is still
// there and is copied again), and each set-aside version is looked at against its real name —
// the same file (cut before step 3): the second name goes; a different file (cut before step 4):
// it is the true previous version and goes into history; no file (cut inside the rename fallback
// of step 2): it goes back to its real name.
#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/CBackupEngine.h"
#include "engine/CopyWithProgress.h"
#include "engine/FileOps.h"
#include "engine/FolderListing.h"
#include "win/HaltPoint.h"
#include "engine/RunContext.h"
#include "task/CBackupItem.h"
#include "win/Format.h"
#include "win/Text.h"

namespace vw {

namespace {

constexpr std::wstring_view kWorkCopyStem = L"~vaultwren-copy-";
constexpr std::wstring_view kWorkCopyType = L".tmp";

}  // namespace

std::wstring WorkCopyName(int copier)
{
    if (copier == 0)
        return kWorkCopyName;
    return std::wstring(kWorkCopyStem) + std::to_wstring(copier) + std::wstring(kWorkCopyType);
}

bool IsWorkCopyName(const std::wstring& name)
{
    if (EqualsIgnoringCase(name, kWorkCopyName))
        return true;
    if (name.size() <= kWorkCopyStem.size() + kWorkCopyType.size() || !StartsWithIgnoringCase(name, kWorkCopyStem) ||
        !EqualsIgnoringCase(std::wstring_view(name).substr(name.size() - kWorkCopyType.size()), kWorkCopyType))
        return false;
    const std::wstring_view number =
        std::wstring_view(name).substr(kWorkCopyStem.size(), name.size() - kWorkCopyStem.size() - kWorkCopyType.size());
    return std::all_of(number.begin(), number.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

bool CBackupEngine::WorkFolderReady()
{
    if (!workFolderReady_)
        workFolderReady_ = IsFolder(workFolder_) || CreateDirectoryW(LongPath(workFolder_).c_str(), nullptr);
    return workFolderReady_;
}

std::wstring CBackupEngine::RelativeFolder(const std::wstring& destFolder) const
{
    return destFolder.substr(std::min(destFolder_.size(), destFolder.size()));
}

bool CBackupEngine::ReplaceFile(const CBackupFileInfo& entry, bool destExists, bool keepPrevious, Copier& copier)
{
    const std::wstring destFile = JoinName(entry.destFolder, entry.name);
    if (!WorkFolderReady())
        return ReplaceFailed(copier, GetLastError());
    CopiedFile copy;
    if (!CopyWithProgress(context_, JoinName(entry.sourceFolder, entry.name), copier.workCopy, entry.name, copy,
                          copier.id == 0 ? CopyShare::Alone : CopyShare::Pooled))
        return ReplaceFailed(copier, GetLastError());
    HaltPoint(L"copied");

    SetAside previous;
    if (destExists && !SetAsidePrevious(entry, previous, keepPrevious && task_.History))
        return ReplaceFailed(copier, GetLastError());
    HaltPoint(L"set-aside");

    // A name the listing (or the last run's state) found free takes the new version only while
    // it still is: a file put there since is a previous version like any other, set aside first.
    bool taken = copy.TakeName(destFile, destExists);
    if (!taken && !destExists && GetLastError() == ERROR_ALREADY_EXISTS) {
        destExists = true;
        if (!SetAsidePrevious(entry, previous, keepPrevious && task_.History))
            return ReplaceFailed(copier, GetLastError());
        taken = copy.TakeName(destFile);
    }
    if (!taken) {
        const DWORD error = GetLastError();
        copy.Discard();
        if (destExists)
            PutBack(entry, previous);
        return ReplaceFailed(copier, error);
    }
    HaltPoint(L"replaced");

    if (previous.how == SetAside::How::InHistory)
        RestoreReadOnly(JoinName(previous.folder, entry.name), previous.attributes);
    else if (previous.how != SetAside::How::None)
        DisposeOfPrevious(entry.name, previous.folder, entry.destFolder, entry.historyFolder, previous.attributes);
    return true;
}

bool CBackupEngine::ReplaceFailed(Copier& copier, DWORD error)
{
    copier.error = error;
    if (copier.id == 0) {
        context_.lastError = error;
        return false;
    }
    // The disk that filled up is what the run ends with, not the copies the stop then cancelled.
    if (error == ERROR_REQUEST_ABORTED)
        return false;
    uint32_t current = context_.lastError.load();
    while (!IsFatalCopyError(current) && !context_.lastError.compare_exchange_weak(current, error)) {
    }
    return false;
}

bool CBackupEngine::SetAsidePrevious(const CBackupFileInfo& entry, SetAside& previous, bool keep)
{
    const std::wstring destFile = JoinName(entry.destFolder, entry.name);
    // The previous version is the engine's to replace: its read-only attribute would stop the rename.
    previous.attributes = LiftReadOnly(destFile);
    if (!keep)
        return true;
    // History's folders take the destination folder's times, as when a version moves in.
    if (LinkFileKeepTimes(entry.name, entry.destFolder, entry.historyFolder, entry.destFolder)) {
        previous.how = SetAside::How::InHistory;
        previous.folder = entry.historyFolder;
        return true;
    }
    previous.folder = setAsideFolder_ + RelativeFolder(entry.destFolder);
    if (LinkFileKeepTimes(entry.name, entry.destFolder, previous.folder, L"")) {
        previous.how = SetAside::How::Linked;
        return true;
    }
    // A volume without hard links (FAT, exFAT, some shares): the real name is empty from here
    // to the rename, and a pass that is cut off in between puts the previous version back.
    if (MoveFileKeepTimes(entry.name, entry.destFolder, previous.folder, L"")) {
        previous.how = SetAside::How::Moved;
        return true;
    }
    const DWORD error = GetLastError();
    RestoreReadOnly(destFile, previous.attributes);
    SetLastError(error);
    return false;
}

void CBackupEngine::PutBack(const CBackupFileInfo& entry, const SetAside& previous)
{
    if (previous.how == SetAside::How::Linked || previous.how == SetAside::How::InHistory)
        DeleteOwnedFile(JoinName(previous.folder, entry.name));
    else if (previous.how == SetAside::How::Moved &&
             !MoveFileKeepTimes(entry.name, previous.folder, entry.destFolder, L""))
        KeepDisplacedVersion(entry.name, previous.folder, entry.destFolder);
    RestoreReadOnly(JoinName(entry.destFolder, entry.name), previous.attributes);
}

void CBackupEngine::DisposeOfPrevious(const std::wstring& name, const std::wstring& folder,
                                      const std::wstring& destFolder, const std::wstring& historyFolder,
                                      DWORD attributes)
{
    if (!task_.History) {
        if (DeleteOwnedFile(JoinName(folder, name)))
            return;
    } else if (MoveFileKeepTimes(name, folder, historyFolder, destFolder)) {
        RestoreReadOnly(JoinName(historyFolder, name), attributes);
        return;
    }
    KeepDisplacedVersion(name, folder, destFolder);
}

void CBackupEngine::FinishInterruptedReplaces()
{
    // Every copier's work copy, the name of earlier versions too.
    std::vector<std::wstring> workCopies;
    for (FolderListing listing(workFolder_); listing.Next();)
        if (!listing.IsFolder() && IsWorkCopyName(listing.Name()))
            workCopies.push_back(workFolder_ + listing.Name());
    for (const std::wstring& workCopy : workCopies)
        DeleteOwnedFile(workCopy);
    if (FolderExists(setAsideFolder_))
        FinishSetAside(setAsideFolder_, destFolder_, historyFolder_);
    KeepLeftovers();
}

void CBackupEngine::FinishSetAside(const std::wstring& aside, const std::wstring& dest, const std::wstring& history)
{
    std::vector<std::pair<std::wstring, bool>> entries;
    for (FolderListing listing(aside); listing.Next();)
        entries.emplace_back(listing.Name(), listing.IsFolder());
    for (const auto& [name, folder] : entries) {
        if (folder) {
            const std::wstring sub = aside + name + L"\\";
            FinishSetAside(sub, JoinFolder(dest, name), JoinFolder(history, name));
            if (FolderIsEmpty(sub))
                RemoveDirectoryW(LongPath(sub).c_str());
            continue;
        }
        const std::wstring destFile = dest + name;
        const std::wstring asideFile = aside + name;
        if (!PathExists(destFile)) {
            if (!MoveFileKeepTimes(name, aside, dest, L""))
                KeepDisplacedVersion(name, aside, dest);
        } else if (SameFile(asideFile, destFile)) {
            DeleteOwnedFile(asideFile);
        } else {
            DisposeOfPrevious(name, aside, dest, history, INVALID_FILE_ATTRIBUTES);
        }
    }
}

void CBackupEngine::KeepLeftovers()
{
    // An earlier version of this program moved the previous version of the file it was copying
    // into the work folder itself, under its name, and left a partial copy in its place when cut
    // off. Emptying the folder would lose that version; with history kept, it is put where no walk
    // touches it.
    if (!task_.History || !IsFolder(workFolder_))
        return;
    std::vector<std::wstring> leftovers;
    for (FolderListing listing(workFolder_); listing.Next();)
        if (!listing.IsFolder() && !IsSkippedName(listing.Name()))
            leftovers.push_back(listing.Name());
    const std::wstring keepFolder = workFolder_ + kHistoryFolderName + L"\\";
    for (const std::wstring& name : leftovers) {
        if (MoveFileKeepTimes(name, workFolder_, keepFolder, L""))
            context_.AppendStatusLine(Format(L"上次备份中断时留下的旧版本已保留为“%s”", (keepFolder + name).c_str()));
        else
            workFolderHoldsKept_ = true;
    }
}

bool CBackupEngine::RepairCopy(const CBackupFileInfo& entry)
{
    if (!repairsBegun_) {
        FinishInterruptedReplaces();
        repairsBegun_ = true;
    }
    return ReplaceFile(entry, PathExists(JoinName(entry.destFolder, entry.name)), false, passCopier_);
}

void CBackupEngine::FinishRepairs()
{
    if (repairsBegun_ && IsFolder(workFolder_) && !workFolderHoldsKept_)
        EmptyFolder(workFolder_);
}

void CBackupEngine::KeepDisplacedVersion(const std::wstring& name, const std::wstring& from,
                                         const std::wstring& destFolder)
{
    // The work folder is emptied when the pass ends, so a previous version left there would be
    // lost. Its "_历史文件" sub-tree is on the skip list, which no walk enters or empties.
    const std::wstring keepFolder = workFolder_ + kHistoryFolderName + L"\\" + RelativeFolder(destFolder);
    std::wstring keptAt = JoinName(keepFolder, name);
    if (!MoveFileKeepTimes(name, from, keepFolder, destFolder)) {
        keptAt = JoinName(from, name);
        workFolderHoldsKept_ = true;
    }
    context_.AppendStatusLine(Format(L"文件“%s”的旧版本无法移入历史文件夹，已保留为“%s”",
                                     JoinName(destFolder, name).c_str(), keptAt.c_str()));
}

}  // namespace vw
