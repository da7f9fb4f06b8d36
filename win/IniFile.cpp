#include "win/IniFile.h"

#include <windows.h>

#include <vector>

namespace vw {

bool IniFile::GetString(const std::wstring& section, const std::wstring& key, std::wstring& value,
                        size_t capacity) const
{
    if (capacity == 0 || capacity > MAXDWORD)
        return false;
    std::vector<wchar_t> buffer(capacity, L'\0');
    const DWORD length = GetPrivateProfileStringW(section.c_str(), key.c_str(), L"", buffer.data(),
                                                  static_cast<DWORD>(capacity), path_.c_str());
    if (length == 0)
        return false;
    value.assign(buffer.data(), length);
    return true;
}

int IniFile::GetInt(const std::wstring& section, const std::wstring& key, int defaultValue) const
{
    return static_cast<int>(GetPrivateProfileIntW(section.c_str(), key.c_str(), defaultValue, path_.c_str()));
}

bool IniFile::SetString(const std::wstring& section, const std::wstring& key, const std::wstring& value)
{
    return WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), path_.c_str()) != FALSE;
}

}  // namespace vw
