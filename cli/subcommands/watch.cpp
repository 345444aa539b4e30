// quorvane-cli watch: every tag the reader reads, one line each.
#include "cli/watch.h"
#include "cli/session.h"

#include "link/protocol/frame.h"

#include <CLI/CLI.hpp>

namespace qv::cli {

namespace {

struct WatchCommandOptions {
    OnePlace place;
    WatchOptions watch;
    std::string do1, do2;
    std::string reconnectText; // --reconnect as given, for the message
};

int RunWatch(Session& s, WatchCommandOptions o) {
    if (!o.do1.empty())
        o.watch.do1 = o.do1 == "on";
    if (!o.do2.empty())
        o.watch.do2 = o.do2 == "on";
    if (!o.reconnectText.empty())
        o.watch.reconnect = std::stod(o.reconnectText);
    auto connection = s.open(o.place);
    const auto result = Watch(
        *connection, o.watch, s.stop,
        [&](const TagEvent& event) {
            const std::string time = IsoUtcNow(true);
            const std::string input(1, event.input);
            if (s.output.asJson)
                s.output.line({{"time", time},
                               {"id", event.tag.id},
                               {"decimal", event.tag.decimal},
                               {"hex", event.tag.hex},
                               {"input", input}});
            else
                s.output.text(time + "  " + event.tag.id + "  " + event.tag.decimal + "(D)  " +
                              event.tag.hex + "(H)  DI " + input);
        },
        [&](bool silent) {
            s.output.warn(IsoUtcNow(true) + " " +
                          (silent ? "reader not answering" : "reader answering again"));
        },
        [&](link::SerialError error, const std::string& detail) {
            s.output.warn(IsoUtcNow(true) + " cannot reopen " + PlaceText(connection->place()) +
                          ": " + link::DescribeOpenFailure(error, detail));
        });
    connection->close();
    if (result.portLost)
        throw Failure{kExitReader, PlaceText(connection->place()) + " did not come back within " +
                                       o.reconnectText + " s"};
    if (result.pollsAnswered == 0)
        throw Failure{kExitReader, "the reader answered no poll"};
    if (!result.lastPollAnswered)
        throw Failure{kExitReader, "the reader stopped answering"};
    return kExitOk;
}

// A whole number of 1 or more; CLI11's own check would name a range up to the largest double.
const CLI::Validator kCount(
    [](std::string& text) -> std::string {
        const auto n = link::ParseDecimal(text);
        return n && *n >= 1 ? "" : text + " is not a number of tags 1 or more";
    },
    "N >= 1");

const CLI::Validator kSeconds(
    [](std::string& text) -> std::string {
        try {
            std::size_t used = 0;
            const double seconds = std::stod(text, &used);
            if (used == text.size() && seconds > 0)
                return "";
        } catch (const std::exception&) {
        }
        return text + " is not a number of seconds above 0";
    },
    "S > 0");

} // namespace

void SetupWatch(CLI::App& app, Session& session) {
    auto options = std::make_shared<WatchCommandOptions>();
    auto* sub = app.add_subcommand(
        "watch", "print every tag the reader reads (time, ID, its decimal and hex fields, input) "
                 "until Ctrl-C, --count or --seconds");
    sub->add_option("--count", options->watch.count, "stop after N tags")->check(kCount);
    sub->add_option("--seconds", options->watch.seconds, "stop after S seconds")->check(kSeconds);
    sub->add_option("--reconnect", options->reconnectText,
                    "when the port's device goes away (an adapter pulled out), reopen it every "
                    "0.5 s for up to S seconds; without it polls just go unanswered")
        ->check(kSeconds);
    sub->add_option("--do1", options->do1, "digital output 1: on or off")
        ->check(CLI::IsMember({"on", "off"}));
    sub->add_option("--do2", options->do2, "digital output 2: on or off")
        ->check(CLI::IsMember({"on", "off"}));
    AddOnePlace(sub, options->place, false);
    sub->callback([&session, options] { session.exitCode = RunWatch(session, *options); });
}

} // namespace qv::cli
