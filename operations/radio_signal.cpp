// Radio and signal settings: RSSI threshold, beeper, receiver gain, exciter identifiers, and the
// radio address, frequency and channel.
#include "operations/cycle.h"
#include "operations/handlers.h"

#include "link/commands.h"
#include "link/link.h"
#include "link/replies.h"
#include "program/messages.h"

#include <QLabel>
#include <QScrollBar>

namespace qv::ops {

namespace {

using Command = std::optional<std::string>;

const Operation kSetRssi{
    .startMsg = msg::SetRssi,
    .pumpAfterStart = true,
    .command = [](Context& ctx) -> Command { return link::cmd::SetRssi(ctx.ui.sbRSSI->value()); },
    .okMsg = msg::SetRssiOk,
    .errorMsg = msg::SetRssiError,
};

const Operation kGetRssi{
    .startMsg = msg::GetRssi,
    .pumpAfterStart = true,
    .command = [](Context&) -> Command { return link::cmd::GetRssi(); },
    .onReply =
        [](Context& ctx) {
            const auto threshold = link::DecodeRssi(ctx.link.reply());
            if (!threshold)
                return false;
            ctx.ui.sbRSSI->setValue(*threshold); // FB to FF hold at 250
            return true;
        },
    .okMsg = msg::GetRssiOk,
    .errorMsg = msg::GetRssiError,
};

// The beeper commands go straight out, without the identity step.
const Operation kBeepOn{
    .startMsg = msg::SetBeepOn,
    .pumpAfterStart = true,
    .exchange = link::kDirectExchange,
    .command = [](Context&) -> Command { return link::cmd::Beep(true); },
    .okMsg = msg::SetBeepOnOk,
    .errorMsg = msg::SetBeepOnError,
};

const Operation kBeepOff{
    .startMsg = msg::SetBeepOff,
    .pumpAfterStart = true,
    .exchange = link::kDirectExchange,
    .command = [](Context&) -> Command { return link::cmd::Beep(false); },
    .okMsg = msg::SetBeepOffOk,
    .errorMsg = msg::SetBeepOffError,
};

const Operation kSetGain{
    .startMsg = msg::SetGain,
    .command = [](Context& ctx) -> Command {
        return link::cmd::SetGain(ctx.ui.sbGainLevel->value());
    },
    .okMsg = msg::SetGainOk,
    .errorMsg = msg::SetGainError,
};

// The panels' texts, not the bars' positions, are sent; the change handlers keep them equal.
const Operation kSetExciterIds{
    .startMsg = msg::SetExciterId,
    .command = [](Context& ctx) -> Command {
        return link::cmd::SetExciterIds(Latin1(ctx.ui.pnExciterID1->text()),
                                        Latin1(ctx.ui.pnExciterID2->text()));
    },
    .okMsg = msg::SetExciterIdOk,
    .errorMsg = msg::SetExciterIdError,
};

const Operation kGetExciterIds{
    .startMsg = msg::GetExciterId,
    .pumpAfterStart = true,
    .command = [](Context&) -> Command { return link::cmd::GetExciterIds(); },
    .onReply =
        [](Context& ctx) {
            const auto ids = link::DecodeExciterIds(ctx.link.reply());
            if (!ids)
                return false;
            ctx.ui.sbExciterID1->setValue(ids->id1);
            ctx.ui.sbExciterID2->setValue(ids->id2);
            return true;
        },
    .okMsg = msg::GetExciterIdOk,
    .errorMsg = msg::GetExciterIdError,
};

const Operation kSetAddress{
    .startMsg = msg::SetAddress,
    .exchange = link::kQuickExchange,
    .command = [](Context& ctx) -> Command {
        return link::cmd::SetAddress(ctx.ui.sbAddr->value());
    },
    .okMsg = msg::SetAddressOk,
    .errorMsg = msg::SetAddressError,
};

const Operation kSetFrequency{
    .startMsg = msg::SetFreq,
    .exchange = link::kQuickExchange,
    .command = [](Context& ctx) -> Command {
        return link::cmd::SetFrequency(ctx.ui.sbFreq->value());
    },
    .okMsg = msg::SetFreqOk,
    .errorMsg = msg::SetFreqError,
};

const Operation kSetChannel{
    .startMsg = msg::SetChannel,
    .exchange = link::kQuickExchange,
    .command = [](Context& ctx) -> Command {
        return link::cmd::SetChannel(ctx.ui.sbChannel->value());
    },
    .okMsg = msg::SetChannelOk,
    .errorMsg = msg::SetChannelError,
};

} // namespace

static void sbRSSIChange(Context& ctx) {
    ShowNumber(ctx.ui.pnRSSI, "%03d", ctx.ui.sbRSSI->value());
}

static void sbGainLevelChange(Context& ctx) {
    ShowNumber(ctx.ui.pnGain, "%d", ctx.ui.sbGainLevel->value());
}

static void sbExciterID1Change(Context& ctx) {
    ShowNumber(ctx.ui.pnExciterID1, "%04X", ctx.ui.sbExciterID1->value());
}

static void sbExciterID2Change(Context& ctx) {
    ShowNumber(ctx.ui.pnExciterID2, "%04X", ctx.ui.sbExciterID2->value());
}

static void sbAddrChange(Context& ctx) {
    ShowNumber(ctx.ui.pnAddr, "%03d", ctx.ui.sbAddr->value());
}

static void sbFreqChange(Context& ctx) {
    ShowNumber(ctx.ui.pnFreq, "%03d", ctx.ui.sbFreq->value());
}

static void sbChannelChange(Context& ctx) {
    ShowNumber(ctx.ui.pnChannel, "%03d", ctx.ui.sbChannel->value());
}

std::span<const Handler> RadioSignalHandlers() {
    static const Handler rows[] = {
        {"btnSetRSSIClick", "btnSetRSSI", Event::Click, &kSetRssi},
        {"btnGetRSSIClick", "btnGetRSSI", Event::Click, &kGetRssi},
        {"btnBeepOnClick", "btnBeepOn", Event::Click, &kBeepOn},
        {"btnBeepOffClick", "btnBeepOff", Event::Click, &kBeepOff},
        {"btnGainClick", "btnGain", Event::Click, &kSetGain},
        {"btnSetExciterIDClick", "btnSetExciterID", Event::Click, &kSetExciterIds},
        {"btnGetExciterIDClick", "btnGetExciterID", Event::Click, &kGetExciterIds},
        {"btnAddrClick", "btnAddr", Event::Click, &kSetAddress},
        {"btnFreqClick", "btnFreq", Event::Click, &kSetFrequency},
        {"btnChannelClick", "btnChannel", Event::Click, &kSetChannel},
        {"sbRSSIChange", "sbRSSI", Event::Change, nullptr, sbRSSIChange},
        {"sbGainLevelChange", "sbGainLevel", Event::Change, nullptr, sbGainLevelChange},
        {"sbExciterID1Change", "sbExciterID1", Event::Change, nullptr, sbExciterID1Change},
        {"sbExciterID2Change", "sbExciterID2", Event::Change, nullptr, sbExciterID2Change},
        {"sbAddrChange", "sbAddr", Event::Change, nullptr, sbAddrChange},
        {"sbFreqChange", "sbFreq", Event::Change, nullptr, sbFreqChange},
        {"sbChannelChange", "sbChannel", Event::Change, nullptr, sbChannelChange},
    };
    return rows;
}

} // namespace qv::ops
