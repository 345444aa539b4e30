#include "shell/tag_history_window.h"

#include "program/messages.h"
#include "program/program_values.h"
#include "program/tag_history.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>
#include <utility>

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

TagHistoryModel::TagHistoryModel(const TagHistory& history, const ProgramValues& values,
                                 QObject* parent)
    : QAbstractTableModel(parent), history_(history), values_(values) {}

int TagHistoryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int TagHistoryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(std::size(kColumns));
}

const TagSighting* TagHistoryModel::sightingAt(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= shown_.size())
        return nullptr;
    const RecencyOrder::Slot slot = shown_.slotAt(static_cast<std::size_t>(row));
    return history_.find(slot, added_[slot]);
}

QVariant TagHistoryModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    const TagSighting* s = sightingAt(index.row());
    if (!s)
        return {};
    switch (index.column()) {
    case 0:
        return QString::fromLatin1(s->id.data(), static_cast<qsizetype>(s->id.size()));
    case 1:
        return s->decimal();
    case 2:
        return s->hex();
    case 3:
        return LocalTime(s->first);
    case 4:
        return LocalTime(s->last);
    case 5:
        return QString::number(s->count);
    case 6:
        return s->inputText();
    default:
        return {};
    }
}

QVariant TagHistoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= static_cast<int>(std::size(kColumns)))
        return {};
    return Msg(kColumns[section], values_.LanguageIndex);
}

