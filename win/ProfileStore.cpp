#include "win/ProfileStore.h"

#include <iterator>
#include <vector>

#include "win/UniqueHandle.h"

namespace vw {

namespace {

UniqueHKey OpenKey(HKEY root, const std::wstring& path, REGSAM access)
{
    UniqueHKey key;
    if (RegOpenKeyExW(root, path.c_str(), 0, access, key.put()) != ERROR_SUCCESS)
        key.release();  // a failed open leaves the out-parameter undefined
    return key;
}

UniqueHKey CreateKey(HKEY root, const std::wstring& path)
{
    UniqueHKey key;
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                        key.put(), nullptr) != ERROR_SUCCESS)
        key.release();
    return key;
}

bool SetValue(HKEY root, const std::wstring& path, const std::wstring& entry, DWORD type, const void* data,
              DWORD size)
{
    UniqueHKey key = CreateKey(root, path);
    return key && RegSetValueExW(key.get(), entry.c_str(), 0, type, static_cast<const BYTE*>(data), size) ==
                      ERROR_SUCCESS;
}

}  // namespace

ProfileStore::ProfileStore(std::wstring rootPath, HKEY root) : root_(root), rootPath_(std::move(rootPath)) {}

std::wstring ProfileStore::SectionPath(const std::wstring& section) const
{
    return section.empty() ? rootPath_ : rootPath_ + L"\\" + section;
}

int ProfileStore::GetInt(const std::wstring& section, const std::wstring& entry, int defaultValue) const
{
    int value = defaultValue;
    TryGetInt(section, entry, value);
    return value;
}

bool ProfileStore::TryGetInt(const std::wstring& section, const std::wstring& entry, int& value) const
{
    UniqueHKey key = OpenKey(root_, SectionPath(section), KEY_QUERY_VALUE);
    if (!key)
        return false;
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof(data);
    if (RegQueryValueExW(key.get(), entry.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(data))
        return false;
    value = static_cast<int>(data);
    return true;
}

std::wstring ProfileStore::GetString(const std::wstring& section, const std::wstring& entry,
                                     const std::wstring& defaultValue) const
{
    UniqueHKey key = OpenKey(root_, SectionPath(section), KEY_QUERY_VALUE);
    if (!key)
        return defaultValue;
    DWORD type = 0;
    DWORD size = 0;
    LSTATUS status = RegQueryValueExW(key.get(), entry.c_str(), nullptr, &type, nullptr, &size);
    // The value may grow between the two calls (another writer): ask again with the new size.
    std::vector<wchar_t> buffer;
    while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
        if (type != REG_SZ)
            return defaultValue;
        buffer.assign(size / sizeof(wchar_t) + 1, L'\0');
        DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        status = RegQueryValueExW(key.get(), entry.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                                  &bytes);
        if (status == ERROR_SUCCESS) {
            if (type != REG_SZ)
                return defaultValue;
            // A value written without its terminating NUL (or with an odd byte count) still reads whole;
            // the text ends at the first NUL, as every reader of a REG_SZ value sees it.
            std::wstring text(buffer.data(), bytes / sizeof(wchar_t));
            const size_t end = text.find(L'\0');
            if (end != std::wstring::npos)
                text.resize(end);
            return text;
        }
        size = bytes;
    }
    return defaultValue;
}

bool ProfileStore::SetInt(const std::wstring& section, const std::wstring& entry, int value)
{
    const DWORD data = static_cast<DWORD>(value);
    return SetValue(root_, SectionPath(section), entry, REG_DWORD, &data, sizeof(data));
}

bool ProfileStore::SetString(const std::wstring& section, const std::wstring& entry, const std::wstring& value)
{
    const size_t bytes = (value.size() + 1) * sizeof(wchar_t);
    if (bytes > MAXDWORD)
        return false;
    return SetValue(root_, SectionPath(section), entry, REG_SZ, value.c_str(), static_cast<DWORD>(bytes));
}

bool ProfileStore::RemoveEntry(const std::wstring& section, const std::wstring& entry)
{
    UniqueHKey key = OpenKey(root_, SectionPath(section), KEY_SET_VALUE);
    if (!key)
        return !SectionExists(section);
    const LSTATUS status = RegDeleteValueW(key.get(), entry.c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

bool ProfileStore::RemoveSection(const std::wstring& section)
{
    // An empty name would address the root itself: that is never one section.
    if (section.empty())
        return false;
    const LSTATUS status = RegDeleteTreeW(root_, SectionPath(section).c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

bool ProfileStore::SectionExists(const std::wstring& section) const
{
    return static_cast<bool>(OpenKey(root_, SectionPath(section), KEY_QUERY_VALUE));
}

bool ProfileStore::EntryExists(const std::wstring& section, const std::wstring& entry) const
{
    UniqueHKey key = OpenKey(root_, SectionPath(section), KEY_QUERY_VALUE);
    return key && RegQueryValueExW(key.get(), entry.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::vector<std::wstring> ProfileStore::SectionNames() const
{
    std::vector<std::wstring> names;
    UniqueHKey key = OpenKey(root_, rootPath_, KEY_ENUMERATE_SUB_KEYS);
    if (!key)
        return names;
    wchar_t name[256];  // a key name holds at most 255 characters
    for (DWORD i = 0;; ++i) {
        DWORD length = static_cast<DWORD>(std::size(name));
        const LSTATUS status = RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status == ERROR_SUCCESS)
            names.emplace_back(name, length);
        else if (status != ERROR_MORE_DATA)
            break;
    }
    return names;
}

}  // namespace vw
