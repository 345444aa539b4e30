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

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QScrollBar>

namespace qv::ops {

namespace {

constexpr std::uint32_t kScanPauseMs = 100;
constexpr int kQuickTries = 3;
constexpr int kSweepTries = 2;
constexpr int kVersionTries = 3;
constexpr int kFirstPort = 1;
constexpr int kLastPort = 16;

QString PortText(int port) {
    return QString::number(port);
}

void SelectSetting(Context& ctx, int index) {
    ctx.ui.cmbBaudRate->setCurrentIndex(link::IsSettingsIndex(index) ? index : -1);
}

// Up to `tries` identity requests on the open port, each after the scan pause. Only a verified
// 16-byte reply whose ID is two decimal digits counts.
std::optional<link::Identity> AskIdentity(Context& ctx, int tries, const QString& label) {
    for (int t = 0; t < tries; ++t) {
        LabelTry(ctx, label, t + 1);
        ctx.link.sleepMs(kScanPauseMs);
        if (!ctx.link.ReaderTransact(link::cmd::Identity()))
            continue;
        if (auto identity = link::DecodeIdentity(ctx.link.reply()))
            return identity;
    }
    return std::nullopt;
}

void ShowScanning(Context& ctx, int port) {
    ctx.ui.pnMsg->setText(Text(ctx, msg::ScanCom) + " : #" + PortText(port));
}

// "Scan COM3 19200,e,8,1" in the active language.
QString ScanLabel(Context& ctx, int port, const std::string& settings) {
    return Text(ctx, msg::ScanCom) + PortText(port) + " " + QString::fromStdString(settings);
}

// The quick attempt at the remembered place.
std::optional<link::Identity> TryRememberedPlace(Context& ctx) {
    ProgramValues& v = ctx.values;
    SelectSetting(ctx, v.ScanSettingsIndex);
    const QString label = ScanLabel(ctx, v.ScanPort, v.ScanSettings.toStdString());
    LabelTraffic(ctx, label);
    if (!ctx.link.CommOpen(v.ScanPort, v.ScanSettings.toStdString()))
        return std::nullopt;
    ShowScanning(ctx, v.ScanPort);
    auto identity = AskIdentity(ctx, kQuickTries, label);
    ctx.link.CommClose();
    return identity;
}

// COM1 to COM16; each port that opens with every setting in list order, or only with the
// current one while chkLock is ticked. The place found is stored at once.
std::optional<link::Identity> Sweep(Context& ctx) {
    ProgramValues& v = ctx.values;
    const bool pinned = ctx.ui.chkLock->isChecked();
    const int pinnedIndex = link::IsSettingsIndex(v.ScanSettingsIndex)
                                ? v.ScanSettingsIndex
                                : link::kDefaultSettingsIndex;
    for (int port = kFirstPort; port <= kLastPort; ++port) {
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
            auto identity = AskIdentity(ctx, kSweepTries, label);
            if (identity) {
                v.ScanPort = port;
                v.ScanSettings = QString::fromStdString(settings);
                v.ScanSettingsIndex = i;
                SaveScanSettings(v);
            }
            ctx.link.CommClose();
            if (identity)
                return identity;
        }
    }
    return std::nullopt;
}

void ShowIdentity(Context& ctx, const link::Identity& identity) {
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
bool ReadVersion(Context& ctx) {
    ProgramValues& v = ctx.values;
    const QString label = Text(ctx, msg::Version);
    LabelTraffic(ctx, label);
    if (!ctx.link.CommOpen(v.ScanPort, v.ScanSettings.toStdString()))
        return false;
    bool found = false;
    for (int t = 0; t < kVersionTries && !found; ++t) {
        LabelTry(ctx, label, t + 1);
        ctx.link.sleepMs(kScanPauseMs);
        if (!ctx.link.ReaderTransact(link::cmd::Version()))
            continue;
        ctx.link.sleepMs(kScanPauseMs);
        const std::string version = link::DecodeVersion(ctx.link.reply());
        ctx.ui.pnVersion->setText(
            Text(ctx, msg::Version) + " : " +
            QString::fromLatin1(version.data(), static_cast<int>(version.size())));
        found = true;
        ctx.ui.pnMsg->setText(Text(ctx, msg::GetReaderInfoOk) + " : #" + PortText(v.ScanPort) +
                              ")");
        v.ReaderFound = true;
        SetBusy(ctx, false);
        ctx.ui.shComm->setColor(kYellow);
    }
    ctx.link.CommClose();
    return found;
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
    std::optional<link::Identity> identity;
    if (v.ScanPort > 0)
        identity = TryRememberedPlace(ctx);
    if (!identity)
        identity = Sweep(ctx);

    if (identity) {
        v.ReaderSettings = v.ScanSettings; // where it answered
        ShowIdentity(ctx, *identity);
        if (ReadVersion(ctx)) {
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
