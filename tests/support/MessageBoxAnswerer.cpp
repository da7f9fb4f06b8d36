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
}  // namespace

MessageBoxAnswerer::MessageBoxAnswerer(int button) : button_(button), thread_([this] { Run(); }) {}

MessageBoxAnswerer::~MessageBoxAnswerer()
{
    stop_ = true;
    thread_.join();
}

std::vector<std::wstring> MessageBoxAnswerer::Texts() const
{
    std::lock_guard lock(mutex_);
    return texts_;
}

void MessageBoxAnswerer::Run()
{
    using namespace std::chrono_literals;
    while (!stop_) {
        HWND box = ::FindWindowW(L"#32770", vw::kProgramName);
        if (box && ::IsWindowVisible(box)) {
            {
                std::lock_guard lock(mutex_);
                texts_.push_back(ItemText(box, kMessageTextId));
            }
            ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(button_, BN_CLICKED), 0);
            for (int i = 0; i < 250 && ::IsWindow(box); ++i)
                std::this_thread::sleep_for(20ms);
        }
        std::this_thread::sleep_for(20ms);
    }
}

}  // namespace vwtest
