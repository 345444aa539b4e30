// The platform-free half of the port list: the USB selector and the reading of Windows device IDs.
#include "link/ports/port_list.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>

namespace qv::link {

namespace {

char Upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Upper(x) == Upper(y); });
}

std::size_t FindText(std::string_view text, std::string_view what) {
    const auto it = std::search(text.begin(), text.end(), what.begin(), what.end(),
                                [](char x, char y) { return Upper(x) == Upper(y); });
    return it == text.end() ? std::string_view::npos : static_cast<std::size_t>(it - text.begin());
}

// 1 to `maxDigits` hexadecimal digits and nothing else.
std::optional<std::uint16_t> ParseHex(std::string_view text, std::size_t maxDigits) {
    std::uint16_t value = 0;
    if (text.empty() || text.size() > maxDigits)
        return std::nullopt;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// The `digits` hexadecimal digits after `tag` (VID_, PID_, MI_) in a device ID.
std::optional<std::uint16_t> TaggedHex(std::string_view id, std::string_view tag,
                                       std::size_t digits) {
    const auto at = FindText(id, tag);
    if (at == std::string_view::npos || id.size() - at - tag.size() < digits)
        return std::nullopt;
    return ParseHex(id.substr(at + tag.size(), digits), digits);
}

// Windows makes up an instance ID with '&' in it for a device that reports no serial number.
std::string SerialOfUsbInstance(std::string_view instanceId) {
    const auto parts = Split(instanceId, '\\');
    if (parts.size() != 3 || !SameText(parts[0], "USB") || parts[2].empty() ||
        parts[2].find('&') != std::string_view::npos)
        return {};
    return std::string(parts[2]);
}

std::string Hex4(std::uint16_t value) {
    char text[5];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

std::string Describe(const PortInfo& port) {
    return port.device +
           (port.serial.empty() ? " (no serial number)" : " (serial " + port.serial + ")");
}

} // namespace

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const auto end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos)
            return parts;
        start = end + 1;
    }
}

bool DeviceNameLess(std::string_view a, std::string_view b) {
    const auto stem = [](std::string_view name) {
        std::size_t digits = name.size();
        while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1])))
            --digits;
        return digits;
    };
    const auto sa = stem(a), sb = stem(b);
    if (a.substr(0, sa) != b.substr(0, sb))
        return a.substr(0, sa) < b.substr(0, sb);
    // Equal stems: fewer digits is the smaller number (no leading zeros in device names).
    if (a.size() - sa != b.size() - sb)
        return a.size() - sa < b.size() - sb;
    return a.substr(sa) < b.substr(sb);
}

bool IsUsbSelector(std::string_view text) {
    return text.size() >= 4 && SameText(text.substr(0, 4), "usb:");
}

PortSelection SelectUsbPort(std::string_view selector, const std::vector<PortInfo>& ports) {
    const auto parts =
        IsUsbSelector(selector) ? Split(selector.substr(4), ':') : std::vector<std::string_view>{};
    const auto vid = parts.size() >= 2 ? ParseHex(parts[0], 4) : std::nullopt;
    const auto pid = parts.size() >= 2 ? ParseHex(parts[1], 4) : std::nullopt;
    // Everything after the second colon is the serial number, colons included.
    const auto serialAt = parts.size() >= 3 ? parts[0].size() + parts[1].size() + 6 : 0;
    const std::string_view serial = serialAt ? selector.substr(serialAt) : std::string_view();
    if (!vid || !pid || (serialAt && serial.empty())) {
        std::string error = "\"";
        error.append(selector).append("\" is no USB selector: write usb:VID:PID or "
                                      "usb:VID:PID:SERIAL, with VID and PID in hexadecimal");
        return {std::nullopt, error, false};
    }

    std::vector<const PortInfo*> matches;
    for (const auto& port : ports)
        if (port.usb && port.vid == *vid && port.pid == *pid &&
            (!serialAt || SameText(port.serial, serial)))
            matches.push_back(&port);
    const std::string adapter =
        Hex4(*vid) + ":" + Hex4(*pid) + (serialAt ? " serial " + std::string(serial) : "");
    if (matches.empty())
        return {std::nullopt, "no USB adapter " + adapter + " is plugged in", true};
    const PortInfo& first = *matches.front();
    for (const PortInfo* other : matches)
        if (other->usbDevice.empty() || other->usbDevice != first.usbDevice)
            if (other != &first)
                return {std::nullopt,
                        "two USB adapters " + adapter + " are plugged in, " + Describe(first) +
                            " and " + Describe(*other) +
                            (serialAt ? ": name the port by its stable path instead"
                                      : ": add the serial number to tell them apart"),
                        false};
    return {first, {}, false};
}

PortInfo ParseWin32DeviceIds(std::string_view hardwareId, std::string_view instanceId,
                             std::string_view parentId) {
    PortInfo port;
    auto vid = TaggedHex(hardwareId, "VID_", 4), pid = TaggedHex(hardwareId, "PID_", 4);
    if (!vid || !pid) {
        vid = TaggedHex(instanceId, "VID_", 4);
        pid = TaggedHex(instanceId, "PID_", 4);
    }
    if (!vid || !pid)
        return port;
    port.usb = true;
    port.vid = *vid;
    port.pid = *pid;
    const auto parts = Split(instanceId, '\\');
    if (parts.size() == 3 && SameText(parts[0], "FTDIBUS")) {
        // FTDIBUS\VID_0403+PID_6001+A50285BIA\0000: the adapter's serial number with the channel
        // letter appended (A for the first). No serial: the third field is missing or made up.
        const auto fields = Split(parts[1], '+');
        if (fields.size() == 3 && fields[2].size() >= 2 &&
            fields[2].find('&') == std::string_view::npos) {
            const char channel = Upper(fields[2].back());
            if (channel >= 'A' && channel <= 'Z') {
                port.serial = std::string(fields[2].substr(0, fields[2].size() - 1));
                port.interfaceNumber = channel - 'A';
            } else {
                port.serial = std::string(fields[2]);
            }
        }
        // The channels of one adapter share the ID without the letter.
        port.usbDevice = "FTDIBUS\\VID_" + Hex4(port.vid) + "+PID_" + Hex4(port.pid) + "+" +
                         (port.serial.empty() ? std::string(instanceId) : port.serial);
        return port;
    }
    // A function of a composite device (MI_xx): the serial and the device are its parent's.
    if (const auto mi = TaggedHex(instanceId, "MI_", 2)) {
        port.interfaceNumber = *mi;
        port.serial = SerialOfUsbInstance(parentId);
        port.usbDevice = std::string(parentId);
    } else {
        port.serial = SerialOfUsbInstance(instanceId);
        port.usbDevice = std::string(instanceId);
    }
    return port;
}

} // namespace qv::link
