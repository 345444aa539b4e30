// Tag reading: a run holds the port open and polls the reader without pause until the button is
// clicked again; it shows the input state and every tag, and passes the outputs on.
#include "operations/cycle.h"
#include "operations/handlers.h"

#include "link/commands.h"
#include "link/link.h"
#include "link/replies.h"
#include "program/beeper.h"
#include "program/lamp.h"
#include "program/messages.h"
#include "program/program_values.h"
#include "program/tag_history.h"
#include "program/traffic_log.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <array>
#include <charconv>
#include <cstdint>

namespace qv::ops {

namespace {

constexpr int kPumpsPerCycle = 20;
constexpr std::uint32_t kPumpPauseMs = 1;
constexpr std::uint32_t kAckPauseMs = 20;
// Polls that have failed for this long without a break mean that the reader stopped answering.
constexpr std::uint32_t kSilenceMs = 1000;

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

// The last 8 digits of the identifier as an unsigned 32-bit number; 0 when they are not hex.
std::uint32_t LowWord(std::string_view digits) {
    std::uint32_t value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
    if (ec != std::errc() || end != digits.data() + digits.size())
        return 0;
    return value;
}

// Shows the tag; returns its identifier as shown.
std::string ShowTag(Context& ctx, const std::string& tag) {
    const std::string id = link::DecodeTagId(tag);
    ctx.ui.pnMsg->setText(QString::fromLatin1(id.data(), static_cast<int>(id.size())));
    const std::string_view low = std::string_view(id).substr(8, 8);
    ctx.ui.pnCardID->setText(Text(ctx, msg::TagId) +
                             QString::asprintf(" : %010u(D)  ", LowWord(low)) +
                             QString::fromLatin1(low.data(), static_cast<int>(low.size())) + "(H)");
    ctx.ui.shCard->setColor(kYellow);
    // A tag inside the lamp's second repaints it without extending the second.
    if (!ctx.ui.tmrCard->isActive())
        ctx.ui.tmrCard->start();
    return id;
}

// One poll cycle: let clicks and timers in, pass changed outputs on, poll, show. False when the
// reader did not answer the poll.
bool PollCycle(Context& ctx) {
    for (int i = 0; i < kPumpsPerCycle; ++i) {
        ctx.link.pumpEvents();
        ctx.link.sleepMs(kPumpPauseMs);
    }
    const bool do1 = ctx.ui.chkDO1->isChecked();
    const bool do2 = ctx.ui.chkDO2->isChecked();
    const int outputs = (do1 ? 1 : 0) | (do2 ? 2 : 0);
    if (outputs != ctx.SentOutputs) {
        ctx.SentOutputs = outputs;
        ctx.link.ReaderTransact(link::cmd::Outputs(do1, do2));
    }
    if (!ctx.link.ReaderTransact(link::cmd::Poll()))
        return false;
    const auto poll = link::DecodePoll(ctx.link.reply());
    if (!poll)
        return true;
    ctx.ui.pnDI->setText(QString(QChar::fromLatin1(poll->input)));
    if (!poll->tag)
        return true;
    const std::string id = ShowTag(ctx, *poll->tag);
    if (ctx.tags)
        ctx.tags->record(id, poll->input, QDateTime::currentDateTime());
    ctx.link.sleepMs(kAckPauseMs);
    ctx.link.ReaderTransact(link::cmd::TagAck());
    return true;
}

// Watches the polls of a run for a reader that stopped answering. While every poll has failed
// for a second, the link lamp stays red (no blinking) and the status line says so; the first
// poll that is answered again brings back the blinking and the status line as it was.
class SilenceWatch {
public:
    explicit SilenceWatch(Context& ctx) : ctx_(ctx) {}

    void polled(bool answered) {
        lastAnswered_ = answered;
        const std::uint32_t now = ctx_.link.nowMs();
        if (answered) {
            failingSince_.reset();
            if (shown_) {
                shown_ = false;
                ctx_.ui.pnMsg->setText(before_);
                ctx_.ui.tmrBusy->start();
            }
            return;
        }
        if (!failingSince_)
            failingSince_ = now;
        else if (!shown_ && now - *failingSince_ >= kSilenceMs) {
            shown_ = true;
            before_ = ctx_.ui.pnMsg->text();
            ctx_.ui.tmrBusy->stop();
            ctx_.ui.shComm->setColor(kRed);
            ctx_.ui.pnMsg->setText(Text(ctx_, msg::ReaderNotAnswering));
        }
    }
    bool lastAnswered() const { return lastAnswered_; }

private:
    Context& ctx_;
    std::optional<std::uint32_t> failingSince_;
    bool shown_ = false;
    bool lastAnswered_ = true;
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
    // A stopped run holds the port until its current cycle has finished: no second run inside it.
    if (ctx.link.isOpen())
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
        SilenceWatch silence(ctx);
        while (v.TagReadActive)
            silence.polled(PollCycle(ctx));
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
