#pragma once
// The work of one run of one task, on the worker thread: binding or verifying the destination,
// the backup pass (scan and copy, retry, moves into history) and the cleaning pass.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/CBackupFileInfo.h"

namespace vw {

class CBackupItem;
class FolderListing;
class RunContext;

// Names every walk passes over, at every level, on both sides (compared case-insensitively).
inline constexpr wchar_t kWorkFolderName[] = L"_TEMP";
inline constexpr wchar_t kHistoryFolderName[] = L"_历史文件";
inline constexpr wchar_t kMarkerFileName[] = L"_Vaultwren.ini";
inline constexpr wchar_t kRecycleBinName[] = L"$RECYCLE.BIN";
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
    // Steps of CopyEntry once the entry is known to need a copy.
    void ReplaceFile(const CBackupFileInfo& entry, bool folderReady, bool destExists);
    // Previous versions an interrupted pass left in the work folder: kept where no walk touches them.
    void KeepLeftovers();
    // A previous version that could go neither into history nor back: kept where no walk touches it.
    void KeepDisplacedVersion(const CBackupFileInfo& entry);
    // Deletes a file for good; a cleaning run counts it with the size its listing gave.
    void DeleteCounted(const std::wstring& path, uint64_t size);

    CBackupItem& task_;
    RunContext& context_;
    std::wstring sourceFolder_;
    std::wstring destFolder_;
    std::wstring workFolder_;
    std::wstring historyFolder_;
    std::wstring markerFile_;
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
