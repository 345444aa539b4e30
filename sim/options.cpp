#include "sim/options.h"

#include "link/ports/com_ports.h"
#include "link/protocol/commands.h"

#include <charconv>
#include <cstdint>
#include <set>
#include <string>

namespace qv::sim {

namespace {

std::optional<std::int64_t> ParseNumber(std::string_view text, std::int64_t low,
                                        std::int64_t high) {
    std::int64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < low ||
        value > high)
        return std::nullopt;
    return value;
}

std::vector<std::string> SplitCommas(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const auto comma = text.find(',', start);
        parts.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos)
            return parts;
        start = comma + 1;
    }
}

} // namespace

bool ApplyFault(const std::string& text, Faults& faults) {
    const auto eq = text.find('=');
    const std::string name = text.substr(0, eq);
    const std::string value = eq == std::string::npos ? std::string() : text.substr(eq + 1);
    const bool hasValue = eq != std::string::npos;
    if (!hasValue) {
        if (name == "silent")
            faults.silent = true;
        else if (name == "bad-checksum")
            faults.badChecksum = true;
        else if (name == "lowercase-checksum")
            faults.lowercaseChecksum = true;
        else if (name == "noise")
            faults.noise = true;
        else if (name == "stream")
            faults.stream = true;
        else if (name == "zero-byte")
            faults.zeroByte = true;
        else
            return false;
        return true;
    }
    const bool letter = value.size() == 1 && value[0] >= 'A' && value[0] <= 'Z';
    if (name == "silent-for" && letter) {
        faults.silentFor.insert(value[0]);
    } else if (name == "forgets" && letter) {
        faults.forgets.insert(value[0]);
    } else if (name == "identity-length" && (value == "15" || value == "16" || value == "17")) {
        faults.identityLength = std::stoi(value);
    } else if (name == "late") {
        const auto ms = ParseNumber(value, 0, 60000);
        if (!ms)
            return false;
        faults.lateMs = static_cast<std::uint32_t>(*ms);
    } else if (name == "hangup-after") {
        const auto n = ParseNumber(value, 0, 1000000);
        if (!n)
            return false;
        faults.hangupAfter = static_cast<int>(*n);
    } else {
        return false;
    }
    return true;
}

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string* error) {
    Options o;
    auto fail = [&](const std::string& why) -> std::optional<Options> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            o.help = true;
            continue;
        }
        if (a == "--version") {
            o.version = true;
            continue;
        }
        if (a == "--verbose" || a == "-v") {
            o.verbose = true;
            continue;
        }
        static const std::set<std::string> kWithValue = {
            "--id",           "--serial", "--firmware",    "--settings", "--tags",
            "--tag-interval", "--input",  "--reply-delay", "--fault",    "--com"};
        if (!kWithValue.count(a))
            return fail("unknown option: " + a);
        if (i + 1 >= args.size())
            return fail("missing value after " + a);
        const std::string& v = args[++i];
        if (a == "--id") {
            if (v.size() != 2 || !ParseNumber(v, 0, 99))
                return fail("--id takes two decimal digits");
            o.state.id = v;
        } else if (a == "--serial") {
            if (v.size() != 8)
                return fail("--serial takes eight characters");
            o.state.serial = v;
        } else if (a == "--firmware") {
            o.state.version = v;
        } else if (a == "--settings") {
            int index = -1;
            if (const auto n = ParseNumber(v, 0, 11))
                index = static_cast<int>(*n);
            for (std::size_t k = 0; k < link::SettingsList.size(); ++k)
                if (link::SettingsList[k] == v)
                    index = static_cast<int>(k);
            if (index < 0)
                return fail("--settings takes 0 to 11 or a text such as 19200,e,8,1");
            o.state.settingsIndex = index;
        } else if (a == "--tags") {
            o.tags.ids = SplitCommas(v);
            for (const auto& id : o.tags.ids)
                if (!IsTagId(id))
                    return fail("--tags takes identifiers of 16 hexadecimal digits: " + id);
        } else if (a == "--tag-interval") {
            const auto ms = ParseNumber(v, 1, 3600000);
            if (!ms)
                return fail("--tag-interval takes milliseconds, 1 or more");
            o.tags.intervalMs = static_cast<std::uint32_t>(*ms);
        } else if (a == "--input") {
            if (v.size() != 1)
                return fail("--input takes one character");
            o.state.input = v[0];
        } else if (a == "--reply-delay") {
            const auto ms = ParseNumber(v, 0, 60000);
            if (!ms)
                return fail("--reply-delay takes milliseconds");
            o.replyDelayMs = static_cast<std::uint32_t>(*ms);
        } else if (a == "--fault") {
            if (!ApplyFault(v, o.faults))
                return fail("unknown fault: " + v);
        } else if (a == "--com") {
            const auto n = ParseNumber(v, link::kFirstComPort, link::kLastComPort);
            if (!n)
                return fail("--com takes a port number " + std::to_string(link::kFirstComPort) +
                            " to " + std::to_string(link::kLastComPort));
            o.comPort = static_cast<int>(*n);
        }
    }
    return o;
}

std::string UsageText() {
    return R"(Usage: quorvane-sim [options]

Simulates a Quorvane reader behind a pseudo-terminal. The first line of output is the path of
the terminal to open as the reader's serial port; the simulator then answers until it gets
SIGINT (Ctrl-C), SIGTERM or SIGHUP.

Reader:
  --id NN               reader ID, two decimal digits (default 01)
  --serial XXXXXXXX     serial number, eight characters (default QV000001)
  --firmware TEXT       firmware version text (default 02.31-07)
  --settings N|TEXT     line setting, index 0 to 11 or its text (default 5, 19200,e,8,1).
                        The reader answers only while the terminal is set to that baud rate.
                        A pseudo-terminal carries no parity, so parity is not compared:
                        19200,n,8,1 and 19200,e,8,1 both reach a reader set to either.
  --input C             digital input state character (default 0)
  --tags ID[,ID...]     tag identifiers, 16 hexadecimal digits each (decoded form); they
                        are offered in turn to polls, one every --tag-interval
  --tag-interval MS     time between tags (default 1000)
  --reply-delay MS      time between a command and its reply (default 2)

Faults (--fault may be given several times):
  silent                never answers
  silent-for=L          never answers the command letter L (e.g. silent-for=V)
  forgets=L             confirms a change by command letter L but keeps the old value
  bad-checksum          reply checksums are wrong
  lowercase-checksum    reply checksums in lower-case digits; where the checksum would be
                        two decimal digits, the unread letter at position 2 changes so that
                        it carries a letter
  identity-length=N     the identity reply is N bytes long (15 or 17) instead of 16
  noise                 a stray byte goes out before every reply
  late=MS               replies leave MS milliseconds after the command
  stream                the line carries an endless stream of bytes and no replies
  zero-byte             the first data byte of every reply is a zero byte
  hangup-after=N        after N replies the simulator drops the line (closes the terminal)

Program:
  --com N               while running, map COMN to the terminal in the user's settings
                        store (Ports/COMN); the previous mapping is put back at the end
  --verbose, -v         log every command received to standard error
  --help, -h            this text
  --version             the simulator's version
)";
}

} // namespace qv::sim
