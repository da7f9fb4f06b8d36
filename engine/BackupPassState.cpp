// The backup pass's side of the run state (engine/RunState.h): whether this run may take the
// destination's entries from what the last run left, and what this run leaves for the next.
#include <windows.h>

#include "engine/CBackupEngine.h"
#include "engine/FileOps.h"
#include "engine/FolderListing.h"
#include "engine/RunContext.h"
#include "engine/RunState.h"
#include "task/CBackupItem.h"
#include "task/DateTime.h"

namespace vw {

void CBackupEngine::TakeUpRunState()
{
    lastState_.reset();
    newState_.reset();
    fullListing_ = SystemTimeNow();
    const std::wstring path = RunStatePath(task_.Id);
    if (path.empty())
        return;
    if (PathExists(path)) {
        // A clean pass leaves its work folder empty: anything there was left by a pass cut off, or
        // put there since, and the pass about to run changes the destination with it.
        RunStateSeal seal;
        auto state = std::make_unique<RunState>();
        if (FolderIsEmpty(workFolder_) &&
            ReadSeal(destFolder_, CompletedRunStart(), FormatDateTime(task_.CreateTime), seal) &&
            state->Load(path, seal, fullListing_)) {
            fullListing_ = state->FullListing();
            lastState_ = std::move(state);
        }
        // Read once: whatever this run does, the file no longer describes the destination.
        DeleteOwnedFile(path);
    }
    newState_ = std::make_unique<RunStateRecorder>();
    if (!CreateFolderTree(path) || !newState_->Open(path))
        newState_.reset();
}

void CBackupEngine::SaveRunState()
{
    const bool clean = context_.stopFlag.load() == 0 && context_.filesFailed.load() == failedBefore_ &&
                       sourceError_ == 0 && !workFolderHoldsKept_;
    RunStateSeal seal;
    if (newState_ && clean && ReadSeal(destFolder_, runStart_, FormatDateTime(task_.CreateTime), seal))
        newState_->Finish(seal, fullListing_);
    // Unfinished, its work file goes with it.
    newState_.reset();
}

void CBackupEngine::DropRunState()
{
    if (const std::wstring path = RunStatePath(task_.Id); !path.empty() && PathExists(path))
        DeleteOwnedFile(path);
}

ListingState CBackupEngine::ReadDestFolder(const std::wstring& folder, FolderSnapshot& entries, DWORD& error)
{
    error = ERROR_SUCCESS;
    if (lastState_ && lastState_->Fill(RelativeFolder(folder), entries))
        return ListingState::Listed;
    return entries.Read(folder, &error);
}

}  // namespace vw
