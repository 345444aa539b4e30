#pragma once
// The traffic window: every frame sent and received, every open and close and the outcome of
// each transaction, one line each, with the operation and try it belongs to. A second top-level
// window beside Tu; it reads the traffic log only on its repaint timer and only while visible.

#include "link/protocol/link.h"
#include "shell/side_window.h"

#include <QAbstractListModel>
#include <QSize>
#include <QWidget>

#include <cstdint>

class QIODevice;
class QListView;
class QPushButton;
class QTimer;

namespace qv {

class TrafficLog;
struct TrafficLine;
struct ProgramValues;

// The reason a port could not be opened, in plain words in `language`.
QString DescribeReason(link::SerialError error, int language);
// The same with the device's detail (TraceEvent::detail) after it in brackets; a reason of
// "another" kind gives way to the detail, which says more.
QString DescribeReason(link::SerialError error, const std::string& detail, int language);
// How a transaction ended, in plain words in `language`.
QString DescribeOutcomeText(link::Outcome outcome, int language);
// One line of the log as the window shows it:
// "17:03:12.345  TX  09 41 30 30 42 37 33 0D  <TAB>A00B73<CR>  | Scan COM3 19200,e,8,1, try 1".
QString FormatTrafficLine(const TrafficLine& line, int language);
// Every line the log keeps, oldest first, as UTF-8 text with LF line ends. False when the device
// does not take it all.
bool WriteTrafficLog(QIODevice& out, const TrafficLog& log, int language);

// The lines of the log as rows. refresh() catches up with the log: the lines that left the ring
// are removed at the top and the new ones inserted at the bottom, so a selection stays put.
class TrafficModel : public QAbstractListModel {
    Q_OBJECT
public:
    TrafficModel(const TrafficLog& log, const ProgramValues& values, QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    void refresh();
    // The size of every row: the view asks the first row only, so the rows must agree.
    void setRowSize(QSize size) { rowSize_ = size; }
    // The log line a row shows.
    std::uint64_t lineNumber(int row) const {
        return shownFirst_ + static_cast<std::uint64_t>(row);
    }

private:
    const TrafficLog& log_;
    const ProgramValues& values_;
    std::uint64_t shownFirst_ = 0;
    std::uint64_t shownEnd_ = 0;
    QSize rowSize_;
};

class TrafficWindow : public SideWindow {
    Q_OBJECT
public:
    static constexpr int kRepaintMs = 100;
    static constexpr int kRowCharacters = 240;

    TrafficWindow(TrafficLog& log, const ProgramValues& values);

    // Title and buttons in the active language; the lines follow at the next repaint.
    void applyLanguage();
    // The selected lines, oldest first, one per line.
    QString selectedText() const;

    QListView* view() const { return view_; }
    TrafficModel* model() const { return model_; }

public slots:
    void togglePause();
    void clearLines();
    void copySelected();
    void saveToFile();

protected:
    void refreshView() override { repaintLines(); }
    void copySelection() override { copySelected(); }

private:
    void repaintLines();

    TrafficLog& log_;
    const ProgramValues& values_;
    TrafficModel* model_;
    QListView* view_;
    QPushButton* pause_;
    QPushButton* clear_;
    QPushButton* copy_;
    QPushButton* save_;
};

} // namespace qv
