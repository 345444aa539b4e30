// The [Ports] section of the settings store in QSettings' INI form. Pure text work, the same on
// every platform; where the text comes from is the platform file's business.
#include "link/ports/port_overrides.h"

#include <optional>
#include <string>

namespace qv::link {

namespace {

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// A QSettings INI value that is one string. Backslash escapes work inside and outside double
// quotes; quotes only protect what they enclose. nullopt for a list (a comma outside quotes) or
// an unclosed quote. A semicolon outside quotes starts a comment.
std::optional<std::string> StringValue(std::string_view raw) {
    std::string value;
    bool quoted = false;
    std::size_t keep = 0; // length of `value` up to its last character that is not bare space
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '"') {
            quoted = !quoted;
            keep = value.size();
        } else if (c == '\\' && i + 1 < raw.size()) {
            const char e = raw[++i];
            value += e == 't' ? '\t' : e == 'n' ? '\n' : e == 'r' ? '\r' : e;
            keep = value.size();
        } else if (!quoted && c == ',') {
            return std::nullopt;
        } else if (!quoted && c == ';') {
            break;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (!value.empty())
                value += c; // trailing bare spaces are cut below
        } else {
            value += c;
            keep = value.size();
        }
    }
    if (quoted)
        return std::nullopt;
    value.resize(keep);
    return value;
}

// Keys are compared as QSettings compares them: "COM" in capitals.
std::optional<int> ComNumber(std::string_view key) {
    return key.starts_with("COM") ? ParseComName(key) : std::nullopt;
}

} // namespace

PortMap ParsePortOverrides(std::string_view iniText) {
    PortMap ports;
    bool inPorts = false;
    while (!iniText.empty()) {
        const auto end = iniText.find('\n');
        const std::string_view line = Trim(iniText.substr(0, end));
        iniText = end == std::string_view::npos ? std::string_view() : iniText.substr(end + 1);
        if (line.empty() || line.front() == ';' || line.front() == '#')
            continue;
        if (line.front() == '[') {
            inPorts = line == "[Ports]";
            continue;
        }
        const auto eq = line.find('=');
        if (!inPorts || eq == std::string_view::npos)
            continue;
        const auto port = ComNumber(Trim(line.substr(0, eq)));
        if (!port)
            continue;
        if (auto value = StringValue(line.substr(eq + 1)))
            ports[*port] = std::move(*value);
    }
    return ports;
}

} // namespace qv::link
