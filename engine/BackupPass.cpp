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
//   - a source folder is taken as removed only when its parent's listing says so: a listing that
//     finds no folder where the parent's listing had one is believed only when the parent and the
//     source root can still be listed and the parent no longer has it (SourceFolderRemoved), since
//     a disk pulled out or a share dropped mid-run also makes every folder look absent;
//   - an entry that changed kind (a file where the source now has a folder, or the reverse) is a
//     removal followed by an addition: the old entry goes where a removed one would go;
//   - orphans_: what the scan found without a source, moved into history after the retries,
//     unless that would take more than half of the destination's files (RemovalsHeldBack);
//   - destFiles_: the files of the destination folders the scan listed;
//   - the retry list (in the run context): files whose copy failed, tried once more;
//   - the copiers (engine/CopyPool.h): while the scan runs, small files are copied on a few
//     threads as the scan goes on; a step that touches names a queued copy may use (a change of
//     kind, a large file's copy, the retries, the moves into history) waits for them first
//     (FinishQueuedCopies), and so does the source folder's times on a folder the scan made;
//   - the work folder: the state of the replaces in progress (engine/FileReplace.cpp), emptied
//     when the pass ends unless it holds a previous version that could be put nowhere else
//     (workFolderHoldsKept_).
#include <windows.h>
#include <shlwapi.h>

#include <algorithm>

#include "engine/CBackupEngine.h"
#include "engine/CopyPool.h"
#include "engine/CopyWithProgress.h"
#include "engine/FileOps.h"
#include "engine/FolderListing.h"
#include "engine/Notifications.h"
#include "engine/RunContext.h"
#include "engine/RunState.h"
#include "engine/SystemErrorText.h"
#include "task/AppSettings.h"
#include "task/CBackupItem.h"
#include "win/Format.h"
#include "win/Text.h"

