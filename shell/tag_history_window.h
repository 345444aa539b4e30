#pragma once
// The TAG history window: every tag seen while reading tags, newest first, with copy, CSV export
// and clear. A second top-level window beside Tu; it redraws on a timer, only while visible and
// only when the history changed.

#include "shell/side_window.h"

#include <cstdint>

class QPushButton;
class QTableWidget;
class QTimer;

namespace qv {

class TagHistory;
struct ProgramValues;

class TagHistoryWindow : public SideWindow {
    Q_OBJECT
public:
    static constexpr int kRepaintMs = 250;

    TagHistoryWindow(TagHistory& history, const ProgramValues& values);

    void applyLanguage();
    // The selected rows, tab-separated, one per line.
    QString selectedText() const;
    // The column headers in `language`, as the table and the CSV file use them.
    static QStringList Headers(int language);

    QTableWidget* table() const { return table_; }

public slots:
    void redraw();
    void copySelected();
    void exportCsv();
    void clearHistory();

protected:
    void refreshView() override { redraw(); }
    void copySelection() override { copySelected(); }

private:
    TagHistory& history_;
    const ProgramValues& values_;
    QTableWidget* table_;
    QPushButton* copy_;
    QPushButton* export_;
    QPushButton* clear_;
    std::uint64_t shownRevision_ = ~std::uint64_t{0};
};

} // namespace qv
