// quorvane-cli help NAME: a parameter or a subcommand explained.
#include "cli/session.h"

#include <CLI/CLI.hpp>

namespace qv::cli {

void SetupHelp(CLI::App& app, Session& session) {
    auto topic = std::make_shared<std::string>();
    auto* sub = app.add_subcommand("help", "explain a parameter or a subcommand: help NAME");
    sub->add_option("NAME", *topic, "a parameter, a subcommand or \"parameters\"");
    sub->callback([&app, &session, topic] {
        std::ostream& out = session.output.out();
        session.exitCode = kExitOk;
        if (topic->empty()) {
            out << app.help();
        } else if (*topic == "parameters") {
            out << ParameterOverview();
        } else if (const ParamRow* p = FindParam(*topic)) {
            out << reader::HelpText(*p) << '\n';
        } else {
            const auto subs =
                app.get_subcommands([&](CLI::App* s) { return s->get_name() == *topic; });
            if (subs.empty())
                throw Failure{kExitUsage, "help: no parameter or subcommand \"" + *topic + "\""};
            out << subs.front()->help();
        }
    });
}

} // namespace qv::cli
