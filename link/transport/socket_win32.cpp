// TCP connections on Windows (Winsock) for the network serial device.
#include "link/transport/network_device.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>

namespace qv::link {

namespace {

// The one place where Winsock's error codes become the link's reasons.
SerialError TranslateSocketError(int code) {
    switch (code) {
    case WSAECONNREFUSED:
        return SerialError::Refused;
    case WSAETIMEDOUT:
        return SerialError::TimedOut;
    case WSAHOST_NOT_FOUND:
    case WSANO_DATA:
    case WSANO_RECOVERY:
    case WSATRY_AGAIN:
        return SerialError::HostNotFound;
    case WSAEACCES:
        return SerialError::AccessDenied;
    default:
        return SerialError::Other;
    }
}

// Winsock is started once for the program's life.
bool Started() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

timeval Timeval(std::int64_t us) {
    return {static_cast<long>(us / 1000000), static_cast<long>(us % 1000000)};
}

class Win32Socket : public NetSocket {
public:
    ~Win32Socket() override { close(); }

    SerialError connect(const std::string& host, std::uint16_t port, int timeoutMs) override {
        if (!Started())
            return SerialError::Other;
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_protocol = IPPROTO_TCP;
        addrinfo* found = nullptr;
        if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
            return TranslateSocketError(WSAGetLastError());
        const SerialError error =
            ConnectFirst(found, timeoutMs,
                         [this](const addrinfo& a, std::int64_t us) { return attempt(a, us); });
        freeaddrinfo(found);
        return error;
    }

    bool send(const std::uint8_t* data, std::size_t count) override {
        std::size_t done = 0;
        while (socket_ != INVALID_SOCKET && done < count) {
            const int n = ::send(socket_, reinterpret_cast<const char*>(data + done),
                                 static_cast<int>(count - done), 0);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                continue;
            }
            if (n == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK)
                return false;
            fd_set writable;
            FD_ZERO(&writable);
            FD_SET(socket_, &writable);
            if (select(0, nullptr, &writable, nullptr, nullptr) == SOCKET_ERROR)
                return false;
        }
        return socket_ != INVALID_SOCKET;
    }

    long receive(std::uint8_t* data, std::size_t capacity, std::int64_t waitUs) override {
        if (socket_ == INVALID_SOCKET)
            return -1;
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(socket_, &readable);
        timeval wait = Timeval(waitUs);
        const int ready = select(0, &readable, nullptr, nullptr, &wait);
        if (ready == 0)
            return 0;
        if (ready == SOCKET_ERROR)
            return -1;
        const int n = ::recv(socket_, reinterpret_cast<char*>(data), static_cast<int>(capacity), 0);
        if (n > 0)
            return n;
        if (n == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK)
            return 0;
        return -1; // 0: the far end closed
    }

    void close() override {
        if (socket_ != INVALID_SOCKET)
            closesocket(socket_);
        socket_ = INVALID_SOCKET;
    }

private:
    SerialError attempt(const addrinfo& a, std::int64_t timeoutUs) {
        const SOCKET s = ::socket(a.ai_family, a.ai_socktype, a.ai_protocol);
        if (s == INVALID_SOCKET)
            return TranslateSocketError(WSAGetLastError());
        auto giveUp = [s](SerialError e) {
            closesocket(s);
            return e;
        };
        u_long nonBlocking = 1;
        ioctlsocket(s, FIONBIO, &nonBlocking);
        if (::connect(s, a.ai_addr, static_cast<int>(a.ai_addrlen)) == SOCKET_ERROR) {
            if (WSAGetLastError() != WSAEWOULDBLOCK)
                return giveUp(TranslateSocketError(WSAGetLastError()));
            fd_set writable, failed;
            FD_ZERO(&writable);
            FD_SET(s, &writable);
            FD_ZERO(&failed);
            FD_SET(s, &failed);
            timeval wait = Timeval(timeoutUs);
            const int ready = select(0, nullptr, &writable, &failed, &wait);
            if (ready == 0)
                return giveUp(SerialError::TimedOut);
            if (ready == SOCKET_ERROR)
                return giveUp(SerialError::Other);
            if (FD_ISSET(s, &failed)) {
                int error = 0;
                int length = sizeof error;
                getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length);
                return giveUp(TranslateSocketError(error));
            }
        }
        const BOOL on = TRUE;
        setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
        socket_ = s;
        return SerialError::None;
    }

    SOCKET socket_ = INVALID_SOCKET;
};

} // namespace

std::unique_ptr<NetSocket> MakeSystemSocket() {
    return std::make_unique<Win32Socket>();
}

} // namespace qv::link