namespace vw {

namespace {

// Files waiting for a copier: enough to keep them busy while the scan lists the next folder.
constexpr size_t kCopyQueueLimit = 32;
// Folders the scan made that wait for their times: one wait for the copiers per so many.
constexpr size_t kFoldersStampedTogether = 256;

}  // namespace

bool IsSkippedName(const std::wstring& name)
{
    for (const wchar_t* skipped : {kWorkFolderName, kHistoryFolderName, kMarkerFileName, kRecycleBinName})
        if (EqualsIgnoringCase(name, skipped))
            return true;
    return false;
}

Reserved ReservedIn(const std::wstring& folder, const std::wstring& root)
{
    // Every folder of a walk is its root followed by more: the lengths tell the root apart.
    if (folder.size() != root.size())
        return Reserved::None;
    const bool driveRoot = root.size() == 3 && root[1] == L':';
    return driveRoot ? Reserved::OwnAndSystemNames : Reserved::OwnNames;
}

bool IsReserved(const std::wstring& name, Reserved reserved)
{
    if (reserved == Reserved::None)
        return false;
    return IsSkippedName(name) ||
           (reserved == Reserved::OwnAndSystemNames && EqualsIgnoringCase(name, kSystemVolumeFolderName));
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
    destFiles_ = 0;
    if (PathsReady()) {
        // Before the work folder is tidied: the state is trusted only while it is empty.
        TakeUpRunState();
        FinishInterruptedReplaces();
        OpenRunRecord();
        failedBefore_ = context_.filesFailed.load();
        result = ScanSource(sourceFolder_, destFolder_, historyFolder_) && RetryFailed() && MoveOrphans();
        lastState_.reset();
        // A stop leaves what was written to the system, which writes it out: only a recovery that
        // was stopped before it looked at everything is left for the next run to take up.
        if (!context_.stopFlag.load() || !Recovering())
            CloseRunRecord();
    }
    orphans_.clear();
    if (!workFolder_.empty() && IsFolder(workFolder_) && !workFolderHoldsKept_)
        EmptyFolder(workFolder_);
    // Last: the state describes the destination as this pass leaves it.
    if (result)
        SaveRunState();
    newState_.reset();
    return result;
}

void CBackupEngine::CopyFromScan(const CBackupFileInfo& entry, bool destExists, bool rewrite, uint64_t size)
{
    // A run slowed down by the speed setting copies one file at a time, as the setting means.
    if (size <= kPooledCopyLimit && context_.settings.Speed.load() == 0 && WorkFolderReady()) {
        // Started at the first copy: a run with nothing to copy does not pay for the threads.
        if (!copyPool_)
            copyPool_ = std::make_unique<CopyPool>(kCopiers, kCopyQueueLimit, context_.stopFlag,
                                                   [this](const CopyPool::Job& job, int id) { CopyQueued(job, id); });
        copyPool_->Add(CopyPool::Job{entry, destExists, rewrite});
        return;
    }
    FinishQueuedCopies();
    CopyChanged(entry, true, destExists, rewrite, passCopier_);
}

void CBackupEngine::CopyQueued(const CopyPool::Job& job, int copier)
{
    PauseCheckpoint();
    // Dropped: neither copied nor failed, the next run copies it.
    if (context_.stopFlag.load())
        return;
    Copier own{copier, JoinName(workFolder_, WorkCopyName(copier))};
    CopyChanged(job.entry, true, job.destExists, job.rewrite, own);
}

void CBackupEngine::FinishQueuedCopies()
{
    if (copyPool_) {
        copyPool_->Drain();
        context_.SetCurrentFile(std::wstring());
    }
    for (const auto& [dest, source] : foldersToStamp_)
        CopyFileTimes(dest, source);
    foldersToStamp_.clear();
}

void CBackupEngine::StampNewFolder(const std::wstring& dest, const std::wstring& source)
{
    if (!copyPool_) {
        CopyFileTimes(dest, source);
        return;
    }
    foldersToStamp_.emplace_back(dest, source);
    if (foldersToStamp_.size() >= kFoldersStampedTogether)
        FinishQueuedCopies();
}

bool CBackupEngine::ScanSource(const std::wstring& source, const std::wstring& dest, const std::wstring& history)
{
    if (source.empty() || dest.empty() || history.empty())
        return false;
    if (!FolderExists(source)) {
        context_.lastError = ERR_SOURCE_FOLDER_MISSING;
        ReportUnreadableFolder(AppendBackslash(source), ERROR_PATH_NOT_FOUND);
        return false;
    }
    // The copiers end with the scan, also when it throws: nothing may write into the work folder
    // while the pass empties it.
    const struct CopiersEnd {
        std::unique_ptr<CopyPool>& pool;
        ~CopiersEnd() { pool.reset(); }
    } copiersEnd{copyPool_};
    const bool scanned =
        ScanFolder(AppendBackslash(source), AppendBackslash(dest), AppendBackslash(history), FolderExists(dest));
    FinishQueuedCopies();
    return scanned;
}

bool CBackupEngine::ScanFolder(const std::wstring& s, const std::wstring& d, const std::wstring& h, bool destExists)
{
    if (EqualsIgnoringCase(s, d))
        return true;

    if (!destExists) {
        const bool made = CreateDirectoryW(LongPath(d).c_str(), nullptr) != FALSE;
        // A folder made there since the parent was listed (or since the last run's state was
        // written) is read like any other.
        const bool foundThere = !made && GetLastError() == ERROR_ALREADY_EXISTS;
        if (!made && (!foundThere || !IsFolder(d))) {
            // The parent exists by construction: a single folder, not a tree. Its files cannot be
            // backed up, and say so in the batch's count.
            context_.filesFailed += CountFiles(s, ReservedIn(s, sourceFolder_));
            return false;
        }
        destExists = foundThere;
    }
    FolderSnapshot destEntries;
    if (destExists) {
        if (DWORD error = 0; ReadDestFolder(d, destEntries, error) == ListingState::Failed) {
            ReportUnreadableFolder(d, error);
            return true;
        }
        destFiles_ += destEntries.FileCount();
    }

    bool stopped = false;
    FolderSnapshot::Names sourceNames;
    // What this folder holds once the pass is over, for the state it leaves (engine/RunState.h):
    // the source's entries, and what stays without a source.
    std::vector<FolderSnapshot::Entry> kept;
    FolderListing listing(s);
    const Reserved reserved = ReservedIn(s, sourceFolder_);
    while (NextWalkEntry(listing, stopped, reserved, true)) {
        // Every entry of every later run passes here, most of them unchanged: the name is folded
        // once, and a file's paths are put together only when it is to be copied.
        const std::wstring name = listing.Name();
        const std::wstring& key = *sourceNames.insert(FoldCase(name)).first;
        const FolderSnapshot::Entry* existing = destEntries.FindFolded(key);
        const FileStamp* destFile = existing ? existing->File() : nullptr;
        const bool destIsFolder = existing && existing->folder;
        if (newState_)
            kept.push_back({listing.IsFolder() ? FileStamp{} : StampOf(listing.Entry()), listing.IsFolder(), name});
        if (listing.IsFolder()) {
            // A file in the folder's place that cannot go leaves the folder uncreatable: its files fail.
            if (destFile) {
                FinishQueuedCopies();
                RemoveReplacedEntry(name, s, d, h, false);
            }
            // A sub-tree that fails does not fail its parent.
            ScanFolder(s + name + L"\\", JoinFolder(d, name), JoinFolder(h, name), destIsFolder);
            continue;
        }
        // An unchanged file that a cut-off run wrote is copied again; the version it holds is the
        // source's own, not a previous one to keep.
        bool rewrite = false;
        if (!StampsDiffer(StampOf(listing.Entry()), destFile, DestinationIsFat())) {
            if (!Recovering() || !WrittenByInterruptedRun(d + name))
                continue;
            rewrite = true;
        }
        if (destIsFolder)
            FinishQueuedCopies();
        const bool destExistsHere = destIsFolder ? !RemoveReplacedEntry(name, s, d, h, true) : existing != nullptr;
        CopyFromScan(CBackupFileInfo{0, name, s, d, h}, destExistsHere, rewrite, StampOf(listing.Entry()).size);
    }
    if (listing.Failed() || (listing.Absent() && !SourceFolderRemoved(s))) {
        ReportUnreadableSource(s, listing.Error());
    } else if (!stopped) {
        // Moved into history once the scan and the retries are over. Only the differences are
        // kept, never the tree. Without history they stay.
        const Reserved destReserved = ReservedIn(d, destFolder_);
        destEntries.ForEachEntryMissingFrom(sourceNames, [&](const FolderSnapshot::Entry& entry) {
            if (task_.History && !IsReserved(entry.name, destReserved))
                orphans_.push_back({entry.name, s, d, h, entry.folder});
            else if (newState_)
                kept.push_back(entry);
        });
        if (newState_)
            newState_->AddFolder(RelativeFolder(d), kept);
    }
    // Files were just written into the new folder: give it the source folder's times last.
    if (!destExists)
        StampNewFolder(d, s);
    return !stopped;
}

bool CBackupEngine::SourceFolderRemoved(const std::wstring& folder)
{
    // The source root is the task's own: it is never taken as removed.
    if (EqualsIgnoringCase(folder, sourceFolder_) || folder.size() < 2)
        return false;
    const size_t slash = folder.rfind(L'\\', folder.size() - 2);
    if (slash == std::wstring::npos)
        return false;
    const std::wstring parent = folder.substr(0, slash + 1);
    const std::wstring name = folder.substr(slash + 1, folder.size() - slash - 2);
    FolderSnapshot parentEntries;
    if (parentEntries.Read(parent) != ListingState::Listed || parentEntries.ContainsFolder(name))
        return false;
    return FolderListing(sourceFolder_).State() == ListingState::Listed;
}

void CBackupEngine::CountFailure()
{
    // The batch's count of what could not be done: backed up, or removed by a cleaning run.
    ++context_.filesFailed;
}

void CBackupEngine::ReportUnreadableFolder(const std::wstring& folder, DWORD error)
{
    CountFailure();
    context_.AppendStatusLine(Format(L"无法读取文件夹“%s”：%s其中的备份未作任何改动", folder.c_str(),
                                     SystemErrorText(error).c_str()));
}

void CBackupEngine::ReportUnreadableSource(const std::wstring& folder, DWORD error)
{
    if (sourceError_ == 0)
        sourceError_ = error == ERROR_PATH_NOT_FOUND ? static_cast<uint32_t>(ERR_SOURCE_FOLDER_MISSING) : error;
    ReportUnreadableFolder(folder, error);
}

void CBackupEngine::ReportFailure(const wchar_t* what, const std::wstring& path, DWORD error)
{
    CountFailure();
    context_.AppendStatusLine(Format(L"%s“%s”：%s", what, path.c_str(), SystemErrorText(error).c_str()));
}

void CBackupEngine::MoveOrphanToHistory(const std::wstring& name, const std::wstring& dest, const std::wstring& history)
{
    if (MoveFileKeepTimes(name, dest, history, L""))
        return;
    const DWORD error = GetLastError();
    // Gone already (the user removed it meanwhile): nothing is lost.
    if (PathExists(dest + name))
        ReportFailure(L"无法移入历史文件夹的文件", dest + name, error);
}

void CBackupEngine::RemoveEmptyFolder(const std::wstring& folder)
{
    if (countOnly_)
        return;
    if (!RemoveDirectoryW(LongPath(folder).c_str()) && IsFolder(folder) && !InWorkFolder(folder))
        ReportFailure(L"无法删除的文件夹", folder, GetLastError());
}

int CBackupEngine::CountFiles(const std::wstring& folder, Reserved reserved)
{
    int count = 0;
    for (FolderListing listing(folder); listing.Next();) {
        if (IsReserved(listing.Name(), reserved))
            continue;
        count += listing.IsFolder() ? CountFiles(folder + listing.Name() + L"\\", Reserved::None) : 1;
    }
    return count;
}

bool CBackupEngine::RemovalsHeldBack()
{
    if (orphans_.empty())
        return HoldRemovals(0, 0);
    int64_t removals = 0;
    int64_t held = static_cast<int64_t>(destFiles_);
    for (const Orphan& orphan : orphans_) {
        if (!orphan.folder) {
            ++removals;
            continue;
        }
        // The scan does not go into a destination folder whose source is gone.
        const int below = CountFiles(orphan.destFolder + orphan.name + L"\\", Reserved::None);
        removals += below;
        held += below;
    }
    return HoldRemovals(removals, held);
}

bool CBackupEngine::HoldRemovals(int64_t removals, int64_t held)
{
    // Once held, held until the user agrees: the files a run copies (a renamed tree) would
    // otherwise make the same removals look like half of the backup or less next time.
    if (context_.allowRemovals.load() || removals < kRemovalBrakeFiles ||
        (removals * 2 <= held && !removalsHeldBefore_)) {
        RecordHeldRemovals(0);
        return false;
    }
    RecordHeldRemovals(removals);
    context_.removalsHeld = static_cast<int32_t>(removals);
    context_.removalsHeldTask = &task_;
    context_.lastError = ERR_REMOVALS_HELD;
    context_.AppendStatusLine(Format(kRemovalsHeldFormat, task_.Name.c_str(), static_cast<int>(removals)));
    return true;
}

bool CBackupEngine::RemoveReplacedEntry(const std::wstring& name, const std::wstring& s, const std::wstring& d,
                                        const std::wstring& h, bool folder)
{
    const std::wstring path = d + name;
    if (folder) {
        if (task_.History) {
            MoveFolderToHistory(name, s, d, h);
        } else {
            EmptyWalk(path + L"\\", Reserved::None);
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
    SyncWalk(JoinFolder(s, name), sub, JoinFolder(h, name), false, true);
    if (FolderIsEmpty(sub))
        RemoveEmptyFolder(sub);
}

bool CBackupEngine::MoveOrphans()
{
    // The same entry checks as SyncDest, whose backup-mode work this is.
    if (!PathsReady() || StopRequested())
        return false;
    if (!task_.History)
        return true;
    if (RemovalsHeldBack())
        return false;
    for (const Orphan& orphan : orphans_) {
        if (context_.stopFlag.load())
            return false;
        PauseCheckpoint();
        if (orphan.folder)
            MoveFolderToHistory(orphan.name, orphan.sourceFolder, orphan.destFolder, orphan.historyFolder);
        else
            MoveOrphanToHistory(orphan.name, orphan.destFolder, orphan.historyFolder);
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
        CopyChanged(entry, IsFolder(entry.destFolder) || CreateFolderTree(entry.destFolder), destExists, false,
                    passCopier_);
    return true;
}

void CBackupEngine::CopyChanged(const CBackupFileInfo& entry, bool folderReady, bool destExists, bool rewrite,
                                Copier& copier)
{
    if (!folderReady)
        ReplaceFailed(copier, GetLastError());
    else if (ReplaceFile(entry, destExists, !rewrite, copier)) {
        ++context_.filesDone;
        ++context_.filesCopied;
        if (entry.retry)
            --context_.filesFailed;
        return;
    }
    // A copy the user's stop cancelled was neither backed up nor failed: the next run copies it.
    if (context_.stopFlag.load() && copier.error == ERROR_REQUEST_ABORTED)
        return;
    if (entry.retry == 0) {
        CountFailure();
        auto retry = std::make_unique<CBackupFileInfo>(entry);
        retry->retry = 1;
        context_.AddRetry(std::move(retry));
        return;
    }
    // Failed twice: counted already, and now named.
    context_.AppendStatusLine(Format(L"无法备份的文件“%s”：%s", JoinName(entry.sourceFolder, entry.name).c_str(),
                                     SystemErrorText(copier.error).c_str()));
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
    return SyncWalk(source, dest, history, cleanMode, false);
}

bool CBackupEngine::SyncWalk(const std::wstring& source, const std::wstring& dest, const std::wstring& history,
                             bool cleanMode, bool sourceGone)
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

    // Below a folder whose source is gone there is nothing to list: everything there is an orphan.
    FolderSnapshot sourceEntries;
    if (DWORD error = 0; !sourceGone) {
        const ListingState state = sourceEntries.Read(s, &error);
        if (state == ListingState::Failed || (state == ListingState::Absent && !SourceFolderRemoved(s))) {
            ReportUnreadableSource(s, error);
            return true;
        }
    }
    bool stopped = false;
    FolderListing listing(d);
    while (NextWalkEntry(listing, stopped, ReservedIn(d, destFolder_), false)) {
        const std::wstring name = listing.Name();
        if (listing.IsFolder()) {
            const std::wstring sub = d + name + L"\\";
            SyncWalk(JoinFolder(s, name), sub, JoinFolder(h, name), cleanMode, !sourceEntries.ContainsFolder(name));
            if (!sourceEntries.ContainsFolder(name) && FolderIsEmpty(sub))
                RemoveEmptyFolder(sub);
            continue;
        }
        if (countOnly_)
            ++destFiles_;
        if (sourceEntries.Contains(name))
            continue;
        if (cleanMode)
            DeleteCounted(d + name, StampOf(listing.Entry()).size, false);
        else
            MoveOrphanToHistory(name, d, h);
    }
    if (listing.Failed() && !countOnly_)
        ReportUnreadableFolder(d, listing.Error());
    return !stopped;
}

bool CBackupEngine::EmptyFolder(const std::wstring& folder)
{
    // The engine's own folders: what they keep under the program's names (the work folder's
    // "_历史文件") is not theirs to empty.
    return EmptyWalk(folder, Reserved::OwnNames);
}

bool CBackupEngine::EmptyWalk(const std::wstring& folder, Reserved reserved)
{
    const std::wstring p = AppendBackslash(folder);
    if (!FolderExists(p))
        return true;
    bool stopped = false;
    FolderListing listing(p);
    while (NextWalkEntry(listing, stopped, reserved, false)) {
        const std::wstring path = p + listing.Name();
        if (listing.IsFolder()) {
            EmptyWalk(path + L"\\", Reserved::None);
            if (FolderIsEmpty(path))
                RemoveEmptyFolder(path);
        } else {
            DeleteCounted(path, StampOf(listing.Entry()).size, true);
        }
    }
    if (listing.Failed())
        ReportUnreadableFolder(p, listing.Error());
    return !stopped;
}

bool CBackupEngine::NextWalkEntry(FolderListing& listing, bool& stopped, Reserved reserved, bool sayWhatIsSkipped)
{
    while (listing.Next()) {
        if (context_.stopFlag.load()) {
            stopped = true;
            return false;
        }
        // Cleaning's counting walk only lists: a pause takes hold in the walk that deletes.
        if (!countOnly_)
            PauseCheckpoint();
        if (!IsReserved(listing.Name(), reserved))
            return true;
        if (sayWhatIsSkipped)
            context_.AppendStatusLine(Format(L"未备份“%s%s”：源文件夹最上层的这个名称由本程序或系统使用",
                                             sourceFolder_.c_str(), listing.Name().c_str()));
    }
    return false;
}

void CBackupEngine::DeleteCounted(const std::wstring& path, uint64_t size, bool owned)
{
    if (countOnly_) {
        ++removalsCounted_;
        return;
    }
    const bool deleted = owned ? DeleteOwnedFile(path) : DeleteFileW(LongPath(path).c_str()) != FALSE;
    if (!deleted) {
        const DWORD error = GetLastError();
        if (PathExists(path) && !InWorkFolder(path))
            ReportFailure(L"无法删除的文件", path, error);
        return;
    }
    if (context_.cleaningRun.load()) {
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
