#include "reader/tag_run.h"

#include "reader/identity.h"

namespace qv::reader {

const char* ChangeWord(ReaderChange::Kind kind) {
    switch (kind) {
    case ReaderChange::Kind::NotAnswering:
        return "reader not answering";
    case ReaderChange::Kind::AnsweringAgain:
        return "reader answering again";
    case ReaderChange::Kind::Gone:
        return "device gone";
    case ReaderChange::Kind::Back:
        return "device back";
    case ReaderChange::Kind::Another:
        return "another reader";
    }
    return "";
}

TagRunResult RunTags(link::Link& link, const TagRunPlan& plan, std::optional<Outputs>& sent,
                     TagSink& sink, const std::function<bool()>& stopped) {
    const std::uint32_t start = link.nowMs();
    const auto timeUp = [&] { return plan.forMs && link.nowMs() - start >= *plan.forMs; };
    SilenceRule silence;
    const auto tell = [&](SilenceRule::Change change) {
        if (change == SilenceRule::Change::Silent)
            sink.changed({ReaderChange::Kind::NotAnswering, {}, {}});
        else if (change == SilenceRule::Change::AnsweringAgain)
            sink.changed({ReaderChange::Kind::AnsweringAgain, {}, {}});
    };
    TagRunResult result;
    result.serial = plan.serial;
    while (!stopped() && !timeUp() && (!plan.count || result.tags < *plan.count)) {
        if (plan.reconnect && link.lineGone()) {
            tell(silence.lost());
            sink.changed({ReaderChange::Kind::Gone, {}, {}});
            result.lastPollAnswered = false;
            const auto back = Reconnect(
                link, plan.port, plan.settings, [&] { return stopped() || timeUp(); },
                plan.reconnectForMs,
                [&](link::SerialError error, const std::string& detail) {
                    sink.reopenFailed(error, detail);
                });
            result.portLost = back == Reconnected::TimeUp;
            if (back != Reconnected::Yes)
                break;
            // Whatever answers on the port now need not be the reader that went away.
            std::optional<ReaderIdentity> identity;
            if (plan.identityAfterReconnect)
                identity = ReadIdentity(link, kIdentityTries);
            sink.changed({ReaderChange::Kind::Back, identity ? identity->serial : "", {}});
            if (identity && identity->serial != result.serial) {
                if (!result.serial.empty())
                    sink.changed({ReaderChange::Kind::Another, identity->serial, result.serial});
                result.serial = identity->serial;
            }
        }
        if (plan.betweenPolls)
            plan.betweenPolls();
        const std::optional<Outputs> wanted = plan.outputs ? plan.outputs() : std::nullopt;
        const auto poll = PollStep(link, wanted, sent, [&](const PollResult& polled) {
            tell(silence.polled(true, link.nowMs())); // before the tag, not after it
            ++result.tags;
            sink.input(*polled.input);
            sink.tag(TagRead{*polled.tag, *polled.input});
        });
        if (poll.input && !poll.tag)
            sink.input(*poll.input);
        result.lastPollAnswered = poll.answered;
        result.pollsAnswered += poll.answered ? 1 : 0;
        tell(silence.polled(poll.answered, link.nowMs()));
    }
    return result;
}

} // namespace qv::reader
