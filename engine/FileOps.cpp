#include "engine/FileOps.h"

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <iterator>
#include <vector>

#include "win/UniqueHandle.h"

namespace vw {

namespace {

constexpr DWORD kShareReadDelete = FILE_SHARE_READ | FILE_SHARE_DELETE;

struct FileTimes {
    FILETIME creation{};
    FILETIME lastAccess{};
    FILETIME lastWrite{};
};

// Backup semantics so that folders open as well as files.
UniqueFile OpenForTimes(const std::wstring& path, DWORD access)
{
    return UniqueFile(CreateFileW(LongPath(path).c_str(), access, kShareReadDelete, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

bool ReadTimes(const std::wstring& path, FileTimes& times)
{
    const UniqueFile file = OpenForTimes(path, GENERIC_READ);
    return file && GetFileTime(file.get(), &times.creation, &times.lastAccess, &times.lastWrite);
}

// FILE_WRITE_ATTRIBUTES rather than GENERIC_WRITE: a read-only file takes new times as well.
bool WriteTimes(const std::wstring& path, const FileTimes& times)
{
    const UniqueFile file = OpenForTimes(path, GENERIC_READ | FILE_WRITE_ATTRIBUTES);
    return file && SetFileTime(file.get(), &times.creation, &times.lastAccess, &times.lastWrite);
}

bool IsDriveSpec(const std::wstring& path)
{
    return path.size() == 2 && path[1] == L':';
}

}  // namespace

std::wstring AppendBackslash(std::wstring path)
{
    if (!path.empty() && path.back() != L'\\')
        path += L'\\';
    return path;
}

std::wstring JoinName(const std::wstring& folder, const std::wstring& name)
{
    return folder.empty() ? std::wstring() : AppendBackslash(folder) + name;
}

std::wstring JoinFolder(const std::wstring& folder, const std::wstring& name)
{
    return AppendBackslash(JoinName(folder, name));
}

std::wstring LongPath(const std::wstring& path)
{
    // Below the folder limit (MAX_PATH less room for an 8.3 name) every call takes the path as it is.
    constexpr size_t kShortLimit = MAX_PATH - 12;
    if (path.size() < kShortLimit || path.rfind(L"\\\\?\\", 0) == 0 || path.rfind(L"\\\\.\\", 0) == 0)
        return path;
    // The long form is taken literally, so "." and ".." parts and "/" are resolved first.
    std::wstring full(path.size() + 1, L'\0');
    for (;;) {
        const DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0)
            return path;
        if (length < full.size()) {
            full.resize(length);
            break;
        }
        full.resize(length);
    }
    if (full.rfind(L"\\\\", 0) == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

bool PathExists(const std::wstring& path)
{
    return !path.empty() && GetFileAttributesW(LongPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::wstring& path)
{
    if (path.empty())
        return false;
    const DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FolderExists(const std::wstring& path)
{
    if (path.empty())
        return false;
    std::wstring query = path;
    if (query.back() == L'\\')
        query.pop_back();
    const bool driveRoot = IsDriveSpec(query);
    if (driveRoot)
        query += L"\\*.*";

    WIN32_FIND_DATAW data;
    const UniqueFindHandle find(FindFirstFileW(LongPath(query).c_str(), &data));
    if (driveRoot) {
        // A root is a folder whenever it can be listed, whatever its first entry is: an empty
        // stick or one whose first entry is a file is still a usable root.
        return find.valid() || GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    return find && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FolderIsEmpty(const std::wstring& folder)
{
    const std::wstring pattern = JoinName(folder, L"*.*");
    WIN32_FIND_DATAW data;
    const UniqueFindHandle find(FindFirstFileW(LongPath(pattern).c_str(), &data));
    if (!find)
        return true;
    do {
        const std::wstring_view name = data.cFileName;
        if (name != L"." && name != L"..")
            return false;
    } while (FindNextFileW(find.get(), &data));
    return true;
}

bool CreateFolderTree(const std::wstring& path)
{
    if (path.size() < 3)
        return false;
    // The folder part: everything before the last "\" (so "C:\a\b\" and "C:\a\b\f.txt" both
    // give "C:\a\b", and a bare root gives "C:", which is refused).
    const size_t last = path.rfind(L'\\');
    const std::wstring folder = last == std::wstring::npos ? std::wstring() : path.substr(0, last);
    if (folder.size() <= 2)
        return false;
    if (IsFolder(folder))
        return true;

    // Up from the deepest part to the first folder that exists, then down creating the rest: a new
    // sub-folder of an existing one costs two looks and one creation, whatever its depth.
    std::vector<std::wstring> missing{folder};
    for (;;) {
        const size_t slash = missing.back().rfind(L'\\');
        if (slash == std::wstring::npos || slash == 0)
            break;
        std::wstring parent = missing.back().substr(0, slash);
        // "C:" alone names the drive's current folder, not its root.
        if (IsFolder(IsDriveSpec(parent) ? parent + L'\\' : parent))
            break;
        missing.push_back(std::move(parent));
    }
    // Another thread of the run may make the same folder meanwhile: a folder found there will do.
    for (auto part = missing.rbegin(); part != missing.rend(); ++part)
        if (!CreateDirectoryW(LongPath(*part).c_str(), nullptr) &&
            (GetLastError() != ERROR_ALREADY_EXISTS || !IsFolder(*part)))
            return false;
    return true;
}

namespace {

// Moves (renames) or links from\name into to\, the folder part of MoveFileKeepTimes and
// LinkFileKeepTimes. Tried first as it stands: most targets have their folder and no file of the
// name yet, and under Wine every look at a missing name reads its whole folder, so the checks come
// only after a refusal says which one is needed.
bool PutFileKeepTimes(const std::wstring& name, const std::wstring& from, const std::wstring& to,
                      const std::wstring& model, bool link)
{
    if (name.empty() || from.empty() || to.empty())
        return false;
    const std::wstring file = LongPath(JoinName(from, name));
    const std::wstring targetFolder = AppendBackslash(to);
    const std::wstring target = targetFolder + name;
    // MoveFileW only renames within one volume (no copy is allowed), and a rename or a second
    // name keeps the file's own times: they need no reading and setting around it.
    const auto put = [&] {
        const std::wstring longTarget = LongPath(target);
        return link ? CreateHardLinkW(longTarget.c_str(), file.c_str(), nullptr) != FALSE
                    : MoveFileW(file.c_str(), longTarget.c_str()) != FALSE;
    };
    if (put())
        return true;

    switch (GetLastError()) {
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
        // The target is always one of the engine's own (history, work folder, a version it replaces).
        return !link && DeleteOwnedFile(target) && put();
    case ERROR_PATH_NOT_FOUND: {
        // The target's folder is missing, or the file's own: no folder is made for a file that is not there.
        if (IsFolder(targetFolder) || !PathExists(JoinName(from, name)))
            return false;
        FileTimes folderTimes;
        const std::wstring& modelFolder = !model.empty() && IsFolder(model) ? model : from;
        const bool haveFolderTimes = ReadTimes(modelFolder, folderTimes);
        if (!CreateFolderTree(targetFolder) || !put())
            return false;
        // After the move: putting the file in changed the new folder's last-write time.
        if (haveFolderTimes)
            WriteTimes(targetFolder, folderTimes);
        return true;
    }
    default:
        return false;
    }
}

}  // namespace

bool MoveFileKeepTimes(const std::wstring& name, const std::wstring& from, const std::wstring& to,
                       const std::wstring& model)
{
    return PutFileKeepTimes(name, from, to, model, false);
}

bool LinkFileKeepTimes(const std::wstring& name, const std::wstring& from, const std::wstring& to,
                       const std::wstring& model)
{
    return PutFileKeepTimes(name, from, to, model, true);
}

bool SameFile(const std::wstring& a, const std::wstring& b)
{
    BY_HANDLE_FILE_INFORMATION infoA{};
    BY_HANDLE_FILE_INFORMATION infoB{};
    const UniqueFile fileA = OpenForTimes(a, 0);
    const UniqueFile fileB = OpenForTimes(b, 0);
    return fileA && fileB && GetFileInformationByHandle(fileA.get(), &infoA) &&
           GetFileInformationByHandle(fileB.get(), &infoB) &&
           infoA.dwVolumeSerialNumber == infoB.dwVolumeSerialNumber && infoA.nFileIndexHigh == infoB.nFileIndexHigh &&
           infoA.nFileIndexLow == infoB.nFileIndexLow;
}

bool DeleteOwnedFile(const std::wstring& path)
{
    if (DeleteFileW(LongPath(path).c_str()))
        return true;
    // Only the read-only attribute is ours to lift; anything else (in use, access) stays a failure.
    const DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0 ||
        (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return false;
    return SetFileAttributesW(LongPath(path).c_str(), attributes & ~FILE_ATTRIBUTE_READONLY) && DeleteFileW(LongPath(path).c_str());
}

unsigned long LiftReadOnly(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
        SetFileAttributesW(LongPath(path).c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    return attributes;
}

void RestoreReadOnly(const std::wstring& path, unsigned long attributes)
{
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
        SetFileAttributesW(LongPath(path).c_str(), attributes);
}

bool CopyFileTimes(const std::wstring& target, const std::wstring& source)
{
    if (!PathExists(source) || !PathExists(target))
        return false;
    const UniqueFile from = OpenForTimes(source, GENERIC_READ);
    const UniqueFile to = OpenForTimes(target, GENERIC_READ | FILE_WRITE_ATTRIBUTES);
    if (!from || !to)
        return false;
    FileTimes times;
    if (!GetFileTime(from.get(), &times.creation, &times.lastAccess, &times.lastWrite))
        return false;
    return SetFileTime(to.get(), &times.creation, &times.lastAccess, &times.lastWrite) != FALSE;
}

bool IsFatalCopyError(unsigned long code)
{
    // Errors of the disk, the device, the network or the system's resources: trying the next file
    // would only fail again the same way.
    static constexpr unsigned long kFatal[] = {
        8,    14,   15,   19,   20,   21,   25,   26,   27,   29,   30,   39,   50,   53,    55,
        59,   65,   84,   108,  110,  112,  125,  147,  1130, 1393, 1450, 1451, 1452, 1617, 1721,
        1785, 2105, 2229, 2507, 3055, 3056, 8446, 10069,
    };
    return std::find(std::begin(kFatal), std::end(kFatal), code) != std::end(kFatal);
}

}  // namespace vw
