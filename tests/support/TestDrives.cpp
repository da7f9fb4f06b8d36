#include "support/TestDrives.h"

#include <atomic>
#include <cstdlib>
#include <vector>

#include "win/Format.h"
#include "win/UniqueHandle.h"

namespace vwtest {

bool DriveAvailable(wchar_t letter)
{
    const wchar_t root[] = {letter, L':', L'\\', 0};
    const UINT type = GetDriveTypeW(root);
    if (type == DRIVE_NO_ROOT_DIR || type == DRIVE_UNKNOWN)
        return false;
    if (letter != kFullDisk)
        return true;
    // Only the small tmpfs fills up: a plain folder left behind the letter would not.
    ULARGE_INTEGER total{};
    return GetDiskFreeSpaceExW(root, nullptr, &total, nullptr) && total.QuadPart <= (64ull << 20);
}

std::wstring DriveBackingFolder(wchar_t letter)
{
    const char* drives = std::getenv("VW_TEST_DRIVES");
    if (!drives)
        return {};
    std::wstring path = L"Z:" + vw::Utf8ToWide(drives);
    for (auto& c : path)
        if (c == L'/')
            c = L'\\';
    const wchar_t lower = static_cast<wchar_t>(towlower(letter));
    return path + L"\\" + std::wstring(1, lower);
}

ScratchFolder::ScratchFolder(wchar_t letter, const std::wstring& name)
{
    static std::atomic<int> counter{0};
    path_ = vw::Format(L"%c:\\%s-%lu-%d\\", letter, name.c_str(), GetCurrentProcessId(), ++counter);
    RemoveTree(path_);
    CreateDirectoryW(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder()
{
    RemoveTree(path_);
}

bool RemoveTree(const std::wstring& folder)
{
    // An empty path would list the current folder: never remove that.
    if (folder.empty())
        return false;
    std::wstring base = folder;
    if (!base.empty() && base.back() != L'\\')
        base += L'\\';
    WIN32_FIND_DATAW data;
    vw::UniqueFindHandle find(FindFirstFileW((base + L"*").c_str(), &data));
    if (find) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring path = base + name;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(find.get(), &data));
    }
    find.reset();
    SetFileAttributesW(base.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryW(base.c_str());
    return GetFileAttributesW(base.c_str()) == INVALID_FILE_ATTRIBUTES;
}

static void CreateParents(const std::wstring& path)
{
    for (size_t i = 3; i < path.size(); ++i)
        if (path[i] == L'\\')
            CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    CreateParents(path);
    vw::UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
    if (!file)
        return false;
    DWORD written = 0;
    return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

bool DamageKeepingStamp(const std::wstring& path, uint64_t offset, const std::string& bytes)
{
    const FILETIME time = GetLastWriteTime(path);
    {
        vw::UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        LARGE_INTEGER at{};
        at.QuadPart = static_cast<LONGLONG>(offset);
        DWORD written = 0;
        if (!file || !SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) ||
            !WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
            written != bytes.size())
            return false;
    }
    return SetLastWriteTime(path, time);
}

bool WriteFileOfSize(const std::wstring& path, uint64_t size)
{
    CreateParents(path);
    vw::UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
    if (!file)
        return false;
    std::vector<char> chunk(1 << 20);
    for (size_t i = 0; i < chunk.size(); ++i)
        chunk[i] = static_cast<char>('a' + i % 26);
    while (size > 0) {
        const DWORD part = static_cast<DWORD>(size < chunk.size() ? size : chunk.size());
        DWORD written = 0;
        if (!WriteFile(file.get(), chunk.data(), part, &written, nullptr) || written != part)
            return false;
        size -= part;
    }
    return true;
}

std::string ReadFileBytes(const std::wstring& path)
{
    vw::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    if (!file)
        return bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    return bytes;
}

bool FileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

FILETIME FileTimeFromLocal(int year, int month, int day, int hour, int minute, int second)
{
    SYSTEMTIME local{};
    local.wYear = static_cast<WORD>(year);
    local.wMonth = static_cast<WORD>(month);
    local.wDay = static_cast<WORD>(day);
    local.wHour = static_cast<WORD>(hour);
    local.wMinute = static_cast<WORD>(minute);
    local.wSecond = static_cast<WORD>(second);
    SYSTEMTIME utc{};
    TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc);
    FILETIME time{};
    SystemTimeToFileTime(&utc, &time);
    return time;
}

bool SetLastWriteTime(const std::wstring& path, const FILETIME& time)
{
    vw::UniqueFile file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return file && SetFileTime(file.get(), nullptr, nullptr, &time);
}

FILETIME GetLastWriteTime(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

bool SameFileTime(const FILETIME& a, const FILETIME& b)
{
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

}  // namespace vwtest
