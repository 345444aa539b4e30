// Discovery: find the port and line setting at which the reader answers, remember the place,
// show the reader's ID, serial number and firmware version.
#include "operations/cycle.h"
#include "operations/handlers.h"

#include "link/protocol/commands.h"
#include "link/protocol/link.h"
#include "link/protocol/replies.h"
#include "program/beeper.h"
#include "program/lamp.h"
#include "program/messages.h"
#include "program/program_values.h"
#include "program/settings_store.h"
#include "reader/identity.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QScrollBar>

namespace qv::ops {

namespace {

QString PortText(int port) {
    return QString::number(port);
}

void SelectSetting(Context& ctx, int index) {
    ctx.ui.cmbBaudRate->setCurrentIndex(link::IsSettingsIndex(index) ? index : -1);
}

// Up to `tries` identity requests on the open port, each after the discovery pause, each try
// labelled in the traffic log. Only a verified 16-byte reply whose ID is two decimal digits
// counts.
std::optional<reader::ReaderIdentity> AskIdentity(Context& ctx, int tries, const QString& label) {
    return reader::ReadIdentity(ctx.link, tries, [&](int number) { LabelTry(ctx, label, number); });
}

void ShowScanning(Context& ctx, int port) {
    ctx.ui.pnMsg->setText(Text(ctx, msg::ScanCom) + " : #" + PortText(port));
}

// "Scan COM3 19200,e,8,1" in the active language.
QString ScanLabel(Context& ctx, int port, const std::string& settings) {
    return Text(ctx, msg::ScanCom) + PortText(port) + " " + QString::fromStdString(settings);
}

// The quick attempt at the remembered place.
std::optional<reader::ReaderIdentity> TryRememberedPlace(Context& ctx) {
    ProgramValues& v = ctx.values;
    SelectSetting(ctx, v.ScanSettingsIndex);
    const QString label = ScanLabel(ctx, v.ScanPort, v.ScanSettings.toStdString());
    LabelTraffic(ctx, label);
    if (!ctx.link.CommOpen(v.ScanPort, v.ScanSettings.toStdString()))
        return std::nullopt;
    ShowScanning(ctx, v.ScanPort);
    auto identity = AskIdentity(ctx, reader::kIdentityTries, label);
    ctx.link.CommClose();
    return identity;
}

// COM1 to COM16; each port that opens with every setting in list order, or only with the
// current one while chkLock is ticked (a raw TCP port once). The place found is stored at once.
std::optional<reader::ReaderIdentity> Sweep(Context& ctx) {
    ProgramValues& v = ctx.values;
    const bool pinned = ctx.ui.chkLock->isChecked();
    const int pinnedIndex = link::IsSettingsIndex(v.ScanSettingsIndex)
                                ? v.ScanSettingsIndex
                                : link::kDefaultSettingsIndex;
    for (int port = link::kFirstComPort; port <= link::kLastComPort; ++port) {
        const int first = pinned ? pinnedIndex : 0;
        const int last = pinned ? pinnedIndex : static_cast<int>(link::SettingsList.size()) - 1;
        for (int i = first; i <= last; ++i) {
            SelectSetting(ctx, i);
            const std::string settings(link::SettingsList[static_cast<std::size_t>(i)]);
            const QString label = ScanLabel(ctx, port, settings);
            LabelTraffic(ctx, label);
            if (!ctx.link.CommOpen(port, settings))
                break; // a port that does not open is given up at once
            ShowScanning(ctx, port);
            // Behind raw TCP no setting reaches the line: one try says all, and a reader found
            // there keeps the settings the program had (they are the server's business).
            const bool applied = ctx.link.lineSettingsApplied();
            auto identity = AskIdentity(ctx, reader::kSweepIdentityTries, label);
            if (identity) {
                v.ScanPort = port;
                if (applied) {
                    v.ScanSettings = QString::fromStdString(settings);
                    v.ScanSettingsIndex = i;
                }
                SaveScanSettings(v);
            }
            ctx.link.CommClose();
            if (identity)
                return identity;
            if (!applied)
                break;
        }
    }
    return std::nullopt;
}

void ShowIdentity(Context& ctx, const reader::ReaderIdentity& identity) {
    SelectSetting(ctx, ctx.values.ScanSettingsIndex);
    ctx.ui.pnSerial->setText(
        Text(ctx, msg::SerialNo) + " : " +
        QString::fromLatin1(identity.serial.data(), static_cast<int>(identity.serial.size())));
    ctx.ui.pnID->setText(
        QString::fromLatin1(identity.id.data(), static_cast<int>(identity.id.size())));
    // DecodeIdentity let only two decimal digits through; the bar clamps to its range and runs
    // sbIDChange only when its position moves.
    ctx.ui.sbID->setValue(link::ParseDecimal(identity.id).value_or(0));
}

// The version read: true when the reader answered "A00V" (pnVersion and the busy state done).
bool ReadAndShowVersion(Context& ctx) {
    ProgramValues& v = ctx.values;
    const QString label = Text(ctx, msg::Version);
    LabelTraffic(ctx, label);
    if (!ctx.link.CommOpen(v.ScanPort, v.ScanSettings.toStdString()))
        return false;
    const auto version = reader::ReadVersion(ctx.link, reader::kVersionTries,
                                             [&](int number) { LabelTry(ctx, label, number); });
    if (version) {
        ctx.link.sleepMs(reader::kDiscoveryPauseMs);
        ctx.ui.pnVersion->setText(
            Text(ctx, msg::Version) + " : " +
            QString::fromLatin1(version->data(), static_cast<int>(version->size())));
        ctx.ui.pnMsg->setText(Text(ctx, msg::GetReaderInfoOk) + " : #" + PortText(v.ScanPort) +
                              ")");
        v.ReaderFound = true;
        SetBusy(ctx, false);
        ctx.ui.shComm->setColor(kYellow);
    }
    ctx.link.CommClose();
    return version.has_value();
}

} // namespace

static void btnScanClick(Context& ctx) {
    if (ctx.link.isOpen() || ctx.TagRunHolding) // a tag run holds the port
        return;
    ProgramValues& v = ctx.values;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    SetBusy(ctx, true);

    ctx.ui.pnMsg->setText(Text(ctx, msg::ScanReader) + " ....");
    ctx.ui.pnSerial->setText(Text(ctx, msg::SerialNo) + " : ________");
    ctx.ui.pnVersion->setText(Text(ctx, msg::Version) + " : __.__-__");
    ctx.ui.pnID->setText("__");
    ctx.link.pumpEvents();

    v.ReaderFound = false;
    std::optional<reader::ReaderIdentity> identity;
    if (v.ScanPort > 0)
        identity = TryRememberedPlace(ctx);
    if (!identity)
        identity = Sweep(ctx);

    if (identity) {
        v.ReaderSettings = v.ScanSettings; // where it answered
        v.ReaderSerial = identity->serial;
        ShowIdentity(ctx, *identity);
        if (ReadAndShowVersion(ctx)) {
            ctx.beeper.beep(kHighBeepHz, kBeepMs);
        } else {
            ctx.ui.pnMsg->setText(Text(ctx, msg::GetReaderInfoError) + " : #" +
                                  PortText(v.ScanPort) + ")");
            SetBusy(ctx, false);
            ctx.ui.shComm->setColor(kRed);
            ctx.beeper.beep(kLowBeepHz, kBeepMs);
        }
    } else {
        SelectSetting(ctx, link::kDefaultSettingsIndex);
        ctx.ui.pnMsg->setText(Text(ctx, msg::ReaderNotFind));
        SetBusy(ctx, false);
        ctx.ui.shComm->setColor(kRed);
        ctx.beeper.beep(kLowBeepHz, kBeepMs);
    }
    QApplication::restoreOverrideCursor();
}

std::span<const Handler> DiscoveryHandlers() {
    static const Handler rows[] = {
        {"btnScanClick", "btnScan", Event::Click, nullptr, btnScanClick},
    };
    return rows;
}

} // namespace qv::ops
