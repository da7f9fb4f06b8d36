#include "ui/CMessageDlg.h"

#include "resources/resource.h"
#include "win/Dpi.h"

namespace vw {
namespace {

constexpr COLORREF kBackground = RGB(0, 122, 204);
constexpr COLORREF kTitleColour = RGB(0, 32, 64);

}  // namespace

CMessageDlg::~CMessageDlg()
{
    if (Handle())
        ::DestroyWindow(Handle());
}

bool CMessageDlg::Create(HINSTANCE instance)
{
    return Dialog::Create(instance, IDD_MESSAGE_DLG, ::GetDesktopWindow());
}

void CMessageDlg::SetAddress(const std::wstring& address)
{
    address_ = address;
    if (initialised_ && !address_.empty())
        browser_.Navigate(address_);
}

void CMessageDlg::Show(int seconds)
{
    ::ShowWindow(Handle(), SW_SHOW);
    ::SetForegroundWindow(Handle());
    if (seconds != 0)
        ::SetTimer(Handle(), kCloseTimerId, static_cast<UINT>(seconds) * 1000u, nullptr);
    else
        ::KillTimer(Handle(), kCloseTimerId);
}

void CMessageDlg::Close()
{
    ::ShowWindow(Handle(), SW_HIDE);
}

bool CMessageDlg::OnInit()
{
    HWND window = Handle();
    // A tool window: no taskbar button for a passing notice.
    LONG_PTR exStyle = ::GetWindowLongPtrW(window, GWL_EXSTYLE);
    ::SetWindowLongPtrW(window, GWL_EXSTYLE, (exStyle & ~WS_EX_APPWINDOW) | WS_EX_TOOLWINDOW);
    PlaceInWorkArea();
    background_.reset(::CreateSolidBrush(kBackground));

    RECT frame{};
    ::GetWindowRect(window, &frame);
    // Pixels at 96 DPI, scaled to the window's.
    const auto px = [this](int at96) { return ScaleForDpi(at96, Dpi()); };
    ::MoveWindow(Item(IDC_NOTICE_CLOSE), (frame.right - frame.left) - px(22), px(2), px(14), px(14), FALSE);

    // A Chinese face: the character set is the system's to pick, an ANSI one would have no glyphs.
    labelFont_.reset(::CreateFontW(px(12), 0, 0, 0, 200, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                   OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                   FF_SWISS | DEFAULT_PITCH, L"黑体"));
    HWND title = Item(IDC_NOTICE_TITLE);
    ::SendMessageW(title, WM_SETFONT, reinterpret_cast<WPARAM>(labelFont_.get()), FALSE);
    ::MoveWindow(title, px(3), px(4), px(70), px(14), FALSE);

    // Without a usable browser control the popup still shows its title and close mark.
    if (browser_.Create(Item(IDC_NOTICE_BROWSER)) && !address_.empty())
        browser_.Navigate(address_);
    initialised_ = true;
    return true;
}

void CMessageDlg::PlaceInWorkArea()
{
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT frame{};
    ::GetWindowRect(Handle(), &frame);
    ::SetWindowPos(Handle(), nullptr, work.right - (frame.right - frame.left),
                   work.bottom - (frame.bottom - frame.top), 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
}

bool CMessageDlg::OnCloseMark(POINT clientPoint) const
{
    POINT screen = clientPoint;
    ::ClientToScreen(Handle(), &screen);
    RECT mark{};
    ::GetWindowRect(Item(IDC_NOTICE_CLOSE), &mark);
    return ::PtInRect(&mark, screen) != FALSE;
}

bool CMessageDlg::OnCommand(int id, int code, HWND control)
{
    // Escape or Enter only hide the popup: the object and its window are kept for the next notice.
    if (id == IDCANCEL || id == IDOK) {
        Close();
        return true;
    }
    return Dialog::OnCommand(id, code, control);
}

void CMessageDlg::OnTimer(UINT_PTR id)
{
    if (id == kCloseTimerId) {
        ::KillTimer(Handle(), kCloseTimerId);
        Close();
        return;
    }
    Dialog::OnTimer(id);
}

bool CMessageDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result)
{
    switch (message) {
    case WM_LBUTTONUP: {
        // The close mark is a plain icon that lets clicks through to the popup.
        POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (!OnCloseMark(point))
            return false;
        Close();
        result = 0;
        return true;
    }
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
        if (message == WM_CTLCOLORSTATIC &&
            reinterpret_cast<HWND>(lParam) == Item(IDC_NOTICE_TITLE)) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            ::SetTextColor(dc, kTitleColour);
            ::SetBkMode(dc, TRANSPARENT);
        }
        result = reinterpret_cast<INT_PTR>(background_.get());
        return true;
    default:
        return Dialog::OnMessage(message, wParam, lParam, result);
    }
}

void CMessageDlg::OnDestroy()
{
    browser_.Destroy();
    initialised_ = false;
}

}  // namespace vw
