// The TAG history window on its model: a refresh tells the view only the rows that changed, the
// selection follows its tag wherever the tag moves, the rows always match the history (moves,
// new tags, tags dropped past the bound, slots reused, a flood of changes), and the count of
// dropped tags shows.
#include "program/program_values.h"
#include "program/tag_history.h"
#include "shell/tag_history_window.h"

#include <QApplication>
#include <QClipboard>
#include <QItemSelectionModel>
#include <QLabel>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

using namespace qv;

namespace {

std::string Id(int n) {
    return QStringLiteral("%1").arg(n, 16, 16, QLatin1Char('0')).toUpper().toStdString();
}

QDateTime At(int second) {
    return QDateTime(QDate(2026, 12, 8), QTime(17, 3, 0)).addSecs(second);
}

// The window shown on `history`, caught up with it.
struct Shown {
    ProgramValues values;
    TagHistoryWindow window;
    explicit Shown(TagHistory& history) : window(history, values) {
        window.show();
        window.redraw();
    }
    TagHistoryModel& model() { return *window.model(); }
    QString idAt(int row) { return model().index(row, 0).data().toString(); }
    // The row showing `id`, -1 when none does.
    int rowOf(const std::string& id) {
        for (int r = 0; r < model().rowCount(); ++r)
            if (idAt(r) == QString::fromStdString(id))
                return r;
        return -1;
    }
};

// Every row of the view against the history: the identifier and the count.
bool RowsMatch(Shown& shown, const TagHistory& history) {
    if (static_cast<std::size_t>(shown.model().rowCount()) != history.size())
        return false;
    for (std::size_t r = 0; r < history.size(); ++r) {
        const int row = static_cast<int>(r);
        if (shown.idAt(row) != QString::fromStdString(history.at(r).id) ||
            shown.model().index(row, 5).data().toString() != QString::number(history.at(r).count))
            return false;
    }
    return true;
}

} // namespace

class tst_TagHistoryWindow : public QObject {
    Q_OBJECT
private slots:
    void refreshTellsOnlyTheRowsThatChanged();
    void selectionFollowsItsTag_data();
    void selectionFollowsItsTag();
    void rowsMatchTheHistoryThroughAnyChanges();
    void droppedTagsAreCounted();
};

// 5000 tags held; one new tag and one seen again: one insert and one move at the top, the two top
// rows redrawn, the 4998 others not touched.
void tst_TagHistoryWindow::refreshTellsOnlyTheRowsThatChanged() {
    TagHistory history;
    for (int n = 0; n < 5000; ++n)
        history.record(Id(n), '0', At(n));
    Shown shown(history);
    QCOMPARE(shown.model().rowCount(), 5000);
    QSignalSpy changed(&shown.model(), &QAbstractItemModel::dataChanged);
    QSignalSpy inserted(&shown.model(), &QAbstractItemModel::rowsInserted);
    QSignalSpy moved(&shown.model(), &QAbstractItemModel::rowsMoved);
    QSignalSpy removed(&shown.model(), &QAbstractItemModel::rowsRemoved);
    QSignalSpy reset(&shown.model(), &QAbstractItemModel::modelReset);
    QSignalSpy layout(&shown.model(), &QAbstractItemModel::layoutChanged);

    shown.window.redraw(); // nothing changed: nothing told
    QCOMPARE(changed.count() + inserted.count() + moved.count(), 0);

    history.record(Id(2500), '1', At(6000)); // row 2499 until now
    history.record(Id(9999), '0', At(6001));
    shown.window.redraw();
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(moved.count(), 1);
    QCOMPARE(removed.count() + reset.count() + layout.count(), 0);
    int lastRowRedrawn = -1;
    for (const QList<QVariant>& signal : changed)
        lastRowRedrawn = std::max(lastRowRedrawn, signal[1].toModelIndex().row());
    QCOMPARE(lastRowRedrawn, 1);
    QCOMPARE(shown.idAt(0), QString::fromStdString(Id(9999)));
    QCOMPARE(shown.idAt(1), QString::fromStdString(Id(2500)));
    QCOMPARE(shown.model().index(1, 5).data().toString(), QString("2"));
    QVERIFY(RowsMatch(shown, history));
}

