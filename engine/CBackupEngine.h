#pragma once
// The work of one run of one task, on the worker thread: binding or verifying the destination,
// the backup pass (scan and copy, retry, moves into history) and the cleaning pass.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/CBackupFileInfo.h"

namespace vw {

class CBackupItem;
class CopyPool;
struct CopyPoolJob;
class FolderListing;
class FolderSnapshot;
enum class ListingState;
struct FileStamp;
class RunContext;
class RunState;
class RunStateRecorder;

// The program's own names at the destination's top level (compared case-insensitively). Deeper
// down they are a user's names like any other.
inline constexpr wchar_t kWorkFolderName[] = L"_TEMP";
inline constexpr wchar_t kHistoryFolderName[] = L"_历史文件";
inline constexpr wchar_t kMarkerFileName[] = L"_Vaultwren.ini";
inline constexpr wchar_t kRecycleBinName[] = L"$RECYCLE.BIN";
// The system's own folder at a drive's root.
inline constexpr wchar_t kSystemVolumeFolderName[] = L"System Volume Information";
// Inside the work folder: the name a new version is copied under, and the tree of previous versions
// set aside while their replace runs. Copies made side by side (engine/CopyPool.h) each have a
// name of their own, "~vaultwren-copy-<copier>.tmp" (WorkCopyName).
inline constexpr wchar_t kWorkCopyName[] = L"~vaultwren-copy.tmp";
inline constexpr wchar_t kSetAsideFolderName[] = L"previous";
// The work copy's name for copier `copier`: 0 is the pass's own thread, which keeps kWorkCopyName.
std::wstring WorkCopyName(int copier);
// A name WorkCopyName gives (compared case-insensitively): what a replace that was cut off leaves.
bool IsWorkCopyName(const std::wstring& name);
// Files up to this size that need a copy are copied side by side by a few copiers; larger ones
// alone, on the pass's thread, with their progress and a pause inside the file.
inline constexpr uint64_t kPooledCopyLimit = 1u << 20;
inline constexpr int kCopiers = 3;
// One of the program's own names.
bool IsSkippedName(const std::wstring& name);

// What a walk passes over in one folder: nothing below the top level; at the top of the source
// and of the destination the program's own names (a source entry of such a name would land on
// the program's own entry), and at a drive's root also the system's folder.
enum class Reserved { None, OwnNames, OwnAndSystemNames };
// `folder` and `root` end with "\"; `folder` is `root` or lies below it.
Reserved ReservedIn(const std::wstring& folder, const std::wstring& root);
bool IsReserved(const std::wstring& name, Reserved reserved);

// A run removes (moves into history, or cleaning deletes) at most half of its destination's
// files, once they are this many, without the user's consent: an emptied or replaced source, or a
// mass deletion or renaming (ransomware), would otherwise carry the whole backup away.
inline constexpr int kRemovalBrakeFiles = 100;
// The line of a run whose removals were held back: the task's name and the number of files.
inline constexpr wchar_t kRemovalsHeldFormat[] =
    L"任务“%s”本次要从目标文件夹中移走%d个文件（移入历史文件夹或删除），超过其中文件的一半，已全部保留未动："
    L"源文件夹可能被清空或更换了，也可能有大量文件被删除或改名（例如被勒索病毒加密）。"
    L"请先检查源文件夹；确认无误后，在询问时选择“是”，或运行 VaultwrenCmd run --allow-removals 任务。";

// A byte count as "1.50KB", "1024.00字节", ... (units 字节, KB, MB, GB, TB).
std::wstring FormatByteSize(uint64_t bytes);

// True when the destination file is missing or differs from the source in last-write time or size.
// `fatDestination`: the destination volume keeps times in 2-second steps, so times within 2 s are equal.
bool NeedsCopy(const std::wstring& sourceFile, const std::wstring& destFile, bool fatDestination = false);

class CBackupEngine {
public:
    CBackupEngine(CBackupItem& task, RunContext& context);
    ~CBackupEngine();
    CBackupEngine(const CBackupEngine&) = delete;
    CBackupEngine& operator=(const CBackupEngine&) = delete;

