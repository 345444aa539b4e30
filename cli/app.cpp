#include "cli/app.h"

#include "cli/backup.h"
#include "cli/connection.h"
#include "cli/params.h"
#include "cli/scan.h"
#include "cli/watch.h"

#include "link/commands.h"
#include "link/port_overrides.h"
#include "qv_version.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <chrono>
#include <ctime>
#include <fstream>
#include <iostream>
#include <sstream>

namespace qv::cli {

namespace {

using json = nlohmann::ordered_json;

constexpr const char* kProgram = "quorvane-cli";
constexpr const char* kDefaultSettings = "19200,e,8,1";

// Ends a subcommand with an exit status and a one-line reason.
struct Failure {
    int code;
    std::string message;
};

struct Common {
    bool json = false;
    bool trace = false;
};

// Options of the subcommands that talk to one reader.
struct OnePlace {
    std::string port;
    std::string settings = kDefaultSettings;
    std::optional<int> tries;
};

// Bytes from the reader (serial number, version) or the command line need not be UTF-8: what is
// not is replaced, never thrown about.
std::string Dump(const json& doc, int indent = -1) {
    return doc.dump(indent, ' ', false, json::error_handler_t::replace);
}

std::string IsoUtcNow(bool millis) {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", std::gmtime(&seconds));
    std::string out = text;
    if (millis) {
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
            1000;
        char frac[8];
        std::snprintf(frac, sizeof frac, ".%03d", static_cast<int>(ms));
        out += frac;
    }
    return out + "Z";
}

// Rows of "key  value" with the keys padded to one width.
void PrintRows(std::ostream& out, const std::vector<std::pair<std::string, std::string>>& rows) {
    std::size_t width = 0;
    for (const auto& row : rows)
        width = std::max(width, row.first.size());
    for (const auto& [key, value] : rows)
        out << key << std::string(width - key.size() + 2, ' ') << value << '\n';
}

// A table with a header line; every column padded to its widest cell.
void PrintTable(std::ostream& out, const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> widths;
    for (const auto& row : rows)
        for (std::size_t i = 0; i < row.size(); ++i) {
            widths.resize(std::max(widths.size(), row.size()));
            widths[i] = std::max(widths[i], row[i].size());
        }
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i)
            line += row[i] + (i + 1 < row.size() ? std::string(widths[i] - row[i].size() + 2, ' ')
                                                 : std::string());
        out << line << '\n';
    }
}

std::string PlaceText(const Place& place) {
    return place.device.empty() || place.device == place.port
               ? place.port
               : place.port + " (" + place.device + ")";
}

class Runner {
public:
    Runner(std::ostream& out, std::ostream& err, const std::atomic<bool>& stop)
        : out_(out), err_(err), stop_(stop), overrides_(link::ReadPortOverrides()) {}

    Common common;

    Place placeOf(const std::string& port, const std::string& settings) const {
        std::string error;
        auto place = MakePlace(port, settings, overrides_, error);
        if (!place)
            throw Failure{kExitUsage, error};
        if (!link::ParseLineSettings(settings))
            throw Failure{kExitUsage,
                          "--settings " + settings + ": not line settings such as 19200,e,8,1"};
        return *place;
    }

    // Opens the one reader's port, or ends with exit 3 and the reason in plain words.
    std::unique_ptr<Connection> openConnection(const OnePlace& o) {
        auto connection =
            std::make_unique<Connection>(placeOf(o.port, o.settings), traceLog(), o.tries);
        if (!connection->open())
            throw Failure{kExitPort, "cannot open " + PlaceText(connection->place()) + ": " +
                                         link::DescribeSerialError(connection->openError())};
        return connection;
    }

    TraceLog* traceLog() {
        if (common.trace && !trace_)
            trace_ = std::make_unique<TraceLog>(err_);
        return trace_.get();
    }

    // The result document: JSON, or rows for people.
    void emit(const json& doc, const std::vector<std::pair<std::string, std::string>>& rows) {
        if (common.json)
            out_ << Dump(doc, 2) << '\n';
        else
            PrintRows(out_, rows);
    }

