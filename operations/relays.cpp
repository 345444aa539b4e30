// Relay settings: the switches and times of relays RL1 and RL2, written and read as one record.
#include "operations/cycle.h"
#include "operations/handlers.h"

#include "link/commands.h"
#include "link/link.h"
#include "link/replies.h"
#include "program/messages.h"

#include <QCheckBox>
#include <QLabel>
#include <QScrollBar>

namespace qv::ops {

namespace {

using Command = std::optional<std::string>;

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
        return link::cmd::SetRelays(
            Flags(ui.chkRL1En, ui.chkRL1Key, ui.chkRL1Mo), ui.sbRL1->value(),
            Flags(ui.chkRL2En, ui.chkRL2Key, ui.chkRL2Mo), ui.sbRL2->value());
    },
    .okMsg = msg::SetRelayModeOk,
    .errorMsg = msg::SetRelayModeError,
};

const Operation kGetRelays{
    .startMsg = msg::GetRelayMode,
    .command = [](Context&) -> Command { return link::cmd::GetRelays(); },
    .onReply =
        [](Context& ctx) {
            const auto relays = link::DecodeRelays(ctx.link.reply());
            if (!relays)
                return false;
            Controls& ui = ctx.ui;
            ShowFlags(relays->flags1, ui.chkRL1En, ui.chkRL1Key, ui.chkRL1Mo);
            ShowFlags(relays->flags2, ui.chkRL2En, ui.chkRL2Key, ui.chkRL2Mo);
            ui.sbRL1->setValue(relays->time1); // FB to FF hold at 250
            ui.sbRL2->setValue(relays->time2);
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
