#include "cli/session.h"

#include "reader/backup.h"

#include "link/ports/port_overrides.h"
#include "link/protocol/commands.h"
#include "link/transport/network_device.h"

#include <CLI/CLI.hpp>

#include <fstream>
#include <sstream>

namespace qv::cli {

Session::Session(std::istream& input, std::ostream& out, std::ostream& err,
                 const std::atomic<bool>& stopFlag)
    : in(input), output(out, err), stop(stopFlag), overrides_(link::ReadPortOverrides()) {}

Place Session::placeOf(const std::string& port, const std::string& settings) const {
    std::string error;
    auto place = reader::MakePlace(port, settings, overrides_, error);
    if (!place)
        throw Failure{kExitUsage, "--port " + error};
    if (!link::ParseLineSettings(settings))
        throw Failure{kExitUsage,
                      "--settings " + settings + ": not line settings such as 19200,e,8,1"};
    return *place;
}

std::unique_ptr<Connection> Session::open(const OnePlace& o) {
    auto connection =
        std::make_unique<Connection>(placeOf(o.port, o.settings), traceLog(), o.tries);
    if (!connection->open())
        throw Failure{kExitPort, "cannot open " + PlaceText(connection->place()) + ": " +
                                     connection->openErrorText()};
    return connection;
}

TraceLog* Session::traceLog() {
    if (trace && !trace_)
        trace_ = std::make_unique<TraceLog>(output.err());
    return trace_.get();
}

void RefuseBaudThroughRawTcp(const Place& place) {
    if (link::IsRawTcpUrl(place.device))
        throw Failure{kExitUsage, "baud cannot be set through " + PlaceText(place) +
                                      ": behind raw TCP the server keeps the line at its own "
                                      "settings, so the reader would stop answering"};
}

std::string PlaceText(const Place& place) {
    return place.device.empty() || place.device == place.port
               ? place.port
               : place.port + " (" + place.device + ")";
}

void AddOnePlace(CLI::App* sub, OnePlace& o, bool tries) {
    sub->add_option("-p,--port", o.port,
                    "COMn, an absolute device path, a port URL or usb:VID:PID[:SERIAL]")
        ->required();
    sub->add_option("-s,--settings", o.settings, "line settings, e.g. 19200,e,8,1")
        ->capture_default_str();
    if (tries)
        sub->add_option("--tries", o.tries,
                        "tries per parameter read or write and per identity or version read "
                        "(default: the window's count, 3 for most)")
            ->check(CLI::Range(1, 20));
}

std::filesystem::path PathOf(const std::string& name) {
#ifdef _WIN32
    return std::filesystem::path(std::u8string(name.begin(), name.end()));
#else
    return std::filesystem::path(name);
#endif
}

std::string ReadInputFile(Session& session, const std::string& file) {
    std::ostringstream text;
    if (file == "-") {
        text << session.in.rdbuf();
    } else {
        std::ifstream f(PathOf(file), std::ios::binary);
        if (!f)
            throw Failure{kExitUsage, file + ": cannot be read"};
        text << f.rdbuf();
    }
    return text.str();
}

Profile LoadProfile(Session& session, const std::string& file) {
    Profile profile{file, ReadInputFile(session, file), {}};
    std::string error;
    auto plan = reader::PlanRestore(profile.text, false, false, error);
    if (!plan)
        throw Failure{kExitUsage, file + ": " + error}; // before any port is opened
    profile.items = std::move(plan->items);
    return profile;
}

const ParamRow& NamedParam(const std::string& name) {
    const ParamRow* row = FindParam(name);
    if (!row)
        throw Failure{kExitUsage,
                      "unknown parameter \"" + name + "\" (see: " + kProgram + " help parameters)"};
    return *row;
}

std::string ParameterOverview() {
    std::string text =
        "Parameters (get/set NAME; `" + std::string(kProgram) + " help NAME` for the details):\n";
    for (const auto& p : Params()) {
        std::string name = p.name;
        name.resize(12, ' ');
        text += "  " + name + reader::FormText(p) + (p.readable() ? "" : "   (set only)") + "\n";
    }
    return text;
}

} // namespace qv::cli
