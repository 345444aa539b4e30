#include "cli/app.h"

#include "cli/session.h"

#include "link/ports/com_ports.h"

#include "qv_version.h"

#include <CLI/CLI.hpp>

namespace qv::cli {

namespace {

// The ports' paragraph begins with the COM range (link/ports/com_ports.h).
const char* kFooter = R"( (resolved as the window resolves them, including the Ports/COMn entries of
the settings store), an absolute device path such as /dev/ttyUSB0 or /dev/pts/3, or a serial
device server's port URL: rfc2217://host:port (line settings negotiated) or tcp://host:port (raw;
the server's line settings hold), or a USB adapter by its identity, usb:VID:PID[:SERIAL] (VID and
PID in hexadecimal; found anew at every open, wherever the adapter is plugged in).
Line settings: baud,parity,data,stop as in the window's list, e.g. 19200,e,8,1 (the default).

Exit status: 0 success; 1 the reader did not answer or answered wrongly (or a read-back differs);
2 bad command line or input file (nothing was sent); 3 the port could not be opened (for scan:
not one of the ports; the reason on standard error).

Examples:
  quorvane-cli scan --json
  quorvane-cli ports
  quorvane-cli info --port COM3
  quorvane-cli get mode --port /dev/ttyUSB0 --settings 38400,e,8,1
  quorvane-cli set relays enabled:10 enabled+key:10 --port COM3
  quorvane-cli backup reader.json --port COM3
  quorvane-cli restore reader.json --port COM3
  quorvane-cli diff reader.json --port COM3
  quorvane-cli station reader.json --port COM3 --port COM4 --log line.jsonl --id-from 1
  quorvane-cli watch --port COM3 --json --seconds 60 > tags.jsonl
  quorvane-cli watch --port usb:0403:6001:A50285BI --reconnect 30
  quorvane-cli info --port rfc2217://192.0.2.10:4001 --settings 38400,e,8,1
)";

bool WantsJson(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i)
        if (std::string_view(argv[i]) == "--json")
            return true;
    return false;
}

// The first word that is not an option names the subcommand; say so when it names none.
void CheckSubcommandWord(CLI::App& app, int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word.starts_with('-'))
            continue;
        if (app.get_subcommands([&](CLI::App* s) { return s->get_name() == word; }).empty())
            throw CLI::ExtrasError("unknown subcommand \"" + word + "\"",
                                   CLI::ExitCodes::ExtrasError);
        return;
    }
}

} // namespace

int RunCli(int argc, const char* const* argv, std::istream& in, std::ostream& out,
           std::ostream& err, const std::atomic<bool>& stop) {
    Session session(in, out, err, stop);
    session.output.asJson = WantsJson(argc, argv);
    CLI::App app{"quorvane-cli: find, read and configure a Quorvane RFID reader from a script.",
                 kProgram};
    app.set_version_flag("--version", std::string(kProgram) + " " + qv::ProgramVersion);
    app.add_flag("--json", session.output.asJson,
                 "print one JSON document (JSON lines for watch) instead of text");
    app.add_flag("--trace", session.trace,
                 "write every frame sent and received, and each outcome, to standard error");
    app.fallthrough();
    app.require_subcommand(1);

    SetupScan(app, session);
    SetupInfo(app, session);
    SetupGet(app, session);
    SetupSet(app, session);
    SetupBackup(app, session);
    SetupRestore(app, session);
    SetupDiff(app, session);
    SetupStation(app, session);
    SetupWatch(app, session);
    SetupResets(app, session);
    SetupPorts(app, session);
    SetupHelp(app, session);

    for (auto* sub : app.get_subcommands({}))
        sub->footer("Parameters: " + std::string(kProgram) + " help parameters; one in detail: " +
                    kProgram + " help NAME.\n--json and --trace may come after the subcommand.");
    app.footer(ParameterOverview() + "\nPorts: " + link::ComRangeText() + kFooter);
    app.failure_message([](const CLI::App*, const CLI::Error& e) {
        return std::string(kProgram) + ": " + e.what() + " (see --help)\n";
    });

    try {
        CheckSubcommandWord(app, argc, argv);
        app.parse(argc, argv); // runs the chosen subcommand
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e, out, err);
        if (code != 0 && session.output.asJson)
            out << Dump({{"ok", false}, {"exit", kExitUsage}, {"error", e.what()}}) << '\n';
        return code == 0 ? kExitOk : kExitUsage;
    } catch (const Failure& f) {
        session.output.failure(f.code, f.message);
        return f.code;
    }
    return session.exitCode;
}

} // namespace qv::cli
