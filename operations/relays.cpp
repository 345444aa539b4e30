// Relay settings: the switches and times of relays RL1 and RL2, written and read as one record.
#include "operations/cycle.h"
#include "operations/handlers.h"

#include "link/protocol/link.h"
#include "program/messages.h"

#include <QCheckBox>
#include <QLabel>
#include <QScrollBar>

namespace qv::ops {

namespace {

using Command = std::optional<std::string>;

using reader::Param;

constexpr int kEnabledBit = 1;
constexpr int kKeyBit = 2;
constexpr int kMoBit = 4;

int Flags(const QCheckBox* enabled, const QCheckBox* key, const QCheckBox* mo) {
    return (enabled->isChecked() ? kEnabledBit : 0) | (key->isChecked() ? kKeyBit : 0) |
           (mo->isChecked() ? kMoBit : 0);
}

// Bits 3 to 7 of a flag byte mean nothing.
void ShowFlags(int flags, QCheckBox* enabled, QCheckBox* key, QCheckBox* mo) {
    enabled->setChecked(flags & kEnabledBit);
    key->setChecked(flags & kKeyBit);
    mo->setChecked(flags & kMoBit);
}

const Operation kSetRelays{
    .startMsg = msg::SetRelayMode,
    .command = [](Context& ctx) -> Command {
        const Controls& ui = ctx.ui;
        reader::RelayValue relays;
        relays.flags[0] = Flags(ui.chkRL1En, ui.chkRL1Key, ui.chkRL1Mo);
        relays.flags[1] = Flags(ui.chkRL2En, ui.chkRL2Key, ui.chkRL2Mo);
        relays.time[0] = ui.sbRL1->value();
        relays.time[1] = ui.sbRL2->value();
        return ParamSet(Param::Relays, relays);
    },
    .okMsg = msg::SetRelayModeOk,
    .errorMsg = msg::SetRelayModeError,
};

const Operation kGetRelays{
    .startMsg = msg::GetRelayMode,
    .command = [](Context&) { return ParamGet(Param::Relays); },
    .onReply =
        [](Context& ctx) {
            const auto decoded = ParamReply(ctx, Param::Relays); // times held to the bars' range
            if (!decoded)
                return false;
            const auto& relays = std::get<reader::RelayValue>(*decoded);
            Controls& ui = ctx.ui;
            ShowFlags(relays.flags[0], ui.chkRL1En, ui.chkRL1Key, ui.chkRL1Mo);
            ShowFlags(relays.flags[1], ui.chkRL2En, ui.chkRL2Key, ui.chkRL2Mo);
            ui.sbRL1->setValue(relays.time[0]);
            ui.sbRL2->setValue(relays.time[1]);
            return true;
        },
    .okMsg = msg::GetRelayModeOk,
    .errorMsg = msg::GetRelayModeError,
};

} // namespace

static void sbRL1Change(Context& ctx) {
    ShowNumber(ctx.ui.pnRL1, "%d", ctx.ui.sbRL1->value());
}

static void sbRL2Change(Context& ctx) {
    ShowNumber(ctx.ui.pnRL2, "%d", ctx.ui.sbRL2->value());
}

std::span<const Handler> RelayHandlers() {
    static const Handler rows[] = {
        {"btnSetRLClick", "btnSetRL", Event::Click, &kSetRelays},
        {"btnGetRLClick", "btnGetRL", Event::Click, &kGetRelays},
        {"sbRL1Change", "sbRL1", Event::Change, nullptr, sbRL1Change},
        {"sbRL2Change", "sbRL2", Event::Change, nullptr, sbRL2Change},
    };
    return rows;
}

} // namespace qv::ops
