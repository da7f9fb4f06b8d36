#include "win/Text.h"

#include <windows.h>

#include <cwctype>

namespace vw {

bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b)
{
    // Ordinal, as the file system compares names: no locale rules.
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

bool StartsWithIgnoringCase(std::wstring_view text, std::wstring_view prefix)
{
    return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

std::wstring TrimWhiteSpace(std::wstring_view text)
{
    size_t first = 0;
    size_t last = text.size();
    while (first < last && std::iswspace(text[first]))
        ++first;
    while (last > first && std::iswspace(text[last - 1]))
        --last;
    return std::wstring(text.substr(first, last - first));
}

std::wstring NormaliseFolderEntry(std::wstring_view text)
{
    std::wstring folder = TrimWhiteSpace(text);
    while (!folder.empty() && folder.back() == L'\\')
        folder.pop_back();
    return folder;
}

}  // namespace vw
