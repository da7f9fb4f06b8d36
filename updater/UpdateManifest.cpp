#include "updater/UpdateManifest.h"

#include <windows.h>

#include <set>

#include "win/Format.h"
#include "win/Text.h"

namespace vw {

namespace {

constexpr wchar_t kUpdater[] = L"UPDATER";
constexpr wchar_t kNames[] = L"UPDATER_NAME";
constexpr wchar_t kUrls[] = L"UPDATER_URL";
constexpr wchar_t kMessage[] = L"UPDATER_MSG";

constexpr size_t kShortText = 128;
constexpr size_t kPathText = kManifestPathCapacity;
// Far beyond any version we ship; a larger count is a broken or hostile manifest.
constexpr int kMaxFileCount = 4096;

bool IsHexDigest(const std::wstring& text)
{
    return text.size() == 64 && text.find_first_not_of(L"0123456789abcdefABCDEF") == std::wstring::npos;
}

// A value that fills the whole buffer may be the first part of a longer one.
bool MayBeCut(const std::wstring& text)
{
    return text.size() >= kManifestPathCapacity - 1;
}

std::wstring Folded(const std::wstring& text)
{
    std::wstring folded = text;
    if (!folded.empty())
        CharUpperBuffW(folded.data(), static_cast<DWORD>(folded.size()));
    return folded;
}

bool IsDeviceName(std::wstring_view part)
{
    // The device is the part before its first dot, trailing blanks dropped: "nul.txt", "COM1 .x".
    std::wstring_view base = part.substr(0, part.find(L'.'));
    while (!base.empty() && base.back() == L' ')
        base.remove_suffix(1);
    static constexpr const wchar_t* kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$", L"CLOCK$"};
    for (const wchar_t* device : kDevices) {
        if (EqualsIgnoringCase(base, device))
            return true;
    }
    // COM0-9 and LPT0-9, also with the superscript digits Windows takes for them.
    if (base.size() != 4 || !(StartsWithIgnoringCase(base, L"COM") || StartsWithIgnoringCase(base, L"LPT")))
        return false;
    const wchar_t digit = base[3];
    return (digit >= L'0' && digit <= L'9') || digit == L'\x00B9' || digit == L'\x00B2' || digit == L'\x00B3';
}

bool IsSafePart(std::wstring_view part)
{
    if (part.empty() || part.back() == L'.' || part.back() == L' ')
        return false;
    for (const wchar_t c : part) {
        if (c < 32 || std::wstring_view(L"<>:\"/|?*").find(c) != std::wstring_view::npos)
            return false;
    }
    return !IsDeviceName(part);
}

}  // namespace

std::wstring UpdateManifest::Text(const wchar_t* section, const std::wstring& key, size_t capacity) const
{
    std::wstring value;
    return ini_.GetString(section, key, value, capacity) ? value : std::wstring();
}

std::wstring UpdateManifest::VersionText() const
{
    return Text(kUpdater, L"Version", kShortText);
}

std::wstring UpdateManifest::CheckDaysText() const
{
    return Text(kUpdater, L"CheckDays", kShortText);
}

int UpdateManifest::FileCount() const
{
    return ini_.GetInt(kUpdater, L"FileCount", 0);
}

std::wstring UpdateManifest::FileName(int d) const
{
    return Text(kNames, Format(L"FileName%d", d), kPathText);
}

int64_t UpdateManifest::FileSize(int d) const
{
    const std::wstring text = TrimWhiteSpace(Text(kNames, Format(L"FileSize%d", d), kShortText));
    if (text.empty() || text.size() > 18 || text.find_first_not_of(L"0123456789") != std::wstring::npos)
        return -1;
    return std::stoll(text);
}

std::wstring UpdateManifest::FileUrl(int d) const
{
    return Text(kUrls, Format(L"FileURL%d", d), kPathText);
}

std::wstring UpdateManifest::FileSha256(int d) const
{
    return Text(kUrls, Format(L"FileSHA256%d", d), kShortText);
}

std::wstring UpdateManifest::NoticeUrl() const
{
    return Text(kMessage, L"URL", kPathText);
}

int32_t UpdateManifest::NoticeTime() const
{
    return ini_.GetInt(kMessage, L"Timer", 0);
}

int32_t UpdateManifest::NoticeType() const
{
    return ini_.GetInt(kMessage, L"Type", 0);
}

ManifestFileList UpdateManifest::Files() const
{
    ManifestFileList list;
    const int count = FileCount();
    if (count < 0 || count > kMaxFileCount) {
        list.fault = ManifestFault::BadCount;
        return list;
    }
    std::set<std::wstring> names;
    std::set<std::wstring> folders;
    for (int d = 1; d <= count; ++d) {
        ManifestFile file{FileName(d), FileSize(d), FileUrl(d), TrimWhiteSpace(FileSha256(d))};
        list.faultName = file.name;
        if (MayBeCut(file.name) || !IsSafeRelativeName(file.name))
            list.fault = ManifestFault::BadName;
        else if (file.size < 0)
            list.fault = ManifestFault::BadSize;
        else if (file.url.empty() || MayBeCut(file.url))
            list.fault = ManifestFault::NoAddress;
        else if (!IsHexDigest(file.sha256))
            list.fault = ManifestFault::NoDigest;
        else if (!names.insert(Folded(file.name)).second)
            list.fault = ManifestFault::SameName;
        if (!list.ok()) {
            list.files.clear();
            return list;
        }
        for (size_t at = file.name.find(L'\\'); at != std::wstring::npos; at = file.name.find(L'\\', at + 1))
            folders.insert(Folded(file.name.substr(0, at)));
        list.files.push_back(std::move(file));
    }
    // "data" as a file and "data\\x" as a file in a folder cannot both be.
    for (const ManifestFile& file : list.files) {
        if (folders.count(Folded(file.name)) != 0) {
            list.fault = ManifestFault::SameName;
            list.faultName = file.name;
            list.files.clear();
            return list;
        }
    }
    list.faultName.clear();
    return list;
}

bool IsSafeRelativeName(const std::wstring& name)
{
    size_t start = 0;
    for (;;) {
        const size_t end = name.find(L'\\', start);
        const std::wstring_view part = std::wstring_view(name).substr(start, end == std::wstring::npos ? end : end - start);
        if (!IsSafePart(part))
            return false;
        // Nothing of a version may land in or take the name of our staging folder.
        if (start == 0 && EqualsIgnoringCase(part, kStagingFolderName))
            return false;
        if (end == std::wstring::npos)
            return true;
        start = end + 1;
    }
}

}  // namespace vw
