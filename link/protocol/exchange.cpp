#include "link/protocol/exchange.h"

#include "link/protocol/commands.h"

namespace qv::link {

bool RunTry(Link& link, const Exchange& exchange, const CommandBuilder& command,
            const ReplyHandler& onReply) {
    link.sleepMs(exchange.pauseMs);
    if (exchange.identityStep) {
        const bool answered = link.ReaderTransact(cmd::Identity());
        // Only presence counts here: a verified reply of exactly 16 bytes, all of them text.
        if (!answered || !link.reply().isExactly(16))
            return false;
        link.sleepMs(exchange.commandPauseMs != 0 ? exchange.commandPauseMs : exchange.pauseMs);
    }
    // Without the identity step the builder gets an empty reply, never an earlier transaction's.
    static const Reply kNoIdentity{};
    const auto text =
        command ? command(exchange.identityStep ? link.reply() : kNoIdentity) : std::nullopt;
    if (!text)
        return false;
    const bool answered = link.ReaderTransact(*text);
    if (!exchange.commandMustAnswer)
        return true;
    if (!answered)
        return false;
    return onReply ? onReply(link.reply()) : true;
}

bool RunExchange(Link& link, const Exchange& exchange, const CommandBuilder& command,
                 const ReplyHandler& onReply, const TryHook& beforeTry) {
    for (int t = 0; t < exchange.tries; ++t) {
        if (beforeTry)
            beforeTry(t + 1);
        if (RunTry(link, exchange, command, onReply))
            return true;
    }
    return false;
}

} // namespace qv::link
