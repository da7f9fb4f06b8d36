#include "updater/ProgramVersion.h"

#include <windows.h>

#include <cwchar>
#include <vector>

#include "updater/VersionNumber.h"
#include "win/Format.h"

namespace vw {

std::optional<double> FileVersionNumber(const std::wstring& path)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0)
        return std::nullopt;
    std::vector<unsigned char> info(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, info.data()))
        return std::nullopt;
    struct Translation {
        WORD language;
        WORD codePage;
    };
    Translation* translations = nullptr;
    UINT bytes = 0;
    if (!VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations), &bytes) ||
        bytes < sizeof(Translation))
        return std::nullopt;
    const std::wstring key = Format(L"\\StringFileInfo\\%04x%04x\\ProductVersion", translations[0].language,
                                    translations[0].codePage);
    wchar_t* text = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(info.data(), key.c_str(), reinterpret_cast<void**>(&text), &length) || !text || length == 0)
        return std::nullopt;
    return ParseVersion(std::wstring(text, wcsnlen(text, length)));
}

std::optional<double> RunningProgramVersion()
{
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return std::nullopt;
        if (length < path.size())
            return FileVersionNumber(std::wstring(path.data(), length));
        path.resize(path.size() * 2);
    }
}

}  // namespace vw
