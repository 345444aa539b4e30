#include "operations/cycle.h"

#include "link/protocol/commands.h"
#include "link/protocol/link.h"
#include "link/protocol/replies.h"
#include "operations/handlers.h"
#include "program/beeper.h"
#include "program/lamp.h"
#include "program/messages.h"
#include "program/program_values.h"
#include "program/traffic_log.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QVariant>
#include <QWidget>

namespace qv::ops {

namespace {

constexpr const char* kPhaseProperty = "tag";

// The tries of `op` on the open port. True when the operation succeeded.
bool RunTries(Context& ctx, const Operation& op) {
    const link::CommandBuilder command = [&](const link::Reply&) {
        return op.command ? op.command(ctx) : std::nullopt;
    };
    link::ReplyHandler onReply;
    if (op.onReply)
        onReply = [&](const link::Reply&) { return op.onReply(ctx); };
    const QString label = Text(ctx, op.startMsg);
    return link::RunExchange(ctx.link, op.exchange, command, onReply,
                             [&](int number) { LabelTry(ctx, label, number); });
}

} // namespace

QString Text(const Context& ctx, int k) {
    return Msg(k, ctx.values.LanguageIndex);
}

void Report(Context& ctx, const QColor& lamp, const QString& text, int beepHz) {
    ctx.ui.shComm->setColor(lamp);
    ctx.ui.pnMsg->setText(text);
    ctx.beeper.beep(beepHz, kBeepMs);
}

void RunOperation(Context& ctx, const Operation& op) {
    if (ctx.link.isOpen() || ctx.TagRunHolding) // a tag run holds the port
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ctx.ui.window->setEnabled(false);

    if (!ctx.values.ReaderFound) {
        Report(ctx, kRed, Text(ctx, msg::StartScanReader), kLowBeepHz);
    } else {
        if (op.beforeStart)
            op.beforeStart(ctx);
        std::optional<QString> value;
        if (op.value)
            value = op.value(ctx);
        QString start = Text(ctx, op.startMsg);
        if (value)
            start += " = " + *value;
        ctx.ui.pnMsg->setText(start);
        if (op.pumpAfterStart)
            ctx.link.pumpEvents();

        bool ok = false;
        const bool canForm = !op.value || value.has_value();
        const QString settings = op.atReaderSettings && !ctx.values.ReaderSettings.isEmpty()
                                     ? ctx.values.ReaderSettings
                                     : ctx.values.ScanSettings;
        LabelTraffic(ctx, Text(ctx, op.startMsg));
        if (canForm && ctx.link.CommOpen(ctx.values.ScanPort, settings.toStdString())) {
            ok = RunTries(ctx, op);
            ctx.link.CommClose();
            // The reader answers here; a line-speed change has said where it answers from now on.
            if (ok && !op.atReaderSettings)
                ctx.values.ReaderSettings = settings;
            if (ok && op.onSuccess)
                op.onSuccess(ctx);
        }
        if (ok)
            Report(ctx, kYellow, Text(ctx, op.okMsg), kHighBeepHz);
        else
            Report(ctx, kRed, Text(ctx, op.errorMsg), kLowBeepHz);
    }

    ctx.ui.window->setEnabled(true);
    QApplication::restoreOverrideCursor();
}

void LabelTraffic(Context& ctx, const QString& label) {
    if (ctx.traffic)
        ctx.traffic->setLabel(label.toStdString());
}

void LabelTry(Context& ctx, const QString& label, int number) {
    if (ctx.traffic)
        LabelTraffic(ctx, label + ", " + Text(ctx, msg::Try).arg(number));
}

void ShowNumber(QLabel* panel, const char* format, int value) {
    panel->setText(QString::asprintf(format, value));
}

std::optional<std::string> ParamGet(reader::Param param) {
    return reader::RowOf(param).get();
}

std::optional<reader::Value> ParamReply(Context& ctx, reader::Param param) {
    return reader::Decode(param, ctx.link.reply());
}

std::optional<std::string> ParamSet(reader::Param param, const reader::Value& value) {
    return reader::SetCommand(param, value, link::Reply{});
}

std::string Latin1(const QString& text) {
    return text.toLatin1().toStdString();
}

void SetBusy(Context& ctx, bool on) {
    if (on) {
        ctx.ui.tmrBusy->start();
        ctx.ui.window->setEnabled(false);
    } else {
        ctx.ui.window->setEnabled(true);
        ctx.ui.tmrBusy->stop();
    }
}

void tmrBusyTimer(Context& ctx) {
    QTimer* timer = ctx.ui.tmrBusy;
    if (timer->property(kPhaseProperty).toInt() == 1) {
        timer->setProperty(kPhaseProperty, 0);
        ctx.ui.shComm->setColor(kYellow);
    } else {
        timer->setProperty(kPhaseProperty, 1);
        ctx.ui.shComm->setColor(kRed);
    }
}

} // namespace qv::ops
