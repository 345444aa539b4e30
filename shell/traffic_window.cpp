#include "shell/traffic_window.h"

#include "program/messages.h"
#include "program/program_values.h"
#include "program/traffic_log.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QIODevice>
#include <QKeyEvent>
#include <QKeySequence>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

namespace qv {

namespace {

// A fixed-pitch face, so that the columns line up: the system's own where it is one, else the
// first installed of the faces the platforms ship (Windows may name a face it does not have, and
// a missing face falls back to a proportional one).
QFont FixedPitchFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (QFontInfo(font).fixedPitch())
        return font;
    for (const char* family : {"Consolas", "Cascadia Mono", "Lucida Console", "Courier New",
                               "DejaVu Sans Mono", "Liberation Mono", "Noto Sans Mono"}) {
        const QString name = QString::fromLatin1(family);
        if (QFontDatabase::isFixedPitch(name)) {
            font.setFamily(name);
            return font;
        }
    }
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

QString FromStd(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

QString DescribeReason(link::SerialError error, int language) {
    return Msg(ReasonRow(error), language);
}

QString DescribeReason(link::SerialError error, const std::string& detail, int language) {
    if (detail.empty())
        return DescribeReason(error, language);
    const QString more = QString::fromStdString(detail);
    return error == link::SerialError::Other ? more
                                             : DescribeReason(error, language) + " (" + more + ")";
}

QString DescribeOutcomeText(link::Outcome outcome, int language) {
    int k = msg::OutcomeNoReply;
    switch (outcome) {
    case link::Outcome::Verified:
        k = msg::OutcomeVerified;
        break;
    case link::Outcome::BadChecksum:
        k = msg::OutcomeBadChecksum;
        break;
    case link::Outcome::NoReply:
        break;
    case link::Outcome::Ceiling:
        k = msg::OutcomeCeiling;
        break;
    case link::Outcome::OtherReply:
        k = msg::OutcomeOtherReply;
        break;
    }
    return Msg(k, language);
}

QString FormatTrafficLine(const TrafficLine& line, int language) {
    using Kind = link::TraceEvent::Kind;
    QString text =
        QDateTime::fromMSecsSinceEpoch(line.wallMs).toString(QStringLiteral("HH:mm:ss.zzz"));
    const QString where = FromStd(line.port);
    switch (line.kind) {
    case Kind::Sent:
    case Kind::Received: {
        text += line.kind == Kind::Sent ? QStringLiteral("  TX  ") : QStringLiteral("  RX  ");
        text += QString::fromLatin1(HexBytes(line.bytes)) + "  " +
                QString::fromLatin1(TextBytes(line.bytes));
        if (line.byteCount > line.bytes.size())
            text += QStringLiteral(" ... (%1 bytes)").arg(line.byteCount);
        break;
    }
    case Kind::Opened:
        text += "  --  " + where + " " + FromStd(line.bytes) + " " + Msg(msg::PortOpened, language);
        break;
    case Kind::OpenFailed:
        text += "  !!  " + where + " " + FromStd(line.bytes) + " " +
                Msg(msg::PortNotOpened, language) + ": " +
                DescribeReason(line.error, line.detail, language);
        break;
    case Kind::Closed:
        text += "  --  " + where + " " + Msg(msg::PortClosed, language);
        break;
    case Kind::Finished:
        text += "  ==  " + DescribeOutcomeText(line.outcome, language);
        break;
    case Kind::AnotherReader:
        text += "  !!  " + Msg(msg::AnotherReader, language)
                               .arg(QString::fromLatin1(TextBytes(line.bytes)),
                                    QString::fromLatin1(TextBytes(line.detail)));
        break;
    }
    if (!line.label.empty())
        text += "  | " + FromStd(line.label);
    return text;
}

bool WriteTrafficLog(QIODevice& out, const TrafficLog& log, int language) {
    for (std::uint64_t n = log.first(); n < log.end(); ++n) {
        const QByteArray bytes = (FormatTrafficLine(log.at(n), language) + '\n').toUtf8();
        if (out.write(bytes) != bytes.size())
            return false;
    }
    return true;
}

TrafficModel::TrafficModel(const TrafficLog& log, const ProgramValues& values, QObject* parent)
    : QAbstractListModel(parent), log_(log), values_(values), shownFirst_(log.first()),
      shownEnd_(log.first()) {}

int TrafficModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shownEnd_ - shownFirst_);
}

QVariant TrafficModel::data(const QModelIndex& index, int role) const {
    if (role == Qt::SizeHintRole && rowSize_.isValid())
        return rowSize_;
    // A line longer than a row shows whole in its tooltip (and in a copy or the saved file).
    if ((role != Qt::DisplayRole && role != Qt::ToolTipRole) || !index.isValid())
        return {};
    const std::uint64_t n = lineNumber(index.row());
    // A line that left the ring since the last refresh: its slot holds a newer one now.
    if (n < log_.first() || n >= log_.end())
        return {};
    return FormatTrafficLine(log_.at(n), values_.LanguageIndex);
}

void TrafficModel::refresh() {
    const std::uint64_t first = log_.first();
    const std::uint64_t end = log_.end();
    if (first > shownFirst_) {
        const std::uint64_t gone = std::min(first, shownEnd_) - shownFirst_;
        if (gone > 0) {
            beginRemoveRows({}, 0, static_cast<int>(gone) - 1);
            shownFirst_ += gone;
            endRemoveRows();
        }
        if (shownFirst_ < first) // every shown line went, and more: start again at the first
            shownFirst_ = shownEnd_ = first;
    }
    if (end > shownEnd_) {
        const int row = rowCount();
        beginInsertRows({}, row, row + static_cast<int>(end - shownEnd_) - 1);
        shownEnd_ = end;
        endInsertRows();
    }
}

TrafficWindow::TrafficWindow(TrafficLog& log, const ProgramValues& values)
    : SideWindow(kRepaintMs), log_(log), values_(values),
      model_(new TrafficModel(log, values, this)), view_(new QListView(this)),
      pause_(new QPushButton(this)), clear_(new QPushButton(this)), copy_(new QPushButton(this)),
      save_(new QPushButton(this)) {
    setObjectName(QStringLiteral("TrafficWindow"));
    view_->setObjectName(QStringLiteral("lvTraffic"));
    view_->setModel(model_);
    view_->setUniformItemSizes(true);
    view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setFont(FixedPitchFont());
    // Rows of one size, wide enough for a tag poll's reply with its label; the view scrolls
    // sideways rather than cutting a line short.
    const QFontMetrics metrics(view_->font());
    model_->setRowSize(
        {metrics.horizontalAdvance(QLatin1Char('0')) * kRowCharacters, metrics.height() + 2});
    view_->setTextElideMode(Qt::ElideNone);
    view_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    pause_->setCheckable(true);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {pause_, clear_, copy_, save_})
        buttons->addWidget(b);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(view_);
    resize(900, 420);

