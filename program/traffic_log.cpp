#include "program/traffic_log.h"

#include <array>
#include <chrono>

namespace qv {

namespace {

std::int64_t SystemMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// ASCII's names of the control bytes 0x00 to 0x1F.
constexpr std::array<const char*, 32> kControlNames = {
    "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "TAB", "LF",
    "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
    "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};

constexpr char kHexDigits[] = "0123456789ABCDEF";

} // namespace

TrafficLog::TrafficLog(std::size_t capacity)
    : capacity_(capacity > 0 ? capacity : 1), wallClock_(&SystemMs) {
    ring_.reserve(capacity_);
}

void TrafficLog::append(const link::TraceEvent& event) {
    using Kind = link::TraceEvent::Kind;
    if (paused_)
        return;
    const auto slot = static_cast<std::size_t>(end_ % capacity_);
    if (ring_.size() <= slot)
        ring_.emplace_back();
    TrafficLine& line = ring_[slot];
    line.kind = event.kind;
    line.wallMs = wallClock_();
    line.outcome = event.outcome;
    line.error = event.error;
    line.detail.assign(event.detail);
    line.byteCount = event.bytes.size();
    line.bytes.assign(event.bytes.substr(0, kMaxBytes));
    line.label.assign(label_);
    if (event.kind == Kind::Opened)
        openPort_.assign(event.port);
    if (event.kind == Kind::Closed)
        line.port.assign(openPort_);
    else
        line.port.assign(event.port);
    ++end_;
    if (end_ - first_ > capacity_)
        first_ = end_ - capacity_;
}

std::string HexBytes(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (!out.empty())
            out += ' ';
        out += kHexDigits[b >> 4];
        out += kHexDigits[b & 0x0F];
    }
    return out;
}

std::string TextBytes(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + 8);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20) {
            out += '<';
            out += kControlNames[b];
            out += '>';
        } else if (b == 0x7F) {
            out += "<DEL>";
        } else if (b > 0x7F) {
            out += "\\x";
            out += kHexDigits[b >> 4];
            out += kHexDigits[b & 0x0F];
        } else if (c == '\\') {
            out += "\\\\"; // so that a real backslash is never read as an escape
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace qv
