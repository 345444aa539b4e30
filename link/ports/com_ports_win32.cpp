// COM numbers on Windows: COMn is the system's own COM port, or another COM device, a port URL
// or a USB selector named by the overrides.
#include "link/ports/com_ports.h"

#include "link/ports/port_list.h"
#include "link/transport/network_device.h"

#include <algorithm>
#include <cctype>

namespace qv::link {

namespace {

constexpr std::string_view kDevicePrefix = R"(\\.\)";

bool IsComName(std::string_view name) {
    if (name.size() < 4 || name.size() > 6)
        return false;
    const bool com = std::toupper(static_cast<unsigned char>(name[0])) == 'C' &&
                     std::toupper(static_cast<unsigned char>(name[1])) == 'O' &&
                     std::toupper(static_cast<unsigned char>(name[2])) == 'M';
    const auto digits = name.substr(3);
    return com && digits[0] != '0' && std::all_of(digits.begin(), digits.end(), [](char c) {
               return std::isdigit(static_cast<unsigned char>(c)) != 0;
           });
}

} // namespace

std::string ResolveComPort(int port, const PortMap& overrides) {
    if (auto it = overrides.find(port); it != overrides.end()) {
        if (IsPortUrl(it->second) || IsUsbSelector(it->second))
            return it->second;
        std::string_view name = it->second;
        if (name.starts_with(kDevicePrefix))
            name.remove_prefix(kDevicePrefix.size());
        // COM10 and above open only through the device namespace, so every name goes there.
        return IsComName(name) ? std::string(kDevicePrefix) + std::string(name) : std::string();
    }
    if (IsComPort(port))
        return std::string(kDevicePrefix) + "COM" + std::to_string(port);
    return {};
}

} // namespace qv::link
