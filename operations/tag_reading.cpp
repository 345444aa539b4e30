// Tag reading: a run holds the port open and polls the reader without pause until the button is
// clicked again; it shows the input state and every tag, and passes the outputs on.
#include "operations/cycle.h"
#include "operations/handlers.h"

#include "link/protocol/link.h"
#include "program/beeper.h"
#include "program/lamp.h"
#include "program/messages.h"
#include "program/program_values.h"
#include "program/traffic_log.h"
#include "reader/tag_run.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <array>

namespace qv::ops {

namespace {

// The controls that a run disables: everything that could change the language, the place or
// the window, or open the held port for an operation of its own.
std::array<QWidget*, 21> RunLockedControls(const Controls& ui) {
    return {ui.btnExit,     ui.btnScan,   ui.btnFactory,     ui.btnID,           ui.btnBaudRate,
            ui.gbDefault,   ui.btnEng,    ui.btnGB,          ui.btnBIG5,         ui.btnNoNc,
            ui.btnSameCard, ui.btnMode,   ui.btnGetSameCard, ui.btnGetNoNc,      ui.btnGetMode,
            ui.btnSerID2,   ui.btnGetID2, ui.btnSameCard2,   ui.btnGetSameCard2, ui.btnSetRL,
            ui.btnGetRL};
}

void SetLocked(const Controls& ui, bool locked) {
    for (QWidget* w : RunLockedControls(ui))
        if (w)
            w->setEnabled(!locked);
}

// Shows the tag.
void ShowTag(Context& ctx, const reader::TagText& tag) {
    ctx.ui.pnMsg->setText(QString::fromLatin1(tag.id.data(), static_cast<int>(tag.id.size())));
    ctx.ui.pnCardID->setText(
        Text(ctx, msg::TagId) + " : " + QString::fromLatin1(tag.decimal.data()) + "(D)  " +
        QString::fromLatin1(tag.hex.data(), static_cast<int>(tag.hex.size())) + "(H)");
    ctx.ui.shCard->setColor(kYellow);
    // A tag inside the lamp's second repaints it without extending the second.
    if (!ctx.ui.tmrCard->isActive())
        ctx.ui.tmrCard->start();
}

QString FromLatin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// The window's side of a run: the input panel, the tag display and the window's other
// listeners (the TAG history) for every read; for a reader that stopped answering the link lamp
// stays red (no blinking) and the status line says so, and the first poll answered again brings
// back the blinking and the status line as it was.
class WindowSink : public reader::TagSink {
public:
    explicit WindowSink(Context& ctx) : ctx_(ctx) {}

    void tag(const reader::TagRead& read) override {
        ShowTag(ctx_, read.tag);
        for (reader::TagSink* listener : ctx_.tagListeners)
            listener->tag(read);
    }
    void input(char state) override { ctx_.ui.pnDI->setText(QString(QChar::fromLatin1(state))); }

