#pragma once
// The private window messages the worker threads and the run controller post to the window.
// lParam carries the run's generation in its high word (RunContext::IsCurrent); wParam as noted.
#include <windows.h>

namespace vw {

// wParam: the destination's drive letter (UTF-16 code unit).
inline constexpr UINT WM_DISK_SPACE_LOW_MSG = WM_USER + 10100;
// wParam 0.
inline constexpr UINT WM_BACKUP_BEGIN_MSG = WM_USER + 10101;
// wParam 0: the batch ended by itself; 1: the batch was stopped.
inline constexpr UINT WM_BACKUP_FINISH_MSG = WM_USER + 10102;
// wParam 0.
inline constexpr UINT WM_BACKUP_THREAD_START_MSG = WM_USER + 10103;
// wParam 0: continue the batch; 1: the run was stopped; 2: failed to start, or a cleaning run ended.
inline constexpr UINT WM_BACKUP_THREAD_END_MSG = WM_USER + 10104;
// wParam 0: the worker saw a pause request; 1: the run is paused; 2: the run has resumed.
inline constexpr UINT WM_BACKUP_THREAD_PAUSE_MSG = WM_USER + 10105;

}  // namespace vw
