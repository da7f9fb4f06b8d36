#pragma once
// The program's registry profile: a section is a sub-key of the root key, an entry a named value
// in it (integers as REG_DWORD, texts as REG_SZ). The root key path is given by the owner, so tests
// work on a key of their own.
#include <windows.h>

#include <string>
#include <vector>

namespace vw {

class ProfileStore {
public:
    // rootPath below `root`, e.g. L"Software\\Morrowfen\\Vaultwren".
    explicit ProfileStore(std::wstring rootPath, HKEY root = HKEY_CURRENT_USER);

    int GetInt(const std::wstring& section, const std::wstring& entry, int defaultValue) const;
    // False when the entry is missing or is not an integer; `value` is then left alone.
    bool TryGetInt(const std::wstring& section, const std::wstring& entry, int& value) const;
    std::wstring GetString(const std::wstring& section, const std::wstring& entry,
                           const std::wstring& defaultValue) const;
    // A write creates the section's sub-key when it is missing.
    bool SetInt(const std::wstring& section, const std::wstring& entry, int value);
    bool SetString(const std::wstring& section, const std::wstring& entry, const std::wstring& value);
    bool RemoveEntry(const std::wstring& section, const std::wstring& entry);
    // Removes the section with all its entries; true when it is gone (also when it never existed).
    bool RemoveSection(const std::wstring& section);
    bool SectionExists(const std::wstring& section) const;
    // True when the section holds a value of that name, of whatever type.
    bool EntryExists(const std::wstring& section, const std::wstring& entry) const;
    // The names of every section there is, in no particular order; empty when the root is missing.
    std::vector<std::wstring> SectionNames() const;

    HKEY Root() const { return root_; }
    const std::wstring& RootPath() const { return rootPath_; }

private:
    std::wstring SectionPath(const std::wstring& section) const;
    HKEY root_;
    std::wstring rootPath_;
};

inline constexpr wchar_t kProgramProfileKey[] = L"Software\\Morrowfen\\Vaultwren";

}  // namespace vw
