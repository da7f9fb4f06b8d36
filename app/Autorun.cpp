#include "app/Autorun.h"

#include <windows.h>

#include <algorithm>
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

// Any value type is read as text up to its first NUL: what counts is whether it matches. Each
// query reads into the buffer it is given, and a value that grew since the last one answers
// ERROR_MORE_DATA with its new size: no size learnt earlier is trusted for a later read. The
// buffer's last element is never offered to the system, so the closing NUL always has room.
bool ReadValueAsText(HKEY key, const wchar_t* name, std::wstring& text)
{
    std::vector<wchar_t> data(MAX_PATH + 1, L'\0');
    for (;;) {
        DWORD size = static_cast<DWORD>((data.size() - 1) * sizeof(wchar_t));
        const LSTATUS status =
            RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &size);
        if (status == ERROR_MORE_DATA) {
            data.assign(size / sizeof(wchar_t) + 2, L'\0');
            continue;
        }
        if (status != ERROR_SUCCESS)
            return false;
        data[std::min<size_t>(size / sizeof(wchar_t), data.size() - 1)] = L'\0';
        text = data.data();
        return true;
    }
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
