#include "reader/identity.h"

#include "link/protocol/commands.h"
#include "link/protocol/replies.h"

namespace qv::reader {

namespace {

link::Exchange DiscoveryExchange(int tries) {
    return {.pauseMs = kDiscoveryPauseMs,
            .tries = tries,
            .identityStep = false,
            .commandPauseMs = 0,
            .commandMustAnswer = true};
}

} // namespace

std::optional<ReaderIdentity> ReadIdentity(link::Link& link, int tries,
                                           const link::TryHook& beforeTry) {
    std::optional<ReaderIdentity> found;
    link::RunExchange(
        link, DiscoveryExchange(tries),
        [](const link::Reply&) -> std::optional<std::string> { return link::cmd::Identity(); },
        [&](const link::Reply& reply) {
            if (const auto identity = link::DecodeIdentity(reply))
                found = ReaderIdentity{identity->id, identity->serial};
            return found.has_value();
        },
        beforeTry);
    return found;
}

std::optional<std::string> ReadVersion(link::Link& link, int tries,
                                       const link::TryHook& beforeTry) {
    std::optional<std::string> version;
    link::RunExchange(
        link, DiscoveryExchange(tries),
        [](const link::Reply&) -> std::optional<std::string> { return link::cmd::Version(); },
        [&](const link::Reply& reply) {
            version = link::DecodeVersion(reply);
            return true;
        },
        beforeTry);
    return version;
}

} // namespace qv::reader
