#pragma once
// The serial device under the link: one line at a time, whatever carries it.

#include "link/ports/port_list.h"
#include "link/transport/line_settings.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace qv::link {

// Why the last open of a serial device failed. Each platform file translates its own error
// numbers into these, in one place.
enum class SerialError {
    None,
    NoDevice,           // the path does not exist
    NotCharacterDevice, // a regular file, directory, socket ... or not a terminal at all
    InUse,              // another opener holds it (flock or exclusive mode)
    AccessDenied,       // no permission (on Linux: not in the dialout group)
    AlreadyOpen,        // this device object already holds a line
    BadSettings,        // the line-settings text does not parse
    BadAddress,         // a port URL without a usable host:port
    HostNotFound,       // the URL's host name does not resolve
    Refused,            // nothing listens at the URL's port
    TimedOut,           // the server did not answer the connection or a setting in time
    SettingsRefused,    // the server acknowledged other line settings than those asked for
    NoLineControl,      // an RFC 2217 server that does not offer the COM port option
    Closed,             // the server closed the connection at once (its words in the detail)
    Other,
};

inline constexpr std::size_t kSerialErrorCount = static_cast<std::size_t>(SerialError::Other) + 1;

// The words of each reason for an operator, in the order of SerialError: the one table of them.
// The window shows the same reasons in its three languages through a table of the same order
// (program/messages.h, ReasonRow), which the compiler holds to this one's size.
struct SerialErrorWords {
    SerialError error;
    const char* words; // nullptr: the platform's own words (NoPermissionText)
};
inline constexpr std::array<SerialErrorWords, kSerialErrorCount> kSerialErrorWords = {{
    {SerialError::None, "open"},
    {SerialError::NoDevice, "does not exist"},
    {SerialError::NotCharacterDevice, "not a serial device"},
    {SerialError::InUse, "in use by another program"},
    {SerialError::AccessDenied, nullptr},
    {SerialError::AlreadyOpen, "already open in this program"},
    {SerialError::BadSettings, "line settings not understood"},
    {SerialError::BadAddress, "not a usable address (rfc2217://host:port or tcp://host:port)"},
    {SerialError::HostNotFound, "host not found"},
    {SerialError::Refused, "connection refused (nothing listens at that port)"},
    {SerialError::TimedOut, "timed out (the server did not answer)"},
    {SerialError::SettingsRefused, "the server refused the line settings"},
    {SerialError::NoLineControl,
     "the server does not offer line control (no RFC 2217 there: use tcp:// or configure the "
     "server for RFC 2217)"},
    {SerialError::Closed, "the server closed the connection"},
    {SerialError::Other, "cannot be opened"},
}};

// The words for SerialError::AccessDenied, with the platform's remedy (serial_posix.cpp,
// serial_win32.cpp).
const char* NoPermissionText();

// The reason in plain words for an operator ("does not exist", "no permission ...").
const char* DescribeSerialError(SerialError error);
// The reason with the device's detail after it in brackets, when there is one:
// "does not exist (no USB adapter 0403:6001 is plugged in)"; for SerialError::Other the detail
// alone.
std::string DescribeOpenFailure(SerialError error, const std::string& detail);

// One serial line at a time. Implementations: the POSIX device (serial_posix.cpp), the Windows
// device (serial_win32.cpp), the network device (network_device.cpp) and the test fake.
class SerialDevice {
public:
    virtual ~SerialDevice() = default;
    // Opens `path` exclusively with `settings`, saving the line's previous read timeouts.
    // True: the device is open. False: nothing is open and nothing was changed.
    virtual bool open(const std::string& path, const LineSettings& settings) = 0;
    // Puts the saved timeouts back (the line settings stay), releases the device.
    virtual void close() = 0;
    // Hands `count` bytes to the device; blocks until they are handed over. Failures are ignored.
    virtual void write(const std::uint8_t* data, std::size_t count) = 0;
    // One byte, or nothing after about 1 ms. A failed or hung-up line still takes its millisecond.
    virtual std::optional<std::uint8_t> readByte() = 0;
    // Drops whatever waits in both directions.
    virtual void purge() = 0;
    // Why the last open() failed; None after a successful one.
    virtual SerialError lastError() const { return SerialError::Other; }
    // What the reason alone does not say about the last failed open, in plain words (which
    // adapters a USB selector matched); empty when there is nothing to add.
    virtual std::string lastErrorDetail() const { return {}; }
    // True once the open line has gone away under the program: the adapter was pulled out or the
    // far end hung up, and no read or write will reach a reader again until the device is closed
    // and opened anew. False while nothing is open.
    virtual bool gone() const { return false; }
    // After a successful open: what a trace should add to the line settings, empty when they are
    // in force as asked (a raw TCP port says that the far end's settings hold instead).
    virtual std::string settingsNote() const { return {}; }
    // Whether the line settings given to open() are the line's: false where the far end's own
    // hold and nobody here knows them (raw TCP).
    virtual bool appliesLineSettings() const { return true; }
};

// The device for every port name: device paths through the platform's serial device
// (serial_posix.cpp on Linux, serial_win32.cpp on Windows), port URLs through the network device,
// and a USB selector (usb:VID:PID[:SERIAL]) through the port that `listPorts` shows for it at
// each open, so that a replugged adapter is found wherever it came back. A selector that matches
// no adapter fails with NoDevice, one that does not parse or matches two adapters with Other;
// lastErrorDetail() names the adapters.
using PortLister = std::function<std::vector<PortInfo>()>;
std::unique_ptr<SerialDevice> MakePlatformSerialDevice(PortLister listPorts = ListSerialPorts);

} // namespace qv::link
