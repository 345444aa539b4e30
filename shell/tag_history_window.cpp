#include "shell/tag_history_window.h"

#include "program/messages.h"
#include "program/program_values.h"
#include "program/tag_history.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>
#include <set>

namespace qv {

namespace {

constexpr int kColumns[] = {msg::ColumnTagId,     msg::ColumnDecimal,  msg::ColumnHex,
                            msg::ColumnFirstSeen, msg::ColumnLastSeen, msg::ColumnCount,
                            msg::ColumnInput};

QString LocalTime(const QDateTime& time) {
    return time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace

QStringList TagHistoryWindow::Headers(int language) {
    QStringList headers;
    for (int k : kColumns)
        headers << Msg(k, language);
    return headers;
}

TagHistoryWindow::TagHistoryWindow(TagHistory& history, const ProgramValues& values)
    : SideWindow(kRepaintMs), history_(history), values_(values), table_(new QTableWidget(this)),
      copy_(new QPushButton(this)), export_(new QPushButton(this)), clear_(new QPushButton(this)) {
    setObjectName(QStringLiteral("TagHistoryWindow"));
    table_->setObjectName(QStringLiteral("tblTags"));
    table_->setColumnCount(static_cast<int>(std::size(kColumns)));
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setStretchLastSection(true);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {copy_, export_, clear_})
        buttons->addWidget(b);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(table_);
    resize(820, 320);

    connect(copy_, &QPushButton::clicked, this, &TagHistoryWindow::copySelected);
    connect(export_, &QPushButton::clicked, this, &TagHistoryWindow::exportCsv);
    connect(clear_, &QPushButton::clicked, this, &TagHistoryWindow::clearHistory);
    copyOnCopyKey(table_);
    applyLanguage();
}

void TagHistoryWindow::applyLanguage() {
    const int l = values_.LanguageIndex;
    setWindowTitle(Msg(msg::TagHistoryTitle, l));
    copy_->setText(Msg(msg::Copy, l));
    export_->setText(Msg(msg::ExportCsv, l));
    clear_->setText(Msg(msg::Clear, l));
    table_->setHorizontalHeaderLabels(Headers(l));
}

void TagHistoryWindow::redraw() {
    if (history_.revision() == shownRevision_)
        return;
    shownRevision_ = history_.revision();
    const auto& rows = history_.rows();
    table_->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const TagSighting& s = rows[static_cast<std::size_t>(r)];
        const QString cells[] = {
            QString::fromLatin1(s.id.data(), static_cast<qsizetype>(s.id.size())),
            s.decimal(),
            s.hex(),
            LocalTime(s.first),
            LocalTime(s.last),
            QString::number(s.count),
            s.inputText()};
        for (int c = 0; c < static_cast<int>(std::size(cells)); ++c) {
            QTableWidgetItem* item = table_->item(r, c);
            if (!item) {
                item = new QTableWidgetItem;
                table_->setItem(r, c, item);
            }
            item->setText(cells[c]);
        }
    }
}

QString TagHistoryWindow::selectedText() const {
    std::set<int> rows;
    for (const QModelIndex& index : table_->selectionModel()->selectedIndexes())
        rows.insert(index.row());
    QStringList lines;
    for (int r : rows) {
        QStringList cells;
        for (int c = 0; c < table_->columnCount(); ++c)
            cells << (table_->item(r, c) ? table_->item(r, c)->text() : QString());
        lines << cells.join('\t');
    }
    return lines.join('\n');
}

void TagHistoryWindow::copySelected() {
    const QString text = selectedText();
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text + '\n');
}

void TagHistoryWindow::exportCsv() {
    const int l = values_.LanguageIndex;
    const QString path = QFileDialog::getSaveFileName(
        this, Msg(msg::ExportCsv, l), QStringLiteral("tags.csv"), QStringLiteral("CSV (*.csv)"));
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    // The header row is English whatever the window shows, so that scripts can rely on it.
    if (!file.open(QIODevice::WriteOnly) || !WriteTagCsv(file, Headers(0), history_.rows()) ||
        !file.commit())
        QMessageBox::warning(this, Msg(msg::TagHistoryTitle, l),
                             Msg(msg::SaveFailed, l) + ": " + path + "\n" + file.errorString());
}

void TagHistoryWindow::clearHistory() {
    history_.clear();
    redraw();
}

} // namespace qv
