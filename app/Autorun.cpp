#include "app/Autorun.h"

#include <windows.h>

#include <utility>
#include <vector>

#include "win/Format.h"
#include "win/Text.h"
#include "win/UniqueHandle.h"

namespace vw {

namespace {

// The handle is taken over only on success: a failed open leaves the out-parameter undefined.
LSTATUS OpenRunKey(const std::wstring& path, REGSAM access, UniqueHKey& key)
{
    HKEY raw = nullptr;
    const LSTATUS status = RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, access, &raw);
    if (status == ERROR_SUCCESS)
        key.reset(raw);
    return status;
}

// The whole path however long it is: a cut-off path would start nothing at logon.
std::wstring RunningProgramPath()
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size())
            return std::wstring(buffer.data(), length);
        if (buffer.size() >= 32768)
            return {};
        buffer.resize(buffer.size() * 2);
    }
}

// Any value type is read as text up to its first NUL: what counts is whether it matches.
bool ReadValueAsText(HKEY key, const wchar_t* name, std::wstring& text)
{
    DWORD bytes = 0;
    if (RegQueryValueExW(key, name, nullptr, nullptr, nullptr, &bytes) != ERROR_SUCCESS)
        return false;
    std::vector<wchar_t> data(bytes / sizeof(wchar_t) + 1, L'\0');
    DWORD size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
        return false;
    data[size / sizeof(wchar_t)] = L'\0';  // the extra element keeps room for it
    text = data.data();
    return true;
}

}  // namespace

Autorun::Autorun(std::wstring runKeyPath, std::wstring programPath)
    : runKeyPath_(std::move(runKeyPath)), programPath_(std::move(programPath))
{
}

std::wstring Autorun::ExpectedData() const
{
    const std::wstring path = programPath_.empty() ? RunningProgramPath() : programPath_;
    if (path.empty())
        return {};
    return Format(L"\"%s\" /Min", path.c_str());
}

bool Autorun::Enable() const
{
    const std::wstring data = ExpectedData();
    if (data.empty())
        return false;
    UniqueHKey key;
    if (OpenRunKey(runKeyPath_, KEY_SET_VALUE, key) != ERROR_SUCCESS)
        return false;
    const DWORD bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key.get(), kAutorunValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                          bytes) == ERROR_SUCCESS;
}

bool Autorun::Disable() const
{
    UniqueHKey key;
    if (OpenRunKey(runKeyPath_, KEY_SET_VALUE, key) != ERROR_SUCCESS)
        return false;
    return RegDeleteValueW(key.get(), kAutorunValueName) == ERROR_SUCCESS;
}

bool Autorun::IsEnabled() const
{
    const std::wstring expected = ExpectedData();
    if (expected.empty())
        return true;
    UniqueHKey key;
    const LSTATUS opened = OpenRunKey(runKeyPath_, KEY_QUERY_VALUE, key);
    if (opened == ERROR_FILE_NOT_FOUND)
        return false;  // no Run key, so certainly no value in it
    if (opened != ERROR_SUCCESS)
        return true;
    std::wstring stored;
    if (!ReadValueAsText(key.get(), kAutorunValueName, stored))
        return false;
    return EqualsIgnoringCase(stored, expected);
}

}  // namespace vw
