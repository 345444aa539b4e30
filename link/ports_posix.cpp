// COM numbers on Linux: fixed device paths, or an absolute path, port URL or USB selector from
// the overrides.
#include "link/link.h"
#include "link/network_device.h"
#include "link/port_list.h"

namespace qv::link {

std::string ResolveComPort(int port, const PortMap& overrides) {
    if (auto it = overrides.find(port); it != overrides.end())
        return it->second.starts_with('/') || IsPortUrl(it->second) || IsUsbSelector(it->second)
                   ? it->second
                   : std::string();
    if (port >= 1 && port <= 4)
        return "/dev/ttyS" + std::to_string(port - 1);
    if (port >= 5 && port <= 12)
        return "/dev/ttyUSB" + std::to_string(port - 5);
    if (port >= 13 && port <= 16)
        return "/dev/ttyACM" + std::to_string(port - 13);
    return {};
}

const char* NoPermissionText() {
    return "no permission (join the dialout group: sudo adduser $USER dialout, then log in again)";
}

} // namespace qv::link
