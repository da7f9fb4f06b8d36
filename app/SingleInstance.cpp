#include "app/SingleInstance.h"

namespace vw {

UniqueHandle ClaimSingleInstance(HINSTANCE instance)
{
    UniqueHandle mutex(::CreateMutexW(nullptr, TRUE, kInstanceName));
    const DWORD error = ::GetLastError();
    if (!mutex)
        return {};
    if (error == ERROR_ALREADY_EXISTS) {
        if (HWND first = ::FindWindowW(kInstanceName, nullptr))
            BringWindowForward(first);
        return {};
    }
    RegisterMainWindowClass(instance);
    return mutex;
}

bool RegisterMainWindowClass(HINSTANCE instance)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    if (!::GetClassInfoExW(instance, WC_DIALOG, &windowClass))
        return false;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kInstanceName;
    return ::RegisterClassExW(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void BringWindowForward(HWND window)
{
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    if (::GetWindowPlacement(window, &placement)) {
        placement.showCmd = SW_SHOWNORMAL;
        ::SetWindowPlacement(window, &placement);
    }
    // Wine applies a placement's show command only to windows of the calling process: show it as
    // well (asynchronously, so a busy first instance never holds this one up).
    ::ShowWindowAsync(window, SW_SHOWNORMAL);
    // Topmost and back at once: in front of the others without staying above them.
    constexpr UINT keep = SWP_NOMOVE | SWP_NOSIZE;
    ::SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, keep);
    ::SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, keep);
}

}  // namespace vw
