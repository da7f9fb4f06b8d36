#pragma once
// Text out of the console runner: proper Unicode on a console, UTF-8 when redirected.
#include <string>

namespace vw {

class Console {
public:
    static void Out(const std::wstring& text);
    static void Err(const std::wstring& text);
    // True when standard output is a console window (where a live progress line makes sense).
    static bool OutIsTerminal();
};

}  // namespace vw