    // Destination binding and its marker file.
    bool Init();
    bool CheckDest();
    // False, with ERR_FOLDERS_OVERLAP, when the source and the destination lead into each other.
    bool FoldersApart();
    bool InitDest();
    bool WriteCreateTime();
    bool VerifyMarker();
    void WriteLastTime();
    bool FollowDriveLetter();
    // Verify and restore: the destination must be this task's already (its marker, or the same
    // disk under another letter); nothing is made or written there. `needSource`: a restore
    // goes without the source, which may be the very thing that was lost.
    bool InitForReading(bool needSource);

    // The backup pass.
    bool BackupPass();
    // The scan, with its copiers at work beside it; they have ended when it returns.
    bool ScanSource(const std::wstring& source, const std::wstring& dest, const std::wstring& history);
    bool CopyEntry(const CBackupFileInfo& entry);
    bool RetryFailed();
    bool SyncDest(const std::wstring& source, const std::wstring& dest, const std::wstring& history, bool cleanMode);
    bool EmptyFolder(const std::wstring& folder);
    void PauseCheckpoint();

    // The cleaning pass.
    bool CleanPass();

    // A destination file whose bytes are damaged, copied again through the replace protocol; the
    // damaged copy is not a previous version and does not go into history.
    bool RepairCopy(const CBackupFileInfo& entry);
    // After the last repair: the work folder emptied, as a backup pass leaves it.
    void FinishRepairs();

    const std::wstring& SourceFolder() const { return sourceFolder_; }
    const std::wstring& DestFolder() const { return destFolder_; }
    const std::wstring& WorkFolder() const { return workFolder_; }
    const std::wstring& HistoryFolder() const { return historyFolder_; }
    const std::wstring& MarkerFile() const { return markerFile_; }
    // The destination volume is FAT-formatted (last-write times in 2-second steps); set by Init.
    bool DestinationIsFat() const { return destinationIsFat_; }

private:
    // Sets ERR_TASK_CONFIG and returns false when one of the five paths is empty.
    bool PathsReady();
    void BuildPaths();
    bool StopRequested() const;

