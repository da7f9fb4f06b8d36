// Stands in for Vaultwren.exe in the updater's end-to-end test: leaves "started.txt" beside itself,
// so the test sees that the updater started the program again, and from where.
#include <windows.h>

#include <string>

#include "win/UniqueHandle.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring marker(self, length);
    marker.resize(marker.rfind(L'\\') + 1);
    marker += L"started.txt";
    const vw::UniqueFile file(
        CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file ? 0 : 1;
}
