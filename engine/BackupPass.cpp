// The backup pass: scan the source and copy what is new or changed, retry what failed once,
// then move out of the destination what the source no longer has.
#include <windows.h>
#include <shlwapi.h>

#include <algorithm>

#include "engine/CBackupEngine.h"
#include "engine/CopyWithProgress.h"
#include "engine/FileOps.h"
#include "engine/FolderListing.h"
#include "engine/Notifications.h"
#include "engine/RunContext.h"
#include "task/CBackupItem.h"
#include "win/Format.h"
#include "win/Text.h"

namespace vw {

namespace {

std::wstring WithBackslash(std::wstring path)
{
    AppendBackslash(path);
    return path;
}

std::wstring Joined(std::wstring path, const std::wstring& name)
{
    JoinName(path, name);
    return path;
}

std::wstring JoinedFolder(std::wstring path, const std::wstring& name)
{
    JoinFolder(path, name);
    return path;
}

}  // namespace

bool IsSkippedName(const std::wstring& name)
{
    for (const wchar_t* skipped : {kWorkFolderName, kHistoryFolderName, kMarkerFileName, kRecycleBinName})
        if (EqualsIgnoringCase(name, skipped))
            return true;
    return false;
}

bool NeedsCopy(const std::wstring& sourceFile, const std::wstring& destFile, bool fatDestination)
{
    FileStamp source;
    FileStamp dest;
    if (!ReadStamp(sourceFile, source))
        return true;
    return StampsDiffer(source, ReadStamp(destFile, dest) ? &dest : nullptr, fatDestination);
}

bool CBackupEngine::BackupPass()
{
    bool result = false;
    orphans_.clear();
    if (PathsReady()) {
        KeepLeftovers();
        result = ScanSource(sourceFolder_, destFolder_, historyFolder_) && RetryFailed() && MoveOrphans();
    }
    orphans_.clear();
    if (!workFolder_.empty() && PathIsDirectoryW(workFolder_.c_str()) && !workFolderHoldsKept_)
        EmptyFolder(workFolder_);
    return result;
}

bool CBackupEngine::ScanSource(const std::wstring& source, const std::wstring& dest, const std::wstring& history)
{
    if (source.empty() || dest.empty() || history.empty() || !FolderExists(source))
        return false;
    return ScanFolder(WithBackslash(source), WithBackslash(dest), WithBackslash(history), FolderExists(dest));
}

bool CBackupEngine::ScanFolder(const std::wstring& s, const std::wstring& d, const std::wstring& h, bool destExists)
{
    if (EqualsIgnoringCase(s, d))
        return true;

    FolderSnapshot destEntries;
    if (destExists) {
        destEntries.Read(d);
    } else {
        // The parent exists by construction: a single folder, not a tree.
        if (!CreateDirectoryW(d.c_str(), nullptr) || !PathIsDirectoryW(d.c_str()))
            return false;
    }

    bool stopped = false;
    FolderSnapshot::Names sourceNames;
    FolderListing listing(s);
    while (NextWalkEntry(listing, stopped)) {
        const std::wstring name = listing.Name();
        if (task_.History)
            sourceNames.insert(FoldCase(name));
        if (listing.IsFolder()) {
            // A sub-tree that fails does not fail its parent.
            ScanFolder(s + name + L"\\", JoinedFolder(d, name), JoinedFolder(h, name), destEntries.ContainsFolder(name));
            continue;
        }
        // The same decision as NeedsCopy, taken from the two listings instead of two look-ups.
        if (StampsDiffer(StampOf(listing.Entry()), destEntries.FindFile(name), DestinationIsFat()))
            ReplaceFile(CBackupFileInfo{0, name, s, d, h}, true, destEntries.Contains(name));
    }
    // What this folder of the destination holds without a source: moved into history once the
    // scan and the retries are over. Only the differences are kept, never the tree.
    if (!stopped && task_.History)
        destEntries.ForEachMissingFrom(sourceNames, [&](const std::wstring& name, bool folder) {
            if (!IsSkippedName(name))
                orphans_.push_back({name, s, d, h, folder});
        });
    // Files were just written into the new folder: give it the source folder's times last.
    if (!destExists)
        CopyFileTimes(d, s);
    return !stopped;
}

bool CBackupEngine::MoveOrphans()
{
    // The same entry checks as SyncDest, whose backup-mode work this is.
    if (!PathsReady() || StopRequested())
        return false;
    if (!task_.History)
        return true;
    for (const Orphan& orphan : orphans_) {
        if (context_.stopFlag.load())
            return false;
        PauseCheckpoint();
        if (!orphan.folder) {
            MoveFileKeepTimes(orphan.name, orphan.destFolder, orphan.historyFolder, L"");
            continue;
        }
        const std::wstring sub = orphan.destFolder + orphan.name + L"\\";
        SyncWalk(JoinedFolder(orphan.sourceFolder, orphan.name), sub, JoinedFolder(orphan.historyFolder, orphan.name),
                 false);
        if (FolderIsEmpty(sub))
            RemoveDirectoryW(sub.c_str());
    }
    return true;
}

bool CBackupEngine::CopyEntry(const CBackupFileInfo& entry)
{
    const std::wstring destFile = Joined(entry.destFolder, entry.name);
    if (NeedsCopy(Joined(entry.sourceFolder, entry.name), destFile, DestinationIsFat()))
        ReplaceFile(entry, PathIsDirectoryW(entry.destFolder.c_str()) || CreateFolderTree(entry.destFolder),
                    PathFileExistsW(destFile.c_str()) != FALSE);
    return true;
}

void CBackupEngine::ReplaceFile(const CBackupFileInfo& entry, bool folderReady, bool destExists)
{
    const std::wstring sourceFile = Joined(entry.sourceFolder, entry.name);
    const std::wstring destFile = Joined(entry.destFolder, entry.name);
    const std::wstring workFile = Joined(workFolder_, entry.name);

    // The previous version, moved aside into the work folder for the time of the copy.
    bool movedAside = false;
    bool blocked = false;
    if (destExists) {
        movedAside = MoveFileKeepTimes(entry.name, entry.destFolder, workFolder_, L"");
        blocked = !movedAside;
    }

    if (!blocked && folderReady) {
        // The copy itself gives the new file the source's creation, access and write times.
        if (CopyWithProgress(context_, sourceFile, destFile, entry.name)) {
            if (movedAside) {
                if (!task_.History)
                    DeleteFileW(workFile.c_str());
                else if (!MoveFileKeepTimes(entry.name, workFolder_, entry.historyFolder, entry.destFolder))
                    KeepDisplacedVersion(entry);
            }
            ++context_.filesDone;
            ++context_.filesCopied;
            if (entry.retry)
                --context_.filesFailed;
            return;
        }
        if (movedAside && !MoveFileKeepTimes(entry.name, workFolder_, entry.destFolder, L""))
            KeepDisplacedVersion(entry);
    }

    if (entry.retry == 0) {
        ++context_.filesFailed;
        auto retry = std::make_unique<CBackupFileInfo>(entry);
        retry->retry = 1;
        context_.retryList.push_back(std::move(retry));
    }
}

void CBackupEngine::KeepLeftovers()
{
    // A pass that was cut off in the middle of a copy (a crash, the power) left the previous
    // version of that file in the work folder. Emptying the folder, or moving the next file aside
    // onto the same name, would lose it; with history kept, it is put where no walk touches it.
    if (!task_.History || !PathIsDirectoryW(workFolder_.c_str()))
        return;
    std::vector<std::wstring> leftovers;
    FolderListing listing(workFolder_);
    while (listing.Next())
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

void CBackupEngine::KeepDisplacedVersion(const CBackupFileInfo& entry)
{
    // The work folder is emptied when the pass ends, so a previous version left there would be
    // lost. Its "_历史文件" sub-tree is on the skip list, which no walk enters or empties.
    const std::wstring relative = entry.destFolder.substr(std::min(destFolder_.size(), entry.destFolder.size()));
    const std::wstring keepFolder = workFolder_ + kHistoryFolderName + L"\\" + relative;
    const std::wstring destFile = Joined(entry.destFolder, entry.name);
    std::wstring keptAt = Joined(keepFolder, entry.name);
    if (!MoveFileKeepTimes(entry.name, workFolder_, keepFolder, entry.destFolder)) {
        keptAt = Joined(workFolder_, entry.name);
        workFolderHoldsKept_ = true;
    }
    context_.AppendStatusLine(
        Format(L"文件“%s”的旧版本无法移入历史文件夹，已保留为“%s”", destFile.c_str(), keptAt.c_str()));
}

bool CBackupEngine::RetryFailed()
{
    if (StopRequested())
        return true;
    const size_t count = context_.retryList.size();
    for (size_t i = 0; i < count; ++i) {
        if (context_.stopFlag.load()) {
            context_.retryList.clear();
            return false;
        }
        PauseCheckpoint();
        CopyEntry(*context_.retryList[i]);
    }
    context_.retryList.clear();
    return true;
}

bool CBackupEngine::SyncDest(const std::wstring& source, const std::wstring& dest, const std::wstring& history,
                             bool cleanMode)
{
    if (!PathsReady() || StopRequested())
        return false;
    return SyncWalk(source, dest, history, cleanMode);
}

bool CBackupEngine::SyncWalk(const std::wstring& source, const std::wstring& dest, const std::wstring& history,
                             bool cleanMode)
{
    // A backup without history never removes anything from the destination.
    if (!cleanMode && !task_.History)
        return true;
    if (source.empty() || dest.empty() || history.empty())
        return false;
    const std::wstring s = WithBackslash(source);
    const std::wstring d = WithBackslash(dest);
    const std::wstring h = WithBackslash(history);
    if (EqualsIgnoringCase(s, d) || !FolderExists(d))
        return true;

    FolderSnapshot sourceEntries;
    sourceEntries.Read(s);
    bool stopped = false;
    FolderListing listing(d);
    while (NextWalkEntry(listing, stopped)) {
        const std::wstring name = listing.Name();
        if (listing.IsFolder()) {
            const std::wstring sub = d + name + L"\\";
            SyncWalk(JoinedFolder(s, name), sub, JoinedFolder(h, name), cleanMode);
            if (!sourceEntries.ContainsFolder(name) && FolderIsEmpty(sub))
                RemoveDirectoryW(sub.c_str());
            continue;
        }
        if (sourceEntries.Contains(name))
            continue;
        if (cleanMode)
            DeleteCounted(d + name, StampOf(listing.Entry()).size);
        else
            MoveFileKeepTimes(name, d, h, L"");
    }
    return !stopped;
}

bool CBackupEngine::EmptyFolder(const std::wstring& folder)
{
    const std::wstring p = WithBackslash(folder);
    if (!FolderExists(p))
        return true;
    bool stopped = false;
    FolderListing listing(p);
    while (NextWalkEntry(listing, stopped)) {
        const std::wstring path = p + listing.Name();
        if (listing.IsFolder()) {
            EmptyFolder(path + L"\\");
            if (FolderIsEmpty(path))
                RemoveDirectoryW(path.c_str());
        } else {
            DeleteCounted(path, StampOf(listing.Entry()).size);
        }
    }
    return !stopped;
}

bool CBackupEngine::NextWalkEntry(FolderListing& listing, bool& stopped)
{
    while (listing.Next()) {
        if (context_.stopFlag.load()) {
            stopped = true;
            return false;
        }
        PauseCheckpoint();
        if (!IsSkippedName(listing.Name()))
            return true;
    }
    return false;
}

void CBackupEngine::DeleteCounted(const std::wstring& path, uint64_t size)
{
    if (DeleteFileW(path.c_str()) && context_.cleaningRun.load()) {
        ++context_.filesDone;
        context_.freedBytes += size;
    }
}

void CBackupEngine::PauseCheckpoint()
{
    if (context_.CurrentTaskState() != kTaskPaused)
        return;
    context_.PostToWindow(WM_BACKUP_THREAD_PAUSE_MSG, 0);
    // A stop releases the hold too, so a stop can never leave the worker waiting here.
    while (context_.CurrentTaskState() == kTaskPaused && !context_.stopFlag.load())
        Sleep(100);
}

}  // namespace vw
