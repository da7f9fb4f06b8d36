// The settings dialog on its real template: the values it shows, the standard messages of its two
// number fields, and what the "选项" command stores afterwards (only what changed).
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "app/Autorun.h"
#include "resources/resource.h"
#include "support/DialogDriver.h"
#include "support/ModalDriver.h"
#include "support/Screenshot.h"
#include "support/TestRegistry.h"
#include "task/AppSettings.h"
#include "ui/COptionsDlg.h"
#include "win/ProfileStore.h"
#include "win/UniqueHandle.h"

namespace {

using vwtest::Click;
using vwtest::TextOf;
using vwtest::Type;

constexpr wchar_t kProgram[] = L"C:\\Program Files\\Vaultwren\\Vaultwren.exe";

class OptionsDlgTest : public vwtest::DialogTest {
protected:
    OptionsDlgTest()
    {
        EXPECT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, runKey_.path().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                    run_.put(), nullptr),
                  ERROR_SUCCESS);
    }

    bool EditOptions(const std::function<void(HWND)>& steps)
    {
        bool confirmed = false;
        vwtest::DriveModal(
            L"设置",
            [&] {
                confirmed = vw::EditOptions(nullptr, profile_, settings_, autorun_);
                return INT_PTR{0};
            },
            steps);
        return confirmed;
    }

    bool RunValueExists() const
    {
        return ::RegQueryValueExW(run_.get(), vw::kAutorunValueName, nullptr, nullptr, nullptr, nullptr) ==
               ERROR_SUCCESS;
    }

    vwtest::TestRegistryKey key_{L"options"};
    vwtest::TestRegistryKey runKey_{L"options-run"};
    vw::UniqueHKey run_;
    vw::ProfileStore profile_{key_.path()};
    vw::AppSettings settings_;
    vw::Autorun autorun_{runKey_.path(), kProgram};
};

TEST_F(OptionsDlgTest, ShowsTheSettingsOfAFreshProfile)
{
    EditOptions([](HWND d) {
        EXPECT_FALSE(vwtest::IsChecked(d, IDC_OPTIONS_AUTORUN));
        EXPECT_FALSE(vwtest::IsChecked(d, IDC_OPTIONS_MIN_START));
        EXPECT_EQ(TextOf(d, IDC_OPTIONS_MIN_TIME), L"120");
        EXPECT_EQ(TextOf(d, IDC_OPTIONS_SPEED), L"100");
        vwtest::SaveScreenshot(L"settings", {d});
        Click(d, IDCANCEL);
    });
}

TEST_F(OptionsDlgTest, AFieldOutOfRangeOrWithoutANumberIsReportedAndGetsTheFocus)
{
    const std::wstring minTimeRange = L"请输入一个 1 至 999 之间的整数。";
    const std::vector<vwtest::RefusedEntry> entries = {
        {"minimum interval 0", IDC_OPTIONS_MIN_TIME, L"0", minTimeRange},
        {"minimum interval 1000", IDC_OPTIONS_MIN_TIME, L"1000", minTimeRange},
        {"minimum interval left empty", IDC_OPTIONS_MIN_TIME, L"", L"请输入一个整数。"},
        {"speed 101", IDC_OPTIONS_SPEED, L"101", L"请输入一个 0 至 100 之间的整数。"},
    };
    vwtest::ExpectEachEntryRefused([&](const auto& steps) { return EditOptions(steps) ? IDOK : IDCANCEL; },
                                   IDC_OPTIONS_OK, entries);
    EXPECT_FALSE(profile_.SectionExists(L"SysInfo"));
}

TEST_F(OptionsDlgTest, ConfirmingWithoutChangesWritesNothing)
{
    EXPECT_TRUE(EditOptions([](HWND d) { Click(d, IDC_OPTIONS_OK); }));
    EXPECT_FALSE(profile_.SectionExists(L"SysInfo"));
    EXPECT_FALSE(RunValueExists());
}

TEST_F(OptionsDlgTest, WhatChangedIsStoredAndTakenOverAtOnce)
{
    // Enter confirms like the button.
    EXPECT_TRUE(EditOptions([](HWND d) {
        Click(d, IDC_OPTIONS_AUTORUN);
        Click(d, IDC_OPTIONS_MIN_START);
        Type(d, IDC_OPTIONS_MIN_TIME, L"30");
        Type(d, IDC_OPTIONS_SPEED, L"0");
        ::SendMessageW(d, WM_COMMAND, IDOK, 0);
    }));
    EXPECT_TRUE(autorun_.IsEnabled());
    EXPECT_EQ(profile_.GetInt(L"SysInfo", L"MinStart", -1), 1);
    EXPECT_EQ(profile_.GetInt(L"SysInfo", L"MinTime", -1), 30);
    EXPECT_EQ(profile_.GetInt(L"SysInfo", L"Speed", -1), 100);
    EXPECT_EQ(settings_.MinTime.load(), 30);
    EXPECT_EQ(settings_.Speed.load(), 100);

    // Unticking removes the Run value; only the box changed, so only the Run key is touched.
    ASSERT_TRUE(profile_.RemoveSection(L"SysInfo"));
    EXPECT_TRUE(EditOptions([](HWND d) {
        EXPECT_TRUE(vwtest::IsChecked(d, IDC_OPTIONS_AUTORUN));
        EXPECT_EQ(TextOf(d, IDC_OPTIONS_SPEED), L"0");
        Click(d, IDC_OPTIONS_AUTORUN);
        Click(d, IDC_OPTIONS_OK);
    }));
    EXPECT_FALSE(RunValueExists());
    EXPECT_FALSE(profile_.SectionExists(L"SysInfo"));
}

}  // namespace
