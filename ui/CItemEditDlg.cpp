#include "ui/CItemEditDlg.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <optional>
#include <string>

#include "resources/resource.h"
#include "task/AppSettings.h"
#include "task/CBackupItem.h"
#include "task/TaskReset.h"
#include "ui/ShellFolders.h"
#include "win/DataExchange.h"
#include "win/Format.h"
#include "win/MessageBox.h"
#include "win/Text.h"

namespace vw {

namespace {

// Stores a number field that could be read; false when it could not (the field then says why).
template <typename T, typename U>
bool Take(const std::optional<T>& value, U& target)
{
    if (!value)
        return false;
    target = static_cast<U>(*value);
    return true;
}

// Monday first: bit n of the task's week belongs to the n-th box.
constexpr int kWeekdayBoxes[] = {IDC_ITEM_MONDAY,   IDC_ITEM_TUESDAY, IDC_ITEM_WEDNESDAY, IDC_ITEM_THURSDAY,
                                 IDC_ITEM_FRIDAY,   IDC_ITEM_SATURDAY, IDC_ITEM_SUNDAY};

// Everything a user could change; disabled while the task is not idle.
constexpr int kInputs[] = {IDC_ITEM_NAME,        IDC_ITEM_SOURCE,      IDC_ITEM_BROWSE_SOURCE, IDC_ITEM_DEST,
                           IDC_ITEM_BROWSE_DEST, IDC_ITEM_START,       IDC_ITEM_START_TIME,    IDC_ITEM_START_LABEL,
                           IDC_ITEM_CLOCK,       IDC_ITEM_HISTORY,     IDC_ITEM_FOLLOW,        IDC_ITEM_CLOCK_HOUR,
                           IDC_ITEM_CLOCK_MINUTE, IDC_ITEM_CLOCK_LABEL, IDC_ITEM_CLOCK_COLON,  IDC_ITEM_AUTO_MINUTE,
                           IDC_ITEM_AUTO};

constexpr int kTextLimit = 255;

constexpr wchar_t kChangedText[] = L"当前任务内容已发生变化，请保存任务后再试！";
constexpr wchar_t kHistoryNoteText[] = L"请注意：目标文件夹中原有文件将在备份时移动到历史文件夹中！";
constexpr wchar_t kSourcePickerTitle[] = L"请选择备份来源文件夹：\r\n    选择或输入你要备份的文件的来源文件夹。";
constexpr wchar_t kDestPickerTitle[] =
    L"请选择备份目标文件夹：\r\n    选择存放备份的目标文件夹，强烈建议创建一个新的文件夹。为安全考虑，禁止使用根文件夹！";

struct Hint {
    int id;
    const wchar_t* text;
};
constexpr wchar_t kSourceHint[] = L"选择或输入你要备份的文件的来源文件夹。";
constexpr wchar_t kDestHint[] = L"选择或输入用于存放备份的目标文件夹，强烈建议创建一个新的文件夹。";
constexpr wchar_t kStartHint[] = L"在系统启动X分钟后自动运行当前备份任务。";
constexpr wchar_t kClockHint[] = L"每天在指定的时间自动运行当前备份任务。";
constexpr wchar_t kIntervalHint[] =
    L"每隔X分钟后就启动一次定时备份任务。时间间隔范围为60-9999分钟，且不能低于系统备份时间间隔。";
constexpr Hint kHints[] = {
    {IDC_ITEM_CLEAN_HISTORY,
     L"如果目标磁盘空间不足，可以使用清理历史文件功能删除源文件夹中已不存在的文件，并清空历史文件夹以释放磁盘空间。"},
    {IDC_ITEM_RESET, L"如果你删除了目标文件夹或目标文件夹中的配置文件，可以使用重置任务功能重建目标文件夹。"},
    {IDC_ITEM_OK, L"保存当前的任务配置信息。"},
    {IDCANCEL, L"不保存当前的任务配置信息并退出窗口。"},
    {IDC_ITEM_NAME, L"设置一个清晰易懂的任务名称是一个不错的选择。"},
    {IDC_ITEM_SOURCE, kSourceHint},
    {IDC_ITEM_BROWSE_SOURCE, kSourceHint},
    {IDC_ITEM_DEST, kDestHint},
    {IDC_ITEM_BROWSE_DEST, kDestHint},
    {IDC_ITEM_START, kStartHint},
    {IDC_ITEM_START_TIME, kStartHint},
    {IDC_ITEM_CLOCK, kClockHint},
    {IDC_ITEM_CLOCK_HOUR, kClockHint},
    {IDC_ITEM_CLOCK_MINUTE, kClockHint},
    {IDC_ITEM_HISTORY, L"允许系统在目标文件夹中创建一个历史文件夹，用于保存源文件夹中修改过或已删除的文件。"},
    {IDC_ITEM_FOLLOW, L"可移动磁盘的盘符可能会发生变化，系统会自动查找跟踪目标文件夹所在的盘符。"},
    {IDC_ITEM_MONDAY, L"允许在星期一启动定时备份任务。"},
    {IDC_ITEM_TUESDAY, L"允许在星期二启动定时备份任务。"},
    {IDC_ITEM_WEDNESDAY, L"允许在星期三启动定时备份任务。"},
    {IDC_ITEM_THURSDAY, L"允许在星期四启动定时备份任务。"},
    {IDC_ITEM_FRIDAY, L"允许在星期五启动定时备份任务。"},
    {IDC_ITEM_SATURDAY, L"允许在星期六启动定时备份任务。"},
    {IDC_ITEM_SUNDAY, L"允许在星期日启动定时备份任务。"},
    {IDC_ITEM_AUTO, kIntervalHint},
    {IDC_ITEM_AUTO_MINUTE, kIntervalHint},
};

// Hours and minutes below ten are shown with two digits, as a clock shows them.
std::wstring ClockField(int32_t value)
{
    return Format(value < 10 ? L"%02d" : L"%d", value);
}

bool IsFolder(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// What a picked or dropped folder becomes in its field.
std::wstring FolderEntry(const std::wstring& path)
{
    std::wstring entry = TrimWhiteSpace(path);
    if (entry.size() >= 2 && entry[1] == L':' && IsFolder(entry))
        entry = NormaliseFolderEntry(entry);
    return entry;
}

}  // namespace

CItemEditDlg::CItemEditDlg(CBackupItem& task, bool isNew, const AppSettings& settings, HWND mainWindow)
    : task_(task), isNew_(isNew), settings_(settings), mainWindow_(mainWindow)
{
}

INT_PTR CItemEditDlg::Run(HWND owner)
{
    return DoModal(::GetModuleHandleW(nullptr), IDD_ITEM_EDIT, owner);
}

bool CItemEditDlg::IsBusy() const
{
    return task_.state.load() != kTaskIdle;
}

bool CItemEditDlg::OnInit()
{
    HWND d = Handle();
    const int iconSize = ::GetSystemMetrics(SM_CXSMICON);
    browseIcon_.reset(static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_BROWSE),
                                                      IMAGE_ICON, iconSize, iconSize, LR_DEFAULTCOLOR)));
    for (int id : {IDC_ITEM_BROWSE_SOURCE, IDC_ITEM_BROWSE_DEST})
        ::SendDlgItemMessageW(d, id, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(browseIcon_.get()));
    ::SetWindowTextW(d, isNew_ ? L"新增备份任务" : L"修改备份任务");

    if (tips_.Create(d)) {
        for (const Hint& hint : kHints)
            tips_.Add(hint.id, hint.text);
        tips_.Activate(true);
    }
    for (int id : {IDC_ITEM_NAME, IDC_ITEM_SOURCE, IDC_ITEM_DEST})
        ::SendDlgItemMessageW(d, id, EM_LIMITTEXT, kTextLimit, 0);
    // Typing a folder offers the existing ones; a folder dropped from Explorer fills a field.
    for (int id : {IDC_ITEM_SOURCE, IDC_ITEM_DEST})
        ::SHAutoComplete(Item(id), SHACF_FILESYS_DIRS);

    entries_ = EntriesOf(task_.Snapshot());
    const bool busy = IsBusy();
    if (busy) {
        for (int id : kInputs)
            ::EnableWindow(Item(id), FALSE);
        ::ShowWindow(Item(IDC_ITEM_BUSY_NOTE), SW_SHOW);
    }
    ::DragAcceptFiles(d, !busy);
    ShowEntries();
    return true;
}

