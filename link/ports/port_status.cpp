// The COM numbers of listed ports and the names that keep naming them: pure, shared by every
// platform. The probe and the reading of the list sit in port_status_posix.cpp / _win32.cpp.
#include "link/ports/port_status.h"

#include "link/transport/network_device.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace qv::link {

namespace {

constexpr std::string_view kWin32DevicePrefix = R"(\\.\)";

bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

// Two names of one device: the same text, the same Windows device in any case, or two paths
// that lead to one file once their symbolic links are followed.
bool SameDevice(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty())
        return false;
    if (a == b)
        return true;
    if (a.starts_with(kWin32DevicePrefix) || b.starts_with(kWin32DevicePrefix))
        return SameTextIgnoringCase(a, b);
    std::error_code errorA, errorB;
    const auto canonicalA = std::filesystem::canonical(a, errorA);
    const auto canonicalB = std::filesystem::canonical(b, errorB);
    return !errorA && !errorB && canonicalA == canonicalB;
}

bool NamesPort(const std::string& name, const PortInfo& port) {
    return SameDevice(name, port.device) || SameDevice(name, port.stablePath);
}

// The device COMn leads to, with `devRoot` in place of /dev.
std::string FixedDevice(int n, const std::string& devRoot) {
    std::string device = ResolveComPort(n, {});
    constexpr std::string_view kDev = "/dev/";
    if (devRoot != "/dev" && device.starts_with(kDev))
        device = devRoot + "/" + device.substr(kDev.size());
    return device;
}

} // namespace

const char* PortStateWord(PortState state) {
    switch (state) {
    case PortState::Ok:
        return "ok";
    case PortState::InUse:
        return "in use";
    case PortState::NoPermission:
        return "no permission";
    case PortState::NotProbed:
        return "not probed";
    case PortState::Absent:
        return "not there";
    case PortState::Error:
        break;
    }
    return "error";
}

PortState PortStateOf(SerialError error) {
    switch (error) {
    case SerialError::None:
        return PortState::Ok;
    case SerialError::InUse:
        return PortState::InUse;
    case SerialError::AccessDenied:
        return PortState::NoPermission;
    case SerialError::NoDevice:
        return PortState::Absent;
    default:
        return PortState::Error;
    }
}

std::vector<int> ComNumbersOf(const PortInfo& port, const std::vector<PortInfo>& ports,
                              const PortMap& overrides, const std::string& devRoot) {
    std::vector<int> numbers;
    for (int n = kFirstComPort; n <= kLastComPort; ++n) {
        bool leads = false;
        if (const auto it = overrides.find(n); it == overrides.end()) {
            leads = NamesPort(FixedDevice(n, devRoot), port);
        } else if (IsUsbSelector(it->second)) {
            const auto chosen = SelectUsbPort(it->second, ports);
            leads = chosen.port && chosen.port->device == port.device;
        } else if (!IsPortUrl(it->second)) {
            leads = NamesPort(ResolveComPort(n, overrides), port);
        }
        if (leads)
            numbers.push_back(n);
    }
    return numbers;
}

std::string UsbIdText(const PortInfo& port) {
    if (!port.usb)
        return {};
    char text[10];
    std::snprintf(text, sizeof text, "%04x:%04x", port.vid, port.pid);
    return text;
}

std::string StablePortName(const PortInfo& port, const std::vector<PortInfo>& ports) {
    if (port.usb && !port.serial.empty()) {
        const std::string selector = "usb:" + UsbIdText(port) + ":" + port.serial;
        const auto chosen = SelectUsbPort(selector, ports);
        if (chosen.port && chosen.port->device == port.device)
            return selector;
    }
    return port.stablePath.empty() ? port.device : port.stablePath;
}

std::vector<PortStatus> SurveyPorts(const PortRoots& roots, const PortMap& overrides) {
    const std::vector<PortInfo> ports = ListSerialPortsUnder(roots);
    std::vector<PortStatus> survey;
    survey.reserve(ports.size());
    for (const PortInfo& port : ports)
        survey.push_back(
            {port, ComNumbersOf(port, ports, overrides, roots.dev), ProbePort(port.device)});
    // The mappings that lead elsewhere, one line per target.
    for (int n = kFirstComPort; n <= kLastComPort; ++n) {
        const auto it = overrides.find(n);
        if (it == overrides.end())
            continue;
        const bool listed = std::any_of(survey.begin(), survey.end(), [n](const PortStatus& s) {
            return std::find(s.comNumbers.begin(), s.comNumbers.end(), n) != s.comNumbers.end();
        });
        if (listed)
            continue;
        const std::string target = ResolveComPort(n, overrides);
        if (target.empty())
            continue; // a value that is no port: nothing it leads to
        const auto same =
            std::find_if(survey.begin() + static_cast<std::ptrdiff_t>(ports.size()), survey.end(),
                         [&](const PortStatus& s) { return s.port.device == target; });
        if (same != survey.end()) {
            same->comNumbers.push_back(n);
            continue;
        }
        PortStatus status;
        status.port.device = target;
        status.comNumbers = {n};
        status.state = IsPortUrl(target)       ? PortState::NotProbed
                       : IsUsbSelector(target) ? PortState::Absent
                                               : ProbePort(target);
        survey.push_back(status);
    }
    return survey;
}

} // namespace qv::link
