#pragma once
// One reader place (a port and line settings) and the link that talks to it: its own serial
// device, clock, sleeper and Link, so that every thread of a sweep has a connection of its own.
// The reads and writes run the window's exchanges (link/protocol/exchange.h): the same frames,
// pauses and identity step as the buttons.

#include "reader/identity.h"
#include "reader/parameters.h"
#include "reader/trace_log.h"

#include "link/protocol/link.h"
#include "link/time/system_time.h"

#include <memory>
#include <optional>
#include <string>

namespace qv::reader {

// Where a reader is looked for: "COMn" (resolved as the window resolves it, overrides included),
// an absolute device path, a port URL or a USB selector, and a line-settings text.
struct Place {
    std::string port;     // as given: "COM3" or "/dev/ttyUSB0"
    std::string device;   // the resolved path; empty when a COM number has no device
    int linkPort = 1;     // the number the link opens ...
    link::PortMap map;    // ... through this map
    std::string settings; // "19200,e,8,1"
};

// nullopt with `error` for a port that is none of COM1..COM16, an absolute device path, a port
// URL or a USB selector.
std::optional<Place> MakePlace(const std::string& port, const std::string& settings,
                               const link::PortMap& overrides, std::string& error);

// A port named by itself rather than by a COM number: a device path, a URL or a USB selector.
bool NamesItself(const std::string& port);

class Connection {
public:
    // `tries`: the number of tries for gets and sets instead of the window's count.
    Connection(Place place, TraceLog* trace, std::optional<int> tries = std::nullopt);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const Place& place() const { return place_; }
    // A COM number is resolved anew at every open from the settings store as it is then (a
    // simulator or a mapping made while the program runs); a place named by itself is kept.
    void followSettingsStore();
    // Opens the place's port with its settings (or `settings` instead, which then become the
    // place's). False: openError() says why.
    bool open(const std::string& settings = {});
    void close();
    link::SerialError openError() const { return link_.lastOpenError(); }
    // The open failed for want of the device alone (not there, or not yet).
    bool openFailedForWantOfDevice() const {
        return link_.lastOpenError() == link::SerialError::NoDevice;
    }
    // The reason in plain words, with what the device added (the adapters a selector matched).
    std::string openErrorText() const {
        return link::DescribeOpenFailure(link_.lastOpenError(), link_.lastOpenErrorDetail());
    }
    link::Link& link() { return link_; }
    // The count of tries for parameter reads and writes, when one was given.
    std::optional<int> tries() const { return tries_; }

    // The discovery's identity and version reads (reader/identity.h), the connection's `tries`
    // times when it has a count, else `tries` times.
    std::optional<ReaderIdentity> readIdentity(int tries = kIdentityTries);
    std::optional<std::string> readVersion(int tries = kVersionTries);

    // A readable parameter as the window's Get button reads it. nullopt: no valid answer.
    std::optional<Value> get(Param param);
    // Writes `value` as the window's Set button does. True: the reader confirmed the command.
    bool set(Param param, const Value& value);
    // Restart (one try) and factory default (two tries), as the window; `--tries` does not
    // apply to them.
    bool reset();
    bool factoryDefault();

private:
    Place place_;
    std::optional<int> tries_;
    std::unique_ptr<link::SerialDevice> device_;
    link::SteadyClock clock_;
    link::ThreadSleeper sleeper_;
    link::Link link_;
};

} // namespace qv::reader
