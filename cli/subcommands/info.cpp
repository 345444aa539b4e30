// quorvane-cli info: the reader's ID, serial number and firmware version.
#include "cli/session.h"

#include <CLI/CLI.hpp>

namespace qv::cli {

namespace {

int RunInfo(Session& s, const OnePlace& o) {
    auto connection = s.open(o);
    const auto identity = connection->readIdentity();
    if (!identity)
        throw Failure{kExitReader, "no reader answered at " + PlaceText(connection->place()) +
                                       " with " + o.settings};
    const auto version = connection->readVersion();
    if (!version)
        throw Failure{kExitReader, "the reader did not answer the version request"};
    const Place& p = connection->place();
    // Behind raw TCP the line runs at the server's settings, which nobody here knows.
    const bool applied = connection->link().lineSettingsApplied();
    s.output.emit({{"ok", true},
                   {"port", p.port},
                   {"device", p.device},
                   {"settings", applied ? nlohmann::ordered_json(p.settings) : nullptr},
                   {"id", identity->id},
                   {"serial", identity->serial},
                   {"version", *version}},
                  Rows{{"port", PlaceText(p)},
                       {"settings", applied ? p.settings : kServerSettings},
                       {"id", identity->id},
                       {"serial", PrintableBytes(identity->serial)},
                       {"version", PrintableBytes(*version)}});
    return kExitOk;
}

} // namespace

void SetupInfo(CLI::App& app, Session& session) {
    auto options = std::make_shared<OnePlace>();
    auto* sub = app.add_subcommand("info", "ID, serial number and firmware version of the reader");
    AddOnePlace(sub, *options, true);
    sub->callback([&session, options] { session.exitCode = RunInfo(session, *options); });
}

} // namespace qv::cli
