#pragma once
// Direct registry access for the tests of this folder: values of any type, written and read
// byte for byte, so a test sees exactly what the program stored.
#include <windows.h>

#include <string>
#include <vector>

namespace vwtest {

struct RawValue {
    bool found = false;
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;

    // The data as UTF-16 text, without interpretation (a terminating NUL stays in).
    std::wstring AsWide() const
    {
        return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    }
};

inline bool CreateKey(const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

inline bool KeyExists(const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

inline bool WriteRaw(const std::wstring& path, const std::wstring& name, DWORD type, const void* data, size_t size)
{
    return RegSetKeyValueW(HKEY_CURRENT_USER, path.c_str(), name.c_str(), type, data, static_cast<DWORD>(size)) ==
           ERROR_SUCCESS;
}

// A text value of the given type, with its terminating NUL unless told otherwise.
inline bool WriteText(const std::wstring& path, const std::wstring& name, const std::wstring& text,
                      DWORD type = REG_SZ, bool withNul = true)
{
    if (withNul)
        return WriteRaw(path, name, type, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    // The system counts a NUL that directly follows the data in as the forgotten terminator
    // (Windows does so, and Wine with it): make sure none follows.
    const std::wstring unterminated = text + L'X';
    return WriteRaw(path, name, type, unterminated.c_str(), text.size() * sizeof(wchar_t));
}

inline bool WriteDword(const std::wstring& path, const std::wstring& name, DWORD value)
{
    return WriteRaw(path, name, REG_DWORD, &value, sizeof(value));
}

// Exactly the stored bytes: RegQueryValueExW neither adds nor removes a terminating NUL.
inline RawValue ReadRaw(const std::wstring& path, const std::wstring& name)
{
    RawValue value;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return value;
    DWORD size = 0;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.bytes.resize(size);
        value.found = RegQueryValueExW(key, name.c_str(), nullptr, &value.type, value.bytes.data(), &size) ==
                      ERROR_SUCCESS;
        value.bytes.resize(size);
    }
    RegCloseKey(key);
    return value;
}

}  // namespace vwtest
