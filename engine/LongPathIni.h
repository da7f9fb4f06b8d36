#pragma once
// An initialisation file at a path of any length, with the content the profile-string calls make.
// Those calls take no path beyond MAX_PATH and no "\\?\" form: a file deeper than that is worked on
// through a copy in the temporary folder, read and written back through the engine's long form.
#include <string>

namespace vw {

class LongPathIni {
public:
    explicit LongPathIni(std::wstring path) : path_(std::move(path)) {}

    // As IniFile: false when the key is missing or empty, or the file cannot be read.
    bool GetString(const std::wstring& section, const std::wstring& key, std::wstring& value,
                   size_t capacity = 128) const;
    // Creates the file when it is missing (not its folder); other sections and keys stay as they were.
    bool SetString(const std::wstring& section, const std::wstring& key, const std::wstring& value);

private:
    std::wstring path_;
};

}  // namespace vw
