#pragma once
// The main window's tray: its icon in the notification area with the idle and running looks,
// balloons, and the menu the icon's right button opens. The owner window receives the icon's
// mouse events (WM_TRAY_NOTIFY_MSG) and the menu's commands; what a mouse event asks for is
// TrayActionFor's answer.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "run/TrayLook.h"
#include "ui/CTrayIcon.h"
#include "win/UniqueHandle.h"

namespace vw {

enum class TrayAction { None, ShowWindow, ShowMenu };

// A double click on the icon shows the window, the right button opens the menu; nothing else
// (another icon's events included) does anything.
TrayAction TrayActionFor(WPARAM iconId, LPARAM mouseMessage);

// Readies the tray menu's popup for `runState`: its run items enabled as the run allows, with
// their images (kept in `bitmaps` while the menu lives) at the menu's check-mark size, and "show"
// as the default item.
void PrepareTrayMenu(HMENU popup, HINSTANCE instance, int32_t runState, std::vector<UniqueGdiObject>& bitmaps);

class MainTray {
public:
    MainTray() = default;
    MainTray(const MainTray&) = delete;
    MainTray& operator=(const MainTray&) = delete;

    // Adds the icon to `owner` in the idle look; again for a new taskbar, which knows no icons.
    void Create(HWND owner, HINSTANCE instance);
    void ShowLook(const TrayLook& look);
    void ShowBalloon(const std::wstring& text, const std::wstring& title, DWORD iconKind);
    void ClearBalloon();
    void Delete();
    // The menu at the cursor, for `runState`; its command goes to the owner.
    void ShowMenu(int32_t runState) const;

private:
    HWND owner_ = nullptr;
    HINSTANCE instance_ = nullptr;
    CTrayIcon icon_;
    UniqueIcon idleIcon_;
    UniqueIcon runningIcon_;
};

}  // namespace vw
