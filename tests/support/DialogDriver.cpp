#include "support/DialogDriver.h"

#include <commctrl.h>

#include "support/MessageBoxAnswerer.h"
#include "support/ModalDriver.h"

namespace vwtest {

void DialogTest::SetUpTestSuite()
{
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof(icc);
    icc.dwICC = ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES;
    ::InitCommonControlsEx(&icc);
}

void ExpectEachEntryRefused(const RunDialog& run, int confirm, const std::vector<RefusedEntry>& entries)
{
    for (const RefusedEntry& entry : entries) {
        SCOPED_TRACE(entry.what);
        MessageBoxAnswerer answer(IDOK);
        const INT_PTR result = run([&](HWND d) {
            // The steps run on the driver's thread, which the trace above does not reach.
            SCOPED_TRACE(entry.what);
            Type(d, entry.field, entry.text);
            Click(d, confirm);
            EXPECT_TRUE(::IsWindowVisible(d)) << "the dialog stays open";
            EXPECT_EQ(FocusOf(d), ::GetDlgItem(d, entry.field));
            Click(d, IDCANCEL);
        });
        EXPECT_EQ(result, IDCANCEL);
        EXPECT_EQ(answer.Texts(), std::vector<std::wstring>{entry.message});
    }
}

}  // namespace vwtest