    int scan(const std::vector<std::string>& ports, const std::vector<std::string>& settings) {
        std::vector<Place> places;
        for (const auto& port : ports)
            places.push_back(placeOf(port, kDefaultSettings));
        for (const auto& s : settings)
            if (!link::ParseLineSettings(s))
                throw Failure{kExitUsage,
                              "--settings " + s + ": not line settings such as 19200,e,8,1"};
        const auto results = Scan(places, settings, traceLog(), stop_);
        json readers = json::array(), skipped = json::array();
        std::vector<std::vector<std::string>> table = {
            {"PORT", "DEVICE", "SETTINGS", "ID", "SERIAL", "VERSION"}};
        for (const auto& r : results) {
            if (r.find) {
                const auto& f = *r.find;
                readers.push_back({{"port", r.place.port},
                                   {"device", r.place.device},
                                   {"settings", f.settings},
                                   {"id", f.identity.id},
                                   {"serial", f.identity.serial},
                                   {"version", f.version ? json(*f.version) : json(nullptr)}});
                table.push_back({r.place.port, r.place.device, f.settings, f.identity.id,
                                 PrintableBytes(f.identity.serial),
                                 f.version ? PrintableBytes(*f.version) : "(no answer)"});
            } else if (r.openError != link::SerialError::None) {
                skipped.push_back({{"port", r.place.port},
                                   {"device", r.place.device},
                                   {"reason", link::DescribeSerialError(r.openError)}});
                // A port that is there but would not open is worth a word; a missing one not.
                if (!common.json && r.openError != link::SerialError::NoDevice)
                    err_ << kProgram << ": " << PlaceText(r.place)
                         << " not scanned: " << link::DescribeSerialError(r.openError) << '\n';
            }
        }
        // Not one port opened: that is a port problem (exit 3), not a silent reader.
        const bool noneOpened = readers.empty() && skipped.size() == results.size();
        if (noneOpened) {
            const auto& first = results.front();
            err_ << kProgram << ": "
                 << (results.size() == 1 ? "cannot open "
                                         : "none of the " + std::to_string(results.size()) +
                                               " ports could be opened, e.g. ")
                 << PlaceText(first.place) << ": " << link::DescribeSerialError(first.openError)
                 << '\n';
        }
        if (common.json)
            out_ << Dump({{"ok", !readers.empty()}, {"readers", readers}, {"not_opened", skipped}},
                         2)
                 << '\n';
        else if (!readers.empty())
            PrintTable(out_, table);
        else if (!noneOpened)
            out_ << "no reader found on " << ports.size() << " port(s) x " << settings.size()
                 << " setting(s)\n";
        return noneOpened ? kExitPort : readers.empty() ? kExitReader : kExitOk;
    }

    int info(const OnePlace& o) {
        auto connection = openConnection(o);
        const auto identity = connection->readIdentity(o.tries.value_or(3));
        if (!identity)
            throw Failure{kExitReader, "no reader answered at " + PlaceText(connection->place()) +
                                           " with " + o.settings};
        const auto version = connection->readVersion(3);
        if (!version)
            throw Failure{kExitReader, "the reader did not answer the version request"};
        const Place& p = connection->place();
        emit({{"ok", true},
              {"port", p.port},
              {"device", p.device},
              {"settings", p.settings},
              {"id", identity->id},
              {"serial", identity->serial},
              {"version", *version}},
             {{"port", PlaceText(p)},
              {"settings", p.settings},
              {"id", identity->id},
              {"serial", PrintableBytes(identity->serial)},
              {"version", PrintableBytes(*version)}});
        return kExitOk;
    }

    int get(const OnePlace& o, const std::string& name) {
        const ParamInfo& info = readableParam(name);
        auto connection = openConnection(o);
        const auto value = connection->get(info.param);
        if (!value)
            throw Failure{kExitReader, std::string("the reader did not report ") + info.name};
        emit({{"ok", true}, {"parameter", info.name}, {"value", ToJson(info.param, *value)}},
             {{info.name, ToText(info.param, *value)}});
        return kExitOk;
    }

