#pragma once
// The COM number overrides of the settings store (Ports/COMn), read without Qt, for programs that
// have no window (the scripting tool). The window reads the same values through QSettings.
// Where the store lives is one file per platform: port_overrides_posix.cpp reads the INI files,
// port_overrides_win32.cpp the registry. The INI parsing itself is shared (port_overrides_ini.cpp).

#include "link/ports/com_ports.h"

#include <string>
#include <string_view>

namespace qv::link {

// The user's settings file where the store is a file (empty where it is not, or where no home is
// known): $XDG_CONFIG_HOME/Velmora/Quorvane_Tools.conf, by default under ~/.config.
std::string UserSettingsFile();

// The overrides as the window would see them now. Missing or unreadable store: an empty map.
PortMap ReadPortOverrides();

// The [Ports] section of a settings file in QSettings' INI form: keys COM1..COM16 whose value is
// one string (quoted or not; an unquoted value with a comma is a list and is skipped, as the
// window skips it). Other sections and keys are ignored.
PortMap ParsePortOverrides(std::string_view iniText);

} // namespace qv::link
