#include "ui/COptionsDlg.h"

#include "app/Autorun.h"
#include "app/Settings.h"
#include "resources/resource.h"
#include "task/AppSettings.h"
#include "win/DataExchange.h"

namespace vw {

namespace {
constexpr int kFullSpeedRatio = 100;
}  // namespace

INT_PTR COptionsDlg::Run(HWND owner)
{
    return DoModal(::GetModuleHandleW(nullptr), IDD_OPTIONS, owner);
}

bool COptionsDlg::OnInit()
{
    HWND d = Handle();
    SetItemChecked(d, IDC_OPTIONS_AUTORUN, values_.Autorun);
    SetItemChecked(d, IDC_OPTIONS_MIN_START, values_.MinStart);
    SetItemInt(d, IDC_OPTIONS_MIN_TIME, values_.MinTime);
    SetItemInt(d, IDC_OPTIONS_SPEED, values_.SpeedRatio);
    if (tips_.Create(d)) {
        tips_.Add(IDC_OPTIONS_MIN_TIME, L"为了防止系统刚备份完成后再次开始自动备份，需要设置两次备份的时间间隔。");
        tips_.Add(IDC_OPTIONS_SPEED, L"如果你觉得备份引起了系统速度变慢，可以修改备份速度以减小备份对系统资源的消耗。");
        tips_.Activate(true);
    }
    return true;
}

bool COptionsDlg::OnCommand(int id, int code, HWND control)
{
    // Enter reaches the dialog as IDOK and confirms like the button does.
    if (id == IDC_OPTIONS_OK || id == IDOK) {
        if (ReadFields())
            End(IDOK);
        return true;
    }
    return Dialog::OnCommand(id, code, control);
}

bool COptionsDlg::ReadFields()
{
    HWND d = Handle();
    const auto minTime = ReadIntField(d, IDC_OPTIONS_MIN_TIME, 1, 999);
    if (!minTime)
        return false;
    const auto ratio = ReadIntField(d, IDC_OPTIONS_SPEED, 0, kFullSpeedRatio);
    if (!ratio)
        return false;
    values_.Autorun = IsItemChecked(d, IDC_OPTIONS_AUTORUN);
    values_.MinStart = IsItemChecked(d, IDC_OPTIONS_MIN_START);
    values_.MinTime = *minTime;
    values_.SpeedRatio = *ratio;
    return true;
}

bool EditOptions(HWND owner, ProfileStore& profile, AppSettings& settings, const Autorun& autorun)
{
    OptionsValues shown;
    shown.Autorun = autorun.IsEnabled();
    shown.MinStart = settings.MinStart.load() != 0;
    shown.MinTime = settings.MinTime.load();
    shown.SpeedRatio = kFullSpeedRatio - settings.Speed.load();

    COptionsDlg dialog(shown);
    if (dialog.Run(owner) != IDOK)
        return false;
    const OptionsValues& chosen = dialog.Values();
    if (chosen.Autorun != shown.Autorun) {
        if (chosen.Autorun)
            autorun.Enable();
        else
            autorun.Disable();
    }
    SettingsValues values;
    values.MinStart = chosen.MinStart ? 1 : 0;
    values.MinTime = chosen.MinTime;
    values.Speed = kFullSpeedRatio - chosen.SpeedRatio;
    StoreChangedSettings(profile, settings, values);
    return true;
}

}  // namespace vw