    connect(pause_, &QPushButton::clicked, this, &TrafficWindow::togglePause);
    connect(clear_, &QPushButton::clicked, this, &TrafficWindow::clearLines);
    connect(copy_, &QPushButton::clicked, this, &TrafficWindow::copySelected);
    connect(save_, &QPushButton::clicked, this, &TrafficWindow::saveToFile);
    copyOnCopyKey(view_);
    applyLanguage();
}

void TrafficWindow::applyLanguage() {
    const int l = values_.LanguageIndex;
    setWindowTitle(Msg(msg::TrafficTitle, l));
    pause_->setText(Msg(log_.paused() ? msg::Resume : msg::Pause, l));
    clear_->setText(Msg(msg::Clear, l));
    copy_->setText(Msg(msg::Copy, l));
    save_->setText(Msg(msg::SaveAs, l));
    // Lines already shown carry words of the old language until they are drawn again.
    view_->viewport()->update();
}

void TrafficWindow::repaintLines() {
    QScrollBar* bar = view_->verticalScrollBar();
    const bool atBottom = bar->value() == bar->maximum();
    model_->refresh();
    if (atBottom)
        view_->scrollToBottom();
}

void TrafficWindow::togglePause() {
    log_.setPaused(!log_.paused());
    pause_->setChecked(log_.paused());
    applyLanguage();
}

void TrafficWindow::clearLines() {
    log_.clear();
    model_->refresh();
}

QString TrafficWindow::selectedText() const {
    QModelIndexList rows = view_->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QStringList lines;
    for (const QModelIndex& row : rows)
        lines << row.data().toString();
    return lines.join('\n');
}

void TrafficWindow::copySelected() {
    const QString text = selectedText();
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text + '\n');
}

void TrafficWindow::saveToFile() {
    const int l = values_.LanguageIndex;
    const QString path = QFileDialog::getSaveFileName(
        this, Msg(msg::SaveAs, l), QStringLiteral("traffic.txt"), QStringLiteral("Text (*.txt)"));
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !WriteTrafficLog(file, log_, l) || !file.commit())
        QMessageBox::warning(this, Msg(msg::TrafficTitle, l),
                             Msg(msg::SaveFailed, l) + ": " + path + "\n" + file.errorString());
}

} // namespace qv
