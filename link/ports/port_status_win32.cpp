// The port probe on Windows, and where the port list is read from (the system, always).
#include "link/ports/port_status.h"

#include "link/transport/serial_win32.h"

namespace qv::link {

PortState ProbePort(const std::string& device) {
    // No sharing: a port another program holds answers ERROR_ACCESS_DENIED, which is "in use".
    const HANDLE handle = ::CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return PortStateOf(TranslateWin32Error(::GetLastError()));
    ::CloseHandle(handle);
    return PortState::Ok;
}

PortRoots PortRootsFromEnvironment() {
    return {};
}

std::vector<PortInfo> ListSerialPortsUnder(const PortRoots&) {
    return ListSerialPorts();
}

} // namespace qv::link
