#pragma once
// The drive letters that tools/wine-env.sh prepares for the tests, and small fixtures
// that build real folders and files on them.
#include <windows.h>

#include <cstdint>
#include <string>

namespace vwtest {

// Ordinary fixed disks backed by folders.
inline constexpr wchar_t kDiskM = L'M';
inline constexpr wchar_t kDiskN = L'N';
inline constexpr wchar_t kDiskO = L'O';
// Reported as a CD-ROM drive.
inline constexpr wchar_t kCdRom = L'K';
// A drive letter whose folder is missing (DRIVE_NO_ROOT_DIR).
inline constexpr wchar_t kNoRoot = L'Q';
// A 4 MiB tmpfs: writes fail with ERROR_DISK_FULL. Missing where mounting was refused.
inline constexpr wchar_t kFullDisk = L'F';

// A directory link and the folder it leads to (made by the set-up script: Wine itself makes no links).
inline constexpr wchar_t kLinkedFolder[] = L"N:\\linked";
inline constexpr wchar_t kLinkTarget[] = L"M:\\link-target";

bool DriveAvailable(wchar_t letter);

// The Windows path (Z:\...) of the folder behind a test drive, so a test can move a "disk".
std::wstring DriveBackingFolder(wchar_t letter);

// A fresh, empty folder "<letter>:\<name>-<pid>-<n>\" removed with all its content at the end.
class ScratchFolder {
public:
    explicit ScratchFolder(wchar_t letter = kDiskM, const std::wstring& name = L"t");
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // Path with a trailing backslash.
    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& relative) const { return path_ + relative; }

private:
    std::wstring path_;
};

// Removes a folder tree (read-only and hidden entries included); true when it is gone. An empty
// path is refused (false).
bool RemoveTree(const std::wstring& folder);

// Writes a file with the given bytes, creating missing folders. Returns false on failure.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
// Writes a file of `size` bytes with a repeating pattern.
bool WriteFileOfSize(const std::wstring& path, uint64_t size);
std::string ReadFileBytes(const std::wstring& path);
// Overwrites bytes of an existing file in place and puts its last-write time back: its size and
// time still say it is unchanged, only its bytes do not (a disk that rots, a change behind the
// program's back).
bool DamageKeepingStamp(const std::wstring& path, uint64_t offset, const std::string& bytes);
bool FileExists(const std::wstring& path);

FILETIME FileTimeFromLocal(int year, int month, int day, int hour, int minute, int second);
bool SetLastWriteTime(const std::wstring& path, const FILETIME& time);
FILETIME GetLastWriteTime(const std::wstring& path);
bool SameFileTime(const FILETIME& a, const FILETIME& b);

}  // namespace vwtest
