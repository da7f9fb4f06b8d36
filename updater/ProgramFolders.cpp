#include "updater/ProgramFolders.h"

#include <windows.h>
#include <shlobj.h>

#include "win/UniqueHandle.h"

namespace vw {

size_t ProgramFolderFile(std::wstring& out, const std::wstring& name)
{
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    // A cut-off path would name another folder.
    if (length == 0 || length >= MAX_PATH)
        return 0;
    std::wstring path(buffer, length);
    const size_t last = path.rfind(L'\\');
    if (last == std::wstring::npos)
        return 0;
    out = path.substr(0, last) + L'\\' + name;
    return out.size();
}

size_t TempFolderFile(std::wstring& out, const std::wstring& subPath, const std::wstring& name)
{
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    if (length == 0 || length > MAX_PATH)
        return 0;
    std::wstring path(buffer, length);
    if (path.back() != L'\\')
        path += L'\\';
    std::wstring sub = subPath;
    if (!sub.empty() && sub.front() == L'\\')
        sub.erase(0, 1);
    path += sub;
    if (!sub.empty() && sub.back() != L'\\')
        path += L'\\';
    out = path + name;
    return out.size();
}

bool MakeParentFolders(const std::wstring& path)
{
    const size_t last = path.rfind(L'\\');
    if (last == std::wstring::npos)
        return false;
    const std::wstring folder = path.substr(0, last);
    // "C:" alone names the drive's current folder, not its root; a root is there or nothing helps.
    if (folder.size() <= 2)
        return folder.size() == 2 && folder[1] == L':';
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const int made = SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    return made == ERROR_SUCCESS || made == ERROR_ALREADY_EXISTS;
}

int64_t FindFileSize(const std::wstring& path)
{
    WIN32_FIND_DATAW data;
    const UniqueFindHandle find(FindFirstFileW(path.c_str(), &data));
    if (!find)
        return -1;
    return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace vw
