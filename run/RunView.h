#pragma once
// The values of a run that the main window shows, copied at one moment from the run controller
// and the run context, so that every text built from them is a function of plain data.
#include <cstdint>
#include <string>

namespace vw {

class RunContext;
class RunController;

struct RunView {
    int32_t runState = 0;  // kRunIdle, kRunPaused or kRunRunning
    bool cleaning = false;  // a cleaning run (runKind Cleaning)
    int32_t runKind = 0;    // RunKind of the run: RunContext::cleaningRun
    bool batchActive = false;
    bool hasCurrentTask = false;
    std::wstring currentTaskName;
    std::wstring history;                         // finished status lines, each ending in "\r\n"
    // The current task's run so far.
    int32_t filesDone = 0;
    int32_t filesFailedInTask = 0;  // entries on the retry list
    std::wstring currentFile;       // empty while the worker looks for work
    double progress = 0.0;          // of the current file, in percent
    // The batch so far.
    int32_t tasksDone = 0;
    int32_t filesCopied = 0;
    int32_t filesFailed = 0;
    // A worker runs that has not yet posted its end: a finish or end message that arrives now
    // belongs to a run before it.
    bool workerRunning = false;
};

// UI thread only: the current task is forgotten and deleted on that thread alone, so it stays
// valid while it is read.
RunView ReadRunView(const RunController& controller, const RunContext& context);

}  // namespace vw
