// quorvane-cli diff PROFILE: what a reader holds against a profile (a backup file).
#include "cli/session.h"

#include <CLI/CLI.hpp>

namespace qv::cli {

namespace {

using json = nlohmann::ordered_json;

struct DiffOptions {
    OnePlace place;
    std::string file;
};

int RunDiff(Session& s, const DiffOptions& o) {
    const Profile profile = LoadProfile(s, o.file);
    auto connection = s.open(o.place);
    // A reader that is not there at all is said so at once, not once per parameter.
    if (!connection->readIdentity())
        throw Failure{kExitReader, PlaceText(connection->place()) +
                                       ": the reader did not answer the identity request"};
    const auto checks = reader::CompareProfile(connection->link(), profile.items, o.place.tries);
    json items = json::array();
    Table table = {{"PARAMETER", "PROFILE", "READER", "RESULT"}};
    std::string unreadable;
    int equal = 0;
    for (const auto& check : checks) {
        const char* name = RowOf(check.param).name;
        items.push_back({{"parameter", name},
                         {"profile", ToJson(check.param, check.expected)},
                         {"reader", check.actual ? ToJson(check.param, *check.actual) : nullptr},
                         {"result", reader::StateWord(check.state)}});
        if (check.state == reader::ParamCheck::State::Equal)
            ++equal;
        else if (check.state == reader::ParamCheck::State::NotReadable) {
            if (!unreadable.empty())
                unreadable += ", ";
            unreadable += name;
        } else
            table.push_back({name, ToText(check.param, check.expected),
                             check.actual ? ToText(check.param, *check.actual) : "-",
                             reader::Reason(check)});
    }
    const bool same = table.size() == 1;
    const json doc = {{"ok", same}, {"file", o.file}, {"parameters", items}};
    if (same) {
        Rows rows = {{"equal", std::to_string(equal) + " parameters"}};
        if (!unreadable.empty())
            rows.push_back({"not compared", unreadable + " (the reader cannot report them)"});
        s.output.emit(doc, rows);
    } else {
        s.output.emit(doc, table);
    }
    return same ? kExitOk : kExitReader;
}

} // namespace

void SetupDiff(CLI::App& app, Session& session) {
    auto options = std::make_shared<DiffOptions>();
    auto* sub = app.add_subcommand(
        "diff", "read every parameter that a profile (a backup file) names and print what "
                "differs; exit 1 when something does");
    sub->add_option("PROFILE", options->file, "the backup file, - for standard input")->required();
    AddOnePlace(sub, options->place, true);
    sub->callback([&session, options] { session.exitCode = RunDiff(session, *options); });
}

} // namespace qv::cli
