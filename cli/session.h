#pragma once
// What the subcommands of quorvane-cli share: the streams, the global options, the settings
// store's port map, the trace, and how a subcommand ends. Each subcommand lives in a file of its
// own under cli/subcommands/ with a Setup function that adds it to the command line.

#include "cli/app.h"
#include "cli/output.h"
#include "reader/connection.h"
#include "reader/profile.h"

#include "link/protocol/commands.h"

#include <atomic>
#include <filesystem>
#include <istream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace qv::cli {

// The reader model's names the subcommands use.
using reader::Connection;
using reader::FindParam;
using reader::Param;
using reader::ParamRow;
using reader::Params;
using reader::Place;
using reader::PrintableBytes;
using reader::ReaderIdentity;
using reader::RestoreStep;
using reader::RowOf;
using reader::TraceLog;
using reader::Value;

// What a port behind raw TCP runs at, in words.
inline constexpr const char* kServerSettings = "the server's (raw TCP: not set, not known here)";

// Ends a subcommand with an exit status and a one-line reason.
struct Failure {
    int code;
    std::string message;
};

// Options of the subcommands that talk to one reader.
struct OnePlace {
    std::string port;
    std::string settings = std::string(link::kDefaultSettings);
    std::optional<int> tries;
};

class Session {
public:
    Session(std::istream& in, std::ostream& out, std::ostream& err, const std::atomic<bool>& stop);

    std::istream& in;
    Output output;
    const std::atomic<bool>& stop;
    bool trace = false;        // --trace
    int exitCode = kExitUsage; // set by the subcommand that ran

    // The place of `port` at `settings`; a bad word ends with exit 2.
    Place placeOf(const std::string& port, const std::string& settings) const;
    // Opens the one reader's port, or ends with exit 3 and the reason in plain words.
    std::unique_ptr<Connection> open(const OnePlace& place);
    TraceLog* traceLog();

private:
    link::PortMap overrides_;
    std::unique_ptr<TraceLog> trace_;
};

// Refuses (exit 2) to write the line speed through raw TCP: the reader would move to a speed
// the server does not use, and nothing could reach it there.
void RefuseBaudThroughRawTcp(const Place& place);

// "COM3 (/dev/ttyS2)", or the port alone when it is its own device.
std::string PlaceText(const Place& place);

// Adds --port and --settings to a subcommand, and --tries when `tries`.
void AddOnePlace(CLI::App* sub, OnePlace& place, bool tries);

// A backup file read as a profile: the writes a plain restore makes (without the reader ID and
// the line speed). One that cannot be read or is not a valid backup ends with exit 2.
struct Profile {
    std::string file, text;
    std::vector<reader::ProfileItem> items;
};
Profile LoadProfile(Session& session, const std::string& file);

// A file name from the command line as a path. It is UTF-8 on both systems (the Windows programs
// run with the UTF-8 code page), but a path made from a narrow string on Windows is read in the
// system's code page, so there the bytes are handed over as UTF-8 explicitly.
std::filesystem::path PathOf(const std::string& name);

// The text of an input file, or of standard input for "-"; one that cannot be read ends with
// exit 2.
std::string ReadInputFile(Session& session, const std::string& file);

// The parameter named on the command line; an unknown one ends with exit 2.
const ParamRow& NamedParam(const std::string& name);

// The subcommands, one file each.
void SetupScan(CLI::App& app, Session& session);
void SetupInfo(CLI::App& app, Session& session);
void SetupGet(CLI::App& app, Session& session);
void SetupSet(CLI::App& app, Session& session);
void SetupBackup(CLI::App& app, Session& session);
void SetupRestore(CLI::App& app, Session& session);
void SetupDiff(CLI::App& app, Session& session);
void SetupStation(CLI::App& app, Session& session);
void SetupWatch(CLI::App& app, Session& session);
void SetupResets(CLI::App& app, Session& session); // reset and factory-default
void SetupPorts(CLI::App& app, Session& session);
void SetupHelp(CLI::App& app, Session& session);

// The overview of the parameters, for the help texts.
std::string ParameterOverview();

} // namespace qv::cli
