#include "engine/CBackupEngine.h"

#include "engine/CopyPool.h"
#include "engine/CopyWithProgress.h"
#include "engine/FileOps.h"
#include "engine/RunContext.h"
#include "engine/RunState.h"
#include "engine/SystemErrorText.h"
#include "task/CBackupItem.h"

namespace vw {

CBackupEngine::CBackupEngine(CBackupItem& task, RunContext& context) : task_(task), context_(context) {}

CBackupEngine::~CBackupEngine()
{
    // A copy that ended through an error path may have left its pause event open.
    context_.ClosePauseEvent();
    // The run is over: the program keeps no copy buffers while it waits for the next one.
    ReleaseIdleChunkBuffers();
}

void CBackupEngine::BuildPaths()
{
    sourceFolder_ = AppendBackslash(task_.Source);
    destFolder_ = AppendBackslash(task_.Dest);
    workFolder_ = JoinFolder(destFolder_, kWorkFolderName);
    historyFolder_ = JoinFolder(destFolder_, kHistoryFolderName);
    markerFile_ = JoinName(destFolder_, kMarkerFileName);
    passCopier_.workCopy = JoinName(workFolder_, WorkCopyName(0));
    setAsideFolder_ = JoinFolder(workFolder_, kSetAsideFolderName);
    workFolderReady_ = false;
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
