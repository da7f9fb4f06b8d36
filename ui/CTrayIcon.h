#pragma once
// The program's icon in the notification area: added once with the idle look, changed with the
// run state, short-lived balloons, removed at exit. Its mouse events arrive at the owner window
// as WM_TRAY_NOTIFY_MSG (wParam the icon id, lParam the mouse message).
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace vw {

inline constexpr UINT WM_TRAY_NOTIFY_MSG = WM_USER + 10010;
inline constexpr UINT kTrayIconId = 128;
// The owner window's timer that takes a balloon away after 10 seconds.
inline constexpr UINT_PTR kBalloonTimerId = 999;
inline constexpr UINT kBalloonTimeoutMs = 10000;

class CTrayIcon {
public:
    CTrayIcon() = default;
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;
    // An icon still shown goes with its record.
    ~CTrayIcon();

    // Adds the icon (removing one added before); the result is also the ok flag.
    bool Create(HWND owner, HICON icon, const std::wstring& tooltip);
    // Icon and tooltip; a balloon on show stays as it is.
    bool SetLook(HICON icon, const std::wstring& tooltip);
    // Replaces any balloon on show and (re)arms the owner's 10-second balloon timer; `iconKind`
    // is the record's NIIF_NONE, NIIF_INFO or NIIF_WARNING.
    void ShowBalloon(const std::wstring& text, const std::wstring& title, DWORD iconKind);
    void ClearBalloon();
    // A second delete does nothing.
    void Delete();

    bool Ok() const noexcept { return ok_; }
    bool Shown() const noexcept { return ok_ && owner_; }

private:
    NOTIFYICONDATAW Record(UINT flags) const;

    HWND owner_ = nullptr;
    bool ok_ = false;
};

}  // namespace vw
