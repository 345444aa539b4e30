#include "cli/watch.h"

#include <algorithm>
#include <chrono>

namespace qv::cli {

WatchResult Watch(Connection& connection, const WatchOptions& options,
                  const std::atomic<bool>& stop, const std::function<void(const TagEvent&)>& onTag,
                  const std::function<void(bool silent)>& onSilence,
                  const reader::ReopenFailure& onReopenFailure) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto timeUp = [&] {
        return options.seconds &&
               std::chrono::duration<double>(Clock::now() - start).count() >= *options.seconds;
    };
    link::Link& link = connection.link();
    // Outputs the caller did not name are sent as off; nothing is sent when it named neither.
    std::optional<reader::Outputs> wanted, sent;
    if (options.do1 || options.do2)
        wanted = reader::Outputs{options.do1.value_or(false), options.do2.value_or(false)};

    reader::SilenceRule silence;
    const auto tell = [&](reader::SilenceRule::Change change) {
        if (change != reader::SilenceRule::Change::None && onSilence)
            onSilence(change == reader::SilenceRule::Change::Silent);
    };
    WatchResult result;
    while (!stop && !timeUp() && (!options.count || result.tags < *options.count)) {
        if (options.reconnect && link.lineGone()) {
            tell(silence.lost());
            result.lastPollAnswered = false;
            // At most 24 days, well inside the link's wrapping millisecond clock.
            const auto limitMs =
                static_cast<std::uint32_t>(std::min(*options.reconnect * 1000.0, 2.0e9));
            const Place& place = connection.place();
            const auto back = reader::Reconnect(
                link, place.linkPort, place.settings, [&] { return stop || timeUp(); }, limitMs,
                onReopenFailure);
            result.portLost = back == reader::Reconnected::TimeUp;
            if (back != reader::Reconnected::Yes)
                break;
        }
        const auto poll =
            reader::PollStep(link, wanted, sent, [&](const reader::PollResult& polled) {
                tell(silence.polled(true, link.nowMs())); // before the tag, not after it
                ++result.tags;
                onTag(TagEvent{*polled.tag, *polled.input});
            });
        result.lastPollAnswered = poll.answered;
        result.pollsAnswered += poll.answered ? 1 : 0;
        tell(silence.polled(poll.answered, link.nowMs()));
    }
    return result;
}

} // namespace qv::cli
