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
        destEntries.Read(d);
    } else {
        // The parent exists by construction: a single folder, not a tree.
        if (!CreateDirectoryW(d.c_str(), nullptr) || !IsFolder(d))
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
            ScanFolder(s + name + L"\\", JoinFolder(d, name), JoinFolder(h, name), destEntries.ContainsFolder(name));
            continue;
        }
        // The same decision as NeedsCopy, taken from the two listings instead of two look-ups.
        if (StampsDiffer(StampOf(listing.Entry()), destEntries.FindFile(name), DestinationIsFat()))
            CopyCounted(CBackupFileInfo{0, name, s, d, h}, true, destEntries.Contains(name));
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
        SyncWalk(JoinFolder(orphan.sourceFolder, orphan.name), sub, JoinFolder(orphan.historyFolder, orphan.name),
                 false);
        if (FolderIsEmpty(sub))
            RemoveDirectoryW(sub.c_str());
    }
    return true;
}

bool CBackupEngine::CopyEntry(const CBackupFileInfo& entry)
{
    const std::wstring destFile = JoinName(entry.destFolder, entry.name);
    if (NeedsCopy(JoinName(entry.sourceFolder, entry.name), destFile, DestinationIsFat()))
        CopyCounted(entry, IsFolder(entry.destFolder) || CreateFolderTree(entry.destFolder),
                    PathFileExistsW(destFile.c_str()) != FALSE);
    return true;
}

void CBackupEngine::CopyCounted(const CBackupFileInfo& entry, bool folderReady, bool destExists)
{
    if (folderReady && ReplaceFile(entry, destExists)) {
        ++context_.filesDone;
        ++context_.filesCopied;
        if (entry.retry)
            --context_.filesFailed;
        return;
    }
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
    sourceEntries.Read(s);
    bool stopped = false;
    FolderListing listing(d);
    while (NextWalkEntry(listing, stopped)) {
        const std::wstring name = listing.Name();
        if (listing.IsFolder()) {
            const std::wstring sub = d + name + L"\\";
            SyncWalk(JoinFolder(s, name), sub, JoinFolder(h, name), cleanMode);
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
