#include "reader/parameters.h"

#include "reader/identity.h"

#include "link/protocol/commands.h"
#include "link/protocol/replies.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>

namespace qv::reader {

namespace {

using json = nlohmann::ordered_json;

const std::vector<std::string_view> kRs485Names = {"RS485 24 bits", "RS485 32 bits",
                                                   "RS485 40 bits", "RS485 64 bits"};
constexpr std::array<int, 4> kRs485Bits = {24, 32, 40, 64};
const std::vector<std::string_view> kWiegandNames = {
    "Wiegand Off", "Wiegand 26 bits", "Wiegand 34 bits", "Wiegand 42 bits", "Wiegand 35 bits"};
constexpr std::array<int, 5> kWiegandBits = {0, 26, 34, 42, 35};
constexpr std::array<const char*, 3> kRelayFlagNames = {"enabled", "key", "mo"};
constexpr int kRelayFlagMask = 7; // bits 3 to 7 of a flag byte mean nothing

int Clamp(int value, Bounds bounds) {
    return std::clamp(value, bounds.low, bounds.high);
}

// A number's decoder: the reply field's decoder, what it reports held to the row's bounds, as
// the window's controls hold it.
template <Param P, std::optional<int> (*Field)(const link::Reply&)>
std::optional<Value> DecodeNumber(const link::Reply& reply) {
    const std::optional<int> v = Field(reply);
    if (!v)
        return std::nullopt;
    return Value(Clamp(*v, RowOf(P).bounds));
}

std::optional<Value> DecodeDi5(const link::Reply& reply) {
    const auto v = link::DecodeNoNc(reply);
    return v ? std::optional<Value>(*v == '1') : std::nullopt; // anything but "1" is NC
}

std::optional<Value> DecodeModeValue(const link::Reply& reply) {
    const auto v = link::DecodeMode(reply);
    if (!v || v->rs485Index >= static_cast<int>(kRs485Names.size()) ||
        v->wiegandIndex >= static_cast<int>(kWiegandNames.size()))
        return std::nullopt;
    return Value(ModeValue{v->rs485Index, v->wiegandIndex});
}

std::optional<Value> DecodeExciter(const link::Reply& reply) {
    const auto v = link::DecodeExciterIds(reply);
    return v ? std::optional<Value>(ExciterValue{v->id1, v->id2}) : std::nullopt;
}

std::optional<Value> DecodeRelayValue(const link::Reply& reply) {
    const auto v = link::DecodeRelays(reply);
    if (!v)
        return std::nullopt;
    const Bounds time = RowOf(Param::Relays).bounds;
    RelayValue r;
    r.flags[0] = v->flags1 & kRelayFlagMask;
    r.flags[1] = v->flags2 & kRelayFlagMask;
    r.time[0] = Clamp(v->time1, time);
    r.time[1] = Clamp(v->time2, time);
    return Value(r);
}

std::optional<Value> DecodeReaderId(const link::Reply& reply) {
    const auto v = link::DecodeIdentity(reply);
    return v ? std::optional<Value>(v->id) : std::nullopt;
}

// A value as the command carries it, in the row's digits.
std::string Digits(Param param, int value) {
    char text[16];
    std::snprintf(text, sizeof text, RowOf(param).digits, value);
    return text;
}

std::optional<std::string> SetSameCard(const Value& v, const link::Reply&) {
    return link::cmd::SetSameCard(Digits(Param::SameCard, std::get<int>(v)));
}

std::optional<std::string> SetReaderId(const Value& v, const link::Reply& identity) {
    // The serial number of this very try's identity reply, whatever its ID characters are.
    const auto serial = identity.isExactly(16) ? identity.field(6, 8) : std::nullopt;
    if (!serial)
        return std::nullopt;
    return link::cmd::SetReaderId(*serial, std::get<std::string>(v));
}

// The reader ID is read through the identity request itself, as the discovery asks it.
constexpr link::Exchange kIdentityReadExchange{.pauseMs = kDiscoveryPauseMs,
                                               .identityStep = false,
                                               .commandPauseMs = 0,
                                               .commandMustAnswer = true};

const std::vector<ParamRow> kParams = {
    {.param = Param::SameCard,
     .name = "same-card",
     .form = "SECONDS ({range})",
     .help = "same-card SECONDS\n"
             "  How long the reader ignores the same card after reading it, in seconds.\n"
             "  Range {range}.  Example: set same-card 10",
     .kind = Kind::Number,
     .bounds = {0, 9999},
     .digits = "%04d",
     .inBackup = true,
     .set = SetSameCard,
     .get = link::cmd::GetSameCard,
     .decode = DecodeNumber<Param::SameCard, link::DecodeSameCard>},
    {.param = Param::Di5,
     .name = "di5",
     .form = "NO|NC",
     .help = "di5 NO|NC\n"
             "  Contact sense of the input DI5: NO (normally open) or NC (normally closed).\n"
             "  Example: set di5 NC",
     .kind = Kind::TwoWords,
     .bounds = {0, 1},
     .words = {"NO", "NC"},
     .inBackup = true,
     .set = [](const Value& v, const link::Reply&) -> std::optional<std::string> {
         return link::cmd::SetNoNc(std::get<bool>(v));
     },
     .get = link::cmd::GetNoNc,
     .decode = DecodeDi5},
    {.param = Param::Mode,
     .name = "mode",
     .form = "RS485 WIEGAND",
     .help =
         "mode RS485 WIEGAND\n"
         "  Bit width of the RS485 output and format of the Wiegand output, two words.\n"
         "  RS485:   \"RS485 24 bits\", \"RS485 32 bits\", \"RS485 40 bits\", \"RS485 64 bits\"\n"
         "           or short 24, 32, 40, 64\n"
         "  Wiegand: \"Wiegand Off\", \"Wiegand 26 bits\", \"Wiegand 34 bits\", \"Wiegand 42 "
         "bits\",\n"
         "           \"Wiegand 35 bits\" or short off, w26, w34, w42, w35\n"
         "  Example: set mode \"RS485 40 bits\" \"Wiegand 34 bits\"   (the same: set mode 40 w34)",
     .kind = Kind::Mode,
     .bounds = {0, 4},
     .inBackup = true,
     .set = [](const Value& v, const link::Reply&) -> std::optional<std::string> {
         const auto& m = std::get<ModeValue>(v);
         return link::cmd::SetMode(m.rs485, m.wiegand);
     },
     .get = link::cmd::GetMode,
     .decode = DecodeModeValue},
    {.param = Param::Rssi,
     .name = "rssi",
     .form = "THRESHOLD ({range})",
     .help = "rssi THRESHOLD\n"
             "  RSSI threshold, decimal.  Range {range}.  Example: set rssi 110",
     .kind = Kind::Number,
     .bounds = {0, 250},
     .inBackup = true,
     .set = [](const Value& v, const link::Reply&) -> std::optional<std::string> {
         return link::cmd::SetRssi(std::get<int>(v));
     },
     .get = link::cmd::GetRssi,
     .decode = DecodeNumber<Param::Rssi, link::DecodeRssi>},
    {.param = Param::ExciterId,
     .name = "exciter-id",
     .form = "ID1 ID2 (hex {range})",
     .help = "exciter-id ID1 ID2\n"
             "  The two exciter identifiers, hexadecimal, 1 to 4 digits each.\n"
             "  Range {range}.  Example: set exciter-id 1234 00FF",
     .kind = Kind::ExciterIds,
     .bounds = {0, 0xFFFF},
     .digits = "%04X",
     .inBackup = true,
     .set = [](const Value& v, const link::Reply&) -> std::optional<std::string> {
         const auto& e = std::get<ExciterValue>(v);
         return link::cmd::SetExciterIds(Digits(Param::ExciterId, e.id1),
                                         Digits(Param::ExciterId, e.id2));
     },
     .get = link::cmd::GetExciterIds,
     .decode = DecodeExciter},
    {.param = Param::Id2,
     .name = "id2",
     .form = "ID ({range}, 0 = off)",
     .help = "id2 ID\n"
             "  Second-channel ID of the entry/exit mode, decimal; 0 switches the channel off.\n"
             "  Range {range}.  Example: set id2 10",
     .kind = Kind::Number,
     .bounds = {0, 99},
     .inBackup = true,
     .set = [](const Value& v, const link::Reply&) -> std::optional<std::string> {
         return link::cmd::SetId2(std::get<int>(v));
     },
     .get = link::cmd::GetId2,
     .decode = DecodeNumber<Param::Id2, link::DecodeId2>},
    {.param = Param::Relays,
     .name = "relays",
     .form = "RL1 RL2 (FLAGS:TENTHS each)",
     .help = "relays RL1 RL2\n"
             "  The two relays, one word each: FLAGS:TENTHS.\n"
             "  FLAGS: enabled, key and mo joined with '+' (any order), or none.\n"
             "  TENTHS: switching time in tenths of a second, {range} ({high/10} s).\n"
             "  Example: set relays enabled:10 enabled+key:10\n"
             "           (RL1 enabled, 1.0 s; RL2 enabled and KEY, 1.0 s)",
     .kind = Kind::Relays,
     .bounds = {0, 250},
     .inBackup = true,
     .set = [](const Value& v, const link::Reply&) -> std::optional<std::string> {
         const auto& r = std::get<RelayValue>(v);
         return link::cmd::SetRelays(r.flags[0], r.time[0], r.flags[1], r.time[1]);
     },
     .get = link::cmd::GetRelays,
     .decode = DecodeRelayValue},
    {.param = Param::Id,
     .name = "id",
     .form = "NN ({range})",
     .help = "id NN\n"
             "  The reader ID, two decimal digits (a single digit gets its leading zero).\n"
             "  Range {range}.  Example: set id 07\n"
             "  Restored from a backup only with --with-identity.",
     .kind = Kind::ReaderId,
     .bounds = {1, 99},
     .digits = "%02d",
     .set = SetReaderId,
     .get = link::cmd::Identity,
     .decode = DecodeReaderId,
     .setExchange = link::kQuickExchange,
     .getExchange = kIdentityReadExchange},
    {.param = Param::Baud,
     .name = "baud",
     .form = "SETTINGS (e.g. 38400,e,8,1)",
     .help = "baud SETTINGS\n"
             "  The reader's line settings, one of: 4800,n,8,1 4800,e,8,1 9600,n,8,1 9600,e,8,1\n"
             "  19200,n,8,1 19200,e,8,1 38400,n,8,1 38400,e,8,1 57600,n,8,1 57600,e,8,1\n"
             "  115200,n,8,1 115200,e,8,1.  The reader answers at the new settings afterwards;\n"
             "  the read-back opens the port with them.  Example: set baud 38400,e,8,1\n"
             "  Restored from a backup only with --with-baud.",
     .kind = Kind::LineSettings,
     .bounds = {0, static_cast<int>(link::SettingsList.size()) - 1},
     .set = [](const Value& v, const link::Reply&) -> std::optional<std::string> {
         return link::cmd::SetBaudRate(std::get<int>(v));
     }},
    {.param = Param::Gain,
     .name = "gain",
     .form = "LEVEL ({range})",
     .help = "gain LEVEL\n"
             "  Receiver gain level.  Range {range}.  Write only: the reader cannot report it.\n"
             "  Example: set gain 7",
     .kind = Kind::Number,
     .bounds = {1, 7},
     .set = [](const Value& v, const link::Reply&) -> std::optional<std::string> {
         return link::cmd::SetGain(std::get<int>(v));
     }},
    {.param = Param::Beep,
     .name = "beep",
     .form = "on|off",
     .help = "beep on|off\n"
             "  Switches the reader's beeper on or off.  Write only.  Example: set beep off",
     .kind = Kind::TwoWords,
     .bounds = {0, 1},
     .words = {"on", "off"},
     .set = [](const Value& v, const link::Reply&) -> std::optional<std::string> {
         return link::cmd::Beep(std::get<bool>(v));
     },
     .setExchange = link::kDirectExchange},
};

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string Range(Bounds b) {
    return std::to_string(b.low) + ".." + std::to_string(b.high);
}

std::optional<int> Decimal(std::string_view text, Bounds bounds, std::string& error) {
    const bool digits = !text.empty() && std::all_of(text.begin(), text.end(),
                                                     [](char c) { return c >= '0' && c <= '9'; });
    if (!digits) {
        error = "\"" + std::string(text) + "\" is not a decimal number";
        return std::nullopt;
    }
    // Leading zeros aside, more than six digits is out of every range (and of an int).
    const auto significant = text.substr(std::min(text.find_first_not_of('0'), text.size()));
    const auto value = significant.size() <= 6 ? link::ParseDecimal(text) : std::nullopt;
    if (!value || *value < bounds.low || *value > bounds.high) {
        error = std::string(text) + " is out of range " + Range(bounds);
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
    const auto tenths = Decimal(word.substr(colon + 1), RowOf(Param::Relays).bounds, error);
    if (!tenths)
        return false;
    time = *tenths;
    return true;
}

std::string RelayText(int flags, int time) {
    std::string text;
    for (std::size_t bit = 0; bit < kRelayFlagNames.size(); ++bit)
        if (flags & (1 << bit)) {
            if (!text.empty())
                text += '+';
            text += kRelayFlagNames[bit];
        }
    if (text.empty())
        text = "none";
    text += ':';
    text += std::to_string(time);
    return text;
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

// A JSON integer within the bounds; the message names the value as written.
std::optional<int> JsonInt(const json& j, Bounds bounds, std::string& error) {
    if (!j.is_number_integer()) {
        error = j.dump() + " is not an integer";
        return std::nullopt;
    }
    const auto value = j.get<long long>();
    if (value < bounds.low || value > bounds.high) {
        error = j.dump() + " is out of range " + Range(bounds);
        return std::nullopt;
    }
    return static_cast<int>(value);
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
        for (const auto& entry : relay.items()) {
            const std::string& name = entry.key();
            const json& item = entry.value();
            const auto bit = std::find_if(kRelayFlagNames.begin(), kRelayFlagNames.end(),
                                          [&](const char* n) { return name == n; });
            std::string why;
            if (name == "time") {
                const auto time = JsonInt(item, RowOf(Param::Relays).bounds, why);
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

std::size_t Arity(Kind kind) {
    switch (kind) {
    case Kind::Mode:
    case Kind::ExciterIds:
    case Kind::Relays:
        return 2;
    case Kind::Number:
    case Kind::TwoWords:
    case Kind::ReaderId:
    case Kind::LineSettings:
        return 1;
    }
    return 1;
}

std::string WithRange(const ParamRow& row, std::string text) {
    const auto put = [&text](std::string_view key, const std::string& value) {
        for (auto at = text.find(key); at != std::string::npos;
             at = text.find(key, at + value.size()))
            text.replace(at, key.size(), value);
    };
    // Numbers are written as people write them; identifiers in the digits of their command.
    const auto digits = [&row](int value) {
        return row.digits && row.kind != Kind::Number ? Digits(row.param, value)
                                                      : std::to_string(value);
    };
    put("{range}", digits(row.bounds.low) + ".." + digits(row.bounds.high));
    char seconds[16];
    std::snprintf(seconds, sizeof seconds, "%.1f", row.bounds.high / 10.0);
    put("{high/10}", seconds);
    return text;
}

} // namespace

std::string FormText(const ParamRow& row) {
    return WithRange(row, row.form);
}

std::string HelpText(const ParamRow& row) {
    return WithRange(row, row.help);
}

const std::vector<ParamRow>& Params() {
    return kParams;
}

const ParamRow* FindParam(std::string_view name) {
    for (const auto& p : kParams)
        if (name == p.name)
            return &p;
    return nullptr;
}

const ParamRow& RowOf(Param param) {
    return *std::find_if(kParams.begin(), kParams.end(),
                         [&](const ParamRow& p) { return p.param == param; });
}

const std::vector<std::string_view>& Rs485Names() {
    return kRs485Names;
}

const std::vector<std::string_view>& WiegandNames() {
    return kWiegandNames;
}

std::optional<Value> ParseWords(Param param, const std::vector<std::string>& words,
                                std::string& error) {
    const ParamRow& row = RowOf(param);
    const std::size_t wanted = Arity(row.kind);
    if (words.size() != wanted) {
        error = std::string(row.name) + " takes " + std::to_string(wanted) +
                (wanted == 1 ? " value" : " values") + ": " + FormText(row);
        return std::nullopt;
    }
    const std::string& w = words[0];
    switch (row.kind) {
    case Kind::Number:
        if (auto v = Decimal(w, row.bounds, error))
            return Value(*v);
        return std::nullopt;
    case Kind::ReaderId:
        if (auto v = Decimal(w, row.bounds, error))
            return Value(Digits(param, *v));
        return std::nullopt;
    case Kind::TwoWords:
        for (const bool which : {true, false})
            if (Lower(w) == Lower(row.words[which ? 0 : 1]))
                return Value(which);
        error = "\"" + w + "\" is not " + row.words[0] + " or " + row.words[1];
        return std::nullopt;
    case Kind::LineSettings:
        if (auto v = SettingsIndex(w, error))
            return Value(*v);
        return std::nullopt;
    case Kind::Mode: {
        const auto r = ParseRs485(words[0], error);
        const auto g = r ? ParseWiegand(words[1], error) : std::nullopt;
        if (!g)
            return std::nullopt;
        return Value(ModeValue{*r, *g});
    }
    case Kind::ExciterIds: {
        const auto a = Hex16(words[0], error);
        const auto b = a ? Hex16(words[1], error) : std::nullopt;
        if (!b)
            return std::nullopt;
        return Value(ExciterValue{*a, *b});
    }
    case Kind::Relays: {
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
    const ParamRow& row = RowOf(param);
    switch (row.kind) {
    case Kind::Number:
        if (auto v = JsonInt(j, row.bounds, error))
            return Value(*v);
        return std::nullopt;
    case Kind::Relays:
        if (auto v = RelaysFromJson(j, error))
            return Value(*v);
        return std::nullopt;
    case Kind::Mode:
        if (!j.is_object() || j.size() != 2 || !j.contains("rs485") || !j.contains("wiegand") ||
            !j["rs485"].is_string() || !j["wiegand"].is_string()) {
            error = "must be {\"rs485\": \"RS485 32 bits\", \"wiegand\": \"Wiegand 26 bits\"}";
            return std::nullopt;
        }
        return ParseWords(param, {j["rs485"].get<std::string>(), j["wiegand"].get<std::string>()},
                          error);
    case Kind::ExciterIds:
        if (!j.is_array() || j.size() != 2 || !j[0].is_string() || !j[1].is_string()) {
            error = "must be two hexadecimal texts, e.g. [\"1234\", \"00FF\"]";
            return std::nullopt;
        }
        return ParseWords(param, {j[0].get<std::string>(), j[1].get<std::string>()}, error);
    case Kind::TwoWords:
    case Kind::LineSettings:
    case Kind::ReaderId:
        if (!j.is_string()) {
            error = j.dump() + " is not a text";
            return std::nullopt;
        }
        return ParseWords(param, {j.get<std::string>()}, error);
    }
    return std::nullopt;
}

json ToJson(Param param, const Value& value) {
    const ParamRow& row = RowOf(param);
    switch (row.kind) {
    case Kind::Number:
        return std::get<int>(value);
    case Kind::LineSettings:
        return std::string(link::SettingsList[static_cast<std::size_t>(std::get<int>(value))]);
    case Kind::ReaderId:
        return std::get<std::string>(value);
    case Kind::TwoWords:
        return row.words[std::get<bool>(value) ? 0 : 1];
    case Kind::Mode: {
        const auto& m = std::get<ModeValue>(value);
        return {{"rs485", kRs485Names[static_cast<std::size_t>(m.rs485)]},
                {"wiegand", kWiegandNames[static_cast<std::size_t>(m.wiegand)]}};
    }
    case Kind::ExciterIds: {
        const auto& e = std::get<ExciterValue>(value);
        return json::array({Digits(Param::ExciterId, e.id1), Digits(Param::ExciterId, e.id2)});
    }
    case Kind::Relays: {
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
    switch (RowOf(param).kind) {
    case Kind::Mode: {
        const auto& m = std::get<ModeValue>(value);
        return std::string(kRs485Names[static_cast<std::size_t>(m.rs485)]) + ", " +
               std::string(kWiegandNames[static_cast<std::size_t>(m.wiegand)]);
    }
    case Kind::ExciterIds: {
        const auto& e = std::get<ExciterValue>(value);
        return Digits(Param::ExciterId, e.id1) + " " + Digits(Param::ExciterId, e.id2);
    }
    case Kind::Relays: {
        const auto& r = std::get<RelayValue>(value);
        return RelayText(r.flags[0], r.time[0]) + " " + RelayText(r.flags[1], r.time[1]);
    }
    case Kind::Number:
    case Kind::TwoWords:
    case Kind::ReaderId:
    case Kind::LineSettings: {
        const json j = ToJson(param, value);
        return j.is_string() ? j.get<std::string>() : j.dump();
    }
    }
    return {};
}

std::optional<std::string> SetCommand(Param param, const Value& value,
                                      const link::Reply& identity) {
    return RowOf(param).set(value, identity);
}

std::optional<Value> Decode(Param param, const link::Reply& reply) {
    const ParamRow& row = RowOf(param);
    return row.decode ? row.decode(reply) : std::nullopt;
}

} // namespace qv::reader
