// The backup pass: scan the source and copy what is new or changed, retry what failed once,
// then move out of the destination what the source no longer has.
//
// What the pass keeps while it runs, and where each thing is decided:
//   - each destination folder is compared with its source folder from one listing of each;
//     StampsDiffer decides a copy and CopyChanged makes and counts it, for the scan and the
//     retries alike; an entry has no source when its name is missing from the source folder's
//     listing (collected by the scan for the move into history, met by SyncDest's walk when
//     cleaning);
//   - a folder that cannot be listed on either side is a failure: nothing under its destination is
//     moved or deleted, since half a listing would pass the missing half for removed entries;
//   - an entry that changed kind (a file where the source now has a folder, or the reverse) is a
//     removal followed by an addition: the old entry goes where a removed one would go;
//   - orphans_: what the scan found without a source, moved into history after the retries;
//   - the retry list (in the run context): files whose copy failed, tried once more;
//   - the work folder: the state of the one replace in progress (engine/FileReplace.cpp), emptied
//     when the pass ends unless it holds a previous version that could be put nowhere else
//     (workFolderHoldsKept_).
#include <windows.h>
#include <shlwapi.h>

#include <algorithm>

#include "engine/CBackupEngine.h"
#include "engine/CopyWithProgress.h"
#include "engine/FileOps.h"
#include "engine/FolderListing.h"
#include "engine/Notifications.h"
#include "engine/RunContext.h"
#include "engine/SystemErrorText.h"
#include "task/CBackupItem.h"
#include "win/Format.h"
#include "win/Text.h"

namespace vw {

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
        FinishInterruptedReplaces();
        result = ScanSource(sourceFolder_, destFolder_, historyFolder_) && RetryFailed() && MoveOrphans();
    }
    orphans_.clear();
    if (!workFolder_.empty() && IsFolder(workFolder_) && !workFolderHoldsKept_)
        EmptyFolder(workFolder_);
    return result;
}

bool CBackupEngine::ScanSource(const std::wstring& source, const std::wstring& dest, const std::wstring& history)
{
    if (source.empty() || dest.empty() || history.empty() || !FolderExists(source))
        return false;
    return ScanFolder(AppendBackslash(source), AppendBackslash(dest), AppendBackslash(history), FolderExists(dest));
}

bool CBackupEngine::ScanFolder(const std::wstring& s, const std::wstring& d, const std::wstring& h, bool destExists)
{
    if (EqualsIgnoringCase(s, d))
        return true;

    FolderSnapshot destEntries;
    if (destExists) {
        if (DWORD error = 0; !destEntries.Read(d, &error)) {
            ReportUnreadableFolder(d, error);
            return true;
        }
    } else if (!CreateDirectoryW(LongPath(d).c_str(), nullptr) || !IsFolder(d)) {
        // The parent exists by construction: a single folder, not a tree. Its files cannot be
        // backed up, and say so in the batch's count.
        context_.filesFailed += CountFiles(s);
        return false;
    }

    bool stopped = false;
    FolderSnapshot::Names sourceNames;
    FolderListing listing(s);
    while (NextWalkEntry(listing, stopped)) {
        // Every entry of every later run passes here, most of them unchanged: the name is folded
        // once, and a file's paths are put together only when it is to be copied.
        const std::wstring name = listing.Name();
        const std::wstring& key = *sourceNames.insert(FoldCase(name)).first;
        const FolderSnapshot::Entry* existing = destEntries.FindFolded(key);
        const FileStamp* destFile = existing ? existing->File() : nullptr;
        const bool destIsFolder = existing && existing->folder;
        if (listing.IsFolder()) {
            // A file in the folder's place that cannot go leaves the folder uncreatable: its files fail.
            if (destFile)
                RemoveReplacedEntry(name, s, d, h, false);
            // A sub-tree that fails does not fail its parent.
            ScanFolder(s + name + L"\\", JoinFolder(d, name), JoinFolder(h, name), destIsFolder);
            continue;
        }
        if (!StampsDiffer(StampOf(listing.Entry()), destFile, DestinationIsFat()))
            continue;
        const bool destExistsHere = destIsFolder ? !RemoveReplacedEntry(name, s, d, h, true) : existing != nullptr;
        CopyChanged(CBackupFileInfo{0, name, s, d, h}, true, destExistsHere);
    }
    if (listing.Failed()) {
        ReportUnreadableFolder(s, listing.Error());
    } else if (!stopped && task_.History) {
        // Moved into history once the scan and the retries are over. Only the differences are
        // kept, never the tree.
        destEntries.ForEachMissingFrom(sourceNames, [&](const std::wstring& name, bool folder) {
            if (!IsSkippedName(name))
                orphans_.push_back({name, s, d, h, folder});
        });
    }
    // Files were just written into the new folder: give it the source folder's times last.
    if (!destExists)
        CopyFileTimes(d, s);
    return !stopped;
}

void CBackupEngine::ReportUnreadableFolder(const std::wstring& folder, DWORD error)
{
    // Counted with the files a backup could not back up; cleaning has no such count.
    if (!context_.cleaningRun.load())
        ++context_.filesFailed;
    context_.AppendStatusLine(Format(L"无法读取文件夹“%s”：%s其中的备份未作任何改动", folder.c_str(),
                                     SystemErrorText(error).c_str()));
}

int CBackupEngine::CountFiles(const std::wstring& folder)
{
    int count = 0;
    for (FolderListing listing(folder); listing.Next();) {
        if (IsSkippedName(listing.Name()))
            continue;
        count += listing.IsFolder() ? CountFiles(folder + listing.Name() + L"\\") : 1;
    }
    return count;
}

