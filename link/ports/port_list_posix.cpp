// The port list on Linux, read from sysfs and udev's /dev/serial links.
//
// A port is a tty under class/tty whose `device` link leads to hardware. Left out:
// - ttys without a device link (virtual consoles, pseudo-terminals, ptmx);
// - ports of the 8250 platform driver where sysfs shows no UART: `type` 0 (PORT_UNKNOWN) or no
// readable
//   `type` at all. The kernel registers ttyS0..ttyS31 whether a chip answers or not; only a
//   detected chip gets a type.
// Any other tty whose `type` reads 0 is left out for the same reason.
// The USB identity comes from the nearest directory above the device that has idVendor (the USB
// device); the interface number from the nearest one with bInterfaceNumber (the USB interface).
#include "link/ports/port_list.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace qv::link {

namespace {

namespace fs = std::filesystem;

// The first line of a sysfs attribute; nullopt when it cannot be read.
std::optional<std::string> Attribute(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    if (!in || !std::getline(in, line))
        return std::nullopt;
    while (!line.empty() && (line.back() == '\n' || line.back() == ' '))
        line.pop_back();
    return line;
}

std::string AttributeOr(const fs::path& file) {
    return Attribute(file).value_or(std::string());
}

std::optional<std::uint16_t> HexAttribute(const fs::path& file) {
    const auto text = Attribute(file);
    if (!text || text->empty())
        return std::nullopt;
    try {
        std::size_t used = 0;
        const unsigned long value = std::stoul(*text, &used, 16);
        if (used != text->size() || value > 0xFFFF)
            return std::nullopt;
        return static_cast<std::uint16_t>(value);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

bool HasUart(const fs::path& tty, const std::string& driver) {
    const auto type = Attribute(tty / "type");
    if (!type)
        return driver != "serial8250";
    return *type != "0";
}

// The driver bound to `device`. Since Linux 6.5 a serial-core port sits on two devices of the
// serial-base bus (drivers "port" and "ctrl") below the hardware; the hardware's driver
// (serial8250, serial) is the one that names the port.
std::string DriverOf(const fs::path& device, const fs::path& sysRoot) {
    for (fs::path dir = device; !dir.empty() && dir != sysRoot && dir != dir.root_path();
         dir = dir.parent_path()) {
        std::error_code error;
        const auto driver = fs::canonical(dir / "driver", error);
        if (error)
            return {};
        if (driver.parent_path().parent_path().filename() != "serial-base")
            return driver.filename().string();
    }
    return {};
}

// Fills the USB fields from the devices above `device`, up to the sysfs root.
void ReadUsbIdentity(const fs::path& device, const fs::path& sysRoot, PortInfo& port) {
    for (fs::path dir = device; !dir.empty() && dir != sysRoot && dir != dir.root_path();
         dir = dir.parent_path()) {
        if (port.interfaceNumber < 0)
            if (const auto number = HexAttribute(dir / "bInterfaceNumber"))
                port.interfaceNumber = *number;
        const auto vid = HexAttribute(dir / "idVendor");
        const auto pid = HexAttribute(dir / "idProduct");
        if (vid && pid) {
            port.usb = true;
            port.vid = *vid;
            port.pid = *pid;
            port.serial = AttributeOr(dir / "serial");
            port.manufacturer = AttributeOr(dir / "manufacturer");
            port.product = AttributeOr(dir / "product");
            port.usbDevice = dir.filename().string();
            return;
        }
    }
}

// The entries of `dir`, sorted; none when it cannot be read.
std::vector<fs::path> Entries(const fs::path& dir) {
    std::vector<fs::path> entries;
    std::error_code error;
    for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error))
        entries.push_back(it->path());
    std::sort(entries.begin(), entries.end());
    return entries;
}

// For each tty name the first link (by name) in `dir` that leads to it.
void CollectLinks(const fs::path& dir, std::vector<PortInfo>& ports, const fs::path& devRoot) {
    std::error_code error;
    for (const auto& link : Entries(dir)) {
        const auto target = fs::read_symlink(link, error);
        if (error)
            continue;
        const auto device = (devRoot / target.filename()).string();
        for (auto& port : ports)
            if (port.device == device && port.stablePath.empty())
                port.stablePath = link.string();
    }
}

} // namespace

std::vector<PortInfo> ListSerialPortsIn(const std::string& sysRoot, const std::string& devRoot) {
    std::vector<PortInfo> ports;
    const fs::path sys(sysRoot), dev(devRoot);
    std::error_code error;
    const auto sysCanonical = fs::canonical(sys, error);
    for (const auto& tty : Entries(sys / "class" / "tty")) {
        const auto device = fs::canonical(tty / "device", error);
        if (error)
            continue; // no hardware behind it
        PortInfo port;
        port.device = (dev / tty.filename()).string();
        port.driver = DriverOf(device, sysCanonical);
        if (!HasUart(tty, port.driver))
            continue;
        ReadUsbIdentity(device, sysCanonical, port);
        ports.push_back(std::move(port));
    }
    std::sort(ports.begin(), ports.end(), [](const PortInfo& a, const PortInfo& b) {
        return DeviceNameLess(a.device, b.device);
    });
    // by-id first: where a port has both, its by-id link is the stable path.
    CollectLinks(dev / "serial" / "by-id", ports, dev);
    CollectLinks(dev / "serial" / "by-path", ports, dev);
    return ports;
}

std::vector<PortInfo> ListSerialPorts() {
    return ListSerialPortsIn("/sys", "/dev");
}

} // namespace qv::link
