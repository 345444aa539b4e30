#include "link/transport/network_device.h"

#include <charconv>

namespace qv::link {

namespace {

constexpr int kConnectLimitMs = 2000;
constexpr std::int64_t kAckLimitUs = 1000000;
// How long a new raw TCP connection is listened to for a server that closes it at once.
constexpr std::int64_t kRefusalListenUs = 30000;
constexpr std::string_view kRfc2217 = "rfc2217://";
constexpr std::string_view kTcp = "tcp://";

} // namespace

bool IsPortUrl(std::string_view text) {
    return text.starts_with(kRfc2217) || text.starts_with(kTcp);
}

bool IsRawTcpUrl(std::string_view text) {
    return text.starts_with(kTcp);
}

std::optional<PortUrl> ParsePortUrl(std::string_view text) {
    PortUrl url;
    url.rfc2217 = text.starts_with(kRfc2217);
    if (url.rfc2217)
        text.remove_prefix(kRfc2217.size());
    else if (text.starts_with(kTcp))
        text.remove_prefix(kTcp.size());
    else
        return std::nullopt;
    std::string_view host;
    if (text.starts_with('[')) {
        const auto close = text.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        host = text.substr(1, close - 1);
        text.remove_prefix(close + 1);
        if (!text.starts_with(':'))
            return std::nullopt;
    } else {
        const auto colon = text.rfind(':');
        if (colon == std::string_view::npos)
            return std::nullopt;
        host = text.substr(0, colon);
        text.remove_prefix(colon);
        if (host.find(':') != std::string_view::npos)
            return std::nullopt; // an IPv6 address needs its brackets
    }
    text.remove_prefix(1); // the colon
    if (host.empty() || host.find_first_of("/?#@ ") != std::string_view::npos)
        return std::nullopt;
    unsigned port = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || port == 0 ||
        port > 65535)
        return std::nullopt;
    url.host = std::string(host);
    url.port = static_cast<std::uint16_t>(port);
    return url;
}

NetworkSerialDevice::NetworkSerialDevice(SocketFactory makeSocket, MicroTimer& timer)
    : makeSocket_(std::move(makeSocket)), timer_(timer) {}

NetworkSerialDevice::~NetworkSerialDevice() {
    close();
}

bool NetworkSerialDevice::failClosed() {
    // ser2net, for one, says "Port already in use" before it closes on a second client.
    std::string words;
    for (const char c : data_.substr(readAt_)) {
        if (c == '\r' || c == '\n') {
            if (!words.empty() && words.back() != ' ')
                words += ' ';
        } else if (c >= 0x20 && c < 0x7F) {
            words += c;
        } else {
            words.clear(); // not text: say nothing of it
            break;
        }
    }
    while (!words.empty() && words.back() == ' ')
        words.pop_back();
    if (words.size() > 200)
        words.resize(200);
    fail(SerialError::Closed);
    detail_ = words.empty() ? std::string() : "it said \"" + words + "\"";
    return false;
}

bool NetworkSerialDevice::fail(SerialError error) {
    if (socket_) {
        socket_->close();
        socket_.reset();
    }
    error_ = error;
    return false;
}

bool NetworkSerialDevice::open(const std::string& path, const LineSettings& settings) {
    detail_.clear();
    if (socket_) {
        error_ = SerialError::AlreadyOpen;
        return false;
    }
    const auto url = ParsePortUrl(path);
    if (!url)
        return fail(SerialError::BadAddress);
    auto socket = makeSocket_();
    if (const SerialError e = socket->connect(url->host, url->port, kConnectLimitMs);
        e != SerialError::None)
        return fail(e);
    socket_ = std::move(socket);
    rfc2217_ = url->rfc2217;
    gone_ = false;
    receiver_ = telnet::Receiver();
    purgeAnswered_ = true;
    data_.clear();
    readAt_ = 0;
    if (rfc2217_) {
        send(telnet::OpeningOffer());
        for (const auto& [command, value] : telnet::LineSettingRequests(settings)) {
            const auto acknowledged = request(command, value);
            if (!acknowledged && gone_)
                return failClosed();
            if (!acknowledged)
                return fail(receiver_.comPortRefused() ? SerialError::NoLineControl
                                                       : SerialError::TimedOut);
            if (*acknowledged != value)
                return fail(SerialError::SettingsRefused);
        }
    }
    purge(true);
    if (gone_)
        return failClosed();
    error_ = SerialError::None;
    return true;
}

