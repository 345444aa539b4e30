#include "link/link.h"

#include "link/frame.h"

#include <charconv>
#include <cstring>

namespace qv::link {

namespace {

// Once this much has passed since the end of sending, a wait ends even while bytes keep coming.
constexpr std::uint32_t kReplyCeilingMs = 1000;
constexpr std::uint32_t kReplyLimitMs = 120; // the wait goes on while elapsed <= 120

std::optional<unsigned> ParseUnsigned(std::string_view text) {
    if (text.empty() || text.size() > 9)
        return std::nullopt;
    unsigned value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace

const char* DescribeSerialError(SerialError error) {
    switch (error) {
    case SerialError::None:
        return "open";
    case SerialError::NoDevice:
        return "does not exist";
    case SerialError::NotCharacterDevice:
        return "not a serial device";
    case SerialError::InUse:
        return "in use by another program";
    case SerialError::AccessDenied:
        return "no permission (join the dialout group: sudo adduser $USER dialout, then log in "
               "again)";
    case SerialError::AlreadyOpen:
        return "already open in this program";
    case SerialError::BadSettings:
        return "line settings not understood";
    case SerialError::Other:
        break;
    }
    return "cannot be opened";
}

std::string ResolveComPort(int port, const PortMap& overrides) {
    if (auto it = overrides.find(port); it != overrides.end())
        return it->second.starts_with('/') ? it->second : std::string();
    if (port >= 1 && port <= 4)
        return "/dev/ttyS" + std::to_string(port - 1);
    if (port >= 5 && port <= 12)
        return "/dev/ttyUSB" + std::to_string(port - 5);
    if (port >= 13 && port <= 16)
        return "/dev/ttyACM" + std::to_string(port - 13);
    return {};
}

std::optional<LineSettings> ParseLineSettings(std::string_view text) {
    std::string_view parts[4];
    int count = 0;
    while (count < 4) {
        const auto comma = text.find(',');
        parts[count++] = text.substr(0, comma);
        if (comma == std::string_view::npos) {
            text = {};
            break;
        }
        text.remove_prefix(comma + 1);
        if (count == 4)
            return std::nullopt; // a fifth field
    }
    if (count != 4)
        return std::nullopt;
    LineSettings s;
    const auto baud = ParseUnsigned(parts[0]);
    if (!baud || *baud == 0)
        return std::nullopt;
    s.baud = *baud;
    if (parts[1].size() != 1)
        return std::nullopt;
    const char parity = parts[1][0];
    if (parity != 'n' && parity != 'e' && parity != 'o' && parity != 'N' && parity != 'E' &&
        parity != 'O')
        return std::nullopt;
    s.parity = static_cast<char>(parity | 0x20);
    const auto data = ParseUnsigned(parts[2]);
    if (!data || *data < 5 || *data > 8)
        return std::nullopt;
    s.dataBits = static_cast<int>(*data);
    const auto stop = ParseUnsigned(parts[3]);
    if (!stop || (*stop != 1 && *stop != 2))
        return std::nullopt;
    s.stopBits = static_cast<int>(*stop);
    return s;
}

Link::Link(SerialDevice& device, Clock& clock, Sleeper& sleeper)
    : device_(device), clock_(clock), sleeper_(sleeper) {}

bool Link::CommOpen(int port, const std::string& settings) {
    if (open_) {
        openError_ = SerialError::AlreadyOpen;
        return false; // the open port, its handle and saved timeouts stay as they are
    }
    const auto line = ParseLineSettings(settings);
    if (!line) {
        openError_ = SerialError::BadSettings;
        return false;
    }
    if (portSource_)
        ports_ = portSource_();
    const std::string path = ResolveComPort(port, ports_);
    if (path.empty()) {
        openError_ = SerialError::NoDevice;
        return false;
    }
    open_ = device_.open(path, *line);
    openError_ = open_ ? SerialError::None : device_.lastError();
    return open_;
}

void Link::CommClose() {
    if (!open_)
        return;
    device_.close();
    open_ = false;
}

void Link::CommWriteByte(std::uint8_t value) {
    device_.write(&value, 1);
    sleeper_.sleepMs(1);
}

void Link::CommWriteBytes(const std::uint8_t* data, int count) {
    device_.write(data, static_cast<std::size_t>(count));
    sleeper_.sleepMs(5);
}

bool Link::ReaderTransact(std::string_view command) {
    ReplyBuffer.fill(0);
    ReplyLength = 0;
    const auto frame = BuildCommandFrame(command);
    const int n = static_cast<int>(frame.size()) - 4;

    device_.purge();
    CommWriteByte(kTab);
    CommWriteBytes(frame.data() + 1, n);
    CommWriteByte(frame[static_cast<std::size_t>(n) + 1]);
    CommWriteByte(frame[static_cast<std::size_t>(n) + 2]);
    CommWriteByte(kCr);

    const std::uint32_t start = clock_.nowMs();
    std::uint32_t elapsed = 0;
    while (elapsed <= kReplyLimitMs) {
        if (const auto byte = device_.readByte()) {
            ReplyBuffer[static_cast<std::size_t>(ReplyLength)] = *byte;
            if (++ReplyLength == kReplyBufferSize)
                ReplyLength = 0;
            // A line that never stops talking must not hold the window forever. Past the
            // ceiling even a completing CR is not taken: the state is that of a time-out.
            if (static_cast<std::uint32_t>(clock_.nowMs() - start) >= kReplyCeilingMs)
                return false;
            if (*byte == kCr && ReplyBuffer[0] == kLf) {
                ReplyBuffer[static_cast<std::size_t>(ReplyLength)] = 0;
                const auto* begin = reinterpret_cast<const char*>(ReplyBuffer.data());
                ReplyText.assign(begin, strnlen(begin, kReplyBufferSize));
                return VerifyReplyChecksum();
            }
            continue; // elapsed is judged only after a read that delivered nothing
        }
        pumpEvents();
        elapsed = clock_.nowMs() - start;
    }
    return false;
}

bool Link::VerifyReplyChecksum() const {
    return qv::link::VerifyReplyChecksum(ReplyBuffer.data(), ReplyLength);
}

std::optional<std::string_view> Link::field(int position, int length) const {
    if (position < 2 || length < 1)
        return std::nullopt;
    const long last = static_cast<long>(position) + length - 1;
    if (last > ReplyLength - 3 || last > static_cast<long>(ReplyText.size()))
        return std::nullopt;
    return std::string_view(ReplyText).substr(static_cast<std::size_t>(position - 1),
                                              static_cast<std::size_t>(length));
}

bool Link::replyIsExactly(int length) const {
    return ReplyLength == length && static_cast<int>(ReplyText.size()) == length;
}

} // namespace qv::link
