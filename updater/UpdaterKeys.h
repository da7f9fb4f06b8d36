#pragma once
// The updater's own handle on the profile's "UPDATER" key: its threads read and write their
// values here directly, one short-lived holder per access.
#include <windows.h>

#include <cstddef>
#include <string>

#include "win/ProfileStore.h"
#include "win/UniqueHandle.h"

namespace vw {

inline constexpr wchar_t kUpdaterSection[] = L"UPDATER";
inline constexpr wchar_t kIniUrlEntry[] = L"IniURL";
inline constexpr wchar_t kVersionEntry[] = L"Version";
inline constexpr wchar_t kCheckDateEntry[] = L"CheckDate";
inline constexpr wchar_t kCheckDaysEntry[] = L"CheckDays";
inline constexpr wchar_t kDownloadVerEntry[] = L"DownloadVer";
inline constexpr wchar_t kPathEntry[] = L"Path";

// Room for a value in characters, its NUL included.
inline constexpr size_t kUpdaterValueCapacity = 128;
inline constexpr size_t kIniUrlCapacity = MAX_PATH;

class UpdaterKey {
public:
    // Opens <profileRootPath>\UPDATER for reading and writing; the key is never created
    // (start-up makes it when it writes the address and the version).
    explicit UpdaterKey(const std::wstring& profileRootPath = kProgramProfileKey, HKEY root = HKEY_CURRENT_USER);

    bool IsOpen() const { return key_.valid(); }

    // Fails, leaving `value` as it was, when the value is missing, is not REG_SZ or
    // REG_EXPAND_SZ, does not end in a NUL, or needs more than `capacity` characters.
    bool ReadString(const wchar_t* name, std::wstring& value, size_t capacity = kUpdaterValueCapacity) const;
    // REG_SZ with its terminating NUL.
    bool WriteString(const wchar_t* name, const std::wstring& value);

    void Close() { key_.reset(); }

private:
    UniqueHKey key_;
};

}  // namespace vw
