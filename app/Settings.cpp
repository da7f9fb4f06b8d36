#include "app/Settings.h"

#include "win/Format.h"
#include "win/ProfileStore.h"

namespace vw {

namespace {

// A present but empty value counts as missing: it is rewritten, a non-empty one never is.
void FillWhenEmpty(ProfileStore& profile, const wchar_t* section, const wchar_t* entry,
                   const std::wstring& value)
{
    if (profile.GetString(section, entry, L"").empty())
        profile.SetString(section, entry, value);
}

void StoreIfChanged(ProfileStore& profile, std::atomic<int32_t>& current, int32_t value, const wchar_t* entry)
{
    if (current.load() == value)
        return;
    profile.SetInt(kSysInfoSection, entry, value);
    current.store(value);
}

}  // namespace

std::wstring ProgramVersionText()
{
    return Format(L"%4.2f", kProgramVersion);
}

void ReadSettings(const ProfileStore& profile, AppSettings& settings)
{
    settings.MinStart = profile.GetInt(kSysInfoSection, kMinStartEntry, kDefaultMinStart) != 0 ? 1 : 0;
    settings.MinTime = profile.GetInt(kSysInfoSection, kMinTimeEntry, kDefaultMinTime);
    settings.Speed = profile.GetInt(kSysInfoSection, kSpeedEntry, kDefaultSpeed);
}

void LoadSettings(ProfileStore& profile, AppSettings& settings)
{
    ReadSettings(profile, settings);
    FillWhenEmpty(profile, kUpdaterSection, kIniUrlEntry, kDefaultIniUrl);
    FillWhenEmpty(profile, kUpdaterSection, kVersionEntry, ProgramVersionText());
    FillWhenEmpty(profile, kUrlSection, kReportUrlEntry, kDefaultReportUrl);
}

void StoreChangedSettings(ProfileStore& profile, AppSettings& settings, const SettingsValues& values)
{
    StoreIfChanged(profile, settings.MinStart, values.MinStart, kMinStartEntry);
    StoreIfChanged(profile, settings.MinTime, values.MinTime, kMinTimeEntry);
    StoreIfChanged(profile, settings.Speed, values.Speed, kSpeedEntry);
}

}  // namespace vw
