#include "win/HaltPoint.h"

#include <windows.h>

#include <string>

#include "win/UniqueHandle.h"

namespace vw {

namespace {

std::wstring EnvironmentValue(const wchar_t* name)
{
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0)
        return std::wstring();
    std::wstring value(size, L'\0');
    const DWORD length = GetEnvironmentVariableW(name, value.data(), size);
    value.resize(length < size ? length : 0);
    return value;
}

}  // namespace

void HaltPoint(const wchar_t* step)
{
    // Read once: the copy asks after every chunk.
    static const std::wstring wanted = EnvironmentValue(L"VAULTWREN_HALT_AT");
    if (wanted.empty() || wanted != step)
        return;
    const UniqueHandle reached(OpenEventW(EVENT_MODIFY_STATE, FALSE, EnvironmentValue(L"VAULTWREN_HALT_EVENT").c_str()));
    if (reached)
        SetEvent(reached.get());
    // A test that lets the step go on names the event that releases it; else the step waits for good.
    static const std::wstring release = EnvironmentValue(L"VAULTWREN_HALT_RELEASE");
    if (!release.empty()) {
        const UniqueHandle go(OpenEventW(SYNCHRONIZE, FALSE, release.c_str()));
        if (go) {
            WaitForSingleObject(go.get(), INFINITE);
            return;
        }
    }
    for (;;)
        Sleep(INFINITE);
}

}  // namespace vw
