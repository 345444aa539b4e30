// quorvane-cli watch: every tag the reader reads, one line each.
#include "cli/session.h"
#include "reader/tag_run.h"

#include "link/protocol/frame.h"

#include <algorithm>

#include <CLI/CLI.hpp>

namespace qv::cli {

namespace {

struct WatchOptions {
    OnePlace place;
    std::optional<long> count;
    std::optional<double> seconds;
    std::string do1, do2;
    std::string reconnect; // --reconnect as given, for the message
};

// Milliseconds on the link's clock for a number of seconds: at most 24 days, well inside its
// wrapping range.
std::uint32_t Milliseconds(double seconds) {
    return static_cast<std::uint32_t>(std::min(seconds * 1000.0, 2.0e9));
}

// Each tag as a line of text or JSON on standard output, the reader's state and failed reopens on
// standard error.
class Printer : public reader::TagSink {
public:
    Printer(Session& session, const Place& place) : s_(session), place_(place) {}

    void tag(const reader::TagRead& read) override {
        const std::string time = IsoUtcNow(true);
        const std::string input(1, read.input);
        if (s_.output.asJson)
            s_.output.line({{"time", time},
                            {"id", read.tag.id},
                            {"decimal", read.tag.decimal},
                            {"hex", read.tag.hex},
                            {"input", input}});
        else
            s_.output.text(time + "  " + read.tag.id + "  " + read.tag.decimal + "(D)  " +
                           read.tag.hex + "(H)  DI " + input);
    }

    void changed(const reader::ReaderChange& change) override {
        using Kind = reader::ReaderChange::Kind;
        switch (change.kind) {
        case Kind::NotAnswering:
        case Kind::AnsweringAgain:
            s_.output.warn(IsoUtcNow(true) + " " + reader::ChangeWord(change.kind));
            break;
        case Kind::Another:
            s_.output.warn(IsoUtcNow(true) + " another reader answers at " + PlaceText(place_) +
                           ": serial " + PrintableBytes(change.serial) + ", before " +
                           PrintableBytes(change.previous));
            if (s_.output.asJson)
                s_.output.line({{"time", IsoUtcNow(true)},
                                {"event", "another reader"},
                                {"serial", change.serial},
                                {"previous", change.previous}});
            break;
        case Kind::Gone:
        case Kind::Back:
            break;
        }
    }

    void reopenFailed(link::SerialError error, const std::string& detail) override {
        s_.output.warn(IsoUtcNow(true) + " cannot reopen " + PlaceText(place_) + ": " +
                       link::DescribeOpenFailure(error, detail));
    }

private:
    Session& s_;
    const Place& place_;
};

int RunWatch(Session& s, const WatchOptions& o) {
    auto connection = s.open(o.place);
    reader::TagRunPlan plan;
    plan.count = o.count;
    if (o.seconds)
        plan.forMs = Milliseconds(*o.seconds);
    // Outputs the caller did not name are sent as off; nothing is sent when it named neither.
    if (!o.do1.empty() || !o.do2.empty()) {
        const reader::Outputs outputs{o.do1 == "on", o.do2 == "on"};
        plan.outputs = [outputs] { return std::optional(outputs); };
    }
    const Place& place = connection->place();
    if (!o.reconnect.empty()) {
        plan.reconnect = true;
        plan.reconnectForMs = Milliseconds(std::stod(o.reconnect));
        plan.port = place.linkPort;
        plan.settings = place.settings;
        // Whoever answers after a reopening is compared with the reader at the start.
        if (const auto identity = connection->readIdentity())
            plan.serial = identity->serial;
    }
    Printer printer(s, place);
    std::optional<reader::Outputs> sent;
    const auto result =
        reader::RunTags(connection->link(), plan, sent, printer, [&s] { return s.stop.load(); });
    connection->close();
    if (result.portLost)
        throw Failure{kExitReader,
                      PlaceText(place) + " did not come back within " + o.reconnect + " s"};
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
    auto options = std::make_shared<WatchOptions>();
    auto* sub = app.add_subcommand(
        "watch", "print every tag the reader reads (time, ID, its decimal and hex fields, input) "
                 "until Ctrl-C, --count or --seconds");
    sub->add_option("--count", options->count, "stop after N tags")->check(kCount);
    sub->add_option("--seconds", options->seconds, "stop after S seconds")->check(kSeconds);
    sub->add_option("--reconnect", options->reconnect,
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
