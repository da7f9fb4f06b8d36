#pragma once
// A Windows initialisation file, read and written through the profile-string calls.
#include <string>

namespace vw {

class IniFile {
public:
    explicit IniFile(std::wstring path) : path_(std::move(path)) {}

    // False when the key is missing or empty (the buffer is `capacity` characters, as the caller asks).
    bool GetString(const std::wstring& section, const std::wstring& key, std::wstring& value,
                   size_t capacity = 128) const;
    int GetInt(const std::wstring& section, const std::wstring& key, int defaultValue) const;
    bool SetString(const std::wstring& section, const std::wstring& key, const std::wstring& value);

    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
};

}  // namespace vw
