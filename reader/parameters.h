#pragma once
// The reader's parameters, one row each: the stable name on the command line and in backups, the
// number of words, the bounds, the commands that write and read it, the decoder of its read-back
// and the exchange each uses. The window binds its controls to these rows and the command line
// its words and JSON; neither holds a bound, a command or a decoder of its own. Adding a
// parameter means a Param value and its row here (the compiler names every switch that must know
// its value kind), its widget binding and its help words.
//
// JSON objects keep their keys in the order written (ordered_json), so backups and outputs read
// top-down as documented.

#include "link/protocol/exchange.h"
#include "link/protocol/reply.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace qv::reader {

enum class Param { SameCard, Di5, Mode, Rssi, ExciterId, Id2, Relays, Id, Baud, Gain, Beep };

struct ModeValue {
    int rs485 = 1;   // index 0..3: 24, 32, 40, 64 bits
    int wiegand = 1; // index 0..4: off, 26, 34, 42, 35 bits
};
struct ExciterValue {
    int id1 = 0, id2 = 0;
};
struct RelayValue {
    int flags[2] = {0, 0}; // bit 0 enabled, bit 1 KEY, bit 2 MO
    int time[2] = {0, 0};  // tenths of a second
};

// int: a number (same-card, rssi, id2, gain) or a line-settings index (baud); bool: the first of
// the row's two words (di5 NO, beep on); string: the reader ID's two digits.
using Value = std::variant<int, bool, std::string, ModeValue, ExciterValue, RelayValue>;

// How a value is written in words and JSON; every kind is one case of each codec switch.
enum class Kind { Number, TwoWords, ReaderId, LineSettings, Mode, ExciterIds, Relays };

struct Bounds {
    int low, high;
};

struct ParamRow {
    Param param;
    const char* name; // the stable word on the command line and in backups
    // The value form in one line, for the overview, and range, form and an example in several
    // lines; "{range}" stands for the bounds (FormText, HelpText).
    const char* form;
    const char* help;
    Kind kind;
    Bounds bounds; // numbers and IDs; exciter IDs each; relays their time
    // The printf format of a value where the command carries it as text ("%04d": four decimal
    // digits); a window panel beside its control shows the same digits.
    const char* digits = nullptr;
    const char* words[2] = {}; // TwoWords: the word for true, the word for false
    bool inBackup = false;     // backed up and restored by default
    // The set command from a value; `identity` is the identity reply of the same try (the reader
    // ID command takes the serial number from it). nullopt: no command can be built.
    std::optional<std::string> (*set)(const Value& value, const link::Reply& identity) = nullptr;
    // The read command and the decoder of its reply, held to the bounds; nullptr for a parameter
    // the reader cannot report (the line speed is checked by reaching the reader at it).
    std::string (*get)() = nullptr;
    std::optional<Value> (*decode)(const link::Reply& reply) = nullptr;
    link::Exchange setExchange = link::kSettingsExchange;
    link::Exchange getExchange = link::kSettingsExchange;

    bool readable() const { return get != nullptr; }
};

// Every parameter, in the order a restore writes them.
const std::vector<ParamRow>& Params();
// The row's form and help with its bounds filled in.
std::string FormText(const ParamRow& row);
std::string HelpText(const ParamRow& row);
const ParamRow* FindParam(std::string_view name);
const ParamRow& RowOf(Param param);

// The value from the words after the name on the command line. nullopt with `error` set to a
// one-line reason ("300 is out of range 0..250").
std::optional<Value> ParseWords(Param param, const std::vector<std::string>& words,
                                std::string& error);
// The value from its JSON form in a backup file; `error` as above.
std::optional<Value> FromJson(Param param, const nlohmann::ordered_json& json, std::string& error);
nlohmann::ordered_json ToJson(Param param, const Value& value);
// The human form, as `get` prints it.
std::string ToText(Param param, const Value& value);

// The row's commands and decoder (see ParamRow).
std::optional<std::string> SetCommand(Param param, const Value& value, const link::Reply& identity);
std::optional<Value> Decode(Param param, const link::Reply& reply);

// The display names of the mode lists, in the order of their indices.
const std::vector<std::string_view>& Rs485Names();
const std::vector<std::string_view>& WiegandNames();

} // namespace qv::reader