    int set(const OnePlace& o, const std::string& name, const std::vector<std::string>& words) {
        const ParamInfo* info = FindParam(name);
        if (!info)
            throw Failure{kExitUsage, "unknown parameter \"" + name + "\" (see: " + kProgram +
                                          " help parameters)"};
        std::string error;
        const auto value = ParseWords(info->param, words, error);
        if (!value)
            throw Failure{kExitUsage, std::string(info->name) + ": " + error};
        auto connection = openConnection(o);
        const RestoreStep step = WriteAndVerify(*connection, info->param, *value);
        const bool ok =
            step.state == RestoreStep::State::Verified || step.state == RestoreStep::State::Written;
        json doc = {{"ok", ok},
                    {"parameter", info->name},
                    {"value", ToJson(info->param, *value)},
                    {"result", StateText(step.state)}};
        std::vector<std::pair<std::string, std::string>> rows = {
            {info->name, ToText(info->param, *value)}, {"result", StateText(step.state)}};
        if (step.readBack && step.state == RestoreStep::State::Differs) {
            doc["read_back"] = ToJson(info->param, *step.readBack);
            rows.push_back({"read back", ToText(info->param, *step.readBack)});
        }
        if (info->param == Param::Baud && ok)
            rows.push_back({"note", "the reader now answers at " + ToText(Param::Baud, *value)});
        emit(doc, rows);
        if (!ok)
            err_ << kProgram << ": set " << info->name << ": " << StateText(step.state) << '\n';
        return ok ? kExitOk : kExitReader;
    }

    int backup(const OnePlace& o, const std::string& file) {
        auto connection = openConnection(o);
        std::string error;
        const auto doc = MakeBackup(*connection, qv::ProgramVersion, IsoUtcNow(false), error);
        if (!doc)
            throw Failure{kExitReader, error};
        if (file == "-") {
            out_ << Dump(*doc, 2) << '\n';
            return kExitOk;
        }
        std::ofstream f(file, std::ios::binary | std::ios::trunc);
        f << Dump(*doc, 2) << '\n';
        if (!f.flush())
            throw Failure{kExitUsage, file + ": cannot be written"};
        emit({{"ok", true}, {"file", file}, {"parameters", (*doc)["parameters"].size()}},
             {{"backup", file},
              {"reader", (*doc)["reader"]["id"].get<std::string>() + " " +
                             (*doc)["reader"]["serial"].get<std::string>()},
              {"parameters", std::to_string((*doc)["parameters"].size())}});
        return kExitOk;
    }

    int restore(const OnePlace& o, const std::string& file, bool withIdentity, bool withBaud) {
        std::string text;
        if (file == "-") {
            std::ostringstream in;
            in << std::cin.rdbuf();
            text = in.str();
        } else {
            std::ifstream f(file, std::ios::binary);
            if (!f)
                throw Failure{kExitUsage, file + ": cannot be read"};
            std::ostringstream in;
            in << f.rdbuf();
            text = in.str();
        }
        std::string error;
        const auto items = PlanRestore(text, withIdentity, withBaud, error);
        if (!items)
            throw Failure{kExitUsage, file + ": " + error}; // before the port is even opened
        auto connection = openConnection(o);
        const auto steps = Restore(*connection, *items);
        bool ok = true;
        json report = json::array();
        std::vector<std::vector<std::string>> table = {{"PARAMETER", "VALUE", "RESULT"}};
        for (const auto& s : steps) {
            const char* name = InfoOf(s.param).name;
            const bool good =
                s.state == RestoreStep::State::Verified || s.state == RestoreStep::State::Written;
            ok = ok && good;
            json item = {{"parameter", name},
                         {"value", ToJson(s.param, s.wanted)},
                         {"written", s.state != RestoreStep::State::WriteFailed &&
                                         s.state != RestoreStep::State::NotAttempted},
                         {"result", StateText(s.state)}};
            std::string result = StateText(s.state);
            if (s.state == RestoreStep::State::Differs && s.readBack) {
                item["read_back"] = ToJson(s.param, *s.readBack);
                result += " (reader has " + ToText(s.param, *s.readBack) + ")";
            }
            report.push_back(item);
            table.push_back({name, ToText(s.param, s.wanted), result});
        }
        if (common.json)
            out_ << Dump({{"ok", ok}, {"file", file}, {"steps", report}}, 2) << '\n';
        else
            PrintTable(out_, table);
        if (!ok)
            err_ << kProgram << ": restore incomplete: see the parameters marked above\n";
        return ok ? kExitOk : kExitReader;
    }

