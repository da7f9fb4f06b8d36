#pragma once
// The two worker thread procedures: one backup run or one cleaning run of the run context's
// current task. The parameter is the RunContext. The worker only posts messages to the window;
// timers and schedules are the window's business (see run/RunController).
#include <windows.h>

#include <cstdint>

namespace vw {

DWORD WINAPI BackupThreadProc(void* runContext);
DWORD WINAPI CleanThreadProc(void* runContext);

// The space below which a backup warns that its destination is running full.
inline constexpr uint64_t kLowDiskSpaceBytes = 104857600;  // 100 MiB

}  // namespace vw
