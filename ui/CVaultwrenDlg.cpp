#include "ui/CVaultwrenDlg.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>

#include "app/Autorun.h"
#include "app/Settings.h"
#include "resources/resource.h"
#include "run/LogWriter.h"
#include "run/RunView.h"
#include "run/SleepCatchUp.h"
#include "run/StatusPanel.h"
#include "run/TrayLook.h"
#include "ui/CAboutDlg.h"
#include "ui/COptionsDlg.h"
#include "ui/Dpi.h"
#include "win/Format.h"
#include "win/MessageBox.h"

namespace vw {

namespace {

// How long the exit waits for a worker to stop before it ends the program without it.
constexpr DWORD kExitWaitMs = 5000;
// How long the window's close waits for the updater's thread.
constexpr DWORD kUpdaterExitWaitMs = 2000;
// Between the toolbar's bottom edge and the list's label, pixels at 96 DPI.
constexpr int kGapBelowToolbar = 6;

// The main window of this thread, for the dialog loop's key filter.
thread_local HWND g_keyTarget = nullptr;

// The dialog's own loop hands every message to this filter before the dialog manager sees it:
// Escape hides the window (and goes no further), Home repaints it whole.
LRESULT CALLBACK KeyFilter(int code, WPARAM wParam, LPARAM lParam) noexcept
{
    const auto* msg = reinterpret_cast<const MSG*>(lParam);
    const HWND target = g_keyTarget;
    if (code == MSGF_DIALOGBOX && msg && target && msg->message == WM_KEYDOWN &&
        (msg->hwnd == target || ::IsChild(target, msg->hwnd))) {
        if (msg->wParam == VK_ESCAPE) {
            ::ShowWindow(target, SW_HIDE);
            return 1;
        }
        if (msg->wParam == VK_HOME)
            ::InvalidateRect(target, nullptr, FALSE);
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// A child window's rectangle in its parent's client coordinates.
RECT RectInParent(HWND child)
{
    RECT r{};
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

HICON LoadIconSized(HINSTANCE instance, UINT id, int size)
{
    return static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0));
}

}  // namespace

CVaultwrenDlg::CVaultwrenDlg(HINSTANCE instance, ProfileStore& profile, AppSettings& settings, LogWriter& log,
                             bool startMinimised)
    : instance_(instance), profile_(profile), settings_(settings), log_(log), startMinimised_(startMinimised),
      tasks_(profile, settings), context_(settings), controller_(tasks_, context_, settings),
      runNotifications_(controller_, context_, tray_, log,
                        {[this] { RefreshList(-1); }, [this] { UpdateCommandStates(); },
                         [this](const std::wstring& question) {
                             return ShowMessage(Handle(), question, MB_YESNO | MB_ICONWARNING) == IDYES;
                         },
                         [this](const std::wstring& target) { OfferToOpenRestoredFolder(target); }}),
      update_(instance, profile.RootPath(), tray_,
              {[this] { controller_.StopAll(); }, [this] { ExitSequence(); }, [this] { RefreshList(-1); }})
{
}

CVaultwrenDlg::~CVaultwrenDlg() = default;

INT_PTR CVaultwrenDlg::Run()
{
    return DoModal(instance_, IDD_VAULTWREN_DIALOG, nullptr);
}

void CVaultwrenDlg::Log(std::string_view source, std::wstring_view text) const
{
    log_.WriteLine(source, text);
}

bool CVaultwrenDlg::OnInit()
{
    if (const HMENU system = ::GetSystemMenu(Handle(), FALSE)) {
        wchar_t about[128] = {};
        if (::LoadStringW(instance_, IDS_ABOUTBOX, about, 128) > 0) {
            ::AppendMenuW(system, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuW(system, MF_STRING, IDM_ABOUTBOX, about);
        }
    }

    const UINT dpi = Dpi();
    appIcon_.reset(LoadIconSized(instance_, IDR_MAINFRAME, ::GetSystemMetrics(SM_CXICON)));
    appIconSmall_.reset(LoadIconSized(instance_, IDR_MAINFRAME, ::GetSystemMetrics(SM_CXSMICON)));
    ::SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(appIcon_.get()));
    ::SendMessageW(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(appIconSmall_.get()));

    const std::wstring title = Format(L"%s v%4.2f", kProgramName, kProgramVersion);
    InitTrayIcon();
    ::SetWindowTextW(Handle(), title.c_str());
    update_.Attach(Handle());
    update_.StartAutomaticCheck();

    if (startMinimised_) {
        // No taskbar button while the window lives hidden in the tray.
        const LONG_PTR style = ::GetWindowLongPtrW(Handle(), GWL_EXSTYLE);
        ::SetWindowLongPtrW(Handle(), GWL_EXSTYLE, (style & ~WS_EX_APPWINDOW) | WS_EX_TOOLWINDOW);
        Log("CVaultwrenDlg::OnInitDialog", L"Vaultwren需要最小化启动");
    }

    // The template leaves room for a toolbar of its own guess; the real one's height follows its
    // images and the DPI. The label and the list move up or down to it first, and only then is the
    // list fitted to whole rows and the layout taken as the one resizing starts from.
    toolbar_.Create(Handle(), instance_, dpi);
    RememberLayout();
    LayOut();
    list_.SetUp(Item(IDC_TASK_LIST), Dpi());
    RememberLayout();

    controller_.ResetRun(Handle());
    if (tasks_.LoadAll()) {
        controller_.RescheduleAll(true);
        RefreshList(-1);
    }
    UpdateCommandStates();

    g_keyTarget = Handle();
    keyFilter_.reset(::SetWindowsHookExW(WH_MSGFILTER, KeyFilter, nullptr, ::GetCurrentThreadId()));

    Log("CVaultwrenDlg::OnInitDialog", L"Vaultwren完成窗口初始化");
    return true;
}

void CVaultwrenDlg::InitTrayIcon()
{
    tray_.Create(Handle(), instance_);
    Log("CVaultwrenDlg::InitTrayIcon", L"Vaultwren初始化托盘图标");
}

bool CVaultwrenDlg::OnCommand(int id, int code, HWND control)
{
    using Handler = void (CVaultwrenDlg::*)();
    struct Entry {
        int id;
        Handler handler;
    };
    static constexpr Entry kCommands[] = {
        {ID_ADD_TASK, &CVaultwrenDlg::AddTask},
        {ID_EDIT_TASK, &CVaultwrenDlg::EditSelectedTask},
        {ID_DELETE_TASK, &CVaultwrenDlg::DeleteSelectedTask},
        {ID_START, &CVaultwrenDlg::StartAllOrResume},
        {ID_PAUSE, &CVaultwrenDlg::Pause},
        {ID_STOP, &CVaultwrenDlg::StopAll},
        {ID_MOVE_UP, &CVaultwrenDlg::MoveSelectedUp},
        {ID_MOVE_DOWN, &CVaultwrenDlg::MoveSelectedDown},
        {ID_START_TASK, &CVaultwrenDlg::StartSelectedTask},
        {ID_PAUSE_TASK, &CVaultwrenDlg::PauseSelectedTask},
        {ID_STOP_TASK, &CVaultwrenDlg::StopSelectedTask},
        {ID_OPEN_BACKUP_FOLDER, &CVaultwrenDlg::OpenBackupFolder},
        {ID_OPEN_HISTORY_FOLDER, &CVaultwrenDlg::OpenHistoryFolder},
        {ID_RESET_TASK, &CVaultwrenDlg::ResetSelectedTask},
        {ID_CLEAN_HISTORY, &CVaultwrenDlg::CleanSelectedHistory},
        {ID_VERIFY_TASK, &CVaultwrenDlg::VerifySelectedTask},
        {ID_RESTORE_TASK, &CVaultwrenDlg::RestoreFromSelectedTask},
        {ID_SHOW_WINDOW, &CVaultwrenDlg::ShowMainWindow},
        {ID_UPDATE, &CVaultwrenDlg::CheckForUpdate},
        {ID_OPTIONS, &CVaultwrenDlg::ShowOptions},
        {ID_ABOUT, &CVaultwrenDlg::ShowAbout},
        {ID_EXIT, &CVaultwrenDlg::PostExit},
        {IDCANCEL, &CVaultwrenDlg::ExitSequence},
    };
    if (id == IDOK)
        return true;  // Enter does nothing in this window
    for (const Entry& entry : kCommands) {
        if (entry.id == id) {
            (this->*entry.handler)();
            UpdateCommandStates();
            return true;
        }
    }
    return Dialog::OnCommand(id, code, control);
}

bool CVaultwrenDlg::OnNotify(NMHDR& header)
{
    if (firstRepaint_) {
        firstRepaint_ = false;
        ::InvalidateRect(Handle(), nullptr, FALSE);
    }
    if (header.code == TTN_GETDISPINFOW && toolbar_.Handle()) {
        auto& info = reinterpret_cast<NMTTDISPINFOW&>(header);
        if (const wchar_t* label = MainToolbar::Label(static_cast<UINT>(header.idFrom)); *label) {
            info.lpszText = const_cast<wchar_t*>(label);
            return true;
        }
        return false;
    }
    if (header.idFrom != IDC_TASK_LIST)
        return false;
    switch (header.code) {
    case NM_CLICK:
    case NM_DBLCLK:
    case NM_RCLICK:
    case NM_RDBLCLK:
        list_.Control().OnClickNotify(reinterpret_cast<NMITEMACTIVATE&>(header));
        break;
    case LVN_ITEMCHANGED:
        UpdateCommandStates();
        return false;
    default:
        return false;
    }
    if (header.code == NM_DBLCLK && SelectedTask())
        ::PostMessageW(Handle(), WM_COMMAND, ID_EDIT_TASK, 0);
    if (header.code == NM_RCLICK) {
        POINT point = reinterpret_cast<NMITEMACTIVATE&>(header).ptAction;
        ::SendMessageW(Handle(), WM_TASK_MENU_MSG, 0, reinterpret_cast<LPARAM>(&point));
    }
    SetResult(0);
    return true;
}

void CVaultwrenDlg::OnTimer(UINT_PTR id)
{
    if (id == kBalloonTimerId) {
        ::KillTimer(Handle(), id);
        tray_.ClearBalloon();
    } else if (id == kNoticeTimerId) {
        update_.OnNoticeTimer();
    } else if (id == kStatusTimerId) {
        if (controller_.FinishStopIfWorkerEnded())
            RefreshList(-1);
        else if (context_.runState.load() == kRunRunning)
            RefreshStatusPanel();
    } else if (controller_.HandleTimer(id)) {
        RefreshList(-1);
    }
}

bool CVaultwrenDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result)
{
    static const UINT taskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");
    if (runNotifications_.OnMessage(message, wParam, lParam)) {
        SetResult(0);
        return true;
    }
    if (update_.OnMessage(message, wParam, lParam)) {
        SetResult(0);
        return true;
    }
    if (message == taskbarCreated && taskbarCreated != 0) {
        // A new taskbar knows no icons: add ours again, in the look the run has now.
        InitTrayIcon();
        const RunView view = ReadRunView(controller_, context_);
        tray_.ShowLook(TrayLookFor(view.runState, view.hasCurrentTask ? &view.currentTaskName : nullptr, view.runKind));
        return true;
    }
    switch (message) {
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORMSGBOX:
        result = reinterpret_cast<INT_PTR>(OnCtlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
        return result != 0;
    case WM_DRAWITEM:
        if (wParam != IDC_TASK_LIST)
            return false;
        list_.Control().DrawRow(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return true;
    case WM_SYSCOMMAND:
        return OnSysCommand(wParam);
    case WM_CLOSE:
        OnClose();
        return true;
    case WM_PAINT:
        if (!::IsIconic(Handle()))
            return false;
        PaintIconic();
        return true;
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<INT_PTR>(appIconSmall_.get());
        return true;
    case WM_NCPAINT:
        return HideAtMinimisedStart();
    case WM_SIZE:
        LayOut();
        return false;
    case WM_GETMINMAXINFO:
        // At the DPI the window has now: a DPI change asks for this while it resizes the window.
        if (minimumSize_.cx > 0 && layoutDpi_ > 0)
            reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {
                ::MulDiv(minimumSize_.cx, static_cast<int>(Dpi()), static_cast<int>(layoutDpi_)),
                ::MulDiv(minimumSize_.cy, static_cast<int>(Dpi()), static_cast<int>(layoutDpi_))};
        return false;
    case WM_TIMECHANGE:
        controller_.ClockChanged();
        RefreshList(-1);
        return false;
    case WM_POWERBROADCAST:
        if (wParam == PBT_APMRESUMEAUTOMATIC) {
            CatchUpAfterSleep(controller_, tasks_, DateTime::Now());
            RefreshList(-1);
        }
        return false;
    case WM_TASK_MENU_MSG:
        ShowTaskMenu(*reinterpret_cast<const POINT*>(lParam));
        SetResult(0);
        return true;
    case WM_TRAY_NOTIFY_MSG:
        OnTrayNotify(wParam, lParam);
        SetResult(0);
        return true;
    default:
        return false;
    }
}

void CVaultwrenDlg::OnDestroy()
{
    if (!update_.Close(kUpdaterExitWaitMs)) {
        // Held in a network call: the thread uses the updater this window owns, so the program
        // ends before the window object goes, as for a worker that cannot stop.
        workerLeftRunning_ = true;
        Log("CVaultwrenDlg::OnDestroy", L"软件升级的检查或下载仍在进行，未能等到它停止，程序直接退出");
    }
    keyFilter_.reset();
    if (g_keyTarget == Handle())
        g_keyTarget = nullptr;
}

HBRUSH CVaultwrenDlg::OnCtlColor(HDC dc, HWND control)
{
    if (firstRepaint_) {
        firstRepaint_ = false;
        ::InvalidateRect(Handle(), nullptr, FALSE);
        Log("CVaultwrenDlg::OnCtlColor", L"Vaultwren第一次刷新");
    }
    if (!whiteBrush_)
        whiteBrush_.reset(::CreateSolidBrush(RGB(255, 255, 255)));
    const auto white = static_cast<HBRUSH>(whiteBrush_.get());
    const int id = control ? ::GetDlgCtrlID(control) : 0;
    if (id == IDC_STATUS_PANEL || id == IDC_STATUS_GROUP || id == IDC_TASK_LIST_LABEL) {
        ::SetBkColor(dc, RGB(255, 255, 255));
        ::SetTextColor(dc, RGB(0, 0, 0));
        return white;
    }
    // The window itself and what stands on it without a colour of its own: the white background.
    if (!control || control == Handle())
        return white;
    return nullptr;
}

void CVaultwrenDlg::ShowOptions()
{
    // The settings change what a run does: only between runs, whatever sent the command.
    if (context_.runState.load() != kRunIdle)
        return;
    EditOptions(Handle(), profile_, settings_, Autorun());
}

void CVaultwrenDlg::CheckForUpdate()
{
    update_.CheckByHand();
}

void CVaultwrenDlg::ShowAbout()
{
    CAboutDlg(profile_).Run(Handle());
}

bool CVaultwrenDlg::OnSysCommand(WPARAM command)
{
    if ((command & 0xFFF0) == IDM_ABOUTBOX) {
        ShowAbout();
        return true;
    }
    if ((command & 0xFFF0) == SC_CLOSE)
        closeToTray_ = true;  // the default handling goes on to WM_CLOSE
    if ((command & 0xFFF0) == SC_MINIMIZE) {
        // Minimising activates some other window: a notice on screen should be the one in front.
        ::DefWindowProcW(Handle(), WM_SYSCOMMAND, command, 0);
        update_.RaiseNotice();
        return true;
    }
    return false;
}

void CVaultwrenDlg::OnClose()
{
    if (closeToTray_) {
        closeToTray_ = false;
        ::ShowWindow(Handle(), SW_HIDE);
        return;
    }
    ExitSequence();
}

bool CVaultwrenDlg::HideAtMinimisedStart()
{
    if (!startMinimised_)
        return false;
    // The dialog loop shows its window when the queue first runs empty: take it away again
    // until the user asks for it from the tray.
    ::ShowWindow(Handle(), SW_HIDE);
    Log("CVaultwrenDlg::DefWindowProcW", L"Vaultwren隐藏窗口");
    SetResult(0);
    return true;
}

void CVaultwrenDlg::PaintIconic()
{
    PAINTSTRUCT paint{};
    const HDC dc = ::BeginPaint(Handle(), &paint);
    ::SendMessageW(Handle(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client{};
    ::GetClientRect(Handle(), &client);
    const int cx = ::GetSystemMetrics(SM_CXICON);
    const int cy = ::GetSystemMetrics(SM_CYICON);
    ::DrawIcon(dc, (client.right - cx + 1) / 2, (client.bottom - cy + 1) / 2, appIcon_.get());
    ::EndPaint(Handle(), &paint);
}

void CVaultwrenDlg::RememberLayout()
{
    ::GetClientRect(Handle(), &initialClient_);
    RECT window{};
    ::GetWindowRect(Handle(), &window);
    minimumSize_ = {window.right - window.left, window.bottom - window.top};
    layoutDpi_ = Dpi();
    for (Anchored& control : anchored_)
        control.initial = RectInParent(Item(control.id));
}

void CVaultwrenDlg::LayOut()
{
    const int toolbarHeight = toolbar_.Place();
    RECT client{};
    ::GetClientRect(Handle(), &client);
    if (::IsIconic(Handle()) || initialClient_.right == 0 || client.right == 0)
        return;
    // The list takes what the window grows by, the status panel keeps to the bottom edge, and the
    // label keeps to the toolbar with the list's top below it.
    const int dx = client.right - initialClient_.right;
    const int dy = client.bottom - initialClient_.bottom;
    const int labelTop = toolbarHeight + ScaleForDpi(kGapBelowToolbar, Dpi());
    const auto label = std::find_if(std::begin(anchored_), std::end(anchored_),
                                    [](const Anchored& control) { return control.id == IDC_TASK_LIST_LABEL; });
    const int shift = labelTop - label->initial.top;
    for (const Anchored& control : anchored_) {
        RECT r = control.initial;
        r.right += dx;
        if (control.id == IDC_TASK_LIST_LABEL) {
            r.top += shift;
            r.bottom += shift;
        } else if (control.id == IDC_TASK_LIST) {
            r.top += shift;
            r.bottom += dy;
        } else {
            r.top += dy;
            r.bottom += dy;
        }
        ::SetWindowPos(Item(control.id), nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ::InvalidateRect(Handle(), nullptr, TRUE);
}

void CVaultwrenDlg::OnDpiChanged(UINT oldDpi, UINT newDpi)
{
    const auto scale = [&](LONG value) { return ::MulDiv(value, static_cast<int>(newDpi), static_cast<int>(oldDpi)); };
    const auto scaleRect = [&](RECT& r) { r = {scale(r.left), scale(r.top), scale(r.right), scale(r.bottom)}; };
    // The layout resizing starts from, as the template would have given it at the new DPI.
    scaleRect(initialClient_);
    for (Anchored& control : anchored_)
        scaleRect(control.initial);

    list_.ScaleColumns(oldDpi, newDpi);

    // The toolbar's images are drawn for one DPI: a new toolbar at the new one.
    toolbar_.Create(Handle(), instance_, newDpi);
    UpdateCommandStates();
    LayOut();
}

void CVaultwrenDlg::ExitSequence()
{
    if (controller_.WorkerStopsWithin(kExitWaitMs)) {
        controller_.FinishStopIfWorkerEnded();
        while (context_.runState.load() != kRunIdle) {
            controller_.StopAll();
            if (context_.runState.load() != kRunIdle)
                ::Sleep(100);
        }
    } else {
        // Held in a system call (a dead share) that no stop cuts short: the program ends without
        // it. A copy is written under the work copy's name and takes the real one only when
        // whole, so what the worker leaves is never a partial file under a real name.
        workerLeftRunning_ = true;
        Log("CVaultwrenDlg::OnCancel", StillRunningText(ReadRunView(controller_, context_)));
    }
    tray_.ClearBalloon();
    tray_.Delete();
    Log("CVaultwrenDlg::OnCancel", L"Vaultwren消除托盘图标");
    End(IDCANCEL);
}

}  // namespace vw
