#pragma once
// Showing the update manifest's notice page, as the main window does on its notice timer.
#include <windows.h>

#include <memory>
#include <string>

#include "ui/CMessageDlg.h"

namespace vw {

// Posted to the window by ProbeConnection: wParam 1 when the notice may be shown, lParam the probe's
// number.
inline constexpr UINT WM_NOTICE_PROBE_MSG = WM_USER + 10200;

// The system reports a live network and an internet connection, and a connection to the page's
// server can be made now. Blocks for as long as the connection attempt takes (seconds on a dead
// network): never on a window's thread.
bool ConnectionAllowsNotice(const std::wstring& address);

// Runs ConnectionAllowsNotice on a thread of its own, which posts WM_NOTICE_PROBE_MSG with `probe`
// to `window` and ends. The thread shares nothing with its starter, so nobody ever waits for it:
// a probe stuck on a dead network does not hold up the program's exit. False when no thread could
// be made.
bool ProbeConnection(const std::wstring& address, HWND window, LPARAM probe);

// Shows the notice in `popup`, making it first (the connection probed already) when there is none
// yet; later showings reuse it. The main window comes to the front again afterwards. False when no
// popup could be shown.
bool ShowNotice(std::unique_ptr<CMessageDlg>& popup, HINSTANCE instance, const std::wstring& address,
                int seconds, HWND mainWindow);

}  // namespace vw
