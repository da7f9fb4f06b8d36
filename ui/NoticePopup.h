#pragma once
// Showing the update manifest's notice page, as the main window does on its notice timer.
#include <windows.h>

#include <memory>
#include <string>

#include "ui/CMessageDlg.h"

namespace vw {

// The system reports a live network and an internet connection, and a connection to the page's
// server can be made now. Asked only before the first showing.
bool ConnectionAllowsNotice(const std::wstring& address);

// Shows the notice in `popup`, making it first (after the connection tests) when there is none yet;
// later showings reuse it. The main window comes to the front again afterwards. False when no popup
// could be shown.
bool ShowNotice(std::unique_ptr<CMessageDlg>& popup, HINSTANCE instance, const std::wstring& address,
                int seconds, HWND mainWindow);

}  // namespace vw
