// The settings store on Linux is an INI file: $XDG_CONFIG_HOME/Velmora/Quorvane_Tools.conf (default
// ~/.config/...), and the machine-wide files behind it in each folder of $XDG_CONFIG_DIRS (default
// /etc/xdg), the first the most important. As with QSettings' fallbacks, a key missing in the
// user's file is taken from the machine-wide ones.
#include "link/ports/port_overrides.h"

#include "link/ports/port_list.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

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

// The machine-wide folders as QSettings takes them: the absolute paths of $XDG_CONFIG_DIRS in
// their order, /etc/xdg when it names none.
std::vector<std::string> MachineConfigDirs() {
    std::vector<std::string> dirs;
    if (const char* list = std::getenv("XDG_CONFIG_DIRS"))
        for (const std::string_view dir : Split(list, ':'))
            if (dir.starts_with('/'))
                dirs.emplace_back(dir);
    if (dirs.empty())
        dirs.emplace_back(kMachineDir);
    return dirs;
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
    // Keys the user's file lacks come from the machine-wide files; the user's win, then the
    // first folder's.
    for (const std::string& dir : MachineConfigDirs())
        ports.merge(ParsePortOverrides(ReadFile(dir + kStoreFile)));
    return ports;
}

} // namespace qv::link
