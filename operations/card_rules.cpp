// Card rules and operating mode: same-card time, DI5 contact sense, RS485/Wiegand output mode,
// second-channel ID.
#include "operations/cycle.h"
#include "operations/handlers.h"

#include "program/messages.h"

namespace qv::ops {

namespace {

using reader::Param;

// Both write buttons send the main column's value.
const Operation kSetSameCard{
    .startMsg = msg::SetSameCard,
    .param = Param::SameCard,
    .okMsg = msg::SetSameCardOk,
    .errorMsg = msg::SetSameCardError,
};

const Operation kGetSameCard{
    .startMsg = msg::GetSameCard,
    .param = Param::SameCard,
    .readBack = true,
    .okMsg = msg::GetSameCardOk,
    .errorMsg = msg::GetSameCardError,
};

const Operation kSetNoNc{
    .startMsg = msg::Di5NoNc,
    .param = Param::Di5,
    .okMsg = msg::SetDi5NoNcOk,
    .errorMsg = msg::SetDi5NoNcError,
};

// The message table has no texts of their own for the DI5 and mode reads: they show the same-card
// read texts.
const Operation kGetNoNc{
    .startMsg = msg::GetSameCard,
    .param = Param::Di5,
    .readBack = true,
    .okMsg = msg::GetSameCardOk,
    .errorMsg = msg::GetSameCardError,
};

const Operation kSetMode{
    .startMsg = msg::SetReaderMode,
    .param = Param::Mode,
    .okMsg = msg::SetReaderModeOk,
    .errorMsg = msg::SetReaderModeError,
};

const Operation kGetMode{
    .startMsg = msg::GetSameCard,
    .param = Param::Mode,
    .readBack = true,
    .okMsg = msg::GetSameCardOk,
    .errorMsg = msg::GetSameCardError,
};

const Operation kSetId2{
    .startMsg = msg::SetId2,
    .param = Param::Id2,
    .okMsg = msg::SetId2Ok,
    .errorMsg = msg::SetId2Error,
};

const Operation kGetId2{
    .startMsg = msg::GetId2,
    .param = Param::Id2,
    .readBack = true,
    .okMsg = msg::GetId2Ok,
    .errorMsg = msg::GetId2Error,
};

} // namespace

std::span<const Handler> CardRulesHandlers() {
    static const Handler rows[] = {
        {"btnSameCardClick", "btnSameCard", Event::Click, &kSetSameCard},
        {"btnSameCard2Click", "btnSameCard2", Event::Click, &kSetSameCard},
        {"btnGetSameCardClick", "btnGetSameCard", Event::Click, &kGetSameCard},
        {"btnGetSameCard2Click", "btnGetSameCard2", Event::Click, &kGetSameCard},
        {"btnNoNcClick", "btnNoNc", Event::Click, &kSetNoNc},
        {"btnGetNoNcClick", "btnGetNoNc", Event::Click, &kGetNoNc},
        {"btnModeClick", "btnMode", Event::Click, &kSetMode},
        {"btnGetModeClick", "btnGetMode", Event::Click, &kGetMode},
        {"btnSerID2Click", "btnSerID2", Event::Click, &kSetId2},
        {"btnGetID2Click", "btnGetID2", Event::Click, &kGetId2},
    };
    return rows;
}

} // namespace qv::ops
