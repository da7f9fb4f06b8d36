#include "cmd/Console.h"

#include <windows.h>

#include "win/Format.h"

namespace vw {

namespace {

bool IsConsole(HANDLE handle)
{
    DWORD mode = 0;
    return handle && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

void Write(DWORD which, const std::wstring& text)
{
    const HANDLE handle = GetStdHandle(which);
    if (!handle || handle == INVALID_HANDLE_VALUE || text.empty())
        return;
    DWORD written = 0;
    if (IsConsole(handle)) {
        WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    std::string bytes = WideToUtf8(text);
    // A file starts with the byte-order mark: "type", "findstr" and older PowerShell then read it as
    // UTF-8 whatever the console's code page (936, 437). A pipe gets none: the program at its other
    // end reads the text as it comes. A file appended to keeps what it starts with.
    LARGE_INTEGER position{};
    if (GetFileType(handle) == FILE_TYPE_DISK && SetFilePointerEx(handle, LARGE_INTEGER{}, &position, FILE_CURRENT) &&
        position.QuadPart == 0)
        bytes.insert(0, "\xEF\xBB\xBF");
    WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

void Console::Out(const std::wstring& text)
{
    Write(STD_OUTPUT_HANDLE, text);
}

void Console::Err(const std::wstring& text)
{
    Write(STD_ERROR_HANDLE, text);
}

int Console::Columns()
{
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info))
        return 80;
    const int width = info.srWindow.Right - info.srWindow.Left + 1;
    return width > 0 ? width : 80;
}

namespace {

// East Asian wide and full-width characters, as a console lays them out.
bool IsWide(wchar_t c)
{
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6);
}

}  // namespace

std::wstring FitToColumns(const std::wstring& text, int columns)
{
    int used = 0;
    size_t end = 0;
    while (end < text.size()) {
        const int cells = IsWide(text[end]) ? 2 : 1;
        if (used + cells > columns)
            break;
        used += cells;
        // A surrogate pair stays whole.
        end += IS_HIGH_SURROGATE(text[end]) && end + 1 < text.size() ? 2 : 1;
    }
    return text.substr(0, end);
}

bool Console::OutIsTerminal()
{
    return IsConsole(GetStdHandle(STD_OUTPUT_HANDLE));
}

}  // namespace vw
