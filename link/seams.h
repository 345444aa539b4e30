#pragma once
// The small interfaces under the link: a serial device, a wrapping millisecond clock, a sleeper
// and an event pump. The program installs the real ones; tests install fakes and a virtual clock.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace qv::link {

// Line parameters parsed from a "baud,parity,data,stop" text such as "19200,e,8,1".
struct LineSettings {
    std::uint32_t baud = 0;
    char parity = 'n'; // 'n' none, 'e' even, 'o' odd
    int dataBits = 8;  // 5 to 8
    int stopBits = 1;  // 1 or 2
    bool operator==(const LineSettings&) const = default;
};

// A 32-bit millisecond counter that wraps from 0xFFFFFFFF to 0, like a host tick counter.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::uint32_t nowMs() = 0;
};

class Sleeper {
public:
    virtual ~Sleeper() = default;
    virtual void sleepMs(std::uint32_t ms) = 0;
};

// Dispatches pending window messages without blocking. Empty means "nothing to dispatch".
using EventPump = std::function<void()>;

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
    Other,
};

// The reason in plain words for an operator ("does not exist", "no permission ...").
const char* DescribeSerialError(SerialError error);

// One serial line at a time. Implementations: the POSIX device (posix_serial.cpp), the Windows
// device (win32_serial.cpp) and the test fake.
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
};

// The platform's serial device: posix_serial.cpp on Linux, win32_serial.cpp on Windows.
std::unique_ptr<SerialDevice> MakePlatformSerialDevice();

} // namespace qv::link
