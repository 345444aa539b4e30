#pragma once
// The commands a reader takes over MQTT, decoded and checked in full before anything is sent:
//   <base>/<reader>/set   {"do1": "on", "rssi": 120, "mode": {...}, ...}: the outputs and any
//                         parameter in the backup's form (not the line speed: the reader would
//                         leave the settings the gateway polls it at)
//   <base>/<reader>/get   ["rssi", "mode"] or "all" (the parameters a backup holds)
// A payload that is not JSON, too large, of the wrong shape or with an unknown key is refused.
// Pure, and fuzzed.

#include "reader/parameters.h"
#include "reader/profile.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace qv::gateway {

inline constexpr std::size_t kMaxCommandBytes = 64 * 1024;

struct SetCommand {
    std::optional<bool> do1, do2;
    std::vector<reader::ProfileItem> items; // in the order a restore writes them
};
struct GetCommand {
    std::vector<reader::Param> params;
};
using Command = std::variant<SetCommand, GetCommand>;

struct Decoded {
    std::optional<Command> command;
    std::string error; // why there is none, in words
};

Decoded DecodeSet(std::string_view payload);
Decoded DecodeGet(std::string_view payload);

} // namespace qv::gateway
