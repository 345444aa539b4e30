#include "cli/params.h"

#include "link/commands.h"
#include "link/replies.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>

namespace qv::cli {

namespace {

using json = nlohmann::ordered_json;

constexpr std::array<const char*, 4> kRs485Names = {"RS485 24 bits", "RS485 32 bits",
                                                    "RS485 40 bits", "RS485 64 bits"};
constexpr std::array<int, 4> kRs485Bits = {24, 32, 40, 64};
constexpr std::array<const char*, 5> kWiegandNames = {
    "Wiegand Off", "Wiegand 26 bits", "Wiegand 34 bits", "Wiegand 42 bits", "Wiegand 35 bits"};
constexpr std::array<int, 5> kWiegandBits = {0, 26, 34, 42, 35};
constexpr std::array<const char*, 3> kRelayFlagNames = {"enabled", "key", "mo"};

const std::vector<ParamInfo> kParams = {
    {Param::SameCard, "same-card", "SECONDS (0..9999)",
     "same-card SECONDS\n"
     "  How long the reader ignores the same card after reading it, in seconds.\n"
     "  Range 0..9999.  Example: set same-card 10",
     true, true},
    {Param::Di5, "di5", "NO|NC",
     "di5 NO|NC\n"
     "  Contact sense of the input DI5: NO (normally open) or NC (normally closed).\n"
     "  Example: set di5 NC",
     true, true},
    {Param::Mode, "mode", "RS485 WIEGAND",
     "mode RS485 WIEGAND\n"
     "  Bit width of the RS485 output and format of the Wiegand output, two words.\n"
     "  RS485:   \"RS485 24 bits\", \"RS485 32 bits\", \"RS485 40 bits\", \"RS485 64 bits\"\n"
     "           or short 24, 32, 40, 64\n"
     "  Wiegand: \"Wiegand Off\", \"Wiegand 26 bits\", \"Wiegand 34 bits\", \"Wiegand 42 bits\",\n"
     "           \"Wiegand 35 bits\" or short off, w26, w34, w42, w35\n"
     "  Example: set mode \"RS485 40 bits\" \"Wiegand 34 bits\"   (the same: set mode 40 w34)",
     true, true},
    {Param::Rssi, "rssi", "THRESHOLD (0..250)",
     "rssi THRESHOLD\n"
     "  RSSI threshold, decimal.  Range 0..250.  Example: set rssi 110",
     true, true},
    {Param::ExciterId, "exciter-id", "ID1 ID2 (hex 0000..FFFF)",
     "exciter-id ID1 ID2\n"
     "  The two exciter identifiers, hexadecimal, 1 to 4 digits each.\n"
     "  Range 0000..FFFF.  Example: set exciter-id 1234 00FF",
     true, true},
    {Param::Id2, "id2", "ID (0..99, 0 = off)",
     "id2 ID\n"
     "  Second-channel ID of the entry/exit mode, decimal; 0 switches the channel off.\n"
     "  Range 0..99.  Example: set id2 10",
     true, true},
    {Param::Relays, "relays", "RL1 RL2 (FLAGS:TENTHS each)",
     "relays RL1 RL2\n"
     "  The two relays, one word each: FLAGS:TENTHS.\n"
     "  FLAGS: enabled, key and mo joined with '+' (any order), or none.\n"
     "  TENTHS: switching time in tenths of a second, 0..250 (25.0 s).\n"
     "  Example: set relays enabled:10 enabled+key:10\n"
     "           (RL1 enabled, 1.0 s; RL2 enabled and KEY, 1.0 s)",
     true, true},
    {Param::Id, "id", "NN (01..99)",
     "id NN\n"
     "  The reader ID, two decimal digits (a single digit gets its leading zero).\n"
     "  Range 01..99.  Example: set id 07\n"
     "  Restored from a backup only with --with-identity.",
     true, false},
    {Param::Baud, "baud", "SETTINGS (e.g. 38400,e,8,1)",
     "baud SETTINGS\n"
     "  The reader's line settings, one of: 4800,n,8,1 4800,e,8,1 9600,n,8,1 9600,e,8,1\n"
     "  19200,n,8,1 19200,e,8,1 38400,n,8,1 38400,e,8,1 57600,n,8,1 57600,e,8,1\n"
     "  115200,n,8,1 115200,e,8,1.  The reader answers at the new settings afterwards;\n"
     "  the read-back opens the port with them.  Example: set baud 38400,e,8,1\n"
     "  Restored from a backup only with --with-baud.",
     false, false},
    {Param::Gain, "gain", "LEVEL (1..7)",
     "gain LEVEL\n"
     "  Receiver gain level.  Range 1..7.  Write only: the reader cannot report it.\n"
     "  Example: set gain 7",
     false, false},
    {Param::Beep, "beep", "on|off",
     "beep on|off\n"
     "  Switches the reader's beeper on or off.  Write only.  Example: set beep off",
     false, false},
};

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string Range(int low, int high) {
    return std::to_string(low) + ".." + std::to_string(high);
}

std::optional<int> Decimal(std::string_view text, int low, int high, std::string& error) {
    const auto value = text.size() <= 6 ? link::ParseDecimal(text) : std::nullopt;
    if (!value) {
        error = "\"" + std::string(text) + "\" is not a decimal number";
        return std::nullopt;
    }
    if (*value < low || *value > high) {
        error = std::string(text) + " is out of range " + Range(low, high);
        return std::nullopt;
    }
    return value;
}

std::optional<int> Hex16(std::string_view text, std::string& error) {
    const auto value = text.size() <= 4 ? link::ParseHex(text) : std::nullopt;
    if (!value) {
        error = "\"" + std::string(text) + "\" is not 1 to 4 hexadecimal digits (0000..FFFF)";
        return std::nullopt;
    }
    return value;
}

std::string Hex4(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(value));
    return text;
}

// "RS485 40 bits", "rs485 40", "40" -> index.
std::optional<int> ParseRs485(std::string_view word, std::string& error) {
    std::string w = Lower(word);
    for (const char* strip : {"rs485", "bits"})
        if (const auto at = w.find(strip); at != std::string::npos)
            w.erase(at, std::string_view(strip).size());
    w.erase(std::remove(w.begin(), w.end(), ' '), w.end());
    for (std::size_t i = 0; i < kRs485Bits.size(); ++i)
        if (w == std::to_string(kRs485Bits[i]))
            return static_cast<int>(i);
    error = "RS485 \"" + std::string(word) + "\" is not one of 24, 32, 40, 64 bits";
    return std::nullopt;
}

// "Wiegand 34 bits", "w34", "34", "Wiegand Off", "off" -> index.
std::optional<int> ParseWiegand(std::string_view word, std::string& error) {
    std::string w = Lower(word);
    for (const char* strip : {"wiegand", "bits"})
        if (const auto at = w.find(strip); at != std::string::npos)
            w.erase(at, std::string_view(strip).size());
    w.erase(std::remove(w.begin(), w.end(), ' '), w.end());
    if (!w.empty() && w.front() == 'w')
        w.erase(0, 1);
    if (w == "off")
        return 0;
    for (std::size_t i = 1; i < kWiegandBits.size(); ++i)
        if (w == std::to_string(kWiegandBits[i]))
            return static_cast<int>(i);
    error = "Wiegand \"" + std::string(word) + "\" is not one of off, 26, 34, 42, 35 bits";
    return std::nullopt;
}

// "enabled+key:10" -> flags and time of one relay.
bool ParseRelay(std::string_view word, int& flags, int& time, std::string& error) {
    const auto colon = word.find(':');
    if (colon == std::string_view::npos) {
        error = "relay \"" + std::string(word) + "\" is not FLAGS:TENTHS (e.g. enabled+key:10)";
        return false;
    }
    flags = 0;
    const std::string names = Lower(word.substr(0, colon));
    if (names != "none") {
        std::size_t start = 0;
        for (;;) {
            const auto plus = names.find('+', start);
            const std::string name = names.substr(start, plus - start);
            const auto it = std::find_if(kRelayFlagNames.begin(), kRelayFlagNames.end(),
                                         [&](const char* n) { return name == n; });
            if (it == kRelayFlagNames.end()) {
                error = "relay flag \"" + name + "\" is not enabled, key, mo or none";
                return false;
            }
            flags |= 1 << (it - kRelayFlagNames.begin());
            if (plus == std::string::npos)
                break;
            start = plus + 1;
        }
    }
    const auto tenths = Decimal(word.substr(colon + 1), 0, 250, error);
    if (!tenths)
        return false;
    time = *tenths;
    return true;
}

std::string RelayText(int flags, int time) {
    std::string text;
    for (std::size_t bit = 0; bit < kRelayFlagNames.size(); ++bit)
        if (flags & (1 << bit))
            text += (text.empty() ? "" : "+") + std::string(kRelayFlagNames[bit]);
    return (text.empty() ? "none" : text) + ":" + std::to_string(time);
}

std::optional<int> SettingsIndex(std::string_view word, std::string& error) {
    const std::string w = Lower(word);
    for (std::size_t i = 0; i < link::SettingsList.size(); ++i)
        if (w == link::SettingsList[i])
            return static_cast<int>(i);
    error = "\"" + std::string(word) +
            "\" is not one of the twelve line settings "
            "(4800..115200, n or e, 8, 1; e.g. 19200,e,8,1)";
    return std::nullopt;
}

// A JSON integer within [low, high]; the message names the value as written.
std::optional<int> JsonInt(const json& j, int low, int high, std::string& error) {
    if (!j.is_number_integer()) {
        error = j.dump() + " is not an integer";
        return std::nullopt;
    }
    const auto value = j.get<long long>();
    if (value < low || value > high) {
        error = j.dump() + " is out of range " + Range(low, high);
        return std::nullopt;
    }
    return static_cast<int>(value);
}

std::optional<std::string> JsonString(const json& j, std::string& error) {
    if (!j.is_string()) {
        error = j.dump() + " is not a text";
        return std::nullopt;
    }
    return j.get<std::string>();
}

std::optional<RelayValue> RelaysFromJson(const json& j, std::string& error) {
    if (!j.is_object() || j.size() != 2 || !j.contains("rl1") || !j.contains("rl2")) {
        error = "must be {\"rl1\": {...}, \"rl2\": {...}}";
        return std::nullopt;
    }
    RelayValue v;
    for (int r = 0; r < 2; ++r) {
        const std::string key = r == 0 ? "rl1" : "rl2";
        const json& relay = j[key];
        if (!relay.is_object()) {
            error = "\"" + key + "\" must be an object";
            return std::nullopt;
        }
        for (const auto& [name, item] : relay.items()) {
            const auto bit = std::find_if(kRelayFlagNames.begin(), kRelayFlagNames.end(),
                                          [&](const char* n) { return name == n; });
            std::string why;
            if (name == "time") {
                const auto time = JsonInt(item, 0, 250, why);
                if (!time) {
                    error = "\"" + key + "\".\"time\": " + why;
                    return std::nullopt;
                }
                v.time[r] = *time;
            } else if (bit != kRelayFlagNames.end() && item.is_boolean()) {
                if (item.get<bool>())
                    v.flags[r] |= 1 << (bit - kRelayFlagNames.begin());
            } else {
                error = "\"" + key + "\".\"" + name + "\": " +
                        (bit == kRelayFlagNames.end() ? "unknown key" : "must be true or false");
                return std::nullopt;
            }
        }
        for (const char* needed : {"enabled", "key", "mo", "time"})
            if (!relay.contains(needed)) {
                error = "\"" + key + "\".\"" + needed + "\" is missing";
                return std::nullopt;
            }
    }
    return v;
}

struct Bounds {
    int low, high;
};

// The parameters whose value is one number, with its range in the window's controls.
std::optional<Bounds> NumberRange(Param param) {
    switch (param) {
    case Param::SameCard:
        return Bounds{0, 9999};
    case Param::Rssi:
        return Bounds{0, 250};
    case Param::Id2:
        return Bounds{0, 99};
    case Param::Gain:
        return Bounds{1, 7};
    default:
        return std::nullopt;
    }
}

} // namespace

