#pragma once
// What the updater's threads post to the main window. The high word of every message's lParam is
// the generation of the operation that posted it (CUpdater::IsCurrent); "lParam" below is its low word.
#include <windows.h>

#include <cstdint>

namespace vw {

inline uint16_t MessageGeneration(LPARAM lParam)
{
    return HIWORD(static_cast<DWORD>(lParam));
}

// wParam, lParam 0. Only when a user asked for the update; the window answers with the go-ahead.
inline constexpr UINT WM_UPDATER_DOWNLOAD_START_MSG = WM_USER + 10000;
// wParam 0: the operation failed (the result code says why); otherwise the address of the failed
// UpdaterFileInfo and lParam the HTTP status of its request, or 0.
inline constexpr UINT WM_UPDATER_ERROR_MSG = WM_USER + 10001;
// wParam: the UpdaterFileInfo. These carry a pointer into the file list, which Stop frees: a
// receiver must not follow it after a Stop.
inline constexpr UINT WM_UPDATER_FILE_SIZE_OK_MSG = WM_USER + 10002;
inline constexpr UINT WM_UPDATER_FILE_PROGRESS_MSG = WM_USER + 10003;
inline constexpr UINT WM_UPDATER_FILE_DONE_MSG = WM_USER + 10004;
// wParam 1 when every file of the new version is present, else 0.
inline constexpr UINT WM_UPDATER_DOWNLOAD_END_MSG = WM_USER + 10005;
// wParam 1 when a newer version is offered, else 0 (also when the check was skipped).
inline constexpr UINT WM_UPDATER_CHECK_END_MSG = WM_USER + 10006;

}  // namespace vw
