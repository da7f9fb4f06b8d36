#pragma once
// The work of one run of one task, on the worker thread: binding or verifying the destination,
// the backup pass (scan and copy, retry, moves into history) and the cleaning pass.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/CBackupFileInfo.h"

namespace vw {

class CBackupItem;
class FolderListing;
struct FileStamp;
class RunContext;

// Names every walk passes over, at every level, on both sides (compared case-insensitively).
inline constexpr wchar_t kWorkFolderName[] = L"_TEMP";
inline constexpr wchar_t kHistoryFolderName[] = L"_历史文件";
inline constexpr wchar_t kMarkerFileName[] = L"_Vaultwren.ini";
inline constexpr wchar_t kRecycleBinName[] = L"$RECYCLE.BIN";
// Inside the work folder: the name a new version is copied under, and the tree of previous versions
// set aside while their replace runs.
inline constexpr wchar_t kWorkCopyName[] = L"~vaultwren-copy.tmp";
inline constexpr wchar_t kSetAsideFolderName[] = L"previous";
bool IsSkippedName(const std::wstring& name);

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

    // The backup pass.
    bool BackupPass();
    bool ScanSource(const std::wstring& source, const std::wstring& dest, const std::wstring& history);
    bool CopyEntry(const CBackupFileInfo& entry);
    bool RetryFailed();
    bool SyncDest(const std::wstring& source, const std::wstring& dest, const std::wstring& history, bool cleanMode);
    bool EmptyFolder(const std::wstring& folder);
    void PauseCheckpoint();

    // The cleaning pass.
    bool CleanPass();

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
    // and passes over the skip list. False at the end, or with `stopped` set when a stop ends it.
    bool NextWalkEntry(FolderListing& listing, bool& stopped);
    // The recursive part of SyncDest, below its entry checks.
    bool SyncWalk(const std::wstring& source, const std::wstring& dest, const std::wstring& history, bool cleanMode);
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
    // The copy of a file found new or changed (StampsDiffer) and the counting of its outcome:
    // copied, or failed and listed for the retry.
    void CopyChanged(const CBackupFileInfo& entry, bool folderReady, bool destExists);
    // A folder that could not be listed: counted as a failure and named in a status line.
    void ReportUnreadableFolder(const std::wstring& folder, DWORD error);
    // Files below a folder (skip list aside): those a folder that cannot be created leaves unbacked.
    int CountFiles(const std::wstring& folder);

    // The replace of one file (engine/FileReplace.cpp tells its steps); false when it failed and
    // the real name still holds what it held before.
    bool ReplaceFile(const CBackupFileInfo& entry, bool destExists);
    // Where step 2 of a replace put the previous version, and the attributes it had.
    struct SetAside {
        enum class How { None, InHistory, Linked, Moved } how = How::None;
        std::wstring folder;
        DWORD attributes = INVALID_FILE_ATTRIBUTES;
    };
    bool SetAsidePrevious(const CBackupFileInfo& entry, SetAside& previous);
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
    // The work folder's own names: the new version being copied, and the tree of set-aside versions.
    std::wstring workCopy_;
    std::wstring setAsideFolder_;
    bool workFolderReady_ = false;
    bool destinationIsFat_ = false;
    // A displaced version is still in the work folder, which must then not be emptied.
    bool workFolderHoldsKept_ = false;

    // Destination entries the scan found without a source, in the order it met them.
    struct Orphan {
        std::wstring name;
        std::wstring sourceFolder;
        std::wstring destFolder;
        std::wstring historyFolder;
        bool folder = false;
    };
    std::vector<Orphan> orphans_;
};

// Drive test for a destination: a letter C..Z present in the drive list whose type is known and
// has a root; optical drives only when allowed. UNC paths never pass.
bool DriveIsUsable(const std::wstring& path, bool allowOptical);

// FAT, FAT32 or exFAT (the file-system name of GetVolumeInformationW), compared case-insensitively.
bool IsFatVolume(const std::wstring& fileSystemName);

}  // namespace vw