void CItemEditDlg::OnDestroy()
{
    balloon_.Destroy();
    tips_.Destroy();
}

void CItemEditDlg::ShowEntries()
{
    HWND d = Handle();
    SetItemText(d, IDC_ITEM_NAME, entries_.Name);
    SetItemText(d, IDC_ITEM_SOURCE, entries_.Source);
    SetItemText(d, IDC_ITEM_DEST, entries_.Dest);
    SetItemChecked(d, IDC_ITEM_START, entries_.Start);
    SetItemChecked(d, IDC_ITEM_CLOCK, entries_.Clock);
    SetItemChecked(d, IDC_ITEM_HISTORY, entries_.History);
    SetItemChecked(d, IDC_ITEM_FOLLOW, entries_.RemoveFollow);
    SetItemChecked(d, IDC_ITEM_AUTO, entries_.AutoTime);
    SetItemText(d, IDC_ITEM_START_TIME, Format(L"%u", entries_.StartTime));
    SetItemText(d, IDC_ITEM_CLOCK_HOUR, ClockField(entries_.ClockHour));
    SetItemText(d, IDC_ITEM_CLOCK_MINUTE, ClockField(entries_.ClockMinute));
    SetItemText(d, IDC_ITEM_AUTO_MINUTE, Format(L"%u", entries_.AutoMinute));
    for (int bit = 0; bit < 7; ++bit)
        SetItemChecked(d, kWeekdayBoxes[bit], (entries_.Week & (1 << bit)) != 0);
    EnableWeekdays();
}

