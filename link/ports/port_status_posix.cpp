// The port probe on Linux, and where the port list is read from.
#include "link/ports/port_status.h"
#include "link/transport/serial_posix.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace qv::link {

PortState ProbePort(const std::string& device) {
    // O_NONBLOCK: no wait for carrier. Nothing is set on the line, so closing leaves it as it was.
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return PortStateOf(TranslatePosixError(errno));
    // The program's own open takes this lock; another program holding it means "in use".
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    const int lockError = errno;
    if (locked)
        ::flock(fd, LOCK_UN);
    ::close(fd);
    return locked ? PortState::Ok : PortStateOf(TranslatePosixError(lockError));
}

PortRoots PortRootsFromEnvironment() {
    PortRoots roots;
    if (const char* sys = std::getenv("QV_SYSFS_ROOT"); sys && *sys)
        roots.sys = sys;
    if (const char* dev = std::getenv("QV_DEV_ROOT"); dev && *dev)
        roots.dev = dev;
    return roots;
}

std::vector<PortInfo> ListSerialPortsUnder(const PortRoots& roots) {
    return ListSerialPortsIn(roots.sys, roots.dev);
}

} // namespace qv::link