const std::vector<ParamInfo>& Params() {
    return kParams;
}

const ParamInfo* FindParam(std::string_view name) {
    for (const auto& p : kParams)
        if (name == p.name)
            return &p;
    return nullptr;
}

const ParamInfo& InfoOf(Param param) {
    return *std::find_if(kParams.begin(), kParams.end(),
                         [&](const ParamInfo& p) { return p.param == param; });
}

std::optional<Value> ParseWords(Param param, const std::vector<std::string>& words,
                                std::string& error) {
    const std::size_t wanted =
        param == Param::Mode || param == Param::ExciterId || param == Param::Relays ? 2 : 1;
    if (words.size() != wanted) {
        error = std::string(InfoOf(param).name) + " takes " + std::to_string(wanted) +
                (wanted == 1 ? " value" : " values") + ": " + InfoOf(param).form;
        return std::nullopt;
    }
    const std::string& w = words[0];
    if (const auto range = NumberRange(param)) {
        if (auto v = Decimal(w, range->low, range->high, error))
            return Value(*v);
        return std::nullopt;
    }
    switch (param) {
    case Param::SameCard:
    case Param::Rssi:
    case Param::Id2:
    case Param::Gain:
        break; // numbers, above
    case Param::Id:
        if (w.size() > 2) {
            error = "\"" + w + "\" is not a reader ID 01..99";
            return std::nullopt;
        }
        if (auto v = Decimal(w, 1, 99, error)) {
            char text[4];
            std::snprintf(text, sizeof text, "%02d", *v);
            return Value(std::string(text));
        }
        return std::nullopt;
    case Param::Di5:
        if (Lower(w) == "no" || Lower(w) == "nc")
            return Value(Lower(w) == "no");
        error = "\"" + w + "\" is not NO or NC";
        return std::nullopt;
    case Param::Beep:
        if (Lower(w) == "on" || Lower(w) == "off")
            return Value(Lower(w) == "on");
        error = "\"" + w + "\" is not on or off";
        return std::nullopt;
    case Param::Baud:
        if (auto v = SettingsIndex(w, error))
            return Value(*v);
        return std::nullopt;
    case Param::Mode: {
        const auto r = ParseRs485(words[0], error);
        const auto g = r ? ParseWiegand(words[1], error) : std::nullopt;
        if (!g)
            return std::nullopt;
        return Value(ModeValue{*r, *g});
    }
    case Param::ExciterId: {
        const auto a = Hex16(words[0], error);
        const auto b = a ? Hex16(words[1], error) : std::nullopt;
        if (!b)
            return std::nullopt;
        return Value(ExciterValue{*a, *b});
    }
    case Param::Relays: {
        RelayValue v;
        for (int r = 0; r < 2; ++r)
            if (!ParseRelay(words[static_cast<std::size_t>(r)], v.flags[r], v.time[r], error))
                return std::nullopt;
        return Value(v);
    }
    }
    return std::nullopt;
}

