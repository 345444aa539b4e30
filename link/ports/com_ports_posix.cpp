// COM numbers on Linux: fixed device paths, or an absolute path, port URL or USB selector from
// the overrides.
#include "link/ports/com_ports.h"

#include "link/ports/port_list.h"
#include "link/transport/network_device.h"

namespace qv::link {

std::string ResolveComPort(int port, const PortMap& overrides) {
    if (auto it = overrides.find(port); it != overrides.end())
        return it->second.starts_with('/') || IsPortUrl(it->second) || IsUsbSelector(it->second)
                   ? it->second
                   : std::string();
    if (!IsComPort(port))
        return {};
    // Four built-in ports, eight USB serial adapters, four modem-class devices.
    if (port <= 4)
        return "/dev/ttyS" + std::to_string(port - 1);
    if (port <= 12)
        return "/dev/ttyUSB" + std::to_string(port - 5);
    return "/dev/ttyACM" + std::to_string(port - 13);
}

} // namespace qv::link
