// quorvane-cli station PROFILE: a production station. Each port waits for a reader, gives it the
// profile (and the next reader ID), checks it, records it and waits for the next; the ports run in
// parallel. Ctrl-C ends after the current reader and prints a summary.
#include "cli/session.h"
#include "reader/station_log.h"

#include "reader/sha256.h"
#include "reader/station.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>
#include <set>

namespace qv::cli {

namespace {

using json = nlohmann::ordered_json;

struct StationOptions {
    std::string file;
    std::vector<std::string> ports;
    std::string settings = std::string(link::kDefaultSettings);
    std::string log;
    std::optional<std::string> csv;
    std::optional<int> idFrom, count, tries;
    std::optional<double> tagTestSeconds;
};

// One port of the station on its own connection.
class PortLine : public reader::StationLine {
public:
    PortLine(Place place, TraceLog* trace, std::optional<int> tries)
        : connection_(std::move(place), trace, tries) {
        connection_.followSettingsStore(); // a simulator mapped as COMn later is seen
    }
    std::string name() const override { return connection_.place().port; }
    bool open() override { return connection_.open(); }
    void close() override { connection_.close(); }
    link::Link& link() override { return connection_.link(); }
    std::string whyNotOpen() const override {
        return connection_.openFailedForWantOfDevice()
                   ? std::string()
                   : "cannot be opened: " + connection_.openErrorText();
    }

private:
    Connection connection_;
};

std::string ResultLine(const reader::StationRecord& r, bool colour) {
    std::string line = r.passed ? "PASS" : "FAIL";
    if (colour)
        line = (r.passed ? "\x1b[1;32m" : "\x1b[1;31m") + line + "\x1b[0m";
    line += "  " + r.port + "  serial " + r.serial + "  firmware " +
            (r.firmware.empty() ? "?" : r.firmware);
    if (r.id)
        line += "  id " + *r.id;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "  %.1f s", static_cast<double>(r.durationMs) / 1000.0);
    line += seconds;
    for (const auto& f : r.failures)
        line += "  " + f.parameter + ": " + f.reason;
    return line;
}

std::string SummaryLine(const reader::StationSummary& summary) {
    char text[128];
    std::snprintf(text, sizeof text, "passed %d, failed %d, %.1f readers per hour", summary.passed,
                  summary.failed, summary.readersPerHour());
    std::string line = text;
    for (const auto& notice : summary.notices)
        line += "; " + notice.port + " " + notice.what;
    return line;
}

// A port that can never be a reader's (a regular file, a device that is no terminal, an address
// that is none) is refused before the station starts; one that is not there yet is waited for.
void RefuseWhatIsNoPort(const Place& place) {
    if (!place.device.starts_with('/'))
        return; // a URL is checked by its words, a selector found at each open
    Connection probe(place, nullptr);
    const bool opened = probe.open();
    probe.close();
    const link::SerialError error = probe.openError();
    if (!opened &&
        (error == link::SerialError::NotCharacterDevice || error == link::SerialError::BadAddress))
        throw Failure{kExitPort, "cannot open " + PlaceText(place) + ": " + probe.openErrorText()};
}

int RunStation(Session& s, const StationOptions& o) {
    const Profile profile = LoadProfile(s, o.file);
    if (profile.items.empty())
        throw Failure{kExitUsage, o.file + ": the profile names no parameter to write"};
    std::vector<Place> places;
    std::set<std::string> seen;
    for (const auto& port : o.ports) {
        places.push_back(s.placeOf(port, o.settings));
        if (!seen.insert(places.back().device.empty() ? places.back().port : places.back().device)
                 .second)
            throw Failure{kExitUsage, "--port " + port + " is given twice"};
    }
    reader::StationPlan plan;
    plan.items = profile.items;
    plan.profile = o.file.substr(o.file.find_last_of("/\\") + 1); // the name, not the folder
    plan.profileSha256 = reader::Sha256Hex(profile.text);
    plan.idFrom = o.idFrom;
    plan.count = o.count;
    plan.tries = o.tries;
    if (o.tagTestSeconds)
        plan.tagTestMs = static_cast<std::uint32_t>(*o.tagTestSeconds * 1000.0 + 0.5);

    std::string error;
    const auto log = reader::StationLog::Open(o.log, o.csv, error);
    if (!log)
        throw Failure{kExitUsage, error};
    bool recordLost = false;
    const bool colour = &s.output.out() == &std::cout && StdoutIsTerminal();
    reader::Station station(
        plan, s.stop, [] { return IsoUtcNow(true); },
        [&](const reader::StationRecord& record) {
            const bool kept = log->write(record);
            if (s.output.asJson)
                s.output.line(reader::ToJson(record));
            else
                s.output.text(ResultLine(record, colour));
            recordLost = recordLost || !kept;
            if (!kept)
                s.output.warn(o.log + ": the record could not be written; the station ends after "
                                      "the readers being configured");
            return kept;
        },
        [&](const reader::StationNotice& notice) {
            s.output.warn(notice.port + " " + notice.what);
        });
    if (!log->resume(station.ids(), error))
        throw Failure{kExitUsage, error};
    for (const auto& place : places)
        RefuseWhatIsNoPort(place);
    if (!s.output.asJson) {
        std::string ports;
        for (const auto& place : places) {
            if (!ports.empty())
                ports += ", ";
            ports += PlaceText(place);
        }
        s.output.text("profile " + plan.profile + " (sha256 " + plan.profileSha256.substr(0, 12) +
                      "...), " + std::to_string(plan.items.size()) + " parameters; ports " + ports +
                      "; log " + o.log);
        if (station.ids())
            s.output.text("next reader ID " + std::to_string(station.ids()->next()));
        s.output.text("waiting for readers (Ctrl-C ends after the current one)");
    }

    std::vector<std::unique_ptr<PortLine>> lines;
    std::vector<reader::StationLine*> pointers;
    for (auto& place : places) {
        lines.push_back(std::make_unique<PortLine>(std::move(place), s.traceLog(), o.tries));
        pointers.push_back(lines.back().get());
    }
    const auto summary = station.run(pointers);
    json notices = json::array();
    for (const auto& notice : summary.notices)
        notices.push_back({{"port", notice.port}, {"what", notice.what}});
    if (s.output.asJson)
        s.output.line({{"summary",
                        {{"passed", summary.passed},
                         {"failed", summary.failed},
                         {"readers_per_hour", summary.readersPerHour()},
                         {"notices", notices}}}});
    else
        s.output.text(SummaryLine(summary));
    if (recordLost)
        throw Failure{kExitUsage, o.log + ": a record could not be written"};
    return summary.failed == 0 ? kExitOk : kExitReader;
}

} // namespace

