#include "run/LogWriter.h"

#include <shlobj.h>

#include <utility>

#include "engine/FileOps.h"
#include "win/Format.h"

namespace vw {

namespace {

constexpr UINT kGbkCodePage = 936;

std::string ToGbk(std::wstring_view text)
{
    if (text.empty())
        return {};
    const int wideLength = static_cast<int>(text.size());
    const int length = WideCharToMultiByte(kGbkCodePage, 0, text.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return {};
    std::string bytes(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(kGbkCodePage, 0, text.data(), wideLength, bytes.data(), length, nullptr, nullptr);
    return bytes;
}

}  // namespace

LogWriter::LogWriter(bool enabled, std::wstring folder, Clock clock)
    : enabled_(enabled), folder_(std::move(folder)), clock_(std::move(clock))
{
}

bool LogWriter::WriteLine(std::string_view source, std::wstring_view text)
{
    if (!enabled_)
        return true;
    SYSTEMTIME now{};
    if (clock_)
        now = clock_();
    else
        GetLocalTime(&now);
    if (!file_) {
        const std::wstring folder = folder_.empty() ? DesktopFolder() : folder_;
        if (folder.empty())
            return false;
        const std::wstring path = JoinName(folder, LogFileName(now));
        // No sharing: a second copy of the program must not write into the first one's log.
        file_.reset(CreateFileW(LongPath(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file_)
            return false;
    }
    const std::string line = FormatLogLine(now, source, text);
    LARGE_INTEGER end{};
    DWORD written = 0;
    if (SetFilePointerEx(file_.get(), LARGE_INTEGER{}, &end, FILE_END) &&
        WriteFile(file_.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr))
        FlushFileBuffers(file_.get());
    return true;
}

std::string FormatLogLine(const SYSTEMTIME& t, std::string_view source, std::wstring_view text)
{
    const std::wstring head = Format(L"%04u-%02u-%02u %02u:%02u:%02u ", t.wYear, t.wMonth, t.wDay, t.wHour,
                                     t.wMinute, t.wSecond);
    std::string line = ToGbk(head);
    line.append(source);
    line += "() ";
    line += ToGbk(text);
    line += "\r\n";
    return line;
}

std::wstring LogFileName(const SYSTEMTIME& t)
{
    return Format(L"VaultwrenLog%04u%02u%02u.txt", t.wYear, t.wMonth, t.wDay);
}

std::wstring DesktopFolder()
{
    // Not verified: a missing folder is not created here, the file's open fails instead.
    wchar_t* path = nullptr;
    const HRESULT found = SHGetKnownFolderPath(FOLDERID_Desktop, KF_FLAG_DONT_VERIFY, nullptr, &path);
    const UniqueCoTaskMem owned(path);
    return SUCCEEDED(found) && path ? std::wstring(path) : std::wstring();
}

}  // namespace vw