    // The next entry a walk handles: checks the stop flag and the pause request at every entry
    // and passes over the reserved names, saying so in a status line when asked. False at the
    // end, or with `stopped` set when a stop ends it.
    bool NextWalkEntry(FolderListing& listing, bool& stopped, Reserved reserved, bool sayWhatIsSkipped);
    // EmptyFolder's walk; `reserved` applies to `folder` itself only.
    bool EmptyWalk(const std::wstring& folder, Reserved reserved);
    // The recursive part of SyncDest, below its entry checks. `sourceGone`: the parent's listing
    // has no such source folder, so everything below `dest` is without a source.
    bool SyncWalk(const std::wstring& source, const std::wstring& dest, const std::wstring& history, bool cleanMode,
                  bool sourceGone);
    // A source folder whose listing found it absent (`folder` ends with "\") really was removed:
    // its parent and the source root still list, and the parent has no such folder.
    bool SourceFolderRemoved(const std::wstring& folder);
    // One more file or folder the run could not handle.
    void CountFailure();
    // The scan below its entry checks; `destExists` comes from the parent's listing.
    bool ScanFolder(const std::wstring& source, const std::wstring& dest, const std::wstring& history,
                    bool destExists);
    // The backup-mode work of SyncDest on what the scan found without a source.
    bool MoveOrphans();
    // A destination folder whose source is gone (or is now a file): its files into history, and
    // the folder away once empty.
    void MoveFolderToHistory(const std::wstring& name, const std::wstring& source, const std::wstring& dest,
                             const std::wstring& history);
    // The destination entry `name` is of the other kind than its source: it goes where a removed
    // entry goes (history, or away without history). True when it is gone.
    bool RemoveReplacedEntry(const std::wstring& name, const std::wstring& source, const std::wstring& dest,
                             const std::wstring& history, bool folder);
    // Who makes a copy: the pass's own thread (0), alone, with the run's copy fields; or one of
    // the copiers (1 to kCopiers), side by side. Each has a work copy name of its own, and the
    // error of its last failed replace.
    struct Copier {
        int id = 0;
        std::wstring workCopy;
        DWORD error = ERROR_SUCCESS;
    };
    // The copy of a file found new or changed (StampsDiffer) and the counting of its outcome:
    // copied, or failed and listed for the retry. `rewrite`: the destination holds the source's
    // own version, written by a run that was cut off (engine/RunRecord.cpp); it is not kept.
    void CopyChanged(const CBackupFileInfo& entry, bool folderReady, bool destExists, bool rewrite, Copier& copier);
    // The scan's copy of a file `size` bytes long: handed to the copiers when it is small and the
    // run is not slowed down by the speed setting, else made here once theirs have ended.
    void CopyFromScan(const CBackupFileInfo& entry, bool destExists, bool rewrite, uint64_t size);
    // A copier's copy of a file the scan handed over, after the pause checkpoint.
    void CopyQueued(const CopyPoolJob& job, int copier);
    // Waits for the copies handed to the copiers, then gives the folders made meanwhile their
    // source's times: a step that touches names a queued copy may use comes after it.
    void FinishQueuedCopies();
    // A folder the scan made, given its source folder's times once the files copied into it are in.
    void StampNewFolder(const std::wstring& dest, const std::wstring& source);
    // A folder that could not be listed (or vanished): counted as a failure and named in a status line.
    void ReportUnreadableFolder(const std::wstring& folder, DWORD error);
    // The same for a source folder: the run has not seen the whole source (sourceError_).
    void ReportUnreadableSource(const std::wstring& folder, DWORD error);
    // False, with the run's error, when a source folder could not be listed.
    bool SourceSeenWhole();
    // A file or folder that could not be moved or deleted: counted, and named as "<what>“path”：<error>".
    void ReportFailure(const wchar_t* what, const std::wstring& path, DWORD error);
    // A destination file without a source into history; a failed move is counted and named.
    void MoveOrphanToHistory(const std::wstring& name, const std::wstring& dest, const std::wstring& history);
    // Removes a folder found empty; a failure is counted and named.
    void RemoveEmptyFolder(const std::wstring& folder);
    // What the work folder holds is the engine's own: what stays there is taken up by the next
    // pass, and the file it belonged to has been counted already.
    bool InWorkFolder(const std::wstring& path) const { return path.compare(0, workFolder_.size(), workFolder_) == 0; }
    // Files below a folder, `reserved` applying to the folder itself: those a folder that cannot
    // be created leaves unbacked, or those a removed folder takes along.
    int CountFiles(const std::wstring& folder, Reserved reserved);
    // The brake on mass removals for the backup's orphans (HoldRemovals).
    bool RemovalsHeldBack();
    // The brake: true, with the run's error and a status line, when `removals` are at least
    // kRemovalBrakeFiles files and more than half of the destination's `held` files (or were held
    // back before), and the batch has no consent to remove them (RunContext::allowRemovals).
    bool HoldRemovals(int64_t removals, int64_t held);

    // The replace of one file (engine/FileReplace.cpp tells its steps); false when it failed and
    // the real name still holds what it held before. `keepPrevious`: the version replaced goes
    // into history (with the task's history on).
    bool ReplaceFile(const CBackupFileInfo& entry, bool destExists, bool keepPrevious, Copier& copier);
    // A failed replace: its error is the copier's and, made alone, the run's; a copier's is the
    // run's unless it is the stop's cancel or a fatal error is there already. Returns false.
    bool ReplaceFailed(Copier& copier, DWORD error);
    // Where step 2 of a replace put the previous version, and the attributes it had.
    struct SetAside {
        enum class How { None, InHistory, Linked, Moved } how = How::None;
        std::wstring folder;
        DWORD attributes = INVALID_FILE_ATTRIBUTES;
    };
    bool SetAsidePrevious(const CBackupFileInfo& entry, SetAside& previous, bool keep);
    void PutBack(const CBackupFileInfo& entry, const SetAside& previous);
    // A set-aside previous version into history (or deleted without history); kept in the work
    // folder's "_历史文件" when that fails.
    void DisposeOfPrevious(const std::wstring& name, const std::wstring& folder, const std::wstring& destFolder,
                           const std::wstring& historyFolder, DWORD attributes);
    // The start of a pass: what a pass that was cut off left in the work folder.
    void FinishInterruptedReplaces();
    void FinishSetAside(const std::wstring& aside, const std::wstring& dest, const std::wstring& history);
    // Previous versions an earlier program version left flat in the work folder: kept where no walk touches them.
    void KeepLeftovers();
    // A previous version that could go neither into history nor back: kept where no walk touches it.
    void KeepDisplacedVersion(const std::wstring& name, const std::wstring& from, const std::wstring& destFolder);
    bool WorkFolderReady();
    // The state a clean run leaves for the next (engine/RunState.h): taken up (read, trusted or
    // not, and deleted) as a pass starts, saved when it ends clean, dropped by cleaning.
    void TakeUpRunState();
    void SaveRunState();
    void DropRunState();
    // A destination folder's entries, from the last run's state when it is trusted and holds the
    // folder, else from a listing; as FolderSnapshot::Read.
    ListingState ReadDestFolder(const std::wstring& folder, FolderSnapshot& entries, DWORD& error);
    // The start of the last run when it got to its end, else 0 (engine/RunRecord.cpp).
    uint64_t CompletedRunStart() const;
    // The run's start and end in the marker file (engine/RunRecord.cpp), with the brake's state.
    void OpenRunRecord();
    void CloseRunRecord();
    bool Recovering() const { return interruptedSince_ != 0; }
    // The brake's state in the marker: the removals a run held back, until a run lets them
    // through or they fall under the brake (0).
    void RecordHeldRemovals(int64_t files);
    // A destination file that a run cut off before its end may have written (its data may not
    // have reached the disk): false at once unless the last run was cut off.
    bool WrittenByInterruptedRun(const std::wstring& destFile) const;
    // A destination folder's path below the destination root ("a\b\", or empty for the root).
    std::wstring RelativeFolder(const std::wstring& destFolder) const;
    // Deletes a file for good; a cleaning run counts it with the size its listing gave. `owned`:
    // a file of the engine's own folders, whose read-only attribute does not keep it.
    void DeleteCounted(const std::wstring& path, uint64_t size, bool owned);

