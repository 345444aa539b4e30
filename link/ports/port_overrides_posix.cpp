// The settings store on Linux is an INI file: $XDG_CONFIG_HOME/Velmora/Quorvane_Tools.conf (default
// ~/.config/...), and the machine-wide /etc/xdg/Velmora/Quorvane_Tools.conf behind it. As with
// QSettings' fallbacks, a key missing in the user's file is taken from the machine-wide one.
#include "link/ports/port_overrides.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace qv::link {

namespace {

constexpr const char* kStoreFile = "/Velmora/Quorvane_Tools.conf";
constexpr const char* kMachineDir = "/etc/xdg";

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string UserConfigDir() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/')
        return xdg;
    if (const char* home = std::getenv("HOME"); home && home[0] != '\0')
        return std::string(home) + "/.config";
    return {};
}

} // namespace

std::string UserSettingsFile() {
    const std::string dir = UserConfigDir();
    return dir.empty() ? dir : dir + kStoreFile;
}

PortMap ReadPortOverrides() {
    PortMap ports;
    if (const std::string file = UserSettingsFile(); !file.empty())
        ports = ParsePortOverrides(ReadFile(file));
    // Keys the user's file lacks come from the machine-wide file; the user's win.
    ports.merge(ParsePortOverrides(ReadFile(std::string(kMachineDir) + kStoreFile)));
    return ports;
}

} // namespace qv::link
