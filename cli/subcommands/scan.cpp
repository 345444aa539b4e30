// quorvane-cli scan: every port with every line setting, ports in parallel.
#include "reader/scan.h"
#include "cli/session.h"

#include "link/protocol/commands.h"

#include <CLI/CLI.hpp>

namespace qv::cli {

namespace {

using json = nlohmann::ordered_json;

struct ScanOptions {
    std::vector<std::string> ports, settings;
};

int RunScan(Session& s, ScanOptions o) {
    if (o.ports.empty())
        for (int n = link::kFirstComPort; n <= link::kLastComPort; ++n)
            o.ports.push_back("COM" + std::to_string(n));
    if (o.settings.empty())
        o.settings.assign(link::SettingsList.begin(), link::SettingsList.end());
    std::vector<Place> places;
    for (const auto& port : o.ports)
        places.push_back(s.placeOf(port, std::string(link::kDefaultSettings)));
    for (const auto& setting : o.settings)
        if (!link::ParseLineSettings(setting))
            throw Failure{kExitUsage,
                          "--settings " + setting + ": not line settings such as 19200,e,8,1"};
    const auto results = reader::Scan(places, o.settings, s.traceLog(), s.stop);
    json readers = json::array(), skipped = json::array();
    Table table = {{"PORT", "DEVICE", "SETTINGS", "ID", "SERIAL", "VERSION"}};
    for (const auto& r : results) {
        if (r.find) {
            const auto& f = *r.find;
            readers.push_back({{"port", r.place.port},
                               {"device", r.place.device},
                               {"settings", f.settings ? json(*f.settings) : json(nullptr)},
                               {"id", f.identity.id},
                               {"serial", f.identity.serial},
                               {"version", f.version ? json(*f.version) : json(nullptr)}});
            table.push_back({r.place.port, r.place.device, f.settings.value_or(kServerSettings),
                             f.identity.id, PrintableBytes(f.identity.serial),
                             f.version ? PrintableBytes(*f.version) : "(no answer)"});
        } else if (r.openError != link::SerialError::None) {
            skipped.push_back(
                {{"port", r.place.port}, {"device", r.place.device}, {"reason", r.openErrorText}});
            // A port that is there but would not open is worth a word; a missing one not.
            if (!s.output.asJson && r.openError != link::SerialError::NoDevice)
                s.output.warn(PlaceText(r.place) + " not scanned: " + r.openErrorText);
        }
    }
    // Not one port opened: that is a port problem (exit 3), not a silent reader.
    const bool noneOpened = readers.empty() && skipped.size() == results.size();
    if (noneOpened) {
        const auto& first = results.front();
        s.output.warn((results.size() == 1 ? "cannot open "
                                           : "none of the " + std::to_string(results.size()) +
                                                 " ports could be opened, e.g. ") +
                      PlaceText(first.place) + ": " + first.openErrorText);
    }
    const json doc = {{"ok", !readers.empty()}, {"readers", readers}, {"not_opened", skipped}};
    if (s.output.asJson || !readers.empty())
        s.output.emit(doc, table);
    else if (!noneOpened)
        s.output.text("no reader found on " + std::to_string(o.ports.size()) + " port(s) x " +
                      std::to_string(o.settings.size()) + " setting(s)");
    return noneOpened ? kExitPort : readers.empty() ? kExitReader : kExitOk;
}

} // namespace

void SetupScan(CLI::App& app, Session& session) {
    auto options = std::make_shared<ScanOptions>();
    auto* sub = app.add_subcommand("scan", "find readers: each port with each line setting, "
                                           "ports in parallel");
    sub->add_option("-p,--port", options->ports,
                    "a port to sweep (repeat; default " + link::ComRangeText() + ")");
    sub->add_option("-s,--settings", options->settings,
                    "a line setting to try (repeat; default all twelve of the window's list)");
    sub->callback([&session, options] { session.exitCode = RunScan(session, *options); });
}

} // namespace qv::cli
