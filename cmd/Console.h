#pragma once
// Text out of the console runner: proper Unicode on a console, UTF-8 when redirected (with a
// byte-order mark at the start of a file).
#include <string>

namespace vw {

class Console {
public:
    static void Out(const std::wstring& text);
    static void Err(const std::wstring& text);
    // True when standard output is a console window (where a live progress line makes sense).
    static bool OutIsTerminal();
    // The width of the console's window in character cells; 80 when it cannot be read.
    static int Columns();
};

// The start of `text` that fills at most `columns` cells of a console, where a Chinese or other
// wide character takes two cells.
std::wstring FitToColumns(const std::wstring& text, int columns);

}  // namespace vw
