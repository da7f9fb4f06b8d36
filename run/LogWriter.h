#pragma once
// The program's diagnostic log: start, window set-up, hiding, tray changes and exit, one line
// each, in a file "VaultwrenLog<yyyymmdd>.txt" on the user's desktop. Written only when the
// program was started with the log switch. The file is opened on the first line, shared for
// reading only (the user may read it meanwhile, a second writer is kept out), and stays open for
// the rest of the run, so every line of one run goes to the file of its first day. Bytes are GBK (code page 936) without a byte-order mark.
#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

#include "win/UniqueHandle.h"

namespace vw {

class LogWriter {
public:
    // The local time of a line.
    using Clock = std::function<SYSTEMTIME()>;

    // `enabled` is the log switch; with it false every line is discarded. `folder` holds the
    // files; empty: the user's desktop folder at the time of the first line. `clock`: empty for
    // the system's local time.
    explicit LogWriter(bool enabled, std::wstring folder = {}, Clock clock = {});
    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;

    // UI thread only. `source` is the ASCII name of the code that logs. False when the line was
    // lost because the file could not be opened (the next line tries again); errors of the write
    // itself are not reported. True for a discarded line.
    bool WriteLine(std::string_view source, std::wstring_view text);

    bool enabled() const { return enabled_; }

private:
    bool enabled_;
    std::wstring folder_;
    Clock clock_;
    UniqueFile file_;
};

// "<yyyy-mm-dd hh:mm:ss> <source>() <text>\r\n" in GBK; characters GBK lacks become "?".
std::string FormatLogLine(const SYSTEMTIME& localTime, std::string_view source, std::wstring_view text);
// "VaultwrenLog<yyyymmdd>.txt".
std::wstring LogFileName(const SYSTEMTIME& localTime);
// The shell's desktop-directory folder of the user, not created when missing; empty on failure.
std::wstring DesktopFolder();

}  // namespace vw