std::optional<Value> FromJson(Param param, const json& j, std::string& error) {
    if (const auto range = NumberRange(param)) {
        if (auto v = JsonInt(j, range->low, range->high, error))
            return Value(*v);
        return std::nullopt;
    }
    switch (param) {
    case Param::SameCard:
    case Param::Rssi:
    case Param::Id2:
    case Param::Gain:
        break; // numbers, above
    case Param::Relays:
        if (auto v = RelaysFromJson(j, error))
            return Value(*v);
        return std::nullopt;
    case Param::Mode:
        if (!j.is_object() || j.size() != 2 || !j.contains("rs485") || !j.contains("wiegand") ||
            !j["rs485"].is_string() || !j["wiegand"].is_string()) {
            error = "must be {\"rs485\": \"RS485 32 bits\", \"wiegand\": \"Wiegand 26 bits\"}";
            return std::nullopt;
        }
        return ParseWords(param, {j["rs485"].get<std::string>(), j["wiegand"].get<std::string>()},
                          error);
    case Param::ExciterId:
        if (!j.is_array() || j.size() != 2 || !j[0].is_string() || !j[1].is_string()) {
            error = "must be two hexadecimal texts, e.g. [\"1234\", \"00FF\"]";
            return std::nullopt;
        }
        return ParseWords(param, {j[0].get<std::string>(), j[1].get<std::string>()}, error);
    case Param::Di5:
    case Param::Beep:
    case Param::Baud:
    case Param::Id:
        if (auto text = JsonString(j, error))
            return ParseWords(param, {*text}, error);
        return std::nullopt;
    }
    return std::nullopt;
}

