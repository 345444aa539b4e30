// quorvane-cli reset and factory-default: one try and two, as the window's buttons.
#include "cli/session.h"

#include <CLI/CLI.hpp>

namespace qv::cli {

namespace {

int RunReset(Session& s, const OnePlace& o, bool factory) {
    auto connection = s.open(o);
    const bool ok = factory ? connection->factoryDefault() : connection->reset();
    const std::string what = factory ? "factory-default" : "reset";
    s.output.emit({{"ok", ok}, {"operation", what}}, Rows{{what, ok ? "done" : "failed"}});
    if (!ok)
        s.output.warn(what + ": the reader did not confirm");
    return ok ? kExitOk : kExitReader;
}

} // namespace

void SetupResets(CLI::App& app, Session& session) {
    auto options = std::make_shared<OnePlace>();
    auto* reset = app.add_subcommand("reset", "restart the reader (one try, as the window)");
    AddOnePlace(reset, *options, false);
    reset->callback([&session, options] { session.exitCode = RunReset(session, *options, false); });
    auto* factory = app.add_subcommand(
        "factory-default",
        "put every reader parameter back to its factory value (two tries, as the window); the "
        "reader then answers at 19200,e,8,1");
    AddOnePlace(factory, *options, false);
    factory->callback(
        [&session, options] { session.exitCode = RunReset(session, *options, true); });
}

} // namespace qv::cli
