#pragma once
// A server on 127.0.0.1 that never accepts: its listening queue is kept full, so a new connection
// to it neither succeeds nor fails until the system gives up (minutes) or the server goes away.
// What a dead network looks like to a client that forces a connection.
#include <cstdint>
#include <string>
#include <vector>

namespace vwtest {

class StalledServer {
public:
    StalledServer();
    ~StalledServer();
    StalledServer(const StalledServer&) = delete;
    StalledServer& operator=(const StalledServer&) = delete;

    bool ok() const { return ok_; }
    std::wstring Url(const std::string& path) const;

private:
    uintptr_t listener_;
    std::vector<uintptr_t> queued_;  // connected, never accepted: they fill the queue
    unsigned short port_ = 0;
    bool ok_ = false;
};

}  // namespace vwtest
