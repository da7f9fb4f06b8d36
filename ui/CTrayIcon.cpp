#include "ui/CTrayIcon.h"

#include <cwchar>

namespace vw {

namespace {

// The record's text fields are fixed arrays: longer texts are cut (the look's tooltip already
// fits; balloon texts are short).
template <size_t N>
void CopyText(wchar_t (&field)[N], const std::wstring& text)
{
    wcsncpy(field, text.c_str(), N - 1);
    field[N - 1] = L'\0';
}

}  // namespace

CTrayIcon::~CTrayIcon()
{
    Delete();
}

NOTIFYICONDATAW CTrayIcon::Record(UINT flags) const
{
    NOTIFYICONDATAW record{};
    record.cbSize = sizeof(record);
    record.hWnd = owner_;
    record.uID = kTrayIconId;
    record.uFlags = flags;
    record.uCallbackMessage = WM_TRAY_NOTIFY_MSG;
    return record;
}

bool CTrayIcon::Create(HWND owner, HICON icon, const std::wstring& tooltip)
{
    if (Shown())
        Delete();
    owner_ = owner;
    NOTIFYICONDATAW record = Record(NIF_MESSAGE | NIF_ICON | NIF_TIP);
    record.hIcon = icon;
    CopyText(record.szTip, tooltip);
    ok_ = ::Shell_NotifyIconW(NIM_ADD, &record) != FALSE;
    return ok_;
}

bool CTrayIcon::SetLook(HICON icon, const std::wstring& tooltip)
{
    NOTIFYICONDATAW record = Record(NIF_MESSAGE | NIF_ICON | NIF_TIP);
    record.hIcon = icon;
    CopyText(record.szTip, tooltip);
    ok_ = ::Shell_NotifyIconW(NIM_MODIFY, &record) != FALSE;
    return ok_;
}

void CTrayIcon::ShowBalloon(const std::wstring& text, const std::wstring& title, DWORD iconKind)
{
    if (!Shown())
        return;
    NOTIFYICONDATAW record = Record(NIF_INFO);
    record.dwInfoFlags = iconKind;
    record.uTimeout = 0;
    CopyText(record.szInfoTitle, title);
    CopyText(record.szInfo, text);
    ::SetTimer(owner_, kBalloonTimerId, kBalloonTimeoutMs, nullptr);
    ::Shell_NotifyIconW(NIM_MODIFY, &record);
}

void CTrayIcon::ClearBalloon()
{
    if (!Shown())
        return;
    NOTIFYICONDATAW record = Record(NIF_INFO);
    ::Shell_NotifyIconW(NIM_MODIFY, &record);
}

void CTrayIcon::Delete()
{
    if (!Shown())
        return;
    NOTIFYICONDATAW record = Record(0);
    if (::Shell_NotifyIconW(NIM_DELETE, &record))
        owner_ = nullptr;
}

}  // namespace vw
