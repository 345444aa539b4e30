#include "shell/command_line.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace qv {

namespace {

// Options QGuiApplication and QApplication take, in their one-dash form (Qt takes two dashes too).
constexpr std::array QtFlags = {std::string_view("-reverse"), std::string_view("-nograb"),
                                std::string_view("-dograb"), std::string_view("-sync"),
                                std::string_view("-widgetcount")};
constexpr std::array QtValued = {
    std::string_view("-platform"),        std::string_view("-platformpluginpath"),
    std::string_view("-platformtheme"),   std::string_view("-plugin"),
    std::string_view("-qwindowgeometry"), std::string_view("-geometry"),
    std::string_view("-qwindowicon"),     std::string_view("-icon"),
    std::string_view("-qwindowtitle"),    std::string_view("-title"),
    std::string_view("-display"),         std::string_view("-name"),
    std::string_view("-session"),         std::string_view("-style"),
    std::string_view("-stylesheet")};

template <std::size_t N>
bool Contains(const std::array<std::string_view, N>& names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

} // namespace

CommandLine ReadCommandLine(const std::vector<std::string>& args) {
    bool help = false;
    bool version = false;
    auto refuse = [](const std::string& why) {
        return CommandLine{CommandLine::Action::Refuse, why};
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            help = true;
            continue;
        }
        if (a == "--version") {
            version = true;
            continue;
        }
        if (a.size() < 2 || a[0] != '-')
            return refuse("unexpected argument: " + a);
        std::string_view name(a);
        if (name.starts_with("--"))
            name.remove_prefix(1);
        const auto eq = name.find('=');
        if (Contains(QtFlags, name))
            continue;
        if (eq != std::string_view::npos && Contains(QtValued, name.substr(0, eq)))
            continue;
        if (Contains(QtValued, name)) {
            if (++i >= args.size())
                return refuse("missing value after " + a);
            continue;
        }
        return refuse("unknown option: " + a);
    }
    if (help)
        return {CommandLine::Action::Help, {}};
    if (version)
        return {CommandLine::Action::Version, {}};
    return {};
}

std::string CommandLineHelp() {
    return R"(Usage: quorvane-tools [options]

Finds a Quorvane RFID reader on a serial line, shows the tags it reads and reads and changes its
parameters, in a window.

  --help, -h     this text
  --version      the program's version

Qt's own options, such as -platform NAME or -style NAME, are passed on to Qt.
)";
}

} // namespace qv
