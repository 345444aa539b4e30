#include "reader/trace_log.h"

#include "reader/connection.h"

#include "link/time/system_time.h"

#include <cstdio>

namespace qv::reader {

namespace {

// The link names what it opened "COMn path"; a place given as a path or URL has only that.
std::string Where(const std::string& port, const link::TraceEvent& event) {
    const std::string text(event.port);
    const auto space = text.find(' ');
    return NamesItself(port) && space != std::string::npos ? text.substr(space + 1) : text;
}

} // namespace

std::string PrintableBytes(std::string_view bytes) {
    std::string out;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\t')
            out += "<TAB>";
        else if (c == '\n')
            out += "<LF>";
        else if (c == '\r')
            out += "<CR>";
        else if (u >= 0x20 && u < 0x7F)
            out += c;
        else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            out += hex;
        }
    }
    return out;
}

std::string HexBytes(std::string_view bytes) {
    std::string out;
    for (const char c : bytes) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned char>(c));
        if (!out.empty())
            out += ' ';
        out += hex;
    }
    return out;
}

TraceLog::TraceLog(std::ostream& out) : out_(out), startMs_(link::SteadyClock().nowMs()) {}

void TraceLog::write(const std::string& port, const link::TraceEvent& event) {
    std::string what;
    switch (event.kind) {
    case link::TraceEvent::Kind::Sent:
        what = "sent     " + PrintableBytes(event.bytes) + "  [" + HexBytes(event.bytes) + "]";
        break;
    case link::TraceEvent::Kind::Received:
        what = "received " + PrintableBytes(event.bytes) + "  [" + HexBytes(event.bytes) + "]";
        break;
    case link::TraceEvent::Kind::Finished:
        what = std::string("outcome  ") + link::DescribeOutcome(event.outcome);
        break;
    case link::TraceEvent::Kind::Opened:
        what = "opened   " + Where(port, event) + " at " + std::string(event.bytes);
        break;
    case link::TraceEvent::Kind::OpenFailed:
        what = "open failed " + Where(port, event) + " at " + std::string(event.bytes) + ": " +
               link::DescribeOpenFailure(event.error, std::string(event.detail));
        break;
    case link::TraceEvent::Kind::Closed:
        what = "closed";
        break;
    case link::TraceEvent::Kind::AnotherReader:
        what = "another reader: serial " + PrintableBytes(event.bytes) + ", before " +
               PrintableBytes(event.detail);
        break;
    }
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%10.3f", static_cast<double>(event.ms - startMs_) / 1000.0);
    const std::lock_guard lock(mutex_);
    out_ << stamp << ' ' << port << ' ' << what << '\n' << std::flush;
}

} // namespace qv::reader