    int watch(const OnePlace& o, const WatchOptions& options) {
        auto connection = openConnection(o);
        const auto result = Watch(
            *connection, options, stop_,
            [&](const TagEvent& tag) {
                const std::string time = IsoUtcNow(true);
                if (common.json)
                    out_ << Dump({{"time", time},
                                  {"id", tag.id},
                                  {"decimal", tag.decimal},
                                  {"hex", tag.hex},
                                  {"input", std::string(1, tag.input)}})
                         << std::endl; // one line per tag, flushed for a pipe
                else
                    out_ << time << "  " << tag.decimal << "(D)  " << tag.hex << "(H)  DI "
                         << tag.input << std::endl;
            },
            [&](bool silent) {
                err_ << kProgram << ": " << IsoUtcNow(true) << " "
                     << (silent ? "reader not answering" : "reader answering again") << std::endl;
            });
        connection->close();
        if (result.pollsAnswered == 0)
            throw Failure{kExitReader, "the reader answered no poll"};
        if (!result.lastPollAnswered)
            throw Failure{kExitReader, "the reader stopped answering"};
        return kExitOk;
    }

    int simple(const OnePlace& o, bool factory) {
        auto connection = openConnection(o);
        const bool ok = factory ? connection->factoryDefault() : connection->reset();
        const char* what = factory ? "factory-default" : "reset";
        emit({{"ok", ok}, {"operation", what}}, {{what, ok ? "done" : "failed"}});
        if (!ok)
            err_ << kProgram << ": " << what << ": the reader did not confirm\n";
        return ok ? kExitOk : kExitReader;
    }

private:
    const ParamInfo& readableParam(const std::string& name) const {
        const ParamInfo* info = FindParam(name);
        if (!info)
            throw Failure{kExitUsage, "unknown parameter \"" + name + "\" (see: " + kProgram +
                                          " help parameters)"};
        if (!info->readable)
            throw Failure{kExitUsage, std::string(info->name) +
                                          " cannot be read from the reader; it can only be set"};
        return *info;
    }

    std::ostream& out_;
    std::ostream& err_;
    const std::atomic<bool>& stop_;
    link::PortMap overrides_;
    std::unique_ptr<TraceLog> trace_;
};

std::string ParameterOverview() {
    std::string text =
        "Parameters (get/set NAME; `" + std::string(kProgram) + " help NAME` for the details):\n";
    for (const auto& p : Params()) {
        std::string name = p.name;
        name.resize(12, ' ');
        text += "  " + name + p.form + (p.readable ? "" : "   (set only)") + "\n";
    }
    return text;
}

const char* kFooter = R"(
Ports: COM1..COM16 (resolved as the window resolves them, including the Ports/COMn entries of
the settings store), an absolute device path such as /dev/ttyUSB0 or /dev/pts/3, or a serial
device server's port URL: rfc2217://host:port (line settings negotiated) or tcp://host:port (raw;
the server's line settings hold).
Line settings: baud,parity,data,stop as in the window's list, e.g. 19200,e,8,1 (the default).

Exit status: 0 success; 1 the reader did not answer or answered wrongly (or a read-back differs);
2 bad command line or input file (nothing was sent); 3 the port could not be opened (for scan:
not one of the ports; the reason on standard error).

