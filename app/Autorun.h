#pragma once
// The logon start: a value in the user's Run key that starts this program minimised.
#include <string>

namespace vw {

inline constexpr wchar_t kRunKeyPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kAutorunValueName[] = L"Vaultwren";

class Autorun {
public:
    // runKeyPath below HKEY_CURRENT_USER; an empty programPath means the running program file.
    explicit Autorun(std::wstring runKeyPath = kRunKeyPath, std::wstring programPath = {});

    // True when the value was written. The Run key is opened, never created.
    bool Enable() const;
    // True when the value was deleted.
    bool Disable() const;
    // Whether the stored value starts this program file, ignoring letter case. Answers true when
    // the program's path or an existing Run key cannot be read, so the settings dialog never
    // offers to remove an entry it cannot see.
    bool IsEnabled() const;

    // "\"<program path>\" /Min"; empty when the program's path is unknown.
    std::wstring ExpectedData() const;

private:
    std::wstring runKeyPath_;
    std::wstring programPath_;
};

}  // namespace vw
