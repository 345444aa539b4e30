#pragma once
// The serial device under the link: one line at a time, whatever carries it.

#include "link/line_settings.h"

#include <cstddef>
#include <cstdint>
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
    Other,
};

// The reason in plain words for an operator ("does not exist", "no permission ...").
const char* DescribeSerialError(SerialError error);

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
    // After a successful open: what a trace should add to the line settings, empty when they are
    // in force as asked (a raw TCP port says that the far end's settings hold instead).
    virtual std::string settingsNote() const { return {}; }
};

// The device for every port name: device paths through the platform's serial device
// (serial_posix.cpp on Linux, serial_win32.cpp on Windows), port URLs through the network device.
std::unique_ptr<SerialDevice> MakePlatformSerialDevice();

} // namespace qv::link
