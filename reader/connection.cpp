#include "reader/connection.h"

#include "reader/profile.h"

#include "link/ports/port_list.h"
#include "link/ports/port_overrides.h"
#include "link/protocol/commands.h"
#include "link/protocol/replies.h"
#include "link/transport/network_device.h"

namespace qv::reader {

std::optional<Place> MakePlace(const std::string& port, const std::string& settings,
                               const link::PortMap& overrides, std::string& error) {
    Place place;
    place.port = port;
    place.settings = settings;
    if (const auto n = link::ParseComName(port)) {
        place.port = "COM" + std::to_string(*n);
        place.linkPort = *n;
        place.map = overrides;
        place.device = link::ResolveComPort(*n, overrides);
        return place;
    }
    // A name that cannot be a port is a bad word, not a port that did not open.
    if (link::IsPortUrl(port) && !link::ParsePortUrl(port)) {
        error = port + ": not a usable address (rfc2217://host:port or tcp://host:port, the port "
                       "1 to 65535, an IPv6 host in brackets)";
        return std::nullopt;
    }
    if (link::IsUsbSelector(port)) {
        if (const auto selection = link::SelectUsbPort(port, {}); !selection.absent) {
            error = selection.error;
            return std::nullopt;
        }
    }
    if (NamesItself(port)) {
        place.device = port;
        place.map = {{place.linkPort, port}};
        return place;
    }
    error = port + ": not " + link::ComRangeText() +
            ", an absolute device path, a port URL or a USB selector";
    return std::nullopt;
}

bool NamesItself(const std::string& port) {
    return port.starts_with('/') || link::IsPortUrl(port) || link::IsUsbSelector(port);
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

void Connection::followSettingsStore() {
    if (!NamesItself(place_.port))
        link_.setPortMapSource([] { return link::ReadPortOverrides(); });
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

} // namespace qv::reader