json ToJson(Param param, const Value& value) {
    switch (param) {
    case Param::SameCard:
    case Param::Rssi:
    case Param::Id2:
    case Param::Gain:
        return std::get<int>(value);
    case Param::Baud:
        return std::string(link::SettingsList[static_cast<std::size_t>(std::get<int>(value))]);
    case Param::Id:
        return std::get<std::string>(value);
    case Param::Di5:
        return std::get<bool>(value) ? "NO" : "NC";
    case Param::Beep:
        return std::get<bool>(value) ? "on" : "off";
    case Param::Mode: {
        const auto& m = std::get<ModeValue>(value);
        return {{"rs485", kRs485Names[static_cast<std::size_t>(m.rs485)]},
                {"wiegand", kWiegandNames[static_cast<std::size_t>(m.wiegand)]}};
    }
    case Param::ExciterId: {
        const auto& e = std::get<ExciterValue>(value);
        return json::array({Hex4(e.id1), Hex4(e.id2)});
    }
    case Param::Relays: {
        const auto& r = std::get<RelayValue>(value);
        json out;
        for (int i = 0; i < 2; ++i)
            out[i == 0 ? "rl1" : "rl2"] = {{"enabled", (r.flags[i] & 1) != 0},
                                           {"key", (r.flags[i] & 2) != 0},
                                           {"mo", (r.flags[i] & 4) != 0},
                                           {"time", r.time[i]}};
        return out;
    }
    }
    return {};
}

