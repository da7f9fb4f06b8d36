// The About window on its real template: the version line, and the feedback button that opens the
// feedback address only when one is set.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/Settings.h"
#include "resources/resource.h"
#include "support/ModalDriver.h"
#include "support/Screenshot.h"
#include "support/TestRegistry.h"
#include "ui/CAboutDlg.h"
#include "win/ProfileStore.h"

namespace {

TEST(AboutDlg, ShowsTheVersionLineAndOpensTheFeedbackAddressOnlyWhenSet)
{
    const struct {
        const wchar_t* reportUrl;
        std::vector<std::wstring> opened;
    } rows[] = {
        {L"", {}},
        {L"http://feedback.example/report.html", {L"http://feedback.example/report.html?product_no=VW-DESKTOP-110"}},
    };
    for (const auto& row : rows) {
        vwtest::TestRegistryKey key(L"about");
        vw::ProfileStore profile(key.path());
        ASSERT_TRUE(profile.SetString(vw::kUrlSection, vw::kReportUrlEntry, row.reportUrl));
        std::vector<std::wstring> opened;
        vw::CAboutDlg dialog(profile, [&](HWND, const std::wstring& address) { opened.push_back(address); });
        const INT_PTR result = vwtest::DriveModal(L"关于Vaultwren", [&] { return dialog.Run(nullptr); }, [&](HWND d) {
            EXPECT_EQ(vwtest::TextOf(d, IDC_ABOUT_VERSION), L"Vaultwren，1.10版");
            vwtest::SaveScreenshot(L"about", {d});
            vwtest::Click(d, IDC_ABOUT_FEEDBACK);
            vwtest::Click(d, IDOK);
        });
        EXPECT_EQ(result, IDOK);
        EXPECT_EQ(opened, row.opened) << row.reportUrl;
    }
}

}  // namespace
