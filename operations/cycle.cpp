#include "operations/cycle.h"

#include "link/protocol/commands.h"
#include "link/protocol/link.h"
#include "link/protocol/replies.h"
#include "operations/bindings.h"
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

// The command and reply handling of a parameter's Set or Get, through its row and binding.
void BindParam(Context& ctx, const Operation& op, link::Exchange& exchange,
               link::CommandBuilder& command, link::ReplyHandler& onReply) {
    const reader::ParamRow& row = reader::RowOf(*op.param);
    const ParamBinding& binding = BindingOf(*op.param);
    if (op.readBack) {
        exchange = row.getExchange;
        command = [&row](const link::Reply&) -> std::optional<std::string> { return row.get(); };
        onReply = [&ctx, &op, &row, &binding](const link::Reply& reply) {
            const auto value = row.decode(reply);
            if (!value)
                return false;
            binding.show(ctx.ui, *value);
            return !op.onReply || op.onReply(ctx);
        };
        return;
    }
    exchange = row.setExchange;
    command = [&ctx, &op, &row, &binding](const link::Reply& identity) {
        const auto value = op.fixed ? op.fixed : binding.read(ctx.ui);
        return value ? row.set(*value, identity) : std::nullopt;
    };
    if (op.onReply)
        onReply = [&ctx, &op](const link::Reply&) { return op.onReply(ctx); };
}

// The tries of `op` on the open port. True when the operation succeeded.
bool RunTries(Context& ctx, const Operation& op) {
    link::Exchange exchange = op.exchange;
    link::CommandBuilder command;
    link::ReplyHandler onReply;
    if (op.param) {
        BindParam(ctx, op, exchange, command, onReply);
    } else {
        command = [&](const link::Reply& identity) {
            return op.command ? op.command(ctx, identity) : std::nullopt;
        };
        if (op.onReply)
            onReply = [&](const link::Reply&) { return op.onReply(ctx); };
    }
    const QString label = Text(ctx, op.startMsg);
    return link::RunExchange(ctx.link, exchange, command, onReply,
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
