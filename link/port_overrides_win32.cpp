// Windows: the overrides live in the registry (HKCU\Software\Velmora\Quorvane_Tools\Ports).
// Until the registry reader is written, Windows programs use the fixed COM names only.
#include "link/port_overrides.h"

namespace qv::link {

std::string UserSettingsFile() {
    return {}; // the registry, not a file
}

PortMap ReadPortOverrides() {
    return {};
}

} // namespace qv::link
