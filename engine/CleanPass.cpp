// Cleaning: delete for good what the source no longer has, and empty the history folder.
#include <windows.h>
#include <shlwapi.h>

#include "engine/CBackupEngine.h"
#include "engine/FileOps.h"
#include "engine/FolderListing.h"
#include "engine/RunContext.h"
#include "engine/SystemErrorText.h"
#include "task/CBackupItem.h"
#include "win/Format.h"
#include "win/Text.h"

namespace vw {

bool CBackupEngine::CleanPass()
{
    removalsCounted_ = 0;
    destFiles_ = 0;
    for (const std::wstring* path : {&sourceFolder_, &destFolder_, &workFolder_, &historyFolder_, &markerFile_})
        if (path->empty())
            return false;
    if (!context_.cleaningRun.load())
        return false;
    // Cleaning changes the destination behind the state's back: the next backup lists it in full.
    DropRunState();
    // Without a source to compare with, every destination file would look removed, and the
    // history may hold the only other copy of them: a source that cannot be listed stops the run.
    if (const FolderListing root(sourceFolder_); root.State() != ListingState::Listed) {
        context_.lastError = root.Absent() ? static_cast<uint32_t>(ERR_SOURCE_FOLDER_MISSING) : root.Error();
        ReportUnreadableFolder(sourceFolder_, root.Error());
        return false;
    }
    // A backup cut off in a replace may have left a version with no other copy in the work folder,
    // which this pass empties: finish that replace first.
    FinishInterruptedReplaces();
    // The walk once without deleting, to know what it would delete: the brake on mass removals
    // holds for good deletions as it does for moves into history.
    countOnly_ = true;
    const bool counted = SyncDest(sourceFolder_, destFolder_, historyFolder_, true);
    countOnly_ = false;
    // Once started, the pass reports success even when a stop cut it short.
    if (!counted)
        return true;
    if (!SourceSeenWhole() || HoldRemovals(removalsCounted_, static_cast<int64_t>(destFiles_)))
        return false;
    if (!SyncDest(sourceFolder_, destFolder_, historyFolder_, true))
        return true;
    if (!SourceSeenWhole())
        return false;
    if (task_.History && !EmptyFolder(historyFolder_))
        return true;
    if (IsFolder(workFolder_))
        EmptyFolder(workFolder_);
    return true;
}

bool CBackupEngine::SourceSeenWhole()
{
    if (sourceError_ == 0)
        return true;
    context_.lastError = sourceError_;
    return false;
}

std::wstring FormatByteSize(uint64_t bytes)
{
    struct Unit {
        uint64_t above;
        double scale;
        const wchar_t* text;
    };
    static const Unit units[] = {
        {1ull << 40, 1.0 / (1ull << 40), L"TB"},
        {1ull << 30, 1.0 / (1ull << 30), L"GB"},
        {1ull << 20, 1.0 / (1ull << 20), L"MB"},
        {1024, 1.0 / 1024, L"KB"},
    };
    double value = static_cast<double>(bytes);
    const wchar_t* unit = L"字节";
    for (const Unit& candidate : units) {
        if (bytes > candidate.above) {
            value *= candidate.scale;
            unit = candidate.text;
            break;
        }
    }
    return TrimWhiteSpace(Format(L"%9.2f%s", value, unit));
}

}  // namespace vw
