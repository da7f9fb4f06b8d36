#pragma once
// The start switches on the program's command line: the log switch and the minimised start.
#include <string>

namespace vw {

struct StartSwitches {
    bool log = false;
    bool minimised = false;
};

// `commandLine` is the text after the program's own path. A switch counts wherever it appears,
// also inside a longer word ("/Minimal"), and only in the letter case written ("/min" is none).
StartSwitches ParseSwitches(const std::wstring& commandLine);

}  // namespace vw