void SetupStation(CLI::App& app, Session& session) {
    auto o = std::make_shared<StationOptions>();
    auto* sub = app.add_subcommand(
        "station", "production station: give reader after reader a profile on one or more "
                   "ports, check each and record it; Ctrl-C ends after the current reader");
    sub->add_option("PROFILE", o->file, "the backup file whose parameters every reader gets")
        ->required();
    sub->add_option("-p,--port", o->ports,
                    "a port where readers are plugged in (several: one loop each, in parallel)")
        ->required();
    sub->add_option("-s,--settings", o->settings, "line settings, e.g. 19200,e,8,1")
        ->capture_default_str();
    sub->add_option("--log", o->log,
                    "the record file (JSON lines, appended; read at start to go on with IDs)")
        ->required();
    sub->add_option("--csv", o->csv, "also append each record to this CSV file");
    sub->add_option("--id-from", o->idFrom,
                    "give reader IDs in sequence from N (a restarted station goes on from its log)")
        ->check(CLI::Range(1, 99));
    sub->add_option("--tag-test", o->tagTestSeconds,
                    "wait up to SECONDS for one tag read; a reader without one fails")
        ->check(CLI::Range(0.1, 3600.0));
    sub->add_option("--count", o->count, "stop after N readers")->check(CLI::PositiveNumber);
    sub->add_option("--tries", o->tries,
                    "tries per parameter read or write (default: the window's count)")
        ->check(CLI::Range(1, 20));
    sub->callback([&session, o] { session.exitCode = RunStation(session, *o); });
}

} // namespace qv::cli
