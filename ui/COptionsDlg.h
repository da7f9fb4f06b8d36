#pragma once
// The settings dialog: start with Windows, start minimised, the minimum interval between two
// automatic runs of a task and the backup speed ratio (100 - Speed).
#include <windows.h>

#include "ui/DialogToolTips.h"
#include "win/Dialog.h"

namespace vw {

class Autorun;
class ProfileStore;
struct AppSettings;

struct OptionsValues {
    bool Autorun = false;
    bool MinStart = false;
    int MinTime = 120;
    int SpeedRatio = 100;
};

class COptionsDlg : public Dialog {
public:
    explicit COptionsDlg(const OptionsValues& values) : values_(values) {}

    INT_PTR Run(HWND owner);
    // The values shown at the start, or as confirmed with OK.
    const OptionsValues& Values() const { return values_; }

protected:
    bool OnInit() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnDestroy() override { tips_.Destroy(); }

private:
    // Takes the fields over when they are valid; otherwise the first bad one has been reported.
    bool ReadFields();

    OptionsValues values_;
    DialogToolTips tips_;
};

// The "选项" command: shows the current settings and, when confirmed, stores what changed (the Run
// key only when the autorun box changed). True when the dialog ended with OK.
bool EditOptions(HWND owner, ProfileStore& profile, AppSettings& settings, const Autorun& autorun);

}  // namespace vw
