// quorvane-cli get NAME: one parameter as the window's Get button reads it.
#include "cli/session.h"

#include <CLI/CLI.hpp>

namespace qv::cli {

namespace {

struct GetOptions {
    OnePlace place;
    std::string name;
};

int RunGet(Session& s, const GetOptions& o) {
    const ParamRow& row = NamedParam(o.name);
    if (!row.readable())
        throw Failure{kExitUsage,
                      std::string(row.name) + " cannot be read from the reader; it can only be set"};
    auto connection = s.open(o.place);
    const auto value = connection->get(row.param);
    if (!value)
        throw Failure{kExitReader, std::string("the reader did not report ") + row.name};
    s.output.emit({{"ok", true}, {"parameter", row.name}, {"value", ToJson(row.param, *value)}},
                  Rows{{row.name, ToText(row.param, *value)}});
    return kExitOk;
}

} // namespace

void SetupGet(CLI::App& app, Session& session) {
    auto options = std::make_shared<GetOptions>();
    auto* sub = app.add_subcommand("get", "read one parameter (see the list below)");
    sub->add_option("NAME", options->name, "parameter name")->required();
    AddOnePlace(sub, options->place, true);
    sub->callback([&session, options] { session.exitCode = RunGet(session, *options); });
}

} // namespace qv::cli
