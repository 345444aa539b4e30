// quorvane-cli set NAME VALUE...: one parameter written and read back.
#include "cli/session.h"
#include "reader/backup.h"

#include <CLI/CLI.hpp>

namespace qv::cli {

namespace {

using json = nlohmann::ordered_json;

struct SetOptions {
    OnePlace place;
    std::string name;
    std::vector<std::string> words;
};

int RunSet(Session& s, const SetOptions& o) {
    const ParamRow& row = NamedParam(o.name);
    std::string error;
    const auto value = ParseWords(row.param, o.words, error);
    if (!value)
        throw Failure{kExitUsage, std::string(row.name) + ": " + error};
    if (row.param == Param::Baud)
        RefuseBaudThroughRawTcp(s.placeOf(o.place.port, o.place.settings));
    auto connection = s.open(o.place);
    const RestoreStep step = reader::WriteAndVerify(*connection, row.param, *value);
    const bool ok = reader::Succeeded(step.state);
    json doc = {{"ok", ok},
                {"parameter", row.name},
                {"value", ToJson(row.param, *value)},
                {"result", reader::StateText(step.state)}};
    Rows rows = {{row.name, ToText(row.param, *value)}, {"result", reader::StateText(step.state)}};
    if (step.readBack && step.state == RestoreStep::State::Differs) {
        doc["read_back"] = ToJson(row.param, *step.readBack);
        rows.push_back({"read back", ToText(row.param, *step.readBack)});
    }
    if (row.param == Param::Baud && ok)
        rows.push_back({"note", "the reader now answers at " + ToText(Param::Baud, *value)});
    s.output.emit(doc, rows);
    if (!ok)
        s.output.warn("set " + std::string(row.name) + ": " + reader::StateText(step.state));
    return ok ? kExitOk : kExitReader;
}

} // namespace

void SetupSet(CLI::App& app, Session& session) {
    auto options = std::make_shared<SetOptions>();
    auto* sub = app.add_subcommand("set", "write one parameter and read it back");
    sub->add_option("NAME", options->name, "parameter name")->required();
    sub->add_option("VALUE", options->words, "the value, one or two words (see help NAME)")
        ->required();
    AddOnePlace(sub, options->place, true);
    sub->callback([&session, options] { session.exitCode = RunSet(session, *options); });
}

} // namespace qv::cli