    CBackupItem& task_;
    RunContext& context_;
    std::wstring sourceFolder_;
    std::wstring destFolder_;
    std::wstring workFolder_;
    std::wstring historyFolder_;
    std::wstring markerFile_;
    // The work folder's tree of set-aside versions (the work copies are the copiers').
    std::wstring setAsideFolder_;
    bool workFolderReady_ = false;
    // A repair has finished what an interrupted pass left in the work folder.
    bool repairsBegun_ = false;
    bool destinationIsFat_ = false;
    // A displaced version is still in the work folder, which must then not be emptied.
    std::atomic<bool> workFolderHoldsKept_{false};
    // Why a source folder could not be listed (0: every one could). The history may then hold the
    // only other copy of what is under it, so cleaning leaves the history alone.
    uint32_t sourceError_ = 0;
    // This run's start as the marker records it, and the start of a run that was cut off (0: none).
    uint64_t runStart_ = 0;
    uint64_t interruptedSince_ = 0;
    size_t destFiles_ = 0;
    bool removalsHeldBefore_ = false;
    // Cleaning's first walk: deletes nothing, counts what it would delete and the files it meets.
    bool countOnly_ = false;
    int64_t removalsCounted_ = 0;

    // Destination entries the scan found without a source, in the order it met them.
    struct Orphan {
        std::wstring name;
        std::wstring sourceFolder;
        std::wstring destFolder;
        std::wstring historyFolder;
        bool folder = false;
    };
    std::vector<Orphan> orphans_;

    // The last run's state when this run trusts it, and this run's as the scan records it.
    std::unique_ptr<RunState> lastState_;
    std::unique_ptr<RunStateRecorder> newState_;
    // When the destination was last listed in full (the state carries it on).
    uint64_t fullListing_ = 0;
    // The batch's failure count as the pass began: a pass that adds none ended clean.
    int32_t failedBefore_ = 0;

    // The pass's own copies, and the copiers while the scan runs. Folders the scan made wait for
    // their source's times until the copies into them have ended (a few at a time).
    Copier passCopier_;
    std::vector<std::pair<std::wstring, std::wstring>> foldersToStamp_;
    // Last: its copiers use the members above and end before they go.
    std::unique_ptr<CopyPool> copyPool_;
};

// Drive test for a destination: a letter C..Z present in the drive list whose type is known and
// has a root; optical drives only when allowed. UNC paths never pass.
bool DriveIsUsable(const std::wstring& path, bool allowOptical);

// FAT, FAT32 or exFAT (the file-system name of GetVolumeInformationW), compared case-insensitively.
bool IsFatVolume(const std::wstring& fileSystemName);

}  // namespace vw