void TagHistoryModel::languageChanged() {
    emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

void TagHistoryModel::refresh() {
    if (history_.revision() == shownRevision_)
        return;
    if (history_.clearedAt() > shownRevision_) {
        beginResetModel();
        shown_.clear();
        added_.clear();
        endResetModel();
    }
    // The rows changed since the last refresh are the top ones, and every other row was shown.
    // Past kMovesPerRefresh of them they need not be counted.
    std::size_t changed = 0;
    while (changed <= kMovesPerRefresh && changed < history_.size() &&
           history_.keyAt(changed).seen > shownRevision_)
        ++changed;
    if (changed > kMovesPerRefresh) {
        relayout();
    } else {
        // Oldest change first, each to the top. A tag dropped past the bound left its slot to the
        // new tag that pushed it out, so its row goes when that tag comes in.
        for (std::size_t r = changed; r-- > 0;)
            moveToTop(history_.keyAt(r));
        if (changed > 0)
            emit dataChanged(index(0, 0), index(static_cast<int>(changed) - 1, columnCount() - 1));
    }
    shownRevision_ = history_.revision();
}

// The tag of `key` goes to row 0: moved there when the view shows it, inserted otherwise.
void TagHistoryModel::moveToTop(const TagHistory::RowKey& key) {
    if (key.slot >= added_.size())
        added_.resize(std::size_t{key.slot} + 1, 0);
    if (shown_.contains(key.slot) && added_[key.slot] != key.added) {
        // The view shows a tag that was dropped and whose slot holds another one now.
        const int row = static_cast<int>(shown_.rowOf(key.slot));
        beginRemoveRows({}, row, row);
        shown_.remove(key.slot);
        endRemoveRows();
    }
    if (!shown_.contains(key.slot)) {
        beginInsertRows({}, 0, 0);
        shown_.touch(key.slot);
        added_[key.slot] = key.added;
        endInsertRows();
        return;
    }
    const int row = static_cast<int>(shown_.rowOf(key.slot));
    if (row == 0) {
        shown_.touch(key.slot);
        return;
    }
    beginMoveRows({}, row, row, {}, 0);
    shown_.touch(key.slot);
    endMoveRows();
}

// Many changes at once (the window was hidden, or a flood of tags): the rows are taken over from
// the history in one go, and the view's selection and current row are carried to their tags.
void TagHistoryModel::relayout() {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<std::pair<RecencyOrder::Slot, std::uint64_t>> tags;
    tags.reserve(static_cast<std::size_t>(before.size()));
    for (const QModelIndex& index : before) {
        const RecencyOrder::Slot slot = shown_.slotAt(static_cast<std::size_t>(index.row()));
        tags.emplace_back(slot, added_[slot]);
    }
    shown_.clear();
    for (std::size_t r = history_.size(); r-- > 0;) {
        const TagHistory::RowKey key = history_.keyAt(r);
        if (key.slot >= added_.size())
            added_.resize(std::size_t{key.slot} + 1, 0);
        shown_.touch(key.slot);
        added_[key.slot] = key.added;
    }
    QModelIndexList after;
    for (qsizetype i = 0; i < before.size(); ++i) {
        const auto [slot, added] = tags[static_cast<std::size_t>(i)];
        after << (history_.find(slot, added)
                      ? index(static_cast<int>(shown_.rowOf(slot)), before[i].column())
                      : QModelIndex());
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

TagHistoryWindow::TagHistoryWindow(TagHistory& history, const ProgramValues& values)
    : SideWindow(kRepaintMs), history_(history), values_(values),
      model_(new TagHistoryModel(history, values, this)), table_(new QTableView(this)),
      copy_(new QPushButton(this)), export_(new QPushButton(this)), clear_(new QPushButton(this)),
      dropped_(new QLabel(this)) {
    setObjectName(QStringLiteral("TagHistoryWindow"));
    table_->setObjectName(QStringLiteral("tblTags"));
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(false);
    table_->verticalHeader()->hide();
    // Widths from the texts' known forms, not from the rows: fitting the columns to their
    // contents would read rows at every change.
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    table_->horizontalHeader()->setStretchLastSection(true);
    dropped_->setObjectName(QStringLiteral("lblDropped"));
    dropped_->setTextFormat(Qt::PlainText);
    dropped_->hide();

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {copy_, export_, clear_})
        buttons->addWidget(b);
    buttons->addWidget(dropped_);
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
    model_->languageChanged();
    fitColumns();
    redraw();
    // Rows already shown are drawn again in the new language's font.
    table_->viewport()->update();
}

void TagHistoryWindow::fitColumns() {
    // The widest text of each column: its header, or a value of the column's form.
    const QString samples[] = {QStringLiteral("DDDDDDDDDDDDDDDD"), QStringLiteral("4294967295"),
                               QStringLiteral("DDDDDDDD"),         QStringLiteral("0000-00-00 00:00:00"),
                               QStringLiteral("0000-00-00 00:00:00"), QStringLiteral("99999999"),
                               QStringLiteral("<NUL>")};
    const QStringList headers = Headers(values_.LanguageIndex);
    const QFontMetrics cells(table_->font());
    const QFontMetrics titles(table_->horizontalHeader()->font());
    const int margin = 4 * table_->style()->pixelMetric(QStyle::PM_HeaderMargin) + 8;
    for (int c = 0; c < static_cast<int>(std::size(samples)); ++c)
        table_->setColumnWidth(c, std::max(cells.horizontalAdvance(samples[c]),
                                           titles.horizontalAdvance(headers[c])) +
                                      margin);
}

void TagHistoryWindow::redraw() {
    model_->refresh();
    const std::uint64_t dropped = history_.dropped();
    dropped_->setVisible(dropped > 0);
    if (dropped > 0)
        dropped_->setText(Msg(msg::TagsDropped, values_.LanguageIndex)
                              .arg(dropped)
                              .arg(history_.capacity()));
}

QString TagHistoryWindow::selectedText() const {
    QModelIndexList rows = table_->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QStringList lines;
    for (const QModelIndex& row : rows) {
        QStringList cells;
        for (int c = 0; c < model_->columnCount(); ++c)
            cells << model_->index(row.row(), c).data().toString();
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
    if (!file.open(QIODevice::WriteOnly) || !WriteTagCsv(file, Headers(0), history_) ||
        !file.commit())
        QMessageBox::warning(this, Msg(msg::TagHistoryTitle, l),
                             Msg(msg::SaveFailed, l) + ": " + path + "\n" + file.errorString());
}

void TagHistoryWindow::clearHistory() {
    history_.clear();
    redraw();
}

} // namespace qv
