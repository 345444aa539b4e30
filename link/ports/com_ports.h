#pragma once
// COM numbers: the names under which the window and the command line reach a serial port. The
// range, the fixed device of each number and the overrides of the settings store (Ports/COMn).

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace qv::link {

// The COM numbers the programs know: COM1 to COM16.
inline constexpr int kFirstComPort = 1;
inline constexpr int kLastComPort = 16;
inline constexpr bool IsComPort(int number) {
    return number >= kFirstComPort && number <= kLastComPort;
}
// "COM1..COM16", for help texts.
std::string ComRangeText(std::string_view separator = "..");

// The number of a "COMn" name (any case, no leading zero); nullopt for anything else.
std::optional<int> ParseComName(std::string_view name);

// COM number -> device path overrides, read by the shell from the settings store (Ports/COMn).
using PortMap = std::map<int, std::string>;

// The device path of COM `port`; empty: no device. Each platform has its own file.
// Linux (com_ports_posix.cpp): the override if there is one (it must be an absolute path, a port
// URL, network_device.h, or a USB selector, port_list.h, else the port has no device), else the
// fixed table (COM1-4 /dev/ttyS0-3, COM5-12 /dev/ttyUSB0-7, COM13-16 /dev/ttyACM0-3).
// Windows (com_ports_win32.cpp): the override if there is one (a COM device, "COM7" or
// "\\.\COM7", a port URL or a USB selector; anything else, a Linux path included, has no
// device), else \\.\COMn for COM1-16. A selector is resolved by the device at each open.
std::string ResolveComPort(int port, const PortMap& overrides);

} // namespace qv::link
