#pragma once
// A small HTTP/1.1 server on 127.0.0.1 inside the test process (Winsock, one thread, one
// connection at a time). Each path gets a reply of its own, which can misbehave on purpose.
#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "win/UniqueHandle.h"

namespace vwtest {

struct HttpReply {
    enum class Length { Exact, Missing, Value };

    int status = 200;
    std::string body;
    Length length = Length::Exact;
    long long lengthValue = 0;  // the Content-Length sent with Length::Value
    int failFirst = 0;          // this many requests are answered 500 first
    bool stall = false;         // answer nothing and hold the connection open
    int pieceDelayMs = 0;       // send the body in 1 KiB pieces this far apart
};

class HttpTestServer {
public:
    // On 127.0.0.1 at `port`, or at a port the system picks.
    explicit HttpTestServer(unsigned short port = 0);
    ~HttpTestServer();
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    // `path` starts with "/" and is compared after %XX decoding. Paths not given get 404.
    void Serve(const std::string& path, HttpReply reply);
    // Serves every file below `folder` under `prefix` + its relative path with "/" separators.
    void ServeFolder(const std::wstring& folder, const std::string& prefix);

    std::wstring Url(const std::string& path) const;
    int Requests(const std::string& path) const;
    int TotalRequests() const;

private:
    void Run();
    void Answer(uintptr_t client);

    uintptr_t listener_;
    unsigned short port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex lock_;
    std::map<std::string, HttpReply> replies_;
    std::map<std::string, int> requests_;
    std::thread thread_;
};

}  // namespace vwtest
