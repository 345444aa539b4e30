#pragma once
// Where Windows keeps the COM number overrides, and a reader for any key of that form (tests
// point it at a key of their own rather than the user's settings).

#include "link/ports/com_ports.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace qv::link {

// QSettings(NativeFormat, UserScope, "Velmora", "Quorvane_Tools") puts Ports/COMn here.
inline constexpr const wchar_t* kPortOverridesKey = L"Software\\Velmora\\Quorvane_Tools\\Ports";

// The string values COM1..COM16 under root\subkey. A missing key: an empty map.
PortMap ReadPortOverridesFrom(HKEY root, const wchar_t* subkey);

} // namespace qv::link
