#include "ui/MainTray.h"

#include "engine/RunContext.h"
#include "resources/resource.h"
#include "run/CommandRules.h"

namespace vw {

namespace {

HICON LoadSmallIcon(HINSTANCE instance, UINT id)
{
    const int size = ::GetSystemMetrics(SM_CXSMICON);
    return static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0));
}

}  // namespace

TrayAction TrayActionFor(WPARAM iconId, LPARAM mouseMessage)
{
    if (iconId != kTrayIconId)
        return TrayAction::None;
    if (mouseMessage == WM_LBUTTONDBLCLK)
        return TrayAction::ShowWindow;
    if (mouseMessage == WM_RBUTTONDOWN)
        return TrayAction::ShowMenu;
    return TrayAction::None;
}

void PrepareTrayMenu(HMENU popup, HINSTANCE instance, int32_t runState, std::vector<UniqueGdiObject>& bitmaps)
{
    // The item images at the size the menu draws its check marks, which follows the DPI; their grey
    // background takes the menu's colour.
    const int size = ::GetSystemMetrics(SM_CXMENUCHECK);
    for (const TrayRunItem& item : kTrayRunItems) {
        bitmaps.emplace_back(::LoadImageW(instance, MAKEINTRESOURCEW(item.bitmapId), IMAGE_BITMAP, size, size,
                                           LR_LOADMAP3DCOLORS));
        const auto bitmap = static_cast<HBITMAP>(bitmaps.back().get());
        ::SetMenuItemBitmaps(popup, item.position, MF_BYPOSITION, bitmap, bitmap);
        ::EnableMenuItem(popup, item.command,
                         MF_BYCOMMAND | (TrayCommandEnabled(item.command, runState) ? MF_ENABLED : MF_GRAYED));
    }
    ::SetMenuDefaultItem(popup, ID_SHOW_WINDOW, FALSE);
}

void MainTray::Create(HWND owner, HINSTANCE instance)
{
    owner_ = owner;
    instance_ = instance;
    if (!idleIcon_)
        idleIcon_.reset(LoadSmallIcon(instance, IDI_TRAY_IDLE));
    if (!runningIcon_)
        runningIcon_.reset(LoadSmallIcon(instance, IDI_TRAY_RUNNING));
    icon_.Create(owner, idleIcon_.get(), TrayLookFor(kRunIdle, nullptr, 0).tooltip);
}

void MainTray::ShowLook(const TrayLook& look)
{
    icon_.SetLook(look.iconId == IDI_TRAY_RUNNING ? runningIcon_.get() : idleIcon_.get(), look.tooltip);
}

void MainTray::ShowBalloon(const std::wstring& text, const std::wstring& title, DWORD iconKind)
{
    icon_.ShowBalloon(text, title, iconKind);
}

void MainTray::ClearBalloon()
{
    icon_.ClearBalloon();
}

void MainTray::Delete()
{
    icon_.Delete();
}

void MainTray::ShowMenu(int32_t runState) const
{
    const UniqueMenu menu(::LoadMenuW(instance_, MAKEINTRESOURCEW(IDR_TRAY_MENU)));
    const HMENU popup = menu ? ::GetSubMenu(menu.get(), 0) : nullptr;
    if (!popup)
        return;
    std::vector<UniqueGdiObject> bitmaps;
    PrepareTrayMenu(popup, instance_, runState, bitmaps);
    POINT cursor{};
    ::GetCursorPos(&cursor);
    // In front, or the menu would not close when the user clicks elsewhere.
    ::SetForegroundWindow(owner_);
    ::TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_BOTTOMALIGN, cursor.x, cursor.y, 0, owner_, nullptr);
    ::PostMessageW(owner_, WM_NULL, 0, 0);
}

}  // namespace vw