void NetworkSerialDevice::close() {
    if (!socket_)
        return;
    socket_->close();
    socket_.reset();
}

std::string NetworkSerialDevice::settingsNote() const {
    if (!socket_ || rfc2217_)
        return {};
    return "not set: raw TCP, the server's line settings hold";
}

void NetworkSerialDevice::send(const std::string& bytes) {
    if (socket_ && !gone_ && !bytes.empty() &&
        !socket_->send(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()))
        gone_ = true;
}

bool NetworkSerialDevice::pump(std::int64_t waitUs) {
    if (!socket_ || gone_)
        return false;
    std::uint8_t buffer[4096];
    const long n = socket_->receive(buffer, sizeof buffer, waitUs);
    if (n < 0) {
        gone_ = true;
        return false;
    }
    if (n == 0)
        return true;
    if (readAt_ == data_.size()) {
        data_.clear();
        readAt_ = 0;
    }
    if (rfc2217_) {
        receiver_.feed(buffer, static_cast<std::size_t>(n), data_);
        send(receiver_.takeAnswers());
    } else {
        data_.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(n));
    }
    return !gone_;
}

std::optional<std::string> NetworkSerialDevice::request(std::uint8_t command,
                                                        const std::string& value) {
    receiver_.takeReply(command); // an old, unasked reply is no answer to this request
    send(telnet::ComPortRequest(command, value));
    const std::int64_t start = timer_.nowUs();
    for (;;) {
        if (auto reply = receiver_.takeReply(command))
            return reply;
        const std::int64_t left = kAckLimitUs - (timer_.nowUs() - start);
        if (left <= 0 || receiver_.comPortRefused() || !pump(left))
            return std::nullopt;
    }
}

void NetworkSerialDevice::write(const std::uint8_t* data, std::size_t count) {
    send(rfc2217_ ? telnet::Escape(data, count)
                  : std::string(reinterpret_cast<const char*>(data), count));
}

std::optional<std::uint8_t> NetworkSerialDevice::readByte() {
    const std::int64_t start = timer_.nowUs();
    while (readAt_ == data_.size()) {
        const std::int64_t left = ReadWaitLeftUs(timer_, start);
        if (left == 0)
            return std::nullopt;
        if (!pump(left)) {
            WaitOutRead(timer_, start);
            return std::nullopt;
        }
    }
    return static_cast<std::uint8_t>(data_[readAt_++]);
}

void NetworkSerialDevice::purge() {
    purge(false);
}

void NetworkSerialDevice::purge(bool opening) {
    if (!socket_)
        return;
    const std::string both(1, static_cast<char>(telnet::kPurgeBoth));
    if (rfc2217_ && purgeAnswered_) {
        purgeAnswered_ = request(telnet::kPurgeData, both).has_value();
    } else if (rfc2217_) {
        // A server that left one purge unanswered is not waited for again: that would cost every
        // transaction a second.
        send(telnet::ComPortRequest(telnet::kPurgeData, both));
    } else if (opening) {
        // A raw TCP server that turns the client away (ser2net with its line in use) says so
        // and closes at once: what it says is kept for the reason.
        const std::int64_t start = timer_.nowUs();
        for (std::int64_t left = kRefusalListenUs; left > 0 && pump(left);
             left = kRefusalListenUs - (timer_.nowUs() - start)) {
        }
    } else {
        while (pump(0) && readAt_ != data_.size()) { // what has arrived already
            data_.clear();
            readAt_ = 0;
        }
    }
    if (opening && gone_)
        return;
    data_.clear();
    readAt_ = 0;
}

} // namespace qv::link
