#include "support/MessageBoxAnswerer.h"

#include <chrono>

#include "win/MessageBox.h"

namespace vwtest {

namespace {
constexpr int kMessageTextId = 0xFFFF;  // the static control that holds a message box's text

std::wstring ItemText(HWND box, int id)
{
    wchar_t text[1024] = {};
    ::GetDlgItemTextW(box, id, text, static_cast<int>(std::size(text)));
    return text;
}

HICON IconOf(HWND box)
{
    HICON icon = nullptr;
    ::EnumChildWindows(
        box,
        [](HWND child, LPARAM out) -> BOOL {
            wchar_t name[16] = {};
            ::GetClassNameW(child, name, 16);
            if (::lstrcmpiW(name, L"Static") != 0 || (::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON)
                return TRUE;
            *reinterpret_cast<HICON*>(out) = reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0));
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&icon));
    return icon;
}
int OpenBoxes()
{
    int open = 0;
    ::EnumWindows(
        [](HWND window, LPARAM count) -> BOOL {
            wchar_t name[16] = {};
            wchar_t caption[64] = {};
            ::GetClassNameW(window, name, 16);
            ::GetWindowTextW(window, caption, 64);
            if (::IsWindowVisible(window) && ::lstrcmpW(name, L"#32770") == 0 &&
                ::lstrcmpW(caption, vw::kProgramName) == 0)
                ++*reinterpret_cast<int*>(count);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&open));
    return open;
}
}  // namespace

MessageBoxAnswerer::MessageBoxAnswerer(int button, std::chrono::milliseconds think)
    : button_(button), think_(think), thread_([this] { Run(); })
{
}

MessageBoxAnswerer::~MessageBoxAnswerer()
{
    stop_ = true;
    thread_.join();
}

std::vector<std::wstring> MessageBoxAnswerer::Texts() const
{
    std::vector<std::wstring> texts;
    for (const AnsweredBox& box : Boxes())
        texts.push_back(box.text);
    return texts;
}

std::vector<AnsweredBox> MessageBoxAnswerer::Boxes() const
{
    std::lock_guard lock(mutex_);
    return boxes_;
}

void MessageBoxAnswerer::Run()
{
    using namespace std::chrono_literals;
    while (!stop_) {
        HWND box = ::FindWindowW(L"#32770", vw::kProgramName);
        if (box && ::IsWindowVisible(box)) {
            AnsweredBox seen{ItemText(box, kMessageTextId), IconOf(box),
                             ::GetDlgItem(box, IDYES) && ::GetDlgItem(box, IDNO)};
            {
                std::lock_guard lock(mutex_);
                boxes_.push_back(std::move(seen));
            }
            for (auto end = std::chrono::steady_clock::now() + think_;;) {
                const int open = OpenBoxes();
                if (open > mostOpen_.load())
                    mostOpen_ = open;
                if (std::chrono::steady_clock::now() >= end || stop_)
                    break;
                std::this_thread::sleep_for(50ms);
            }
            const bool onlyOk = !::GetDlgItem(box, button_) && ::GetDlgItem(box, IDOK);
            const int button = onlyOk ? IDOK : button_;
            ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
            for (int i = 0; i < 250 && ::IsWindow(box); ++i)
                std::this_thread::sleep_for(20ms);
        }
        std::this_thread::sleep_for(20ms);
    }
}

}  // namespace vwtest