std::string ToText(Param param, const Value& value) {
    switch (param) {
    case Param::Mode: {
        const auto& m = std::get<ModeValue>(value);
        return std::string(kRs485Names[static_cast<std::size_t>(m.rs485)]) + ", " +
               kWiegandNames[static_cast<std::size_t>(m.wiegand)];
    }
    case Param::ExciterId: {
        const auto& e = std::get<ExciterValue>(value);
        return Hex4(e.id1) + " " + Hex4(e.id2);
    }
    case Param::Relays: {
        const auto& r = std::get<RelayValue>(value);
        return RelayText(r.flags[0], r.time[0]) + " " + RelayText(r.flags[1], r.time[1]);
    }
    default: {
        const json j = ToJson(param, value);
        return j.is_string() ? j.get<std::string>() : j.dump();
    }
    }
}

std::optional<std::string> SetCommand(Param param, const Value& value,
                                      const link::Reply& identity) {
    switch (param) {
    case Param::SameCard: {
        char digits[8];
        std::snprintf(digits, sizeof digits, "%04d", std::get<int>(value));
        return link::cmd::SetSameCard(digits);
    }
    case Param::Di5:
        return link::cmd::SetNoNc(std::get<bool>(value));
    case Param::Mode: {
        const auto& m = std::get<ModeValue>(value);
        return link::cmd::SetMode(m.rs485, m.wiegand);
    }
    case Param::Rssi:
        return link::cmd::SetRssi(std::get<int>(value));
    case Param::ExciterId: {
        const auto& e = std::get<ExciterValue>(value);
        return link::cmd::SetExciterIds(Hex4(e.id1), Hex4(e.id2));
    }
    case Param::Id2:
        return link::cmd::SetId2(std::get<int>(value));
    case Param::Relays: {
        const auto& r = std::get<RelayValue>(value);
        return link::cmd::SetRelays(r.flags[0], r.time[0], r.flags[1], r.time[1]);
    }
    case Param::Id: {
        // The serial number of the identity reply of this very try.
        const auto reader = link::DecodeIdentity(identity);
        if (!reader)
            return std::nullopt;
        return link::cmd::SetReaderId(reader->serial, std::get<std::string>(value));
    }
    case Param::Baud:
        return link::cmd::SetBaudRate(std::get<int>(value));
    case Param::Gain:
        return link::cmd::SetGain(std::get<int>(value));
    case Param::Beep:
        return link::cmd::Beep(std::get<bool>(value));
    }
    return std::nullopt;
}