    void changed(const reader::ReaderChange& change) override {
        using Kind = reader::ReaderChange::Kind;
        switch (change.kind) {
        case Kind::NotAnswering:
            before_ = ctx_.ui.pnMsg->text();
            ctx_.ui.tmrBusy->stop();
            ctx_.ui.shComm->setColor(kRed);
            ctx_.ui.pnMsg->setText(Text(ctx_, msg::ReaderNotAnswering));
            break;
        case Kind::AnsweringAgain:
            ctx_.ui.pnMsg->setText(before_);
            ctx_.ui.tmrBusy->start();
            break;
        case Kind::Another: {
            // Another reader took the port while it was away: the status line comes back to say
            // so, and the traffic log keeps it.
            const QString text = Text(ctx_, msg::AnotherReader)
                                     .arg(FromLatin1(change.serial), FromLatin1(change.previous));
            before_ = text;
            ctx_.ui.pnMsg->setText(text);
            ctx_.ui.pnSerial->setText(Text(ctx_, msg::SerialNo) + " : " +
                                      FromLatin1(change.serial));
            if (ctx_.traffic)
                ctx_.traffic->append({.kind = link::TraceEvent::Kind::AnotherReader,
                                      .ms = ctx_.link.nowMs(),
                                      .bytes = change.serial,
                                      .detail = change.previous});
            break;
        }
        case Kind::Gone:
        case Kind::Back:
            break;
        }
        for (reader::TagSink* listener : ctx_.tagListeners)
            listener->changed(change);
    }

private:
    Context& ctx_;
    QString before_;
};

} // namespace

static void btnReadCardClick(Context& ctx) {
    ProgramValues& v = ctx.values;
    if (!v.ReaderFound) {
        ctx.ui.pnMsg->setText(Text(ctx, msg::StartScanReader));
        ctx.beeper.beep(kLowBeepHz, kBeepMs);
        return;
    }
    if (v.TagReadActive) {
        v.TagReadActive = false; // the loop ends the run after its current cycle
        return;
    }
    // A stopped run holds the port until its current cycle has finished, and one that waits for
    // its device to come back holds it closed: no second run inside it.
    if (ctx.link.isOpen() || ctx.TagRunHolding)
        return;

    v.TagReadActive = true;
    const QString caption = ctx.ui.btnReadCard->text();
    ctx.ui.btnReadCard->setText(Text(ctx, msg::CancelReadTag));
    SetLocked(ctx.ui, true);

    LabelTraffic(ctx, Text(ctx, msg::ReadTag));
    if (!ctx.link.CommOpen(v.ScanPort, v.ScanSettings.toStdString())) {
        Report(ctx, kRed,
               Text(ctx, msg::OpenCom) + " : " + QString::number(v.ScanPort) + " " +
                   Text(ctx, msg::Error),
               kLowBeepHz);
        v.TagReadActive = false;
    } else {
        SetBusy(ctx, true);
        ctx.ui.window->setEnabled(true);
        ctx.TagRunHolding = true;
        // A device that went away is waited for, "not answering", until it is back or the run is
        // stopped; its failed opens reach the status line's tooltip through the trace.
        reader::TagRunPlan plan;
        plan.outputs = [&ctx] {
            return std::optional(
                reader::Outputs{ctx.ui.chkDO1->isChecked(), ctx.ui.chkDO2->isChecked()});
        };
        plan.reconnect = true;
        plan.port = v.ScanPort;
        plan.settings = v.ScanSettings.toStdString();
        plan.serial = v.ReaderSerial;
        WindowSink sink(ctx);
        const auto result = reader::RunTags(ctx.link, plan, ctx.SentOutputs, sink,
                                            [&v] { return !v.TagReadActive; });
        v.ReaderSerial = result.serial;
        ctx.TagRunHolding = false;
        SetBusy(ctx, false);
        // A run whose reader went away is no success.
        const bool answered = result.lastPollAnswered;
        ctx.ui.shComm->setColor(answered ? kYellow : kRed);
        ctx.beeper.beep(answered ? kHighBeepHz : kLowBeepHz, kBeepMs);
        ctx.ui.shCard->setColor(Qt::white);
        ctx.link.CommClose();
    }

    ctx.ui.pnCardID->setText(Text(ctx, msg::TagId));
    SetLocked(ctx.ui, false);
    ctx.ui.btnReadCard->setText(caption);
}

static void tmrCardTimer(Context& ctx) {
    ctx.ui.shCard->setColor(Qt::white);
    ctx.ui.tmrCard->stop();
}

std::span<const Handler> TagReadingHandlers() {
    static const Handler rows[] = {
        {"btnReadCardClick", "btnReadCard", Event::Click, nullptr, btnReadCardClick},
        {"tmrCardTimer", "tmrCard", Event::Timeout, nullptr, tmrCardTimer},
    };
    return rows;
}

} // namespace qv::ops
