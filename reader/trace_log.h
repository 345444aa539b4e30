#pragma once
// The link's trace as lines of text for people: every frame sent and received in hexadecimal and
// as text, each open, close and outcome, time-stamped. For a command line's --trace or a
// service's debug log; safe to share between the threads of a sweep.

#include "link/protocol/link.h"

#include <cstdint>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>

namespace qv::reader {

// Bytes as text for people (and safe on a terminal): printable ASCII as is, <TAB> <LF> <CR> by
// name, others as \xNN.
std::string PrintableBytes(std::string_view bytes);
// "09 41 30 30 42", two upper-case digits a byte.
std::string HexBytes(std::string_view bytes);

// Writes the link's trace events to a stream, one line each, time-stamped in milliseconds since
// the log was made.
class TraceLog {
public:
    explicit TraceLog(std::ostream& out);
    // `port` as the front end named it ("COM3", "/dev/ttyUSB0", a URL).
    void write(const std::string& port, const link::TraceEvent& event);

private:
    std::ostream& out_;
    std::mutex mutex_;
    std::uint32_t startMs_;
};

} // namespace qv::reader
