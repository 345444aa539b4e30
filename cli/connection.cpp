#include "cli/connection.h"

#include "reader/profile.h"

#include "link/ports/port_list.h"
#include "link/protocol/commands.h"
#include "link/protocol/replies.h"
#include "link/transport/network_device.h"

#include <cctype>
#include <cstdio>

namespace qv::cli {

namespace {

// A port named by itself rather than by a COM number: a device path, a URL or a USB selector.
bool NamesItself(const std::string& port) {
    return port.starts_with('/') || link::IsPortUrl(port) || link::IsUsbSelector(port);
}

// The link names what it opened "COMn path"; a place given as a path or URL has only that.
std::string Where(const std::string& port, const link::TraceEvent& event) {
    const std::string text(event.port);
    const auto space = text.find(' ');
    return NamesItself(port) && space != std::string::npos ? text.substr(space + 1) : text;
}

} // namespace

std::optional<Place> MakePlace(const std::string& port, const std::string& settings,
                               const link::PortMap& overrides, std::string& error) {
    Place place;
    place.port = port;
    place.settings = settings;
    std::string upper = port;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper.starts_with("COM")) {
        const auto n = link::ParseDecimal(std::string_view(upper).substr(3));
        if (n && *n >= 1 && *n <= 16 && upper.size() <= 5) {
            place.port = "COM" + std::to_string(*n);
            place.linkPort = *n;
            place.map = overrides;
            place.device = link::ResolveComPort(*n, overrides);
            return place;
        }
    } else if (NamesItself(port)) {
        place.device = port;
        place.map = {{place.linkPort, port}};
        return place;
    }
    error = "--port " + port +
            ": not COM1..COM16, an absolute device path, a port URL or a USB selector";
    return std::nullopt;
}

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
    }
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%10.3f", static_cast<double>(event.ms - startMs_) / 1000.0);
    const std::lock_guard lock(mutex_);
    out_ << stamp << ' ' << port << ' ' << what << '\n' << std::flush;
}

Connection::Connection(Place place, TraceLog* trace, std::optional<int> tries)
    : place_(std::move(place)), tries_(tries), device_(link::MakePlatformSerialDevice()),
      link_(*device_, clock_, sleeper_) {
    link_.setPortMap(place_.map);
    if (trace)
        link_.setTrace([trace, port = place_.port](const link::TraceEvent& event) {
            trace->write(port, event);
        });
}

Connection::~Connection() {
    close();
}

bool Connection::open(const std::string& settings) {
    if (!settings.empty())
        place_.settings = settings;
    return link_.CommOpen(place_.linkPort, place_.settings);
}

void Connection::close() {
    link_.CommClose();
}

std::optional<ReaderIdentity> Connection::readIdentity(int tries) {
    return reader::ReadIdentity(link_, tries_.value_or(tries));
}

std::optional<std::string> Connection::readVersion(int tries) {
    return reader::ReadVersion(link_, tries_.value_or(tries));
}

std::optional<Value> Connection::get(Param param) {
    return reader::ReadParam(link_, param, tries_);
}

bool Connection::set(Param param, const Value& value) {
    return reader::WriteParam(link_, param, value, tries_);
}

bool Connection::reset() {
    return link::RunExchange(
        link_, link::kResetExchange,
        [](const link::Reply&) -> std::optional<std::string> { return link::cmd::Reset(); });
}

bool Connection::factoryDefault() {
    return link::RunExchange(link_, link::kFactoryDefaultExchange,
                             [](const link::Reply&) -> std::optional<std::string> {
                                 return link::cmd::FactoryDefault();
                             });
}

} // namespace qv::cli
