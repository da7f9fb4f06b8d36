// Binding a destination folder to its task through the hidden marker file, and checking that
// binding at the start of every run.
#include <windows.h>
#include <shlwapi.h>

#include "engine/CBackupEngine.h"
#include "engine/DestinationWait.h"
#include "engine/FileOps.h"
#include "engine/LongPathIni.h"
#include "engine/RunContext.h"
#include "engine/SystemErrorText.h"
#include "task/CBackupItem.h"
#include "task/DateTime.h"
#include "task/FolderLocation.h"
#include "task/FolderPathRules.h"

namespace vw {

namespace {

constexpr wchar_t kCreateTimeKey[] = L"CreateTime";
constexpr wchar_t kLastTimeKey[] = L"LastTime";
// The marker's stamps are 19 characters; a longer value is read into this much and then refused.
constexpr size_t kMarkerValueCapacity = 128;

// A file, not a folder that happens to carry the marker's name.
bool IsFile(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::wstring VolumeFileSystem(const std::wstring& path)
{
    const std::wstring root = DestinationRoot(path);
    wchar_t name[MAX_PATH + 1] = {};
    if (root.empty() ||
        !GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, name, MAX_PATH + 1))
        return {};
    return name;
}

}  // namespace

bool CBackupEngine::Init()
{
    BuildPaths();
    const bool ready = CheckDest();
    // Asked once per run: the pass compares every file's time with it.
    destinationIsFat_ = ready && IsFatVolume(VolumeFileSystem(destFolder_));
    return ready;
}

bool CBackupEngine::InitForReading(bool needSource)
{
    BuildPaths();
    if (!PathsReady())
        return false;
    if (needSource && !IsFolder(sourceFolder_)) {
        context_.lastError = ERR_SOURCE_FOLDER_MISSING;
        return false;
    }
    if (FindUnusableName(destFolder_).fault != FolderPathFault::None) {
        context_.lastError = ERR_DEST_NAME_UNUSABLE;
        return false;
    }
    if (task_.LastTime.IsNever()) {
        context_.lastError = ERR_NEVER_BACKED_UP;
        return false;
    }
    // A followed letter changes the task, not the destination.
    if (!(VerifyMarker() || FollowDriveLetter()) || !IsFolder(destFolder_)) {
        context_.lastError = ERR_DEST_FOLDER_MISSING;
        return false;
    }
    if (!FoldersApart())
        return false;
    destinationIsFat_ = IsFatVolume(VolumeFileSystem(destFolder_));
    return true;
}

bool CBackupEngine::CheckDest()
{
    if (!PathsReady())
        return false;
    if (!IsFolder(sourceFolder_)) {
        context_.lastError = ERR_SOURCE_FOLDER_MISSING;
        return false;
    }
    // The profile can be edited and links can change after the task was made: a destination that
    // leads into the source (or the reverse) would move the source's own files into history.
    // Windows would open another folder than the one written ("backup." as "backup"), or none (CON).
    if (FindUnusableName(destFolder_).fault != FolderPathFault::None) {
        context_.lastError = ERR_DEST_NAME_UNUSABLE;
        return false;
    }
    if (!FoldersApart())
        return false;

    bool destReady = false;
    if (task_.LastTime.IsNever())
        destReady = InitDest();
    else if (VerifyMarker())
        destReady = true;
    else
        destReady = FollowDriveLetter();
    destReady = destReady && IsFolder(destFolder_);
    if (destReady && !FoldersApart())  // a followed letter is a new destination
        return false;

    if (!destReady) {
        // A file in the folder's place is not mended by a reset: say what is in the way.
        const bool fileInTheWay = FindFileInTheWay(destFolder_).fault != FolderPathFault::None;
        context_.lastError = fileInTheWay ? ERR_DEST_IS_FILE : ERR_DEST_FOLDER_MISSING;
        return false;
    }
    return true;
}

bool CBackupEngine::FoldersApart()
{
    if (FindFolderOverlap(sourceFolder_, destFolder_) == FolderOverlap::None)
        return true;
    context_.lastError = ERR_FOLDERS_OVERLAP;
    return false;
}

bool CBackupEngine::InitDest()
{
    if (!PathsReady())
        return false;
    if (!DriveIsUsable(destFolder_, false) || !CreateFolderTree(destFolder_))
        return false;
    Sleep(10);
    if (!WriteCreateTime())
        return false;
    context_.flags.fetch_or(kFlagDestNewlyBound);
    return task_.History ? CreateFolderTree(historyFolder_) : true;
}

bool CBackupEngine::WriteCreateTime()
{
    if (!PathsReady())
        return false;
    if (!IsFolder(destFolder_))
        return true;

    const DateTime now = DateTime::Now();
    LongPathIni marker(markerFile_);
    const bool written = marker.SetString(task_.Id, kCreateTimeKey, FormatDateTime(now));
    // The task only takes the stamp once the marker really carries it; otherwise the run still
    // goes on, and the next one finds no stamp to verify.
    if (written && IsFile(markerFile_) && SetFileAttributesW(LongPath(markerFile_).c_str(), FILE_ATTRIBUTE_HIDDEN))
        task_.SetCreateTime(now, true);
    return true;
}

bool CBackupEngine::VerifyMarker()
{
    if (!PathsReady())
        return false;
    if (!IsFolder(destFolder_) || !IsFile(markerFile_))
        return false;

    std::wstring text;
    DateTime stamp;
    if (!LongPathIni(markerFile_).GetString(task_.Id, kCreateTimeKey, text, kMarkerValueCapacity) || text.empty() ||
        !ParseDateTime(text, stamp))
        return false;

    // A task record that lost its stamp takes the destination's.
    if (task_.CreateTime.IsNever()) {
        task_.SetCreateTime(stamp, true);
        return true;
    }
    return task_.CreateTime == stamp;
}

void CBackupEngine::WriteLastTime()
{
    // No error code here: the run is over, and a failed write is not reported. (The work, history
    // and marker paths are empty exactly when the destination folder is.)
    if (sourceFolder_.empty() || markerFile_.empty())
        return;
    if (IsFolder(destFolder_))
        LongPathIni(markerFile_).SetString(task_.Id, kLastTimeKey, FormatDateTime(task_.LastTime));
}

}  // namespace vw
