#include "engine/CBackupEngine.h"

#include "engine/FileOps.h"
#include "engine/RunContext.h"
#include "engine/SystemErrorText.h"
#include "task/CBackupItem.h"

namespace vw {

CBackupEngine::CBackupEngine(CBackupItem& task, RunContext& context) : task_(task), context_(context) {}

CBackupEngine::~CBackupEngine()
{
    // A copy that ended through an error path may have left its pause event open.
    context_.ClosePauseEvent();
}

void CBackupEngine::BuildPaths()
{
    sourceFolder_ = task_.Source;
    AppendBackslash(sourceFolder_);

    destFolder_ = task_.Dest;
    AppendBackslash(destFolder_);
    if (destFolder_.empty()) {
        workFolder_.clear();
        historyFolder_.clear();
        markerFile_.clear();
        return;
    }
    workFolder_ = destFolder_ + kWorkFolderName + L"\\";
    historyFolder_ = destFolder_ + kHistoryFolderName + L"\\";
    markerFile_ = destFolder_ + kMarkerFileName;
}

bool CBackupEngine::PathsReady()
{
    if (sourceFolder_.empty() || destFolder_.empty() || workFolder_.empty() || historyFolder_.empty() ||
        markerFile_.empty()) {
        context_.lastError = ERR_TASK_CONFIG;
        return false;
    }
    return true;
}

bool CBackupEngine::StopRequested() const
{
    return context_.stopFlag.load() != 0 || context_.cancelFlag.load() != 0;
}

}  // namespace vw
