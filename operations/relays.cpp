// Relay settings: the switches and times of relays RL1 and RL2, written and read as one record.
#include "operations/cycle.h"
#include "operations/handlers.h"

#include "program/messages.h"

namespace qv::ops {

namespace {

const Operation kSetRelays{
    .startMsg = msg::SetRelayMode,
    .param = reader::Param::Relays,
    .okMsg = msg::SetRelayModeOk,
    .errorMsg = msg::SetRelayModeError,
};

const Operation kGetRelays{
    .startMsg = msg::GetRelayMode,
    .param = reader::Param::Relays,
    .readBack = true,
    .okMsg = msg::GetRelayModeOk,
    .errorMsg = msg::GetRelayModeError,
};

} // namespace

std::span<const Handler> RelayHandlers() {
    static const Handler rows[] = {
        {"btnSetRLClick", "btnSetRL", Event::Click, &kSetRelays},
        {"btnGetRLClick", "btnGetRL", Event::Click, &kGetRelays},
    };
    return rows;
}

} // namespace qv::ops