void CItemEditDlg::EnableWeekdays()
{
    const bool enable = IsItemChecked(Handle(), IDC_ITEM_CLOCK) && !IsBusy();
    for (int id : kWeekdayBoxes)
        ::EnableWindow(Item(id), enable);
}

bool CItemEditDlg::ReadEntries()
{
    HWND d = Handle();
    entries_.Name = GetItemText(d, IDC_ITEM_NAME);
    entries_.Source = GetItemText(d, IDC_ITEM_SOURCE);
    entries_.Dest = GetItemText(d, IDC_ITEM_DEST);
    entries_.Start = IsItemChecked(d, IDC_ITEM_START);
    entries_.Clock = IsItemChecked(d, IDC_ITEM_CLOCK);
    if (!Take(ReadUnsignedField(d, IDC_ITEM_START_TIME), entries_.StartTime) ||
        !Take(ReadIntField(d, IDC_ITEM_CLOCK_HOUR), entries_.ClockHour) ||
        !Take(ReadIntField(d, IDC_ITEM_CLOCK_MINUTE), entries_.ClockMinute))
        return false;
    entries_.History = IsItemChecked(d, IDC_ITEM_HISTORY);
    entries_.RemoveFollow = IsItemChecked(d, IDC_ITEM_FOLLOW);
    entries_.AutoTime = IsItemChecked(d, IDC_ITEM_AUTO);
    if (!Take(ReadUnsignedField(d, IDC_ITEM_AUTO_MINUTE), entries_.AutoMinute))
        return false;
    for (int bit = 0; bit < 7; ++bit) {
        if (IsItemChecked(d, kWeekdayBoxes[bit]))
            entries_.Week |= 1 << bit;
        else
            entries_.Week &= ~(1 << bit);
    }
    return true;
}

