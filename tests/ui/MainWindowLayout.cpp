#include "MainWindowLayout.h"

#include <gtest/gtest.h>

#include "resources/resource.h"
#include "ui/Dpi.h"

namespace vwtest {

RECT ClientRectOf(HWND control)
{
    RECT r{};
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void ExpectStackedUnderTheToolbar(HWND window, UINT dpi)
{
    const auto item = [window](int id) { return ::GetDlgItem(window, id); };
    // Each control below the one before it, at most `maxGap` pixels at 96 DPI further down.
    struct Below {
        const char* what;
        HWND upper;
        HWND lower;
        int maxGap;
    };
    const Below chain[] = {
        {"label under the toolbar", item(IDC_TOOLBAR), item(IDC_TASK_LIST_LABEL), 8},
        {"list under the label", item(IDC_TASK_LIST_LABEL), item(IDC_TASK_LIST), 8},
        {"status group under the list", item(IDC_TASK_LIST), item(IDC_STATUS_GROUP), 40},
    };
    for (const Below& b : chain) {
        SCOPED_TRACE(b.what);
        ASSERT_NE(b.upper, nullptr);
        ASSERT_NE(b.lower, nullptr);
        const RECT upper = ClientRectOf(b.upper);
        const RECT lower = ClientRectOf(b.lower);
        EXPECT_GE(lower.top, upper.bottom);
        EXPECT_LE(lower.top - upper.bottom, vw::ScaleForDpi(b.maxGap, dpi));
        EXPECT_GT(lower.bottom, lower.top);
    }
    const RECT group = ClientRectOf(item(IDC_STATUS_GROUP));
    const RECT panel = ClientRectOf(item(IDC_STATUS_PANEL));
    EXPECT_TRUE(panel.top > group.top && panel.bottom <= group.bottom) << "the panel inside its group";
}

}  // namespace vwtest
