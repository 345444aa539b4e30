#pragma once
// What an operator needs to know about each listed port: the COM numbers under which the window
// finds it (the fixed table, or a Ports/COMn override that names it) and whether it can be opened
// now. The mapping is pure (port_status.cpp); the probe and where the list is read from are one
// file per platform (port_status_posix.cpp, port_status_win32.cpp).

#include "link/ports/com_ports.h"
#include "link/ports/port_list.h"
#include "link/transport/serial_device.h"

#include <string>
#include <vector>

namespace qv::link {

// Whether a port can be opened now.
enum class PortState {
    Ok,           // it opened (and was closed again at once)
    InUse,        // another program holds it (Linux: EBUSY or a lock; Windows: access denied)
    NoPermission, // this user may not open it (Linux: EACCES)
    Error,        // any other reason
    NotProbed,    // a network port: connecting has effects of its own, so it is not tried
    Absent,       // a mapping that leads nowhere now (a USB selector that matches no adapter)
};
// "ok", "in use", "no permission", "error", "not probed", "not there": stable words for scripts.
const char* PortStateWord(PortState state);

// Opens `device` without blocking and closes it at once; no line setting, no modem line and no
// lock is left changed. Linux: open(O_RDWR|O_NOCTTY|O_NONBLOCK) and a non-blocking flock that is
// released again. Windows: CreateFile with exclusive access.
PortState ProbePort(const std::string& device);
// The probe's word for why an open failed.
PortState PortStateOf(SerialError error);

// The COM numbers (kFirstComPort to kLastComPort, ascending) under which the window opens `port`.
// COMn leads to a port by its override when it has one (a path that names the port's device or its
// stable path, both compared with their symbolic links followed; a COM device on Windows; or a usb:
// selector that SelectUsbPort resolves to the port among `ports`), else by the fixed table. An
// override of a number thus takes that number away from its fixed device. `devRoot` stands for /dev
// in the fixed table, for a port list read from a tree of a test.
std::vector<int> ComNumbersOf(const PortInfo& port, const std::vector<PortInfo>& ports,
                              const PortMap& overrides, const std::string& devRoot = "/dev");

// "0403:6001", lower-case hexadecimal; empty for a port that is not a USB port.
std::string UsbIdText(const PortInfo& port);

// The name to store as a COM number's override so that it keeps naming `port` when adapters are
// plugged in elsewhere: usb:VID:PID:SERIAL when the adapter has a serial number that names this
// very port among `ports` (not the second channel of a multi-port adapter), else the stable path,
// else the device itself.
std::string StablePortName(const PortInfo& port, const std::vector<PortInfo>& ports);

// One line of the operator's port list.
struct PortStatus {
    PortInfo port;
    std::vector<int> comNumbers;
    PortState state = PortState::Error;
};

// Where the list is read from. Linux: /sys and /dev, or the trees named by the environment
// variables QV_SYSFS_ROOT and QV_DEV_ROOT (for tests that bring a tree of their own). Windows:
// the system, always.
struct PortRoots {
    std::string sys = "/sys";
    std::string dev = "/dev";
};
PortRoots PortRootsFromEnvironment();
std::vector<PortInfo> ListSerialPortsUnder(const PortRoots& roots);

// Every listed port with its COM numbers and its state, probed one after another; then each
// mapping of a COM number that leads to no listed port (a pseudo-terminal, a port URL, a selector
// that matches nothing), with what it leads to as its device.
std::vector<PortStatus> SurveyPorts(const PortRoots& roots, const PortMap& overrides);

} // namespace qv::link
