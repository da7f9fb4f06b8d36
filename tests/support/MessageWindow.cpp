#include "support/MessageWindow.h"

#include <algorithm>

#include "engine/Notifications.h"

namespace vwtest {

namespace {

constexpr wchar_t kClassName[] = L"VaultwrenTestMessageWindow";

void RegisterOnce()
{
    static const bool registered = [] {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kClassName;
        return RegisterClassW(&windowClass) != 0;
    }();
    (void)registered;
}

}  // namespace

MessageWindow::MessageWindow() : MessageWindow(vw::WM_DISK_SPACE_LOW_MSG, vw::WM_BACKUP_THREAD_PAUSE_MSG) {}

MessageWindow::MessageWindow(UINT first, UINT last) : first_(first), last_(last)
{
    RegisterOnce();
    window_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                              nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MessageWindow::WindowProc));
}

MessageWindow::~MessageWindow()
{
    DestroyWindow(window_);
}

LRESULT CALLBACK MessageWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<MessageWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    const bool recorded = self && message >= self->first_ && message <= self->last_;
    if (self && (message == WM_TIMER || message == WM_COMMAND || recorded)) {
        if (recorded)
            self->log_.push_back({message, wParam});
        if (self->handler_)
            self->handler_(message, wParam);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool PumpMessagesUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (!done())
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    return true;
}

bool MessageWindow::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    return PumpMessagesUntil(done, limit);
}

void MessageWindow::PumpFor(std::chrono::milliseconds duration)
{
    const auto end = std::chrono::steady_clock::now() + duration;
    PumpUntil([&] { return std::chrono::steady_clock::now() > end; }, duration + std::chrono::seconds(1));
}

bool MessageWindow::Saw(UINT message, WPARAM wParam) const
{
    return std::find(log_.begin(), log_.end(), vwtest::Received{message, wParam}) != log_.end();
}

}  // namespace vwtest
