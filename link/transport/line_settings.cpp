#include "link/transport/line_settings.h"

#include <charconv>

namespace qv::link {

namespace {

std::optional<unsigned> ParseUnsigned(std::string_view text) {
    if (text.empty() || text.size() > 9)
        return std::nullopt;
    unsigned value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace

std::optional<LineSettings> ParseLineSettings(std::string_view text) {
    std::string_view parts[4];
    int count = 0;
    while (count < 4) {
        const auto comma = text.find(',');
        parts[count++] = text.substr(0, comma);
        if (comma == std::string_view::npos) {
            text = {};
            break;
        }
        text.remove_prefix(comma + 1);
        if (count == 4)
            return std::nullopt; // a fifth field
    }
    if (count != 4)
        return std::nullopt;
    LineSettings s;
    const auto baud = ParseUnsigned(parts[0]);
    if (!baud || *baud == 0)
        return std::nullopt;
    s.baud = *baud;
    if (parts[1].size() != 1)
        return std::nullopt;
    const char parity = parts[1][0];
    if (parity != 'n' && parity != 'e' && parity != 'o' && parity != 'N' && parity != 'E' &&
        parity != 'O')
        return std::nullopt;
    s.parity = static_cast<char>(parity | 0x20);
    const auto data = ParseUnsigned(parts[2]);
    if (!data || *data < 5 || *data > 8)
        return std::nullopt;
    s.dataBits = static_cast<int>(*data);
    const auto stop = ParseUnsigned(parts[3]);
    if (!stop || (*stop != 1 && *stop != 2))
        return std::nullopt;
    s.stopBits = static_cast<int>(*stop);
    return s;
}

} // namespace qv::link
