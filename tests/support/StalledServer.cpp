#include "support/StalledServer.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include "win/Format.h"

namespace vwtest {

StalledServer::StalledServer()
{
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    if (listener_ == INVALID_SOCKET || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 1) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return;
    port_ = ntohs(address.sin_port);
    // More connections than any small queue holds; those beyond it stay half-open, without harm.
    for (int i = 0; i < 8; ++i) {
        const SOCKET client = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        u_long nonBlocking = 1;
        ::ioctlsocket(client, FIONBIO, &nonBlocking);
        ::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address);
        queued_.push_back(client);
    }
    ::Sleep(200);  // the handshakes of the queued ones complete
    ok_ = true;
}

StalledServer::~StalledServer()
{
    for (const uintptr_t client : queued_)
        ::closesocket(client);
    if (listener_ != INVALID_SOCKET)
        ::closesocket(listener_);
}

std::wstring StalledServer::Url(const std::string& path) const
{
    return vw::Format(L"http://127.0.0.1:%u%s", static_cast<unsigned>(port_), vw::Utf8ToWide(path).c_str());
}

}  // namespace vwtest
