#include "engine/LongPathIni.h"

#include <windows.h>

#include <string>

#include "engine/FileOps.h"
#include "win/IniFile.h"
#include "win/UniqueHandle.h"

namespace vw {

namespace {

bool FitsTheProfileCalls(const std::wstring& path)
{
    return LongPath(path) == path;
}

bool ReadWhole(const std::wstring& path, std::string& bytes)
{
    const UniqueFile file(CreateFileW(LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    bytes.clear();
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr)) {
        if (read == 0)
            return true;
        bytes.append(buffer, read);
    }
    return false;
}

// Rewrites the file in place: opening an existing file, rather than creating it anew, keeps its
// attributes (a hidden marker may not be recreated without them).
bool WriteWhole(const std::wstring& path, const std::string& bytes)
{
    const UniqueFile file(CreateFileW(LongPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file && WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size() && SetEndOfFile(file.get());
}

// An empty file of a unique name in the temporary folder, deleted with this object.
class StandIn {
public:
    StandIn()
    {
        wchar_t folder[MAX_PATH + 1] = {};
        wchar_t name[MAX_PATH] = {};
        const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
        if (length > 0 && length <= MAX_PATH && GetTempFileNameW(folder, L"vwi", 0, name) != 0)
            path_ = name;
    }
    ~StandIn()
    {
        if (!path_.empty())
            DeleteFileW(path_.c_str());
    }
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

    // Empty when no such file could be made.
    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
};

}  // namespace

bool LongPathIni::GetString(const std::wstring& section, const std::wstring& key, std::wstring& value,
                            size_t capacity) const
{
    if (FitsTheProfileCalls(path_))
        return IniFile(path_).GetString(section, key, value, capacity);
    std::string bytes;
    const StandIn copy;
    return ReadWhole(path_, bytes) && !copy.path().empty() && WriteWhole(copy.path(), bytes) &&
           IniFile(copy.path()).GetString(section, key, value, capacity);
}

bool LongPathIni::SetString(const std::wstring& section, const std::wstring& key, const std::wstring& value)
{
    if (FitsTheProfileCalls(path_))
        return IniFile(path_).SetString(section, key, value);
    // A file that is not there yet starts empty, as the profile calls would start it.
    std::string bytes;
    if (PathExists(path_) && !ReadWhole(path_, bytes))
        return false;
    const StandIn copy;
    return !copy.path().empty() && WriteWhole(copy.path(), bytes) &&
           IniFile(copy.path()).SetString(section, key, value) && ReadWhole(copy.path(), bytes) &&
           WriteWhole(path_, bytes);
}

}  // namespace vw