bool CItemEditDlg::Validate()
{
    balloon_.Hide();
    if (!ReadEntries())
        return false;
    entries_.Source = NormaliseFolderEntry(entries_.Source);
    entries_.Dest = NormaliseFolderEntry(entries_.Dest);
    ShowEntries();

    const auto confirm = [this] {
        const size_t entries = CountTopLevelEntries(entries_.Dest, kEntryCountLimit);
        if (ShowMessage(Handle(), NonEmptyDestinationQuestion(entries, kEntryCountLimit),
                        MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
            return false;
        if (entries_.History)
            ShowMessage(Handle(), kHistoryNoteText, MB_OK | MB_ICONEXCLAMATION);
        return true;
    };
    const TaskInputCheck check =
        ValidateTaskInput(InputOf(entries_, task_.Snapshot().Dest, settings_.MinTime.load()), confirm);
    if (!check.Ok) {
        balloon_.Show(Handle(), check.ControlId, check.Title, check.Text);
        return false;
    }
    return true;
}

void CItemEditDlg::OnOk()
{
    if (!Validate())
        return;
    if (IsBusy()) {
        ShowMessage(Handle(), kResetRefusedText, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (EntriesDiffer(entries_, task_.Snapshot()))
        StoreEntries(task_, entries_);
    End(IDOK);
}

void CItemEditDlg::HandOver(int mainWindowCommand)
{
    if (!Validate())
        return;
    if (IsBusy()) {
        ShowMessage(Handle(), kResetRefusedText, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (EntriesDiffer(entries_, task_.Snapshot())) {
        ShowMessage(Handle(), kChangedText, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    End(IDCANCEL);
    // Posted, so the main window acts once this dialog is gone and its own messages can show.
    if (mainWindow_)
        ::PostMessageW(mainWindow_, WM_COMMAND, MAKEWPARAM(mainWindowCommand, 0), 0);
}

void CItemEditDlg::Browse(int editId)
{
    const std::wstring path = PickFolder(Handle(), editId == IDC_ITEM_SOURCE ? kSourcePickerTitle : kDestPickerTitle);
    if (!path.empty())
        SetItemText(Handle(), editId, FolderEntry(path));
}

void CItemEditDlg::OnDropFiles(HDROP drop)
{
    wchar_t path[MAX_PATH] = {};
    POINT at{};
    ::DragQueryPoint(drop, &at);
    const bool haveFolder = ::DragQueryFileW(drop, 0, path, MAX_PATH) > 0 && IsFolder(path);
    ::DragFinish(drop);
    if (!haveFolder || IsBusy())
        return;
    // Dropped on the destination's field or button: the destination; anywhere else: the source.
    HWND target = ::ChildWindowFromPointEx(Handle(), at, CWP_SKIPINVISIBLE);
    const int id = target ? ::GetDlgCtrlID(target) : 0;
    const int field = (id == IDC_ITEM_DEST || id == IDC_ITEM_BROWSE_DEST) ? IDC_ITEM_DEST : IDC_ITEM_SOURCE;
    SetItemText(Handle(), field, FolderEntry(path));
}

bool CItemEditDlg::OnCommand(int id, int code, HWND control)
{
    switch (id) {
    case IDC_ITEM_BROWSE_SOURCE:
        Browse(IDC_ITEM_SOURCE);
        return true;
    case IDC_ITEM_BROWSE_DEST:
        Browse(IDC_ITEM_DEST);
        return true;
    case IDC_ITEM_CLOCK:
        if (code == BN_CLICKED)
            EnableWeekdays();
        return true;
    case IDC_ITEM_OK:
        OnOk();
        return true;
    case IDC_ITEM_CLEAN_HISTORY:
        HandOver(ID_CLEAN_HISTORY);
        return true;
    case IDC_ITEM_RESET:
        HandOver(ID_RESET_TASK);
        return true;
    case IDOK:
        // Enter: no button of this dialog is the default one.
        return true;
    default:
        break;
    }
    if (code == EN_CHANGE)
        balloon_.Hide();
    return Dialog::OnCommand(id, code, control);
}

bool CItemEditDlg::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result)
{
    if (message != WM_DROPFILES)
        return false;
    OnDropFiles(reinterpret_cast<HDROP>(wParam));
    result = 0;
    return true;
}

}  // namespace vw
