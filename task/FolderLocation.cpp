#include "task/FolderLocation.h"

#include <windows.h>

#include <vector>

#include "win/Text.h"
#include "win/UniqueHandle.h"

namespace vw {

namespace {

constexpr std::wstring_view kLongPrefix = L"\\\\?\\";
constexpr std::wstring_view kLongUncPrefix = L"\\\\?\\UNC\\";

// Calls one of the path functions that report the length they need when the buffer is short.
template <typename Query>
std::wstring GrowingQuery(Query query)
{
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD length = query(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size())
            return std::wstring(buffer.data(), length);
        buffer.resize(length + 1);
    }
    return {};
}

std::wstring WithoutLongPrefix(const std::wstring& path)
{
    if (StartsWithIgnoringCase(path, kLongUncPrefix))
        return L"\\\\" + path.substr(kLongUncPrefix.size());
    if (StartsWithIgnoringCase(path, kLongPrefix))
        return path.substr(kLongPrefix.size());
    return path;
}

// The length of "X:\" or "\\server\share\" at the start of a full path; 0 for anything else.
size_t RootLength(const std::wstring& path)
{
    if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\')
        return 3;
    if (path.size() > 2 && path[0] == L'\\' && path[1] == L'\\') {
        const size_t server = path.find(L'\\', 2);
        if (server == std::wstring::npos)
            return path.size();
        const size_t share = path.find(L'\\', server + 1);
        return share == std::wstring::npos ? path.size() : share + 1;
    }
    return 0;
}

// Windows drops trailing dots and spaces of a name when it opens it: "Data. " is "Data".
std::wstring WithoutPartEnds(const std::wstring& path, size_t root)
{
    std::wstring result = path.substr(0, root);
    size_t start = root;
    while (start < path.size()) {
        size_t end = path.find(L'\\', start);
        if (end == std::wstring::npos)
            end = path.size();
        std::wstring part = path.substr(start, end - start);
        while (!part.empty() && (part.back() == L'.' || part.back() == L' '))
            part.pop_back();
        if (!part.empty()) {
            if (result.size() > root)
                result += L'\\';
            result += part;
        }
        start = end + 1;
    }
    return result;
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The location the system ends up at when it opens `existing`, links followed; empty when it
// cannot say.
std::wstring FinalLocation(const std::wstring& existing)
{
    UniqueFile handle(CreateFileW(existing.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle)
        return {};
    return WithoutLongPrefix(GrowingQuery([&](wchar_t* buffer, DWORD size) {
        return GetFinalPathNameByHandleW(handle.get(), buffer, size, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    }));
}

std::wstring WithoutClosingBackslash(std::wstring path)
{
    const size_t root = RootLength(path);
    while (path.size() > root && path.back() == L'\\')
        path.pop_back();
    return path;
}

}  // namespace

std::wstring RealFolderLocation(const std::wstring& folder)
{
    const std::wstring full = GrowingQuery(
        [&](wchar_t* buffer, DWORD size) { return GetFullPathNameW(folder.c_str(), size, buffer, nullptr); });
    if (full.empty())
        return WithoutClosingBackslash(folder);
    const size_t root = RootLength(full);
    std::wstring existing = WithoutPartEnds(full, root);

    // The parts that do not exist yet are kept as written; what exists is asked where it leads.
    std::wstring rest;
    while (existing.size() > root && !Exists(existing)) {
        const size_t cut = existing.find_last_of(L'\\');
        if (cut == std::wstring::npos || cut + 1 < root)
            break;
        rest = existing.substr(cut) + rest;
        existing.resize(cut == root - 1 ? root : cut);
    }
    if (!Exists(existing))
        return WithoutClosingBackslash(existing + rest);

    std::wstring real = FinalLocation(existing);
    if (real.empty())
        real = GrowingQuery(
            [&](wchar_t* buffer, DWORD size) { return GetLongPathNameW(existing.c_str(), buffer, size); });
    if (real.empty())
        real = existing;
    real = WithoutClosingBackslash(real);
    if (!rest.empty() && !real.empty() && real.back() == L'\\')  // a root
        rest.erase(0, 1);
    return real + rest;
}

bool IsBelowFolder(const std::wstring& inner, const std::wstring& outer)
{
    if (outer.empty())
        return false;
    // A root ("X:\") already ends in its separator.
    const size_t length = outer.back() == L'\\' ? outer.size() - 1 : outer.size();
    return inner.size() > length + 1 && inner[length] == L'\\' &&
           EqualsIgnoringCase(std::wstring_view(inner).substr(0, length), std::wstring_view(outer).substr(0, length));
}

FolderOverlap FindFolderOverlap(const std::wstring& source, const std::wstring& dest)
{
    const std::wstring realSource = RealFolderLocation(source);
    const std::wstring realDest = RealFolderLocation(dest);
    if (EqualsIgnoringCase(realSource, realDest))
        return FolderOverlap::Same;
    if (IsBelowFolder(realDest, realSource))
        return FolderOverlap::DestInsideSource;
    if (IsBelowFolder(realSource, realDest))
        return FolderOverlap::SourceInsideDest;
    return FolderOverlap::None;
}

}  // namespace vw
