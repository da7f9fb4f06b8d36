#pragma once
// "Updater.ini", the manifest the vendor's server offers: the version, how long to wait between
// checks, the files of the version and a notice page. Read through the profile-string calls.
#include <cstdint>
#include <string>
#include <vector>

#include "win/IniFile.h"

namespace vw {

inline constexpr wchar_t kManifestName[] = L"Updater.ini";
// Below the working folder: where the files of the new version are downloaded to.
inline constexpr wchar_t kDownloadFolderName[] = L"Update\\";
// In the program folder: where Updater.exe stages a version and keeps the files it replaces until
// the swap is over (UpdateInstall.h). No file of a version may take this name.
inline constexpr wchar_t kStagingFolderName[] = L"~VaultwrenUpdate";
// Room for a file's name or address in characters, its NUL included: a value that fills it may
// have been cut short, which would name another file.
inline constexpr size_t kManifestPathCapacity = 260;
// No manifest (nor its signature) is longer; a longer answer is not read.
inline constexpr int64_t kMaxManifestSize = 1 << 20;

// One file of the offered version, as the manifest lists it.
struct ManifestFile {
    std::wstring name;    // relative to the download and the program folder
    int64_t size = 0;
    std::wstring url;
    std::wstring sha256;  // 64 hexadecimal digits
};

// Why a manifest's file list is refused.
enum class ManifestFault {
    None,
    BadName,     // IsSafeRelativeName refuses it, or it may have been cut short
    SameName,    // two names that are one file once letter case is folded, or a file and a folder
    NoDigest,    // no SHA-256 of 64 hexadecimal digits
    BadSize,     // not a whole number of bytes
    NoAddress,   // no address, or one that may have been cut short
    BadCount,    // FileCount below 0 or beyond what any version ships
};

struct ManifestFileList {
    std::vector<ManifestFile> files;
    ManifestFault fault = ManifestFault::None;
    std::wstring faultName;  // the name of the file refused (empty for BadCount)
    bool ok() const { return fault == ManifestFault::None; }
};

class UpdateManifest {
public:
    explicit UpdateManifest(std::wstring path) : ini_(std::move(path)) {}

    // Texts are empty when the key is missing; `d` counts from 1.
    std::wstring VersionText() const;
    std::wstring CheckDaysText() const;
    int FileCount() const;
    std::wstring FileName(int d) const;
    // -1 when it is no whole number of bytes.
    int64_t FileSize(int d) const;
    std::wstring FileUrl(int d) const;
    // 64 hexadecimal digits, or empty: older manifests carry no digest.
    std::wstring FileSha256(int d) const;

    std::wstring NoticeUrl() const;
    int32_t NoticeTime() const;
    int32_t NoticeType() const;

    const std::wstring& Path() const { return ini_.Path(); }

    // Every file, each checked; the first fault refuses the whole list.
    ManifestFileList Files() const;

private:
    std::wstring Text(const wchar_t* section, const std::wstring& key, size_t capacity) const;
    IniFile ini_;
};

// A manifest's file name may only name a file that Windows keeps under that very name inside the
// download and the program folder: relative parts separated by "\", none empty, none ending in "."
// or " " (Windows drops those, so ".." and "a." are refused), no character Windows forbids in a
// name ("/" included), no device name (CON, NUL, COM1, "aux.txt" ...), and nothing in our staging
// folder. Anything else is refused, whatever the server says.
bool IsSafeRelativeName(const std::wstring& name);

}  // namespace vw
