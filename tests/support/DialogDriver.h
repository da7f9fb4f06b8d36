#pragma once
// What the tests of the program's dialogs share: the common controls their real templates use, and
// the drive of a dialog that refuses a field's entry with a standard message box.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace vwtest {

// A fixture for tests of a dialog made from its real template: the common control classes the
// templates name are registered before the first test.
class DialogTest : public ::testing::Test {
public:
    static void SetUpTestSuite();
};

// Runs the test's dialog modally while `steps` drive it from a second thread (see DriveModal) and
// tells how it ended: IDOK when the dialog was confirmed, IDCANCEL when not.
using RunDialog = std::function<INT_PTR(const std::function<void(HWND dialog)>& steps)>;

// An entry in one field that the dialog refuses when it is confirmed.
struct RefusedEntry {
    const char* what;
    int field;
    std::wstring text;     // typed into the field
    std::wstring message;  // the one box the dialog shows about it
};

// Each entry on a dialog of its own: typed, then `confirm` pressed. The dialog must stay open with
// the focus back on the field, show just the entry's message (answered with OK), and end cancelled.
void ExpectEachEntryRefused(const RunDialog& run, int confirm, const std::vector<RefusedEntry>& entries);

}  // namespace vwtest