std::string GetCommand(Param param) {
    switch (param) {
    case Param::SameCard:
        return link::cmd::GetSameCard();
    case Param::Di5:
        return link::cmd::GetNoNc();
    case Param::Mode:
        return link::cmd::GetMode();
    case Param::Rssi:
        return link::cmd::GetRssi();
    case Param::ExciterId:
        return link::cmd::GetExciterIds();
    case Param::Id2:
        return link::cmd::GetId2();
    case Param::Relays:
        return link::cmd::GetRelays();
    default:
        return link::cmd::Identity(); // the reader ID is read back through the identity request
    }
}

std::optional<Value> Decode(Param param, const link::Reply& reply) {
    switch (param) {
    case Param::SameCard:
        if (auto v = link::DecodeSameCard(reply))
            return Value(std::min(*v, 9999));
        return std::nullopt;
    case Param::Di5:
        if (auto v = link::DecodeNoNc(reply))
            return Value(*v == '1');
        return std::nullopt;
    case Param::Mode:
        if (auto v = link::DecodeMode(reply))
            return Value(ModeValue{v->rs485Index, v->wiegandIndex});
        return std::nullopt;
    case Param::Rssi:
        if (auto v = link::DecodeRssi(reply))
            return Value(std::min(*v, 250)); // the window's scroll bar holds 0..250
        return std::nullopt;
    case Param::ExciterId:
        if (auto v = link::DecodeExciterIds(reply))
            return Value(ExciterValue{v->id1, v->id2});
        return std::nullopt;
    case Param::Id2:
        if (auto v = link::DecodeId2(reply))
            return Value(std::min(*v, 99));
        return std::nullopt;
    case Param::Relays:
        if (auto v = link::DecodeRelays(reply)) {
            RelayValue r; // only bits 0 to 2 of a flag byte count; times held to 0..250
            r.flags[0] = v->flags1 & 7;
            r.flags[1] = v->flags2 & 7;
            r.time[0] = std::min(v->time1, 250);
            r.time[1] = std::min(v->time2, 250);
            return Value(r);
        }
        return std::nullopt;
    case Param::Id:
        if (auto v = link::DecodeIdentity(reply))
            return Value(v->id);
        return std::nullopt;
    case Param::Baud: // read back by reaching the reader at the new settings, not by a field
    case Param::Gain:
    case Param::Beep:
        break;
    }
    return std::nullopt;
}

link::Exchange SetExchange(Param param) {
    switch (param) {
    case Param::Id:
        return link::kQuickExchange;
    case Param::Beep:
        return link::kDirectExchange;
    default:
        return link::kSettingsExchange;
    }
}

link::Exchange GetExchange(Param) {
    return link::kSettingsExchange;
}

} // namespace qv::cli
