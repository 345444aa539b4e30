#pragma once
// The line parameters of a serial port, and the one rule every device follows when its driver
// refuses them.

#include <cstdint>
#include <optional>
#include <string_view>

namespace qv::link {

// Line parameters parsed from a "baud,parity,data,stop" text such as "19200,e,8,1".
struct LineSettings {
    std::uint32_t baud = 0;
    char parity = 'n'; // 'n' none, 'e' even, 'o' odd
    int dataBits = 8;  // 5 to 8
    int stopBits = 1;  // 1 or 2
    bool operator==(const LineSettings&) const = default;
};

// Strict "baud,parity,data,stop" parsing ("19200,e,8,1"); nullopt for anything else.
std::optional<LineSettings> ParseLineSettings(std::string_view text);

// Puts `settings` in force through `apply` (true: the driver took them). A driver that refuses
// them while parity is asked for is given the same settings once more without parity: a
// pseudo-terminal, on Linux or behind Wine, carries no parity, and refusing the open for that
// would make every simulated reader unreachable. A local line is not refused for its settings, so
// the result of the second try is not examined.
template <class Apply>
void ApplyWithParityFallback(const LineSettings& settings, Apply&& apply) {
    if (apply(settings) || settings.parity == 'n')
        return;
    LineSettings withoutParity = settings;
    withoutParity.parity = 'n';
    apply(withoutParity);
}

} // namespace qv::link
