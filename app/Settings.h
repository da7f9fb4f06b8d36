#pragma once
// The settings kept in the profile: the three live values (start minimised, minimum interval,
// copy slow-down) and the addresses and version the updater and the About window read.
#include <cstdint>
#include <string>

#include "task/AppSettings.h"
#include "updater/UpdaterKeys.h"

namespace vw {

class ProfileStore;

inline constexpr wchar_t kSysInfoSection[] = L"SysInfo";
inline constexpr wchar_t kMinStartEntry[] = L"MinStart";
inline constexpr wchar_t kMinTimeEntry[] = L"MinTime";
inline constexpr wchar_t kSpeedEntry[] = L"Speed";

inline constexpr wchar_t kUrlSection[] = L"URL";
inline constexpr wchar_t kReportUrlEntry[] = L"ReportURL";

inline constexpr int32_t kDefaultMinStart = 0;
inline constexpr int32_t kDefaultMinTime = 120;
inline constexpr int32_t kDefaultSpeed = 0;

inline constexpr double kProgramVersion = 1.1;
inline constexpr wchar_t kDefaultIniUrl[] =
    L"http://update.vaultwren.example/Registry/Vaultwren/download/v1.0/Update.zip";
inline constexpr wchar_t kDefaultReportUrl[] = L"http://www.vaultwren.example/Registry/report.html";

// The installed version as the updater stores and compares it: "1.10".
std::wstring ProgramVersionText();

// Start-up: reads the three values (no range limits; MinStart becomes 0 or 1) and fills the
// updater's address, the version and the feedback address when they are empty.
void LoadSettings(ProfileStore& profile, AppSettings& settings);
// The three values as LoadSettings reads them, writing nothing.
void ReadSettings(const ProfileStore& profile, AppSettings& settings);

// The three values as the settings dialog hands them over.
struct SettingsValues {
    int32_t MinStart = kDefaultMinStart;
    int32_t MinTime = kDefaultMinTime;
    int32_t Speed = kDefaultSpeed;
};

// Writes each value that differs from the one in memory and takes it over at once, so an
// unchanged dialog writes nothing.
void StoreChangedSettings(ProfileStore& profile, AppSettings& settings, const SettingsValues& values);

}  // namespace vw
