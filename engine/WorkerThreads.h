#pragma once
// The two worker thread procedures: one backup run or one cleaning run of the run context's
// current task. The parameter is the RunContext. The worker only posts messages to the window;
// timers and schedules are the window's business (see run/RunController).
#include <windows.h>

#include <cstdint>

#include "engine/RunRequest.h"

namespace vw {

DWORD WINAPI BackupThreadProc(void* runContext);
DWORD WINAPI CleanThreadProc(void* runContext);
// A verify or a restore run (RunContext::verifyRequest, restoreRequest): a batch of its own, as a
// cleaning run is.
DWORD WINAPI VerifyThreadProc(void* runContext);
DWORD WINAPI RestoreThreadProc(void* runContext);
// The thread procedure of a kind of run.
LPTHREAD_START_ROUTINE WorkerProcedure(RunKind kind);

// The status line of a run that failed: the task's name, then the error's text.
inline constexpr wchar_t kBackupErrorFormat[] = L"任务“%s”发生错误，备份已终止，错误原因为：%s";
inline constexpr wchar_t kCleaningErrorFormat[] = L"清理任务“%s”清理历史文件时发生错误，清理已终止，错误原因为：%s";
inline constexpr wchar_t kVerifyErrorFormat[] = L"校验任务“%s”的备份时发生错误，校验已终止，错误原因为：%s";
inline constexpr wchar_t kRestoreErrorFormat[] = L"从任务“%s”的备份恢复文件时发生错误，恢复已终止，错误原因为：%s";
// The error line of a run of that kind.
const wchar_t* RunErrorFormat(RunKind kind);

// The space below which a backup warns that its destination is running full.
inline constexpr uint64_t kLowDiskSpaceBytes = 104857600;  // 100 MiB

}  // namespace vw
