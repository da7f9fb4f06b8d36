#pragma once
// Updater.exe's own log: one line per run in the working folder, so that support can see how the
// last updates ended. UTF-8 with a byte-order mark: the lines hold paths in any script.
#include <string>

namespace vw {

// Appends "<yyyy-mm-dd hh:mm:ss> <text>\r\n" (local time). A log grown past a few dozen KiB is
// started afresh, so it never grows without end. Errors are ignored: the log must never stop
// the update.
void AppendUpdaterLog(const std::wstring& path, const std::wstring& text);

}  // namespace vw
