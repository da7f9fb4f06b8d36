#include "task/FolderPathRules.h"

#include <windows.h>

#include <vector>

#include "win/Text.h"

namespace vw {

namespace {

// The parts after "X:\" (or after "\\server\share\"), as written.
std::vector<std::wstring> PartsOf(const std::wstring& folder, size_t& rootLength)
{
    rootLength = 0;
    if (folder.size() >= 2 && folder[1] == L':')
        rootLength = folder.size() > 2 && folder[2] == L'\\' ? 3 : 2;
    std::vector<std::wstring> parts;
    size_t start = rootLength;
    while (start <= folder.size()) {
        size_t end = folder.find(L'\\', start);
        if (end == std::wstring::npos)
            end = folder.size();
        if (end > start)
            parts.push_back(folder.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool IsReservedDeviceName(const std::wstring& part)
{
    // The device name is what comes before the first dot, blanks before the dot included: "con .txt" is CON.
    std::wstring stem = part.substr(0, part.find(L'.'));
    while (!stem.empty() && stem.back() == L' ')
        stem.pop_back();
    for (const wchar_t* name : {L"CON", L"PRN", L"AUX", L"NUL"}) {
        if (EqualsIgnoringCase(stem, name))
            return true;
    }
    if (stem.size() != 4)
        return false;
    const std::wstring_view prefix = std::wstring_view(stem).substr(0, 3);
    const wchar_t digit = stem[3];
    // Windows counts the superscript digits ¹ ² ³ as digits here too.
    const bool numbered = (digit >= L'1' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' ||
                          digit == L'\u00B3';
    return numbered && (EqualsIgnoringCase(prefix, L"COM") || EqualsIgnoringCase(prefix, L"LPT"));
}

}  // namespace

FolderPathProblem FindUnusableName(const std::wstring& folder)
{
    size_t root = 0;
    for (const std::wstring& part : PartsOf(folder, root)) {
        if (part == L"." || part == L"..")
            continue;
        if (IsReservedDeviceName(part))
            return {FolderPathFault::ReservedName, part};
        if (part.back() == L'.' || part.back() == L' ')
            return {FolderPathFault::EndsInDotOrSpace, part};
    }
    return {};
}

FolderPathProblem FindFileInTheWay(const std::wstring& folder)
{
    size_t root = 0;
    const std::vector<std::wstring> parts = PartsOf(folder, root);
    std::wstring path = folder.substr(0, root);
    for (size_t i = 0; i < parts.size(); ++i) {
        if (path.size() > root)
            path += L'\\';
        path += parts[i];
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES)
            return {};  // nothing below a missing part exists either
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            return {i + 1 == parts.size() ? FolderPathFault::IsFile : FolderPathFault::UnderFile, path};
    }
    return {};
}

bool HasControlCharacter(std::wstring_view text)
{
    for (const wchar_t c : text) {
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == L'\u2028' || c == L'\u2029')
            return true;
    }
    return false;
}

}  // namespace vw
