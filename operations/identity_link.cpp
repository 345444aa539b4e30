// Identity and link settings: reader ID, line speed, factory default and reset.
#include "operations/cycle.h"
#include "operations/handlers.h"

#include "link/protocol/commands.h"
#include "link/protocol/link.h"
#include "link/protocol/replies.h"
#include "program/messages.h"
#include "program/program_values.h"
#include "program/settings_store.h"

#include <QComboBox>
#include <QLabel>
#include <QScrollBar>

namespace qv::ops {

namespace {

std::optional<int> SelectedSetting(const Context& ctx) {
    const int index = ctx.ui.cmbBaudRate->currentIndex();
    if (!link::IsSettingsIndex(index))
        return std::nullopt;
    return index;
}

QString SettingsText(int index) {
    const auto text = link::SettingsList[static_cast<std::size_t>(index)];
    return QString::fromLatin1(text.data(), static_cast<int>(text.size()));
}

void UseSetting(Context& ctx, int index) {
    ctx.values.ScanSettingsIndex = index;
    ctx.values.ScanSettings = SettingsText(index);
}

// The reader answers at `index` from now on: later operations open the port there, and it is
// stored as the reader's place, so that the next start finds the reader where it now is.
void FollowReader(Context& ctx, int index) {
    UseSetting(ctx, index);
    ctx.values.ReaderSettings = ctx.values.ScanSettings;
    SaveScanSettings(ctx.values);
}

// The serial number comes from the identity reply of this same try (the row's command).
const Operation kSetReaderId{
    .startMsg = msg::SetReaderId,
    .value = [](Context& ctx) -> std::optional<QString> { return ctx.ui.pnID->text(); },
    .param = reader::Param::Id,
    .okMsg = msg::SetReaderIdOk,
    .errorMsg = msg::SetReaderIdError,
};

const Operation kSetBaudRate{
    .startMsg = msg::SetReaderBaudRate,
    .value = [](Context& ctx) -> std::optional<QString> {
        const auto index = SelectedSetting(ctx);
        if (!index)
            return std::nullopt;
        return SettingsText(*index);
    },
    // Talks at the speed the reader is at, which the list may no longer show.
    .atReaderSettings = true,
    .param = reader::Param::Baud,
    .onReply =
        [](Context& ctx) {
            const auto index = SelectedSetting(ctx);
            if (!index)
                return false;
            FollowReader(ctx, *index);
            return true;
        },
    .okMsg = msg::SetReaderBaudRateOk,
    .errorMsg = msg::SetReaderBaudRateError,
};

const Operation kFactoryDefault{
    .startMsg = msg::SetDefault,
    // The reader may restart before it answers "A00X5A"; the identity step is what counts.
    .exchange = link::kFactoryDefaultExchange,
    // The window's own copies go back to the reader's defaults, also when the operation fails.
    // Selecting the entry from code leaves ScanSettings as it is (no close-up); only a success
    // moves them (onSuccess).
    .beforeStart =
        [](Context& ctx) {
            ctx.ui.sbAddr->setValue(49);
            ctx.ui.sbFreq->setValue(59);
            ctx.ui.sbChannel->setValue(0);
            ctx.ui.sbSameCard->setValue(10);
            ctx.ui.sbID->setValue(1);
            ctx.ui.cmbBaudRate->setCurrentIndex(link::kDefaultSettingsIndex);
        },
    .command = [](Context&, const link::Reply&) -> std::optional<std::string> {
        return link::cmd::FactoryDefault();
    },
    // The reader now answers at its default line settings: the program goes there with it.
    .onSuccess = [](Context& ctx) { FollowReader(ctx, link::kDefaultSettingsIndex); },
    .okMsg = msg::SetDefaultOk,
    .errorMsg = msg::SetDefaultError,
};

const Operation kReaderReset{
    .startMsg = msg::ReaderReset,
    .exchange = link::kResetExchange,
    .command = [](Context&, const link::Reply&) -> std::optional<std::string> {
        return link::cmd::Reset();
    },
    .okMsg = msg::ReaderResetOk,
    .errorMsg = msg::ReaderResetError,
};

} // namespace

static void cmbBaudRateCloseUp(Context& ctx) {
    QComboBox* list = ctx.ui.cmbBaudRate;
    // Disabling the window hides an open list as well; that is no choice of the operator's.
    if (!list->isEnabled())
        return;
    if (const auto index = SelectedSetting(ctx))
        UseSetting(ctx, *index);
}

std::span<const Handler> IdentityLinkHandlers() {
    static const Handler rows[] = {
        {"btnIDClick", "btnID", Event::Click, &kSetReaderId},
        {"btnBaudRateClick", "btnBaudRate", Event::Click, &kSetBaudRate},
        {"btnFactoryClick", "btnFactory", Event::Click, &kFactoryDefault},
        {"btnResetClick", "btnReset", Event::Click, &kReaderReset},
        {"cmbBaudRateCloseUp", "cmbBaudRate", Event::CloseUp, nullptr, cmbBaudRateCloseUp},
    };
    return rows;
}

} // namespace qv::ops
