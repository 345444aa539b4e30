#pragma once
// A serial line behind a serial device server, named by a port URL:
//   rfc2217://host:port  Telnet with COM-PORT-OPTION: the line settings are negotiated;
//   tcp://host:port      raw TCP: the server's own line settings hold.
// The protocol is here, shared by every platform; only the socket calls differ (socket_posix.cpp,
// socket_win32.cpp).

#include "link/transport/read_wait.h"
#include "link/transport/serial_device.h"
#include "link/transport/telnet.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace qv::link {

struct PortUrl {
    bool rfc2217 = false; // else raw TCP
    std::string host;     // a name or an address; an IPv6 address without its brackets
    std::uint16_t port = 0;
};

// Whether `text` names a network port (begins with "rfc2217://" or "tcp://"), whether or not
// the rest is usable.
bool IsPortUrl(std::string_view text);
// Whether `text` names a raw TCP port, whose line settings are the server's.
bool IsRawTcpUrl(std::string_view text);
// "rfc2217://host:port" or "tcp://host:port", port 1 to 65535, an IPv6 host in brackets;
// nullopt for anything else.
std::optional<PortUrl> ParsePortUrl(std::string_view text);

// One TCP connection, as the platform makes it.
class NetSocket {
public:
    virtual ~NetSocket() = default;
    // Resolves `host` and connects, giving up after `timeoutMs` in all; TCP_NODELAY on. None, or
    // HostNotFound, Refused, TimedOut, Other; nothing stays open after a failure.
    virtual SerialError connect(const std::string& host, std::uint16_t port, int timeoutMs) = 0;
    // Blocks until every byte is handed over. False: the connection is gone.
    virtual bool send(const std::uint8_t* data, std::size_t count) = 0;
    // Waits up to `waitUs` for bytes: how many arrived (at most `capacity`), 0 when none came in
    // time, -1 when the far end closed or the connection failed.
    virtual long receive(std::uint8_t* data, std::size_t capacity, std::int64_t waitUs) = 0;
    virtual void close() = 0;
};
std::unique_ptr<NetSocket> MakeSystemSocket();

// The addresses of a name look-up (an addrinfo list) tried in turn until one connects or
// `timeoutMs` is spent in all; shared by the platforms' socket files. `attempt(address, usLeft)`
// connects to one address within the time left and returns None or the reason it did not.
template <class Address, class Attempt>
SerialError ConnectFirst(const Address* list, int timeoutMs, Attempt&& attempt) {
    using Steady = std::chrono::steady_clock;
    const auto until = Steady::now() + std::chrono::milliseconds(timeoutMs);
    SerialError error = SerialError::Other;
    for (const Address* a = list; a && error != SerialError::None; a = a->ai_next) {
        const auto left =
            std::chrono::duration_cast<std::chrono::microseconds>(until - Steady::now()).count();
        if (left <= 0)
            return SerialError::TimedOut;
        error = attempt(*a, static_cast<std::int64_t>(left));
    }
    return error;
}

class NetworkSerialDevice : public SerialDevice {
public:
    using SocketFactory = std::function<std::unique_ptr<NetSocket>()>;
    explicit NetworkSerialDevice(SocketFactory makeSocket = MakeSystemSocket,
                                 MicroTimer& timer = SystemMicroTimer());
    ~NetworkSerialDevice() override;
    NetworkSerialDevice(const NetworkSerialDevice&) = delete;
    NetworkSerialDevice& operator=(const NetworkSerialDevice&) = delete;

    // Connects to the URL in `path` (at most 2 s). rfc2217: offers BINARY and COM-PORT-OPTION,
    // sets baud, data size, parity and stop size in that order, waiting at most 1 s for each
    // acknowledgement, and fails when one acknowledges another value (SettingsRefused) or none
    // comes (TimedOut); then purges. No SET-CONTROL is sent. tcp: the connection alone.
    bool open(const std::string& path, const LineSettings& settings) override;
    void close() override;
    // Escaped for Telnet on rfc2217. A closed connection takes the bytes silently.
    void write(const std::uint8_t* data, std::size_t count) override;
    // One data byte, or nothing after about 1 ms; Telnet commands never come out here. Once the
    // far end has closed, every read takes its millisecond and finds nothing, as a vanished
    // device does.
    std::optional<std::uint8_t> readByte() override;
    // Drops the bytes received so far; rfc2217 also asks the server to purge (PURGE-DATA) and
    // drops what arrives before its acknowledgement (waited for at most 1 s, and no more once a
    // server has left one unanswered).
    void purge() override;
    SerialError lastError() const override { return error_; }
    // What a server that closed the connection at once said, when it said text.
    std::string lastErrorDetail() const override { return detail_; }
    // A connection the far end closed or that failed is gone until it is closed here.
    bool gone() const override { return socket_ != nullptr && gone_; }
    std::string settingsNote() const override;
    bool appliesLineSettings() const override { return socket_ == nullptr || rfc2217_; }

    bool isOpen() const { return socket_ != nullptr; }

private:
    bool fail(SerialError error);
    // The connection closed under the open: fails with what the server sent, if it was text.
    bool failClosed();
    // Receives for up to `waitUs`, parsing into data_; false once the connection is gone.
    bool pump(std::int64_t waitUs);
    void send(const std::string& bytes);
    // `opening`: the purge of open(), which keeps what arrived before a closed connection.
    void purge(bool opening);
    // Sends a COM-PORT-OPTION request and waits up to 1 s for its reply's value.
    std::optional<std::string> request(std::uint8_t command, const std::string& value);

    SocketFactory makeSocket_;
    MicroTimer& timer_;
    std::unique_ptr<NetSocket> socket_;
    bool rfc2217_ = false;
    bool gone_ = false;
    bool purgeAnswered_ = true; // the server acknowledged the last PURGE-DATA
    telnet::Receiver receiver_;
    std::string data_;       // received data bytes not yet read
    std::size_t readAt_ = 0; // the next of them
    SerialError error_ = SerialError::None;
    std::string detail_;
};

} // namespace qv::link
