#include "support/ModalDriver.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace vwtest {

namespace {

using namespace std::chrono_literals;

struct Search {
    const std::wstring* caption;
    HWND found;
};

BOOL CALLBACK MatchCaption(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<Search*>(data);
    wchar_t text[256] = {};
    ::GetWindowTextW(window, text, 256);
    if (::IsWindowVisible(window) && *search->caption == text) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForWindow(DWORD thread, const std::wstring& caption)
{
    for (int i = 0; i < 500; ++i) {
        Search search{&caption, nullptr};
        ::EnumThreadWindows(thread, MatchCaption, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return search.found;
        std::this_thread::sleep_for(20ms);
    }
    return nullptr;
}

}  // namespace

INT_PTR DriveModal(const std::wstring& caption, const std::function<INT_PTR()>& runModal,
                   const std::function<void(HWND window)>& steps)
{
    const DWORD uiThread = ::GetCurrentThreadId();
    bool shown = true;
    std::thread driver([&] {
        HWND window = WaitForWindow(uiThread, caption);
        if (!window) {
            shown = false;
            return;
        }
        steps(window);
        for (int i = 0; i < 50 && ::IsWindow(window) && ::IsWindowVisible(window); ++i) {
            if (i == 0 || i == 25)
                ::PostMessageW(window, WM_CLOSE, 0, 0);
            std::this_thread::sleep_for(20ms);
        }
    });
    const INT_PTR result = runModal();
    driver.join();
    if (!shown)
        ADD_FAILURE() << "no window captioned \"" << std::string(caption.begin(), caption.end()) << "\" showed";
    return result;
}

void Click(HWND dialog, int id)
{
    // What a click does, without the mouse: an automatic check box changes its state, then the
    // dialog hears of the click. (BM_CLICK takes seconds under Wine.)
    HWND button = ::GetDlgItem(dialog, id);
    if ((::GetWindowLongPtrW(button, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX) {
        const bool checked = ::SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
        ::SendMessageW(button, BM_SETCHECK, checked ? BST_UNCHECKED : BST_CHECKED, 0);
    }
    ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

void Type(HWND dialog, int id, const std::wstring& text)
{
    ::SendMessageW(::GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::wstring TextOf(HWND dialog, int id)
{
    wchar_t text[512] = {};
    ::GetDlgItemTextW(dialog, id, text, 512);
    return text;
}

bool IsChecked(HWND dialog, int id)
{
    return ::SendMessageW(::GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

HWND FocusOf(HWND window)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info);
    return info.hwndFocus;
}

namespace {
struct BalloonSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK MatchBalloon(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<BalloonSearch*>(data);
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    if (std::wstring(name) == TOOLTIPS_CLASSW && ::GetWindow(window, GW_OWNER) == search->owner &&
        (::GetWindowLongPtrW(window, GWL_STYLE) & TTS_BALLOON) && ::IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

Balloon VisibleBalloon(HWND dialog)
{
    BalloonSearch search{dialog, nullptr};
    ::EnumThreadWindows(::GetWindowThreadProcessId(dialog, nullptr), MatchBalloon,
                        reinterpret_cast<LPARAM>(&search));
    Balloon balloon;
    if (!search.found)
        return balloon;
    balloon.window = search.found;
    wchar_t text[256] = {};
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = dialog;
    tool.uId = 1;
    tool.lpszText = text;
    ::SendMessageW(search.found, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
    balloon.text = text;
    return balloon;
}

}  // namespace vwtest
