#pragma once
// Text rules shared by every layer: names and paths compare without regard to letter case, and
// folder entries are kept trimmed and without a trailing backslash.
#include <string>
#include <string_view>

namespace vw {

bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b);
bool StartsWithIgnoringCase(std::wstring_view text, std::wstring_view prefix);

// Without white space at either end.
std::wstring TrimWhiteSpace(std::wstring_view text);
// Trimmed, then without any trailing backslash ("  D:\Data\\  " -> "D:\Data", "E:\" -> "E:").
std::wstring NormaliseFolderEntry(std::wstring_view text);

}  // namespace vw
