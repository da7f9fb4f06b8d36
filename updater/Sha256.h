#pragma once
// SHA-256 of a file's content, through the system's own cryptography (BCrypt).
#include <string>

namespace vw {

// 64 lower-case hexadecimal digits; empty when the file cannot be read.
std::wstring FileSha256(const std::wstring& path);
// True when the file's digest is `expected` (hexadecimal, any letter case).
bool FileMatchesSha256(const std::wstring& path, const std::wstring& expected);

}  // namespace vw
