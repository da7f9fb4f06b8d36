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
    const std::string bytes = WideToUtf8(text);
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

bool Console::OutIsTerminal()
{
    return IsConsole(GetStdHandle(STD_OUTPUT_HANDLE));
}

}  // namespace vw
