#pragma once
// The traffic log: the link's trace kept in a ring of a fixed number of lines, each with the
// operation and try it belongs to. Appending is all the trace sink does (no formatting, no
// window), and once the ring is full a line reuses the storage of the line it replaces, so an
// hour of tag reading neither slows the link nor grows the program. No Qt, so that a benchmark
// can drive it beside the bare link.

#include "link/protocol/link.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

struct TrafficLine {
    link::TraceEvent::Kind kind = link::TraceEvent::Kind::Sent;
    std::int64_t wallMs = 0; // milliseconds since 1970 UTC, when the line was logged
    link::Outcome outcome = link::Outcome::NoReply;    // Finished
    link::SerialError error = link::SerialError::None; // OpenFailed
    std::string detail;        // OpenFailed: what the device added to the reason
    std::string bytes;         // Sent, Received: the bytes (at most kMaxBytes); Opened, OpenFailed:
                               // the line settings
    std::size_t byteCount = 0; // Sent, Received: how many bytes there were in all
    std::string port;          // Opened, OpenFailed, Closed: "COM3 /dev/ttyS2"
    std::string label;         // the operation and try, e.g. "Set Reader ID, try 2"
};

class TrafficLog {
public:
    static constexpr std::size_t kDefaultCapacity = 5000;
    // A line keeps at most this many bytes of a wait (a line that never stops talking sends
    // about two thousand before the ceiling); byteCount tells how many there were.
    static constexpr std::size_t kMaxBytes = 256;

    explicit TrafficLog(std::size_t capacity = kDefaultCapacity);

    // The trace sink: one line per event, unless paused.
    void append(const link::TraceEvent& event);
    // A sink for Link::setTrace that appends to this log.
    link::TraceSink sink() {
        return [this](const link::TraceEvent& event) { append(event); };
    }

    // What the following lines belong to, until the next label.
    void setLabel(std::string_view label) { label_.assign(label); }
    const std::string& label() const { return label_; }

    // Paused, events are dropped: the lines shown stay still for reading.
    void setPaused(bool paused) { paused_ = paused; }
    bool paused() const { return paused_; }
    void clear() { first_ = end_; }

    // Lines are numbered from 0 for the program's life; the log keeps first() to end() - 1.
    std::uint64_t first() const { return first_; }
    std::uint64_t end() const { return end_; }
    std::size_t size() const { return static_cast<std::size_t>(end_ - first_); }
    std::size_t capacity() const { return capacity_; }
    // Precondition: first() <= number < end().
    const TrafficLine& at(std::uint64_t number) const {
        return ring_[static_cast<std::size_t>(number % capacity_)];
    }

    // Where the time stamps come from (tests fix it); milliseconds since 1970 UTC.
    void setWallClock(std::function<std::int64_t()> now) { wallClock_ = std::move(now); }

private:
    std::vector<TrafficLine> ring_;
    std::size_t capacity_;
    std::uint64_t first_ = 0;
    std::uint64_t end_ = 0;
    std::string label_;
    std::string openPort_; // the port of the last open, for its close
    bool paused_ = false;
    std::function<std::int64_t()> wallClock_;
};

// The bytes as upper-case hex pairs separated by blanks: "0A 42 30".
std::string HexBytes(std::string_view bytes);
// The bytes as text: printable ASCII as it is (a backslash doubled), TAB LF CR and the other
// control bytes by name (<TAB> <LF> <CR> <NUL> <ESC> ...), anything above 0x7E as \xNN, so that
// nothing draws as a box.
std::string TextBytes(std::string_view bytes);

} // namespace qv
