#include "updater/exe/UpdaterLog.h"

#include <windows.h>

#include "win/Format.h"
#include "win/UniqueHandle.h"

namespace vw {

namespace {
constexpr LONGLONG kLogLimit = 64 * 1024;
constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";
}  // namespace

void AppendUpdaterLog(const std::wstring& path, const std::wstring& text)
{
    const UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size))
        return;
    std::string bytes;
    if (size.QuadPart == 0 || size.QuadPart > kLogLimit) {
        SetFilePointer(file.get(), 0, nullptr, FILE_BEGIN);
        SetEndOfFile(file.get());
        bytes = kUtf8Mark;
    } else {
        SetFilePointer(file.get(), 0, nullptr, FILE_END);
    }
    SYSTEMTIME now{};
    GetLocalTime(&now);
    bytes += WideToUtf8(Format(L"%04u-%02u-%02u %02u:%02u:%02u ", now.wYear, now.wMonth, now.wDay, now.wHour,
                               now.wMinute, now.wSecond) +
                        text + L"\r\n");
    DWORD written = 0;
    WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace vw
