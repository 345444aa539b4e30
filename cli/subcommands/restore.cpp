// quorvane-cli restore FILE: every parameter of a backup written and read back.
#include "cli/session.h"
#include "reader/backup.h"

#include <CLI/CLI.hpp>

namespace qv::cli {

namespace {

using json = nlohmann::ordered_json;

struct RestoreOptions {
    OnePlace place;
    std::string file;
    bool withIdentity = false, withBaud = false;
};

const char* FlagFor(Param param) {
    return param == Param::Id ? "--with-identity" : "--with-baud";
}

int RunRestore(Session& s, const RestoreOptions& o) {
    std::string error;
    const auto plan =
        reader::PlanRestore(ReadInputFile(s, o.file), o.withIdentity, o.withBaud, error);
    if (!plan)
        throw Failure{kExitUsage, o.file + ": " + error}; // before the port is even opened
    for (const auto& item : plan->items)
        if (item.param == Param::Baud)
            RefuseBaudThroughRawTcp(s.placeOf(o.place.port, o.place.settings));
    auto connection = s.open(o.place);
    const auto steps = reader::Restore(*connection, plan->items);
    bool ok = true;
    json report = json::array();
    Table table = {{"PARAMETER", "VALUE", "RESULT"}};
    for (const auto& step : steps) {
        const char* name = RowOf(step.param).name;
        ok = ok && reader::Succeeded(step.state);
        json item = {{"parameter", name},
                     {"value", ToJson(step.param, step.wanted)},
                     {"written", step.state != RestoreStep::State::WriteFailed &&
                                     step.state != RestoreStep::State::NotAttempted},
                     {"result", reader::StateText(step.state)}};
        std::string result = reader::StateText(step.state);
        if (step.state == RestoreStep::State::Differs && step.readBack) {
            item["read_back"] = ToJson(step.param, *step.readBack);
            result += " (reader has " + ToText(step.param, *step.readBack) + ")";
        }
        report.push_back(item);
        table.push_back({name, ToText(step.param, step.wanted), result});
    }
    json leftOut = json::array();
    for (const auto& item : plan->leftOut) {
        const char* name = RowOf(item.param).name;
        leftOut.push_back({{"parameter", name},
                           {"value", ToJson(item.param, item.value)},
                           {"flag", FlagFor(item.param)}});
        table.push_back({name, ToText(item.param, item.value),
                         std::string("left out (") + FlagFor(item.param) + " writes it)"});
    }
    s.output.emit({{"ok", ok}, {"file", o.file}, {"steps", report}, {"left_out", leftOut}}, table);
    if (!ok)
        s.output.warn("restore incomplete: see the parameters marked above");
    return ok ? kExitOk : kExitReader;
}

} // namespace

void SetupRestore(CLI::App& app, Session& session) {
    auto options = std::make_shared<RestoreOptions>();
    auto* sub = app.add_subcommand(
        "restore", "write every parameter of a backup and read each back; the whole file is "
                   "checked before anything is sent");
    sub->add_option("FILE", options->file, "the backup file, - for standard input")->required();
    sub->add_flag("--with-identity", options->withIdentity,
                  "also write the reader ID of the backup (\"reader\".\"id\")");
    sub->add_flag("--with-baud", options->withBaud,
                  "also write the line speed of the backup (\"baud\", written last; the "
                  "reader then answers only at it)");
    AddOnePlace(sub, options->place, true);
    sub->callback([&session, options] { session.exitCode = RunRestore(session, *options); });
}

} // namespace qv::cli
