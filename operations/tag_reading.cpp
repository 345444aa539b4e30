// Tag reading: a run holds the port open and polls the reader without pause until the button is
// clicked again; it shows the input state and every tag, and passes the outputs on.
#include "operations/cycle.h"
#include "operations/handlers.h"

#include "link/protocol/link.h"
#include "program/beeper.h"
#include "program/lamp.h"
#include "program/messages.h"
#include "program/program_values.h"
#include "program/tag_history.h"
#include "program/traffic_log.h"
#include "reader/reconnect.h"
#include "reader/tag_poll.h"

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

// Shows a reader that stopped answering (reader::SilenceRule): the link lamp stays red (no
// blinking) and the status line says so; the first poll answered again brings back the blinking
// and the status line as it was.
class SilenceWatch {
public:
    explicit SilenceWatch(Context& ctx) : ctx_(ctx) {}

    void polled(bool answered) { show(rule_.polled(answered, ctx_.link.nowMs())); }
    void lost() { show(rule_.lost()); }
    bool lastAnswered() const { return rule_.lastAnswered(); }

private:
    void show(reader::SilenceRule::Change change) {
        switch (change) {
        case reader::SilenceRule::Change::Silent:
            before_ = ctx_.ui.pnMsg->text();
            ctx_.ui.tmrBusy->stop();
            ctx_.ui.shComm->setColor(kRed);
            ctx_.ui.pnMsg->setText(Text(ctx_, msg::ReaderNotAnswering));
            break;
        case reader::SilenceRule::Change::AnsweringAgain:
            ctx_.ui.pnMsg->setText(before_);
            ctx_.ui.tmrBusy->start();
            break;
        case reader::SilenceRule::Change::None:
            break;
        }
    }

    Context& ctx_;
    reader::SilenceRule rule_;
    QString before_;
};

// One poll step with the window's outputs, input panel, tag display and history, and what it
// tells `silence`. A tag is an answer: a status line restored after a silence must not cover it.
void PollCycle(Context& ctx, SilenceWatch& silence) {
    const reader::Outputs wanted{ctx.ui.chkDO1->isChecked(), ctx.ui.chkDO2->isChecked()};
    const auto onTag = [&](const reader::PollResult& poll) {
        silence.polled(true);
        ctx.ui.pnDI->setText(QString(QChar::fromLatin1(*poll.input)));
        ShowTag(ctx, *poll.tag);
        if (ctx.tags)
            ctx.tags->record(poll.tag->id, *poll.input, QDateTime::currentDateTime());
    };
    const auto poll = reader::PollStep(ctx.link, wanted, ctx.SentOutputs, onTag);
    if (poll.input && !poll.tag)
        ctx.ui.pnDI->setText(QString(QChar::fromLatin1(*poll.input)));
    silence.polled(poll.answered);
}

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
        SilenceWatch silence(ctx);
        const std::string settings = v.ScanSettings.toStdString();
        while (v.TagReadActive) {
            PollCycle(ctx, silence);
            // A device that went away is waited for, "not answering", until it is back or the
            // run is stopped; its failed opens reach the status line's tooltip through the trace.
            if (ctx.link.lineGone() && v.TagReadActive) {
                silence.lost();
                reader::Reconnect(
                    ctx.link, v.ScanPort, settings, [&v] { return !v.TagReadActive; },
                    std::nullopt);
            }
        }
        ctx.TagRunHolding = false;
        SetBusy(ctx, false);
        // A run whose reader went away is no success.
        const bool answered = silence.lastAnswered();
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