void tst_TagHistoryWindow::selectionFollowsItsTag_data() {
    QTest::addColumn<QList<int>>("seen");       // tags recorded after the selection
    QTest::addColumn<QString>("selectedTag");   // the selected row's tag then, "" for none
    QTest::newRow("a tag below it seen again") << QList<int>{1} << "0000000000000003";
    QTest::newRow("a tag above it seen again") << QList<int>{4} << "0000000000000003";
    QTest::newRow("the tag itself seen again") << QList<int>{3} << "0000000000000003";
    QList<int> flood;
    for (int n = 100; n < 100 + int(TagHistoryModel::kMovesPerRefresh) + 1; ++n)
        flood << n;
    QTest::newRow("more new tags than one refresh moves") << flood << "0000000000000003";
    QTest::newRow("the tag dropped past the bound") << QList<int>{6, 7, 8, 9, 10, 11} << "";
}

// Tags 1 to 5 held (5 at the top), the row of tag 3 selected; after more sightings, Copy
// still gives tag 3's row.
void tst_TagHistoryWindow::selectionFollowsItsTag() {
    QFETCH(QList<int>, seen);
    QFETCH(QString, selectedTag);
    TagHistory history(seen.size() > 6 ? 1000 : 5);
    for (int n = 1; n <= 5; ++n)
        history.record(Id(n), '0', At(n));
    Shown shown(history);
    QTableView* table = shown.window.table();
    QCOMPARE(shown.idAt(2), QString("0000000000000003"));
    table->selectionModel()->select(shown.model().index(2, 0), QItemSelectionModel::ClearAndSelect |
                                                                  QItemSelectionModel::Rows);
    for (int n : seen)
        history.record(Id(n), '1', At(10 + n));
    shown.window.redraw();
    QVERIFY(RowsMatch(shown, history));
    const QString text = shown.window.selectedText();
    QCOMPARE(text.section('\t', 0, 0), selectedTag);
    if (!selectedTag.isEmpty()) {
        const int row = shown.rowOf(selectedTag.toStdString());
        QCOMPARE(text.section('\t', 5, 5), shown.model().index(row, 5).data().toString());
        QApplication::clipboard()->clear();
        QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), text + '\n');
    }
}

// Random rounds of sightings, some only a few, some a flood, over more tags than the bound
// holds: after each refresh the rows are the history's, whichever way the view was told.
void tst_TagHistoryWindow::rowsMatchTheHistoryThroughAnyChanges() {
    TagHistory history(60);
    Shown shown(history);
    QRandomGenerator random(17);
    int fresh = 1000;
    for (int round = 0; round < 200; ++round) {
        const int count = round % 25 == 24 ? 400 : static_cast<int>(random.bounded(1, 12));
        for (int i = 0; i < count; ++i) {
            // Mostly tags likely held, now and then a new one that drops the oldest.
            const int n = random.bounded(4) == 0 ? fresh++ : static_cast<int>(random.bounded(80));
            history.record(Id(n), '0', At(i));
        }
        if (round == 150)
            history.clear();
        shown.window.redraw();
        QVERIFY2(RowsMatch(shown, history), qPrintable(QString("round %1").arg(round)));
    }
}

void tst_TagHistoryWindow::droppedTagsAreCounted() {
    TagHistory history(3);
    Shown shown(history);
    QLabel* dropped = shown.window.droppedLabel();
    for (int n = 1; n <= 3; ++n)
        history.record(Id(n), '0', At(n));
    shown.window.redraw();
    QVERIFY(!dropped->isVisible());
    history.record(Id(4), '0', At(4));
    history.record(Id(5), '0', At(5));
    shown.window.redraw();
    QVERIFY(dropped->isVisible());
    QCOMPARE(dropped->text(), QString("2 oldest TAGs dropped: the history keeps the newest 3."));
    QCOMPARE(shown.model().rowCount(), 3);
    QCOMPARE(shown.idAt(2), QString::fromStdString(Id(3)));
    shown.values.LanguageIndex = 1;
    shown.window.applyLanguage();
    QCOMPARE(dropped->text(), QString("已丢弃 2 个最旧的 TAG：记录只保留最新的 3 个。"));
    shown.window.clearHistory();
    QVERIFY(!dropped->isVisible());
    QCOMPARE(shown.model().rowCount(), 0);
}

QTEST_MAIN(tst_TagHistoryWindow)
#include "tst_tag_history_window.moc"
