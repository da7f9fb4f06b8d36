#pragma once
// SHA-256 of a file's content or of bytes in memory, through the system's own cryptography (BCrypt).
#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace vw {

using Sha256Digest = std::array<unsigned char, 32>;

// Nothing when the system's hash fails.
std::optional<Sha256Digest> Sha256Of(std::string_view bytes);
// 64 lower-case hexadecimal digits; empty when the file cannot be read.
std::wstring FileSha256(const std::wstring& path);
// True when the file's digest is `expected` (hexadecimal, any letter case).
bool FileMatchesSha256(const std::wstring& path, const std::wstring& expected);

}  // namespace vw
