#pragma once
// "Updater.ini", the manifest the vendor's server offers: the version, how long to wait between
// checks, the files of the version and a notice page. Read through the profile-string calls.
#include <cstdint>
#include <string>

#include "win/IniFile.h"

namespace vw {

inline constexpr wchar_t kManifestName[] = L"Updater.ini";
// Below the working folder: where the files of the new version are downloaded to.
inline constexpr wchar_t kDownloadFolderName[] = L"Update\\";

class UpdateManifest {
public:
    explicit UpdateManifest(std::wstring path) : ini_(std::move(path)) {}

    // Texts are empty when the key is missing; `d` counts from 1.
    std::wstring VersionText() const;
    std::wstring CheckDaysText() const;
    int FileCount() const;
    std::wstring FileName(int d) const;
    int32_t FileSize(int d) const;
    std::wstring FileUrl(int d) const;
    // 64 hexadecimal digits, or empty: older manifests carry no digest.
    std::wstring FileSha256(int d) const;

    std::wstring NoticeUrl() const;
    int32_t NoticeTime() const;
    int32_t NoticeType() const;

    const std::wstring& Path() const { return ini_.Path(); }

private:
    std::wstring Text(const wchar_t* section, const std::wstring& key, size_t capacity) const;
    IniFile ini_;
};

// A manifest's file name may only name a place inside the download folder: relative, no drive,
// no ".." part. Anything else is refused, whatever the server says.
bool IsSafeRelativeName(const std::wstring& name);

}  // namespace vw
