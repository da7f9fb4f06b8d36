#include "app/SingleInstance.h"

#include <sddl.h>

#include <utility>
#include <vector>

namespace vw {

std::wstring GlobalInstanceName()
{
    UniqueHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) {
        token.release();
        return {};
    }
    DWORD size = 0;
    ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !::GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size))
        return {};
    wchar_t* text = nullptr;
    if (!::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text))
        return {};
    const UniqueLocalMem owned(text);
    return std::wstring(L"Global\\") + kInstanceName + L"-" + text;
}

InstanceLock::~InstanceLock()
{
    Release();
}

InstanceLock::InstanceLock(InstanceLock&& other) noexcept
    : session_(std::move(other.session_)), global_(std::move(other.global_)), held_(std::exchange(other.held_, false))
{
}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept
{
    if (this != &other) {
        Release();
        session_ = std::move(other.session_);
        global_ = std::move(other.global_);
        held_ = std::exchange(other.held_, false);
    }
    return *this;
}

void InstanceLock::Release()
{
    if (held_) {
        ::ReleaseMutex(session_.get());
        if (global_)
            ::ReleaseMutex(global_.get());
        held_ = false;
    }
    session_.reset();
    global_.reset();
}

bool InstanceLock::Take(DWORD timeoutMs)
{
    if (held_)
        return true;
    if (!session_)
        session_.reset(::CreateMutexW(nullptr, FALSE, kInstanceName));
    if (!session_)
        return false;
    // Without the global name (no SID, or a system that refuses it) the session's name still keeps
    // the programs of this session apart.
    if (!global_) {
        if (const std::wstring name = GlobalInstanceName(); !name.empty())
            global_.reset(::CreateMutexW(nullptr, FALSE, name.c_str()));
    }
    const HANDLE names[] = {session_.get(), global_.get()};
    const DWORD count = global_ ? 2 : 1;
    // Both at once: two programs that each wait for the pair never hold one each.
    const DWORD result = ::WaitForMultipleObjects(count, names, TRUE, timeoutMs);
    held_ = result < WAIT_OBJECT_0 + count || (result >= WAIT_ABANDONED_0 && result < WAIT_ABANDONED_0 + count);
    return held_;
}

InstanceLock ClaimSingleInstance(HINSTANCE instance)
{
    InstanceLock lock;
    // A console run holds the names without a window: wait for its end rather than leave the
    // user without the program for the whole session. A window that shows up meanwhile is
    // another start's, which then is the program.
    while (!lock.Take(0)) {
        if (!lock.made())
            return {};
        if (HWND first = ::FindWindowW(kInstanceName, nullptr)) {
            BringWindowForward(first);
            return {};
        }
        if (lock.Take(500))
            break;
    }
    RegisterMainWindowClass(instance);
    return lock;
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
