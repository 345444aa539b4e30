#include "shell/tooltips.h"

#include "program/messages.h"

#include "link/ports/com_ports.h"
#include "reader/parameters.h"

#include <QWidget>

#include <utility>

namespace qv {

namespace {

// Control name -> message row. A value panel, its scroll bar and its label share one text; so do
// the buttons that write or read back a value. GroupBox1 is left out: it is hidden and its
// buttons can never be pressed.
const std::pair<const char*, int> kToolTips[] = {
    {"pnMsg", msg::TipStatus},
    {"shComm", msg::TipLinkLamp},
    {"pnSerial", msg::TipSerial},
    {"pnVersion", msg::TipVersion},
    {"btnScan", msg::TipScan},
    {"lblID", msg::TipReaderId},
    {"pnID", msg::TipReaderId},
    {"sbID", msg::TipReaderId},
    {"btnID", msg::TipSetReaderId},
    {"lblBaudRate", msg::TipBaudRate},
    {"cmbBaudRate", msg::TipBaudRate},
    {"chkLock", msg::TipLock},
    {"btnBaudRate", msg::TipSetBaudRate},
    {"pnSameCard", msg::TipSameCard},
    {"sbSameCard", msg::TipSameCard},
    {"lblSameCard", msg::TipSameCard},
    {"gbNoNc", msg::TipNoNc},
    {"rbNO", msg::TipNoNc},
    {"rbNC", msg::TipNoNc},
    {"btnSameCard", msg::TipSetValue},
    {"btnGetSameCard", msg::TipGetValue},
    {"btnNoNc", msg::TipSetValue},
    {"btnGetNoNc", msg::TipGetValue},
    {"cmbWiegand", msg::TipWiegand},
    {"cmbRS485", msg::TipRS485},
    {"btnMode", msg::TipSetValue},
    {"btnGetMode", msg::TipGetValue},
    {"shCard", msg::TipTagLamp},
    {"pnDI", msg::TipInput},
    {"pnCardID", msg::TipTagId},
    {"chkDO1", msg::TipOutput},
    {"chkDO2", msg::TipOutput},
    {"btnReadCard", msg::TipReadTag},
    {"gbDefault", msg::TipParameters},
    {"pnRSSI", msg::TipRssi},
    {"sbRSSI", msg::TipRssi},
    {"btnSetRSSI", msg::TipSetValue},
    {"btnGetRSSI", msg::TipGetValue},
    {"btnBeepOn", msg::TipBeepOn},
    {"btnBeepOff", msg::TipBeepOff},
    {"pnGain", msg::TipGain},
    {"sbGainLevel", msg::TipGain},
    {"btnGain", msg::TipSetValue},
    {"pnExciterID1", msg::TipExciter},
    {"sbExciterID1", msg::TipExciter},
    {"pnExciterID2", msg::TipExciter},
    {"sbExciterID2", msg::TipExciter},
    {"btnSetExciterID", msg::TipSetValue},
    {"btnGetExciterID", msg::TipGetValue},
    {"btnReset", msg::TipReset},
    {"btnFactory", msg::TipFactory},
    {"btnEng", msg::TipEnglish},
    {"btnGB", msg::TipGB},
    {"btnBIG5", msg::TipBIG5},
    {"btnExit", msg::TipExit},
    {"btnEntryExit", msg::TipWide},
    {"gbEntryExit", msg::TipEntryExit},
    {"pnID2", msg::TipId2},
    {"sbID2", msg::TipId2},
    {"btnSerID2", msg::TipSetValue},
    {"btnGetID2", msg::TipGetValue},
    {"pnSameCard2", msg::TipSameCard},
    {"sbSameCard2", msg::TipSameCard},
    {"btnSameCard2", msg::TipSetValue},
    {"btnGetSameCard2", msg::TipGetValue},
    {"gbRelayMode", msg::TipRelays},
    {"chkRL1En", msg::TipRelayEnabled},
    {"chkRL2En", msg::TipRelayEnabled},
    {"chkRL1Key", msg::TipRelayKey},
    {"chkRL2Key", msg::TipRelayKey},
    {"chkRL1Mo", msg::TipRelayMo},
    {"chkRL2Mo", msg::TipRelayMo},
    {"Label1", msg::TipRelayTime},
    {"Label2", msg::TipRelayTime},
    {"Label3", msg::TipRelayTime},
    {"Label4", msg::TipRelayTime},
    {"pnRL1", msg::TipRelayTime},
    {"sbRL1", msg::TipRelayTime},
    {"pnRL2", msg::TipRelayTime},
    {"sbRL2", msg::TipRelayTime},
    {"btnSetRL", msg::TipSetValue},
    {"btnGetRL", msg::TipGetValue},
};

// The texts that name a range take it from where the range is kept: a parameter's row, the COM
// numbers. %1 and %2 are the bounds in the panel's digits; the relay time adds them in seconds.
QString WithRange(int k, const QString& text) {
    using reader::Param;
    const auto digits = [](int value, int width, int base) {
        return QString::number(value, base).toUpper().rightJustified(width, QLatin1Char('0'));
    };
    const auto bounds = [&](Param param, int width, int base) {
        const reader::Bounds b = reader::RowOf(param).bounds;
        return text.arg(digits(b.low, width, base), digits(b.high, width, base));
    };
    switch (k) {
    case msg::TipScan:
        return text.arg(link::kFirstComPort).arg(link::kLastComPort);
    case msg::TipReaderId:
        return bounds(Param::Id, 2, 10);
    case msg::TipSameCard:
        return bounds(Param::SameCard, 0, 10);
    case msg::TipRssi:
        return bounds(Param::Rssi, 0, 10);
    case msg::TipGain:
        return bounds(Param::Gain, 0, 10);
    case msg::TipExciter:
        return bounds(Param::ExciterId, 4, 16);
    case msg::TipId2:
        return bounds(Param::Id2, 0, 10);
    case msg::TipRelayTime: {
        const reader::Bounds b = reader::RowOf(Param::Relays).bounds;
        return text.arg(b.low)
            .arg(b.high)
            .arg(QString::number(b.low / 10.0))
            .arg(QString::number(b.high / 10.0, 'f', 1));
    }
    default:
        return text;
    }
}

// One sentence a line: a plain-text tooltip is never wrapped, and a long one would run across
// the screen.
QString OneSentenceALine(QString text) {
    text.replace(QStringLiteral(". "), QStringLiteral(".\n"));
    const QChar fullStop(0x3002);
    for (qsizetype i = text.indexOf(fullStop); i >= 0 && i + 1 < text.size();
         i = text.indexOf(fullStop, i + 2))
        text.insert(i + 1, QLatin1Char('\n'));
    return text;
}

} // namespace

QString ToolTipText(int k, int language) {
    return OneSentenceALine(WithRange(k, Msg(k, language)));
}

void ApplyToolTips(QWidget* window, int language) {
    for (const auto& [name, k] : kToolTips)
        if (auto* control = window->findChild<QWidget*>(QLatin1String(name)))
            control->setToolTip(ToolTipText(k, language));
}

} // namespace qv