bool CBackupEngine::RemoveReplacedEntry(const std::wstring& name, const std::wstring& s, const std::wstring& d,
                                        const std::wstring& h, bool folder)
{
    const std::wstring path = d + name;
    if (folder) {
        if (task_.History) {
            MoveFolderToHistory(name, s, d, h);
        } else {
            EmptyFolder(path + L"\\");
            RemoveDirectoryW(LongPath(path).c_str());
        }
        return !IsFolder(path);
    }
    if (!task_.History)
        return DeleteOwnedFile(path);
    LiftReadOnly(path);
    return MoveFileKeepTimes(name, d, h, d);
}

void CBackupEngine::MoveFolderToHistory(const std::wstring& name, const std::wstring& s, const std::wstring& d,
                                        const std::wstring& h)
{
    const std::wstring sub = d + name + L"\\";
    SyncWalk(JoinFolder(s, name), sub, JoinFolder(h, name), false);
    if (FolderIsEmpty(sub))
        RemoveDirectoryW(LongPath(sub).c_str());
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
        if (orphan.folder)
            MoveFolderToHistory(orphan.name, orphan.sourceFolder, orphan.destFolder, orphan.historyFolder);
        else
            MoveFileKeepTimes(orphan.name, orphan.destFolder, orphan.historyFolder, L"");
    }
    return true;
}

bool CBackupEngine::CopyEntry(const CBackupFileInfo& entry)
{
    FileStamp source;
    FileStamp dest;
    const std::wstring destFile = JoinName(entry.destFolder, entry.name);
    const bool destExists = PathExists(destFile);
    if (!ReadStamp(JoinName(entry.sourceFolder, entry.name), source))
        source = FileStamp{~0ull, ~0ull};  // a source that is gone never matches: the copy then fails and says why
    const bool destIsFile = destExists && ReadStamp(destFile, dest) && !IsFolder(destFile);
    if (StampsDiffer(source, destIsFile ? &dest : nullptr, DestinationIsFat()))
        CopyChanged(entry, IsFolder(entry.destFolder) || CreateFolderTree(entry.destFolder), destExists);
    return true;
}

void CBackupEngine::CopyChanged(const CBackupFileInfo& entry, bool folderReady, bool destExists)
{
    if (folderReady && ReplaceFile(entry, destExists)) {
        ++context_.filesDone;
        ++context_.filesCopied;
        if (entry.retry)
            --context_.filesFailed;
        return;
    }
    // A copy the user's stop cancelled was neither backed up nor failed: the next run copies it.
    if (context_.stopFlag.load() && context_.lastError.load() == ERROR_REQUEST_ABORTED)
        return;
    if (entry.retry == 0) {
        ++context_.filesFailed;
        auto retry = std::make_unique<CBackupFileInfo>(entry);
        retry->retry = 1;
        context_.AddRetry(std::move(retry));
    }
}

bool CBackupEngine::RetryFailed()
{
    if (StopRequested())
        return true;
    const size_t count = context_.retryList.size();
    for (size_t i = 0; i < count; ++i) {
        if (context_.stopFlag.load()) {
            context_.ClearRetries();
            return false;
        }
        PauseCheckpoint();
        CopyEntry(*context_.retryList[i]);
    }
    context_.ClearRetries();
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
    const std::wstring s = AppendBackslash(source);
    const std::wstring d = AppendBackslash(dest);
    const std::wstring h = AppendBackslash(history);
    if (EqualsIgnoringCase(s, d) || !FolderExists(d))
        return true;

    FolderSnapshot sourceEntries;
    if (DWORD error = 0; !sourceEntries.Read(s, &error)) {
        ReportUnreadableFolder(s, error);
        return true;
    }
    bool stopped = false;
    FolderListing listing(d);
    while (NextWalkEntry(listing, stopped)) {
        const std::wstring name = listing.Name();
        if (listing.IsFolder()) {
            const std::wstring sub = d + name + L"\\";
            SyncWalk(JoinFolder(s, name), sub, JoinFolder(h, name), cleanMode);
            if (!sourceEntries.ContainsFolder(name) && FolderIsEmpty(sub))
                RemoveDirectoryW(LongPath(sub).c_str());
            continue;
        }
        if (sourceEntries.Contains(name))
            continue;
        if (cleanMode)
            DeleteCounted(d + name, StampOf(listing.Entry()).size, false);
        else
            MoveFileKeepTimes(name, d, h, L"");
    }
    return !stopped;
}

bool CBackupEngine::EmptyFolder(const std::wstring& folder)
{
    const std::wstring p = AppendBackslash(folder);
    if (!FolderExists(p))
        return true;
    bool stopped = false;
    FolderListing listing(p);
    while (NextWalkEntry(listing, stopped)) {
        const std::wstring path = p + listing.Name();
        if (listing.IsFolder()) {
            EmptyFolder(path + L"\\");
            if (FolderIsEmpty(path))
                RemoveDirectoryW(LongPath(path).c_str());
        } else {
            DeleteCounted(path, StampOf(listing.Entry()).size, true);
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

void CBackupEngine::DeleteCounted(const std::wstring& path, uint64_t size, bool owned)
{
    const bool deleted = owned ? DeleteOwnedFile(path) : DeleteFileW(LongPath(path).c_str()) != FALSE;
    if (deleted && context_.cleaningRun.load()) {
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
