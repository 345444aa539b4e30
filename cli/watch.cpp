#include "cli/watch.h"

#include <chrono>

namespace qv::cli {

WatchResult Watch(Connection& connection, const WatchOptions& options,
                  const std::atomic<bool>& stop, const std::function<void(const TagEvent&)>& onTag,
                  const std::function<void(bool silent)>& onSilence) {
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
    WatchResult result;
    while (!stop && !timeUp() && (!options.count || result.tags < *options.count)) {
        const auto poll =
            reader::PollStep(link, wanted, sent, [&](const reader::PollResult& polled) {
                ++result.tags;
                onTag(TagEvent{*polled.tag, *polled.input});
            });
        result.lastPollAnswered = poll.answered;
        result.pollsAnswered += poll.answered ? 1 : 0;
        const auto change = silence.polled(poll.answered, link.nowMs());
        if (change != reader::SilenceRule::Change::None && onSilence)
            onSilence(change == reader::SilenceRule::Change::Silent);
    }
    return result;
}

} // namespace qv::cli
