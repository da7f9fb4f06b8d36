#include "updater/HttpFetch.h"

#include <wininet.h>

#include <cwchar>
#include <vector>

#include "updater/CKoFile.h"
#include "win/UniqueHandle.h"

namespace vw {

namespace {

struct Address {
    std::wstring server;
    std::wstring object;
    INTERNET_PORT port = 0;
    bool secure = false;
};

bool SplitAddress(const std::wstring& address, Address& out)
{
    if (address.empty())
        return false;
    std::vector<wchar_t> host(INTERNET_MAX_HOST_NAME_LENGTH + 1);
    std::vector<wchar_t> path(INTERNET_MAX_PATH_LENGTH + 1);
    std::vector<wchar_t> extra(INTERNET_MAX_PATH_LENGTH + 1);
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host.data();
    parts.dwHostNameLength = static_cast<DWORD>(host.size());
    parts.lpszUrlPath = path.data();
    parts.dwUrlPathLength = static_cast<DWORD>(path.size());
    parts.lpszExtraInfo = extra.data();
    parts.dwExtraInfoLength = static_cast<DWORD>(extra.size());
    if (!InternetCrackUrlW(address.c_str(), 0, 0, &parts))
        return false;
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)
        return false;
    out.server.assign(host.data(), parts.dwHostNameLength);
    out.object.assign(path.data(), parts.dwUrlPathLength);
    out.object.append(extra.data(), parts.dwExtraInfoLength);
    if (out.object.empty())
        out.object = L"/";
    out.port = parts.nPort;
    out.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    return !out.server.empty();
}

void SetTimeouts(HINTERNET handle)
{
    struct Option {
        DWORD option;
        DWORD value;
    };
    static constexpr Option kOptions[] = {
        {INTERNET_OPTION_CONNECT_TIMEOUT, 5000},       {INTERNET_OPTION_SEND_TIMEOUT, 1000},
        {INTERNET_OPTION_RECEIVE_TIMEOUT, 7000},       {INTERNET_OPTION_DATA_SEND_TIMEOUT, 1000},
        {INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, 7000},  {INTERNET_OPTION_CONNECT_RETRIES, 1},
    };
    for (const Option& option : kOptions) {
        DWORD value = option.value;
        InternetSetOptionW(handle, option.option, &value, sizeof value);
    }
}

bool QueryStatus(HINTERNET request, DWORD& status)
{
    DWORD size = sizeof status;
    return HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) != FALSE;
}

// Nothing when the header is missing (a chunked body) or no number.
std::optional<int64_t> QueryContentLength(HINTERNET request)
{
    wchar_t text[64] = {};
    DWORD size = sizeof text;
    if (!HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr))
        return std::nullopt;
    wchar_t* end = nullptr;
    const long long length = std::wcstoll(text, &end, 10);
    if (end == text || length < 0)
        return std::nullopt;
    return length;
}

}  // namespace

FetchResult HttpFetch(const std::wstring& address, const std::wstring& target, const std::atomic<int32_t>& idle,
                      const FetchHooks& hooks)
{
    FetchResult result;
    // Declared in this order so that they close request first, session last.
    UniqueInternet session(InternetOpenW(L"Vaultwren", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session)
        return result;
    Address parts;
    if (idle.load() == 1) {
        result.end = FetchEnd::Stopped;
        return result;
    }
    if (!SplitAddress(address, parts)) {
        result.end = FetchEnd::BadAddress;
        return result;
    }
    // WinINet hands a handle's options on to the handles made from it when they are made: set on
    // the session before connecting, the timeouts hold for this connection and its request.
    SetTimeouts(session.get());
    UniqueInternet connection(InternetConnectW(session.get(), parts.server.c_str(), parts.port, nullptr, nullptr,
                                               INTERNET_SERVICE_HTTP, 0, 1));
    if (!connection)
        return result;
    const DWORD flags = INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                        INTERNET_FLAG_PRAGMA_NOCACHE | (parts.secure ? INTERNET_FLAG_SECURE : 0);
    UniqueInternet request(
        HttpOpenRequestW(connection.get(), L"GET", parts.object.c_str(), nullptr, nullptr, nullptr, flags, 1));
    if (!request)
        return result;
    // Once more on the request itself: not every WinINet hands the session's receive timeouts on.
    SetTimeouts(request.get());
    if (!HttpSendRequestW(request.get(), nullptr, 0, nullptr, 0))
        return result;

    if (!QueryStatus(request.get(), result.httpStatus))
        return result;
    if (result.httpStatus != HTTP_STATUS_OK) {
        result.end = FetchEnd::BadStatus;
        return result;
    }
    const std::optional<int64_t> length = QueryContentLength(request.get());
    std::optional<int64_t> limit = hooks.maxSize;
    if (hooks.expectedSize) {
        if (length && *hooks.expectedSize != *length) {
            result.end = FetchEnd::SizeMismatch;
            return result;
        }
        limit = *hooks.expectedSize;
        if (hooks.sizeMatches)
            hooks.sizeMatches();
    }
    if (length && limit && *length > *limit) {
        result.end = FetchEnd::TooLarge;
        return result;
    }

    CKoFile file;
    if (!file.Open(target, CKoFile::modeCreate | CKoFile::modeWrite)) {
        result.end = FetchEnd::LocalFile;
        return result;
    }
    char buffer[1024] = {};
    int64_t received = 0;
    unsigned chunk = 0;
    while (!length || received < *length) {
        if (idle.load() == 1) {
            result.end = FetchEnd::Stopped;
            return result;
        }
        // Never more than the server announced, so the file is never longer than promised.
        const DWORD wanted =
            static_cast<DWORD>(length && *length - received < 1023 ? *length - received : 1023);
        DWORD read = 0;
        if (!InternetReadFile(request.get(), buffer, wanted, &read))
            return result;
        if (read == 0) {
            if (!length)
                break;  // the end of a body sent without its length
            result.end = FetchEnd::NoData;
            return result;
        }
        if (limit && received + read > *limit) {
            result.end = hooks.expectedSize ? FetchEnd::SizeMismatch : FetchEnd::TooLarge;
            return result;
        }
        if (!file.Write(buffer, read)) {
            result.end = FetchEnd::WriteFailed;
            return result;
        }
        received += read;
        if (hooks.chunkWritten)
            hooks.chunkWritten(received, chunk);
        ++chunk;
    }
    if (hooks.expectedSize && received != *hooks.expectedSize) {
        result.end = FetchEnd::SizeMismatch;
        return result;
    }
    file.Close();
    result.end = GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES ? FetchEnd::Done : FetchEnd::LocalFile;
    return result;
}

}  // namespace vw
