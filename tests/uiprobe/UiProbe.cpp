// Drives the running Vaultwren.exe from outside, one step per call, for scripts (the screenshots,
// the run command): finds its main window, sends commands by id, selects and right-clicks rows,
// opens the tray menu, waits for texts and menus. Prints window rectangles as "X Y W H".
//   uiprobe wait-window [seconds]         the main window, through its initialisation and shown
//   uiprobe command ID                    a command by id (posted)
//   uiprobe close-box | visible           the close box; exit code 0 when the window is visible
//   uiprobe wait-text CONTROL TEXT [s]    until the control's text contains TEXT
//   uiprobe text CONTROL                  prints the control's text (UTF-8)
//   uiprobe select ROW | rclick-row ROW   a row of the task list
//   uiprobe tray-menu                     the tray icon's right click, with the cursor near the window
//   uiprobe wait-menu [seconds]           until a popup menu shows; prints its rectangle
//   uiprobe close-menu                    Escape to the open menu
//   uiprobe exit [seconds]                the tray menu's exit; waits until the window is gone
//   uiprobe shot FILE [X Y W H]           the screen, or the part given, saved as a PNG file
// Exit code 0 on success, 1 when what was waited for did not come.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "resources/resource.h"
#include "support/RemoteControls.h"
#include "support/Screenshot.h"
#include "ui/CTrayIcon.h"
#include "win/Format.h"

namespace {

using namespace std::chrono_literals;

template <typename Predicate>
bool WaitFor(Predicate done, int seconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

HWND MainWindow()
{
    return ::FindWindowW(L"CVaultwren", nullptr);
}

HWND OpenMenu()
{
    const HWND menu = ::FindWindowW(L"#32768", nullptr);
    return menu && ::IsWindowVisible(menu) ? menu : nullptr;
}

void PrintRect(HWND window)
{
    RECT r{};
    ::GetWindowRect(window, &r);
    std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
}

int Seconds(int argc, wchar_t** argv, int index, int fallback)
{
    return argc > index ? _wtoi(argv[index]) : fallback;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
        return 2;
    const std::wstring verb = argv[1];
    if (verb == L"shot" && argc > 2) {
        RECT area{};
        if (argc > 6) {
            area.left = _wtoi(argv[3]);
            area.top = _wtoi(argv[4]);
            area.right = area.left + _wtoi(argv[5]);
            area.bottom = area.top + _wtoi(argv[6]);
        }
        return vwtest::SaveScreenArea(argv[2], area) ? 0 : 1;
    }
    if (verb == L"wait-window") {
        HWND window = nullptr;
        const bool found = WaitFor(
            [&] {
                window = MainWindow();
                return window && ::IsWindowVisible(window) &&
                       vwtest::WindowText(window).rfind(L"Vaultwren v", 0) == 0;
            },
            Seconds(argc, argv, 2, 30));
        if (!found)
            return 1;
        std::this_thread::sleep_for(300ms);  // its first paint
        PrintRect(window);
        return 0;
    }
    const HWND window = MainWindow();
    if (!window)
        return 1;
    if (verb == L"visible")
        return ::IsWindowVisible(window) ? 0 : 1;
    if (verb == L"close-box") {
        ::PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    }
    if (verb == L"command" && argc > 2) {
        ::PostMessageW(window, WM_COMMAND, static_cast<WPARAM>(_wtoi(argv[2])), 0);
        return 0;
    }
    if (verb == L"wait-text" && argc > 3) {
        const HWND control = ::GetDlgItem(window, _wtoi(argv[2]));
        const std::wstring text = argv[3];
        return WaitFor([&] { return vwtest::WindowText(control).find(text) != std::wstring::npos; },
                       Seconds(argc, argv, 4, 30))
                   ? 0
                   : 1;
    }
    if (verb == L"text" && argc > 2) {
        const std::string utf8 = vw::WideToUtf8(vwtest::WindowText(::GetDlgItem(window, _wtoi(argv[2]))));
        std::fwrite(utf8.data(), 1, utf8.size(), stdout);
        std::fputs("\n", stdout);
        return 0;
    }
    const HWND list = ::GetDlgItem(window, IDC_TASK_LIST);
    if (verb == L"select" && argc > 2) {
        vwtest::ListViewSelect(list, _wtoi(argv[2]));
        return 0;
    }
    if (verb == L"rclick-row" && argc > 2) {
        const int row = _wtoi(argv[2]);
        vwtest::ListViewSelect(list, row);
        const RECT bounds = vwtest::ListViewRowRect(list, row);
        const LPARAM point = MAKELPARAM(bounds.left + 60, (bounds.top + bounds.bottom) / 2);
        ::PostMessageW(list, WM_RBUTTONDOWN, MK_RBUTTON, point);
        ::PostMessageW(list, WM_RBUTTONUP, 0, point);
        return 0;
    }
    if (verb == L"tray-menu") {
        RECT r{};
        ::GetWindowRect(window, &r);
        ::SetCursorPos(r.right - 40, r.bottom - 40);
        ::PostMessageW(window, vw::WM_TRAY_NOTIFY_MSG, vw::kTrayIconId, WM_RBUTTONDOWN);
        return 0;
    }
    if (verb == L"wait-menu") {
        HWND menu = nullptr;
        if (!WaitFor([&] { return (menu = OpenMenu()) != nullptr; }, Seconds(argc, argv, 2, 10)))
            return 1;
        std::this_thread::sleep_for(300ms);
        PrintRect(menu);
        return 0;
    }
    if (verb == L"close-menu") {
        if (const HWND menu = OpenMenu()) {
            ::PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
            ::PostMessageW(menu, WM_KEYUP, VK_ESCAPE, 0);
        }
        return WaitFor([] { return OpenMenu() == nullptr; }, 5) ? 0 : 1;
    }
    if (verb == L"exit") {
        ::PostMessageW(window, WM_COMMAND, ID_EXIT, 0);
        return WaitFor([&] { return !::IsWindow(window); }, Seconds(argc, argv, 2, 30)) ? 0 : 1;
    }
    return 2;
}
