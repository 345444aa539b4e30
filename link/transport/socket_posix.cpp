// TCP connections on POSIX systems for the network serial device.
#include "link/transport/network_device.h"

#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

namespace qv::link {

namespace {

// The one place where the platform's error numbers become the link's reasons.
SerialError TranslateSocketError(int errnum) {
    switch (errnum) {
    case ECONNREFUSED:
        return SerialError::Refused;
    case ETIMEDOUT:
        return SerialError::TimedOut;
    case EACCES:
    case EPERM:
        return SerialError::AccessDenied;
    default:
        return SerialError::Other;
    }
}

SerialError TranslateLookupError(int code) {
    switch (code) {
    case EAI_NONAME:
    case EAI_NODATA:
    case EAI_FAIL:
    case EAI_AGAIN:
        return SerialError::HostNotFound;
    default:
        return SerialError::Other;
    }
}

class PosixSocket : public NetSocket {
public:
    ~PosixSocket() override { close(); }

    SerialError connect(const std::string& host, std::uint16_t port, int timeoutMs) override {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        // The name look-up has no time limit of its own; a host name that takes longer than the
        // connect limit to resolve is rare enough to accept.
        if (const int code =
                getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found))
            return TranslateLookupError(code);
        const SerialError error =
            ConnectFirst(found, timeoutMs, [this](const addrinfo& a, std::int64_t us) {
                return attempt(a, static_cast<int>((us + 999) / 1000));
            });
        freeaddrinfo(found);
        return error;
    }

    bool send(const std::uint8_t* data, std::size_t count) override {
        std::size_t done = 0;
        while (fd_ >= 0 && done < count) {
            const ssize_t n = ::send(fd_, data + done, count - done, MSG_NOSIGNAL);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                return false;
            pollfd p{fd_, POLLOUT, 0};
            if (::poll(&p, 1, -1) < 0 && errno != EINTR)
                return false;
            if (p.revents & (POLLERR | POLLNVAL))
                return false;
        }
        return fd_ >= 0;
    }

    long receive(std::uint8_t* data, std::size_t capacity, std::int64_t waitUs) override {
        if (fd_ < 0)
            return -1;
        pollfd p{fd_, POLLIN, 0};
        const timespec wait{static_cast<time_t>(waitUs / 1000000),
                            static_cast<long>(waitUs % 1000000) * 1000};
        const int ready = ::ppoll(&p, 1, &wait, nullptr);
        if (ready == 0 || (ready < 0 && errno == EINTR))
            return 0;
        if (ready < 0)
            return -1;
        const ssize_t n = ::recv(fd_, data, capacity, 0);
        if (n > 0)
            return static_cast<long>(n);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            return 0;
        return -1; // 0: the far end closed
    }

    void close() override {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    SerialError attempt(const addrinfo& a, int timeoutMs) {
        const int fd =
            ::socket(a.ai_family, a.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a.ai_protocol);
        if (fd < 0)
            return TranslateSocketError(errno);
        auto giveUp = [fd](SerialError e) {
            ::close(fd);
            return e;
        };
        if (::connect(fd, a.ai_addr, a.ai_addrlen) != 0) {
            if (errno != EINPROGRESS)
                return giveUp(TranslateSocketError(errno));
            pollfd p{fd, POLLOUT, 0};
            int ready = 0;
            while ((ready = ::poll(&p, 1, timeoutMs)) < 0 && errno == EINTR) {
            }
            if (ready == 0)
                return giveUp(SerialError::TimedOut);
            int error = 0;
            socklen_t length = sizeof error;
            if (ready < 0 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
                return giveUp(SerialError::Other);
            if (error != 0)
                return giveUp(TranslateSocketError(error));
        }
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        fd_ = fd;
        return SerialError::None;
    }

    int fd_ = -1;
};

} // namespace

std::unique_ptr<NetSocket> MakeSystemSocket() {
    return std::make_unique<PosixSocket>();
}

} // namespace qv::link
