#pragma once
// The serial ports this machine has, each with the identity of the USB adapter behind it, and the
// `usb:VID:PID[:SERIAL]` selector that names an adapter wherever it is plugged in. Reading the
// system is one file per platform (port_list_posix.cpp, port_list_win32.cpp); the selector and
// the parsing of Windows device IDs are pure (port_list.cpp).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::link {

struct PortInfo {
    std::string device;     // what opens it: /dev/ttyUSB0, \\.\COM3
    std::string stablePath; // Linux: /dev/serial/by-id/..., else by-path/...; empty if neither
    bool usb = false;       // the fields below are known only for a USB port
    std::uint16_t vid = 0;
    std::uint16_t pid = 0;
    std::string serial; // empty: the adapter has no serial number
    std::string manufacturer;
    std::string product;
    int interfaceNumber = -1; // the USB interface (FTDI: the channel) the port belongs to
    std::string driver;       // ftdi_sio, cdc_acm, ch341-uart, serial8250; usbser, FTDIBUS
    // The USB device the port belongs to (Linux: its sysfs name such as 1-1.2; Windows: its
    // instance ID): ports of one multi-port adapter share it, two identical adapters do not.
    std::string usbDevice;
    bool operator==(const PortInfo&) const = default;
};

// The ports of this machine in device-name order (ttyUSB2 before ttyUSB10; COM2 before COM10).
// What cannot be read leaves its field empty; nothing here throws.
std::vector<PortInfo> ListSerialPorts();

// Linux: the same from a sysfs tree at `sysRoot` (normally /sys) and device nodes under `devRoot`
// (normally /dev); device and stable paths are given under `devRoot`.
std::vector<PortInfo> ListSerialPortsIn(const std::string& sysRoot, const std::string& devRoot);

// The order of the list: by name, a number inside it compared by value (ttyUSB2 before ttyUSB10).
bool DeviceNameLess(std::string_view a, std::string_view b);

// True for a text that is meant as a USB selector ("usb:" in any case), well formed or not.
bool IsUsbSelector(std::string_view text);

// The port that `selector` (usb:VID:PID or usb:VID:PID:SERIAL; VID and PID in hexadecimal and
// the serial compared without regard to case, as Windows upper-cases it) names among `ports`.
// The first matching port wins when the other matches belong to the same USB device (the
// further channels of one adapter); matches on two USB devices are an error that names both,
// as is no match and a selector that does not parse. Pure.
struct PortSelection {
    std::optional<PortInfo> port;
    std::string error;   // plain words for the operator when there is no port
    bool absent = false; // a well-formed selector that no plugged-in adapter matches
};
PortSelection SelectUsbPort(std::string_view selector, const std::vector<PortInfo>& ports);

// The USB identity in a Windows device's IDs. `hardwareId` is the first hardware ID
// (USB\VID_1A86&PID_7523&REV_0264, FTDIBUS\COMPORT&VID_0403&PID_6001), `instanceId` the device
// instance ID (USB\VID_1A86&PID_7523\5&2C8F0B3&0&2, FTDIBUS\VID_0403+PID_6001+A50285BIA\0000),
// `parentId` the parent's instance ID, which holds the serial of a composite device's interface
// (USB\VID_2341&PID_8036&MI_00\...). Fills usb, vid, pid, serial, interfaceNumber and usbDevice;
// a device without VID and PID (a built-in port) comes back with usb false. Pure.
PortInfo ParseWin32DeviceIds(std::string_view hardwareId, std::string_view instanceId,
                             std::string_view parentId);

// The parts of `text` between `separator`s, empty ones included (an instance ID's
// enumerator\device\instance, a selector's fields, a list of folders).
std::vector<std::string_view> Split(std::string_view text, char separator);

} // namespace qv::link