Examples:
  quorvane-cli scan --json
  quorvane-cli info --port COM3
  quorvane-cli get mode --port /dev/ttyUSB0 --settings 38400,e,8,1
  quorvane-cli set relays enabled:10 enabled+key:10 --port COM3
  quorvane-cli backup reader.json --port COM3
  quorvane-cli restore reader.json --port COM3
  quorvane-cli watch --port COM3 --json --seconds 60 > tags.jsonl
  quorvane-cli info --port rfc2217://192.0.2.10:4001 --settings 38400,e,8,1
)";

void AddOnePlace(CLI::App* sub, OnePlace& o, bool tries) {
    sub->add_option("-p,--port", o.port, "COMn, an absolute device path or a port URL")->required();
    sub->add_option("-s,--settings", o.settings, "line settings, e.g. 19200,e,8,1")
        ->capture_default_str();
    if (tries)
        sub->add_option("--tries", o.tries,
                        "tries per read or write (default: the window's count, 3 for most)")
            ->check(CLI::Range(1, 20));
}

bool WantsJson(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i)
        if (std::string_view(argv[i]) == "--json")
            return true;
    return false;
}

} // namespace

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
           const std::atomic<bool>& stop) {
    Runner runner(out, err, stop);
    CLI::App app{"quorvane-cli: find, read and configure a Quorvane RFID reader from a script.",
                 kProgram};
    app.set_version_flag("--version", std::string(kProgram) + " " + qv::ProgramVersion);
    app.add_flag("--json", runner.common.json,
                 "print one JSON document (JSON lines for watch) instead of text");
    app.add_flag("--trace", runner.common.trace,
                 "write every frame sent and received, and each outcome, to standard error");
    app.fallthrough();
    app.require_subcommand(1);

    std::vector<std::string> scanPorts, scanSettings;
    auto* scan = app.add_subcommand("scan", "find readers: each port with each line setting, "
                                            "ports in parallel");
    scan->add_option("-p,--port", scanPorts, "a port to sweep (repeat; default COM1..COM16)");
    scan->add_option("-s,--settings", scanSettings,
                     "a line setting to try (repeat; default all twelve of the window's list)");

    OnePlace one;
    auto* info = app.add_subcommand("info", "ID, serial number and firmware version of the reader");
    AddOnePlace(info, one, true);

    std::string name;
    std::vector<std::string> words;
    auto* get = app.add_subcommand("get", "read one parameter (see the list below)");
    get->add_option("NAME", name, "parameter name")->required();
    AddOnePlace(get, one, true);

    auto* set = app.add_subcommand("set", "write one parameter and read it back");
    set->add_option("NAME", name, "parameter name")->required();
    set->add_option("VALUE", words, "the value, one or two words (see help NAME)")->required();
    AddOnePlace(set, one, true);

    std::string file;
    auto* backup = app.add_subcommand(
        "backup", "every readable parameter and the reader's identity into a JSON file");
    backup->add_option("FILE", file, "the backup file, - for standard output")->required();
    AddOnePlace(backup, one, true);

    bool withIdentity = false, withBaud = false;
    auto* restore = app.add_subcommand(
        "restore", "write every parameter of a backup and read each back; the whole file is "
                   "checked before anything is sent");
    restore->add_option("FILE", file, "the backup file, - for standard input")->required();
    restore->add_flag("--with-identity", withIdentity,
                      "also write the reader ID of the backup (\"reader\".\"id\")");
    restore->add_flag("--with-baud", withBaud,
                      "also write the line speed of the backup (\"baud\", written last; the "
                      "reader then answers only at it)");
    AddOnePlace(restore, one, true);

    WatchOptions watchOptions;
    std::string do1, do2;
    auto* watch = app.add_subcommand(
        "watch", "print every tag the reader reads (time, ID in decimal and hex, input) until "
                 "Ctrl-C, --count or --seconds");
    watch->add_option("--count", watchOptions.count, "stop after N tags")
        ->check(CLI::PositiveNumber);
    watch->add_option("--seconds", watchOptions.seconds, "stop after S seconds")
        ->check(CLI::PositiveNumber);
    watch->add_option("--do1", do1, "digital output 1: on or off")
        ->check(CLI::IsMember({"on", "off"}));
    watch->add_option("--do2", do2, "digital output 2: on or off")
        ->check(CLI::IsMember({"on", "off"}));
    AddOnePlace(watch, one, false);

    auto* reset = app.add_subcommand("reset", "restart the reader (one try, as the window)");
    AddOnePlace(reset, one, true);
    auto* factory = app.add_subcommand("factory-default",
                                       "put every reader parameter back to its factory value");
    AddOnePlace(factory, one, true);

    std::string topic;
    auto* help = app.add_subcommand("help", "explain a parameter or a subcommand: help NAME");
    help->add_option("NAME", topic, "a parameter, a subcommand or \"parameters\"");

    for (auto* sub : app.get_subcommands({}))
        sub->footer("Parameters: " + std::string(kProgram) + " help parameters; one in detail: " +
                    kProgram + " help NAME.\n--json and --trace may come after the subcommand.");
    app.footer(ParameterOverview() + kFooter);
    app.failure_message([](const CLI::App*, const CLI::Error& e) {
        return std::string(kProgram) + ": " + e.what() + " (see --help)\n";
    });

    const bool wantJson = WantsJson(argc, argv);
    try {
        // The first word that is not an option names the subcommand; say so when it names none.
        for (int i = 1; i < argc; ++i) {
            const std::string word = argv[i];
            if (word.starts_with('-'))
                continue;
            if (app.get_subcommands([&](CLI::App* s) { return s->get_name() == word; }).empty())
                throw CLI::ExtrasError("unknown subcommand \"" + word + "\"",
                                       CLI::ExitCodes::ExtrasError);
            break;
        }
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e, out, err);
        if (code != 0 && wantJson)
            out << Dump({{"ok", false}, {"exit", kExitUsage}, {"error", e.what()}}) << '\n';
        return code == 0 ? kExitOk : kExitUsage;
    }

    try {
        if (*help) {
            if (topic.empty()) {
                out << app.help();
            } else if (topic == "parameters") {
                out << ParameterOverview();
            } else if (const ParamInfo* p = FindParam(topic)) {
                out << p->help << '\n';
            } else if (auto* sub = [&]() -> CLI::App* {
                           try {
                               return app.get_subcommand(topic);
                           } catch (const CLI::OptionNotFound&) {
                               return nullptr;
                           }
                       }()) {
                out << sub->help();
            } else {
                throw Failure{kExitUsage, "help: no parameter or subcommand \"" + topic + "\""};
            }
            return kExitOk;
        }
        if (*scan) {
            if (scanPorts.empty())
                for (int n = 1; n <= 16; ++n)
                    scanPorts.push_back("COM" + std::to_string(n));
            if (scanSettings.empty())
                scanSettings.assign(link::SettingsList.begin(), link::SettingsList.end());
            return runner.scan(scanPorts, scanSettings);
        }
        if (*info)
            return runner.info(one);
        if (*get)
            return runner.get(one, name);
        if (*set)
            return runner.set(one, name, words);
        if (*backup)
            return runner.backup(one, file);
        if (*restore)
            return runner.restore(one, file, withIdentity, withBaud);
        if (*watch) {
            if (!do1.empty())
                watchOptions.do1 = do1 == "on";
            if (!do2.empty())
                watchOptions.do2 = do2 == "on";
            return runner.watch(one, watchOptions);
        }
        if (*reset || *factory)
            return runner.simple(one, bool(*factory));
    } catch (const Failure& f) {
        err << kProgram << ": " << f.message << '\n';
        if (wantJson)
            out << Dump({{"ok", false}, {"exit", f.code}, {"error", f.message}}) << '\n';
        return f.code;
    }
    return kExitUsage;
}

} // namespace qv::cli
