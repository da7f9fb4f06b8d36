#pragma once
// One HTTP GET into a local file, on WinINet, as both updater threads use it: the manifest and
// every file of a new version. The caller's idle flag is its stop request, tested between reads.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace vw {

enum class FetchEnd {
    Done,           // the whole body (the announced length, or up to the end) was written and the file exists
    BadAddress,     // no server, object and port could be taken from the address
    InternetError,  // a WinINet call failed: connection, send, status query or a read that timed out
    BadStatus,      // the server's status was not 200 (see httpStatus)
    SizeMismatch,   // Content-Length or the body's length differed from the expected size
    TooLarge,       // the body is longer than the caller's limit
    LocalFile,      // the target's folders or the file could not be made or opened
    WriteFailed,    // writing the file failed
    NoData,         // a read returned nothing before the announced length was reached
    Stopped,        // the idle flag was raised
};

struct FetchResult {
    FetchEnd end = FetchEnd::InternetError;
    DWORD httpStatus = 0;
    bool ok() const { return end == FetchEnd::Done; }
};

// What a file download adds to the plain fetch.
struct FetchHooks {
    // The size the manifest promises: a Content-Length or a body of another size ends the fetch.
    std::optional<int64_t> expectedSize;
    // A body sent without Content-Length (chunked, as many CDNs send) is read to its end, but never
    // beyond this many bytes.
    std::optional<int64_t> maxSize;
    std::function<void()> sizeMatches;
    // After each chunk written: bytes so far and the chunk's 0-based number.
    std::function<void(int64_t received, unsigned chunk)> chunkWritten;
};

// Connect 5 s with one retry, send 1 s, receive 7 s. An https address is fetched over TLS. Every
// request goes to the server itself, past any cache: an update must see what is published now.
FetchResult HttpFetch(const std::wstring& address, const std::wstring& target, const std::atomic<int32_t>& idle,
                      const FetchHooks& hooks = {});

}  // namespace vw
