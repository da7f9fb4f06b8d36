#include "updater/UpdaterKeys.h"

#include <vector>

namespace vw {

UpdaterKey::UpdaterKey(const std::wstring& profileRootPath, HKEY root)
{
    const std::wstring path = profileRootPath + L"\\" + kUpdaterSection;
    HKEY raw = nullptr;
    // Taken over only on success: a failed open leaves the out-parameter undefined.
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | KEY_WRITE, &raw) == ERROR_SUCCESS)
        key_.reset(raw);
}

bool UpdaterKey::ReadString(const wchar_t* name, std::wstring& value, size_t capacity) const
{
    if (!key_ || capacity == 0)
        return false;
    std::vector<wchar_t> buffer(capacity, L'\0');
    DWORD type = REG_NONE;
    DWORD bytes = static_cast<DWORD>(capacity * sizeof(wchar_t));
    if (RegQueryValueExW(key_.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &bytes) !=
        ERROR_SUCCESS)
        return false;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return false;
    if (bytes == 0) {
        value.clear();
        return true;
    }
    const size_t chars = bytes / sizeof(wchar_t);
    if (bytes % sizeof(wchar_t) != 0 || buffer[chars - 1] != L'\0')
        return false;
    value = buffer.data();
    return true;
}

bool UpdaterKey::WriteString(const wchar_t* name, const std::wstring& value)
{
    if (!key_)
        return false;
    const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key_.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes) ==
           ERROR_SUCCESS;
}

}  // namespace vw
