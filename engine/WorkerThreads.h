#pragma once
// The two worker thread procedures: one backup run or one cleaning run of the run context's
// current task. The parameter is the RunContext. The worker only posts messages to the window;
// timers and schedules are the window's business (see run/RunController).
#include <windows.h>

#include <cstdint>

namespace vw {

DWORD WINAPI BackupThreadProc(void* runContext);
DWORD WINAPI CleanThreadProc(void* runContext);

// The status line of a run that failed: the task's name, then the error's text.
inline constexpr wchar_t kBackupErrorFormat[] = L"任务“%s”发生错误，备份已终止，错误原因为：%s";
inline constexpr wchar_t kCleaningErrorFormat[] = L"清理任务“%s”清理历史文件时发生错误，清理已终止，错误原因为：%s";

// The space below which a backup warns that its destination is running full.
inline constexpr uint64_t kLowDiskSpaceBytes = 104857600;  // 100 MiB

}  // namespace vw
