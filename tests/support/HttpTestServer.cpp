#include "support/HttpTestServer.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <sstream>
#include <stdexcept>

#include "support/TestDrives.h"
#include "win/Format.h"

namespace vwtest {

namespace {

struct SocketTraits {
    using Type = uintptr_t;
    static Type Invalid() noexcept { return INVALID_SOCKET; }
    static void Close(Type socket) noexcept { closesocket(socket); }
};
using UniqueSocket = vw::UniqueAny<SocketTraits>;

struct WinsockStartup {
    WinsockStartup()
    {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
};

bool Readable(uintptr_t socket, int timeoutMs)
{
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    timeval wait{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    return select(0, &set, nullptr, nullptr, &wait) > 0;
}

bool SendAll(uintptr_t socket, const char* data, size_t size)
{
    while (size > 0) {
        const int sent = send(socket, data, static_cast<int>(size), 0);
        if (sent <= 0)
            return false;
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

const char* Reason(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 404:
        return "Not Found";
    default:
        return "Error";
    }
}

std::string DecodePercents(const std::string& path)
{
    std::string decoded;
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '%' && i + 2 < path.size() && isxdigit(static_cast<unsigned char>(path[i + 1])) &&
            isxdigit(static_cast<unsigned char>(path[i + 2]))) {
            decoded += static_cast<char>(std::stoi(path.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            decoded += path[i];
        }
    }
    return decoded;
}

void ServeTree(HttpTestServer& server, const std::wstring& folder, const std::string& prefix)
{
    WIN32_FIND_DATAW data;
    const vw::UniqueFindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (!find)
        return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring path = folder + L"\\" + name;
        const std::string url = prefix + "/" + vw::WideToUtf8(name);
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ServeTree(server, path, url);
        } else {
            HttpReply reply;
            reply.body = ReadFileBytes(path);
            server.Serve(url, reply);
        }
    } while (FindNextFileW(find.get(), &data));
}

}  // namespace

HttpTestServer::HttpTestServer(unsigned short port)
{
    static WinsockStartup startup;
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener_ == INVALID_SOCKET)
        throw std::runtime_error("no socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    int size = sizeof address;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 8) != 0 || getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        closesocket(listener_);
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread(&HttpTestServer::Run, this);
}

HttpTestServer::~HttpTestServer()
{
    stopping_ = true;
    thread_.join();
    closesocket(listener_);
}

void HttpTestServer::Serve(const std::string& path, HttpReply reply)
{
    const std::lock_guard guard(lock_);
    replies_[path] = std::move(reply);
}

void HttpTestServer::ServeFolder(const std::wstring& folder, const std::string& prefix)
{
    ServeTree(*this, folder, prefix);
}

std::wstring HttpTestServer::Url(const std::string& path) const
{
    return vw::Format(L"http://127.0.0.1:%u", static_cast<unsigned>(port_)) + vw::Utf8ToWide(path);
}

int HttpTestServer::Requests(const std::string& path) const
{
    const std::lock_guard guard(lock_);
    const auto found = requests_.find(path);
    return found == requests_.end() ? 0 : found->second;
}

int HttpTestServer::TotalRequests() const
{
    const std::lock_guard guard(lock_);
    int total = 0;
    for (const auto& [path, count] : requests_)
        total += count;
    return total;
}

void HttpTestServer::Run()
{
    while (!stopping_) {
        if (!Readable(listener_, 50))
            continue;
        const UniqueSocket client(accept(listener_, nullptr, nullptr));
        if (client)
            Answer(client.get());
    }
}

void HttpTestServer::Answer(uintptr_t client)
{
    std::string request;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (request.find("\r\n\r\n") == std::string::npos) {
        if (stopping_ || std::chrono::steady_clock::now() > deadline)
            return;
        if (!Readable(client, 50))
            continue;
        char buffer[2048];
        const int got = recv(client, buffer, sizeof buffer, 0);
        if (got <= 0)
            return;
        request.append(buffer, static_cast<size_t>(got));
    }
    std::istringstream line(request.substr(0, request.find("\r\n")));
    std::string method, path;
    line >> method >> path;
    path = DecodePercents(path);

    HttpReply reply;
    bool known = false;
    {
        const std::lock_guard guard(lock_);
        ++requests_[path];
        const auto found = replies_.find(path);
        if (found != replies_.end()) {
            known = true;
            if (found->second.failFirst > 0) {
                --found->second.failFirst;
                reply.status = 500;
            } else {
                reply = found->second;
            }
        }
    }
    if (!known)
        reply.status = 404;

    if (reply.stall) {
        // Until the client gives up or the test ends.
        while (!stopping_) {
            char drain[256];
            if (Readable(client, 50) && recv(client, drain, sizeof drain, 0) <= 0)
                return;
        }
        return;
    }
    const bool ok = reply.status == 200;
    const std::string& body = ok ? reply.body : std::string();
    std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " + Reason(reply.status) + "\r\n";
    if (!ok || reply.length == HttpReply::Length::Exact)
        head += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    else if (reply.length == HttpReply::Length::Value)
        head += "Content-Length: " + std::to_string(reply.lengthValue) + "\r\n";
    head += "Connection: close\r\n\r\n";
    if (!SendAll(client, head.data(), head.size()))
        return;
    if (reply.pieceDelayMs == 0) {
        SendAll(client, body.data(), body.size());
    } else {
        for (size_t at = 0; at < body.size() && !stopping_; at += 1024) {
            if (!SendAll(client, body.data() + at, std::min<size_t>(1024, body.size() - at)))
                return;
            Sleep(static_cast<DWORD>(reply.pieceDelayMs));
        }
    }
    shutdown(client, SD_SEND);
    // Let the client read to the end before the socket goes.
    for (int i = 0; i < 40 && Readable(client, 50);) {
        char drain[256];
        if (recv(client, drain, sizeof drain, 0) <= 0)
            break;
        ++i;
    }
}

}  // namespace vwtest
