#include "updater/UpdateManifest.h"

#include "win/Format.h"

namespace vw {

namespace {

constexpr wchar_t kUpdater[] = L"UPDATER";
constexpr wchar_t kNames[] = L"UPDATER_NAME";
constexpr wchar_t kUrls[] = L"UPDATER_URL";
constexpr wchar_t kMessage[] = L"UPDATER_MSG";

constexpr size_t kShortText = 128;
constexpr size_t kPathText = 260;

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

int32_t UpdateManifest::FileSize(int d) const
{
    return ini_.GetInt(kNames, Format(L"FileSize%d", d), 0);
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

bool IsSafeRelativeName(const std::wstring& name)
{
    if (name.empty() || name.front() == L'\\' || name.front() == L'/')
        return false;
    // A colon is a drive ("C:x") or an alternate data stream; neither belongs in a download.
    if (name.find(L':') != std::wstring::npos)
        return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of(L"\\/", start);
        if (end == std::wstring::npos)
            end = name.size();
        const std::wstring part = name.substr(start, end - start);
        // Windows drops trailing dots and blanks of a path part, so "..." and ".. " are ".." too:
        // no part may be made of nothing else.
        if (!part.empty() && part.find_first_not_of(L". ") == std::wstring::npos)
            return false;
        start = end + 1;
    }
    return true;
}

}  // namespace vw
