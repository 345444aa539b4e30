#pragma once
// The TAG history window: every tag seen while reading tags, newest first, with copy, CSV export
// and clear. A second top-level window beside Tu; it catches up with the history on a timer,
// only while visible, and then only with the rows that changed.

#include "program/tag_history.h"
#include "shell/side_window.h"

#include <QAbstractTableModel>

#include <cstdint>
#include <vector>

class QLabel;
class QPushButton;
class QTableView;

namespace qv {

struct ProgramValues;

// The tag history as rows, newest first. refresh() tells the view what changed since the last
// refresh and nothing else: tags seen again move to the top, new ones are inserted there, those
// dropped past the bound are removed, and only the rows at the top that changed are redrawn. A
// selection follows its tag. Between refreshes the rows stay as the view was told,
// showing each tag's latest values (a tag dropped meanwhile shows empty).
class TagHistoryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // More changed rows than this in one refresh are told as one change of layout.
    static constexpr std::size_t kMovesPerRefresh = 256;

    TagHistoryModel(const TagHistory& history, const ProgramValues& values,
                    QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void refresh();
    // The headers follow the active language.
    void languageChanged();

private:
    const TagSighting* sightingAt(int row) const;
    void moveToTop(const TagHistory::RowKey& key);
    void relayout();

    const TagHistory& history_;
    const ProgramValues& values_;
    RecencyOrder shown_;                // the rows as the view was last told them, by slot
    std::vector<std::uint64_t> added_;  // by slot: which tag the view was told the slot holds
    std::uint64_t shownRevision_ = 0;
};

class TagHistoryWindow : public SideWindow {
    Q_OBJECT
public:
    static constexpr int kRepaintMs = 250;

    TagHistoryWindow(TagHistory& history, const ProgramValues& values);

    void applyLanguage();
    // The selected rows, tab-separated, one per line, in the order shown.
    QString selectedText() const;
    // The column headers in `language`, as the table and the CSV file use them.
    static QStringList Headers(int language);

    QTableView* table() const { return table_; }
    TagHistoryModel* model() const { return model_; }
    // Shown when tags were dropped past the history's bound.
    QLabel* droppedLabel() const { return dropped_; }

public slots:
    void redraw();
    void copySelected();
    void exportCsv();
    void clearHistory();

protected:
    void refreshView() override { redraw(); }
    void copySelection() override { copySelected(); }

private:
    void fitColumns();

    TagHistory& history_;
    const ProgramValues& values_;
    TagHistoryModel* model_;
    QTableView* table_;
    QPushButton* copy_;
    QPushButton* export_;
    QPushButton* clear_;
    QLabel* dropped_;
};

} // namespace qv
