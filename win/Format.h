#pragma once
// printf-style formatting into std::wstring. The conversions follow the Windows C runtime:
// in a wide format "%s" takes a wide string, as every format text of the program assumes.
#include <cstdarg>
#include <string>

namespace vw {

std::wstring Format(const wchar_t* format, ...);
std::wstring FormatV(const wchar_t* format, va_list args);

// UTF-8 <-> UTF-16, for data files, console output and test fixtures.
std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);

}  // namespace vw
