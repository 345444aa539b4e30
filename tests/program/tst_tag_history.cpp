// The tag history: counts, order, the identifier as the tag panel shows it, the bound, and the
// CSV export against a file written by hand.
#include "program/tag_history.h"

#include <QBuffer>
#include <QFile>
#include <QTest>
#include <QTimeZone>

using namespace qv;

class tst_TagHistory : public QObject {
    Q_OBJECT
private slots:
    void countsAndNewestFirst();
    void oldestTagGoesPastTheBound();
    void isoTimesCarryTheirOffset_data();
    void isoTimesCarryTheirOffset();
    void csvMatchesTheHandWrittenFile();
};

namespace {
QDateTime At(int second, int offsetSeconds = 3600) {
    return QDateTime(QDate(2026, 12, 8), QTime(17, 3, second, 250), QTimeZone(offsetSeconds));
}
} // namespace

void tst_TagHistory::countsAndNewestFirst() {
    TagHistory h;
    h.record("0000000000BC614E", '0', At(1));
    h.record("00000000075BCD15", '1', At(2));
    h.record("0000000000BC614E", '1', At(3));
    QCOMPARE(h.rows().size(), std::size_t(2));
    const TagSighting a = h.rows()[0];
    QCOMPARE(a.id, std::string("0000000000BC614E"));
    QCOMPARE(a.count, 2);
    QCOMPARE(a.first, At(1));
    QCOMPARE(a.last, At(3));
    QCOMPARE(a.input, '1');
    QCOMPARE(a.decimal(), QString("0012345678"));
    QCOMPARE(a.hex(), QString("00BC614E"));
    h.record("0000000000000001", '\0', At(4));
    QCOMPARE(h.rows()[0].inputText(), QString("<NUL>"));
    h.record("0000000000000001", '\xB5', At(5));
    QCOMPARE(h.rows()[0].inputText(), QString("\\xB5"));
    QCOMPARE(h.rows()[2].count, 1);
    const auto before = h.revision();
    h.clear();
    QVERIFY(h.rows().empty());
    QVERIFY(h.revision() != before);
}

void tst_TagHistory::oldestTagGoesPastTheBound() {
    TagHistory h(2);
    h.record("0000000000000001", '0', At(1));
    h.record("0000000000000002", '0', At(2));
    h.record("0000000000000001", '0', At(3)); // seen again: now the newest
    h.record("0000000000000003", '0', At(4));
    QCOMPARE(h.rows().size(), std::size_t(2));
    QCOMPARE(h.rows()[0].id, std::string("0000000000000003"));
    QCOMPARE(h.rows()[1].id, std::string("0000000000000001"));
}

void tst_TagHistory::isoTimesCarryTheirOffset_data() {
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("iso");
    QTest::newRow("UTC") << 0 << "2026-12-08T17:03:09.250+00:00";
    QTest::newRow("east") << 8 * 3600 << "2026-12-08T17:03:09.250+08:00";
    QTest::newRow("west, half hour") << -(3 * 3600 + 1800) << "2026-12-08T17:03:09.250-03:30";
}

void tst_TagHistory::isoTimesCarryTheirOffset() {
    QFETCH(int, offset);
    QFETCH(QString, iso);
    QCOMPARE(IsoTime(At(9, offset)), iso);
}

void tst_TagHistory::csvMatchesTheHandWrittenFile() {
    TagHistory h;
    h.record("0000000000BC614E", '0', At(1));
    h.record("00000000075BCD15", ',', At(2)); // an input character that needs quoting
    h.record("0000000000BC614E", '1', At(5));
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    QVERIFY(WriteTagCsv(out, {"TAG ID", "Decimal", "Hex", "First seen", "Last seen", "Count", "DI"},
                        h.rows()));
    QFile expected(QFINDTESTDATA("data/tags_expected.csv"));
    QVERIFY(expected.open(QIODevice::ReadOnly));
    QCOMPARE(out.data(), expected.readAll());
}

QTEST_APPLESS_MAIN(tst_TagHistory)
#include "tst_tag_history.moc"
