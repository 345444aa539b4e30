#pragma once
// The reader parameters the scripting tool reads and writes: their stable names, the human value
// forms accepted on the command line and in backup files, their JSON forms, and the commands and
// decoders that carry them to and from the reader. JSON objects keep their keys in the order
// written (ordered_json), so backups and outputs read top-down as documented.

#include "link/exchange.h"
#include "link/reply.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace qv::cli {

enum class Param { SameCard, Di5, Mode, Rssi, ExciterId, Id2, Relays, Id, Baud, Gain, Beep };

struct ModeValue {
    int rs485 = 1;   // index 0..3: 24, 32, 40, 64 bits
    int wiegand = 1; // index 0..4: off, 26, 34, 42, 35 bits
};
struct ExciterValue {
    int id1 = 0, id2 = 0; // 0..0xFFFF
};
struct RelayValue {
    int flags[2] = {0, 0}; // bit 0 enabled, bit 1 KEY, bit 2 MO
    int time[2] = {0, 0};  // tenths of a second, 0..250
};

// int: same-card, rssi, id2, gain, baud (settings index); bool: di5 (true = NO), beep;
// string: id (two digits).
using Value = std::variant<int, bool, std::string, ModeValue, ExciterValue, RelayValue>;

struct ParamInfo {
    Param param;
    const char* name; // the stable word on the command line and in backups
    const char* form; // the value form in one line, for the overview
    const char* help; // range, form and an example, several lines
    bool readable;    // the reader reports it (get, read-back after set); the line speed is
                      // checked by reaching the reader at it instead
    bool inBackup;    // backed up and restored by default
};

// Every parameter, in the order a restore writes them.
const std::vector<ParamInfo>& Params();
const ParamInfo* FindParam(std::string_view name);
const ParamInfo& InfoOf(Param param);

// The value from the words after the name on the command line. nullopt with `error` set to a
// one-line reason ("300 is out of range 0..250").
std::optional<Value> ParseWords(Param param, const std::vector<std::string>& words,
                                std::string& error);
// The value from its JSON form in a backup file; `error` as above.
std::optional<Value> FromJson(Param param, const nlohmann::ordered_json& json, std::string& error);
nlohmann::ordered_json ToJson(Param param, const Value& value);
// The human form, as `get` prints it.
std::string ToText(Param param, const Value& value);

// The set command; `identity` is the reply to the identity request of the same try (only the
// reader ID command uses it). nullopt: no command can be built from that reply.
std::optional<std::string> SetCommand(Param param, const Value& value, const link::Reply& identity);
// The read command of a readable parameter, and its reply decoded as the window decodes it
// (values held to the window's ranges). nullopt: the reply's fields are absent or not numbers.
std::string GetCommand(Param param);
std::optional<Value> Decode(Param param, const link::Reply& reply);
// The window's exchange for writing / reading this parameter.
link::Exchange SetExchange(Param param);
link::Exchange GetExchange(Param param);

} // namespace qv::cli
