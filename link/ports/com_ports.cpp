// The COM range and COM names, the same on every platform.
#include "link/ports/com_ports.h"

#include <cctype>

namespace qv::link {

std::string ComRangeText(std::string_view separator) {
    return "COM" + std::to_string(kFirstComPort) + std::string(separator) + "COM" +
           std::to_string(kLastComPort);
}

std::optional<int> ParseComName(std::string_view name) {
    if (name.size() < 4 || name.size() > 5)
        return std::nullopt;
    for (int i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(name[static_cast<std::size_t>(i)])) != "COM"[i])
            return std::nullopt;
    int n = 0;
    for (const char c : name.substr(3)) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return IsComPort(n) ? std::optional(n) : std::nullopt;
}

} // namespace qv::link
