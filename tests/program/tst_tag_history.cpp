// The tag history: counts, order, the identifier as the tag panel shows it, the bound and the
// dropped count, the order against a plain list over many records, and the CSV export against a
// file written by hand.
#include "program/tag_history.h"

#include <QBuffer>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>
#include <QTimeZone>

#include <algorithm>

using namespace qv;

class tst_TagHistory : public QObject {
    Q_OBJECT
private slots:
    void countsAndNewestFirst();
    void oldestTagGoesPastTheBound();
    void orderMatchesAPlainListOverManyRecords();
    void isoTimesCarryTheirOffset_data();
    void isoTimesCarryTheirOffset();
    void csvMatchesTheHandWrittenFile();
    void csvQuotesFieldsThatNeedIt_data();
    void csvQuotesFieldsThatNeedIt();
    void csvOnADeviceThatFillsUpFails_data();
    void csvOnADeviceThatFillsUpFails();
};

namespace {
QDateTime At(int second, int offsetSeconds = 3600) {
    return QDateTime(QDate(2026, 12, 8), QTime(17, 3, second, 250), QTimeZone(offsetSeconds));
}

std::string Id(int n) {
    return QStringLiteral("%1").arg(n, 16, 16, QLatin1Char('0')).toUpper().toStdString();
}

// A device that takes `room` bytes and then refuses every write, as a full disk does.
class FillingDevice : public QIODevice {
public:
    explicit FillingDevice(qint64 room) : room_(room) { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 size) override {
        if (size > room_)
            return -1;
        room_ -= size;
        return size;
    }

private:
    qint64 room_;
};

const QStringList kHeaders = {"TAG ID", "Decimal", "Hex", "First seen", "Last seen", "Count", "DI"};
} // namespace

void tst_TagHistory::countsAndNewestFirst() {
    TagHistory h;
    h.record("0000000000BC614E", '0', At(1));
    h.record("00000000075BCD15", '1', At(2));
    h.record("0000000000BC614E", '1', At(3));
    QCOMPARE(h.size(), std::size_t(2));
    const TagSighting a = h.at(0);
    QCOMPARE(a.id, std::string("0000000000BC614E"));
    QCOMPARE(a.count, 2);
    QCOMPARE(a.first, At(1));
    QCOMPARE(a.last, At(3));
    QCOMPARE(a.input, '1');
    QCOMPARE(a.decimal(), QString("0012345678"));
    QCOMPARE(a.hex(), QString("00BC614E"));
    h.record("0000000000000001", '\0', At(4));
    QCOMPARE(h.at(0).inputText(), QString("<NUL>"));
    h.record("0000000000000001", '\xB5', At(5));
    QCOMPARE(h.at(0).inputText(), QString("\\xB5"));
    QCOMPARE(h.at(2).count, 1);
    const auto before = h.revision();
    h.clear();
    QCOMPARE(h.size(), std::size_t(0));
    QVERIFY(h.revision() != before);
    h.record("0000000000BC614E", '0', At(6)); // seen again after a clear: a new tag
    QCOMPARE(h.at(0).count, 1);
    QCOMPARE(h.at(0).first, At(6));
}

void tst_TagHistory::oldestTagGoesPastTheBound() {
    TagHistory h(2);
    h.record(Id(1), '0', At(1));
    h.record(Id(2), '0', At(2));
    h.record(Id(1), '0', At(3)); // seen again: now the newest
    QCOMPARE(h.dropped(), std::uint64_t(0));
    h.record(Id(3), '0', At(4));
    QCOMPARE(h.size(), std::size_t(2));
    QCOMPARE(h.at(0).id, Id(3));
    QCOMPARE(h.at(1).id, Id(1));
    QCOMPARE(h.dropped(), std::uint64_t(1));
    h.record(Id(2), '0', At(5)); // dropped before: back as a new tag, and Id(1) goes
    QCOMPARE(h.at(0).count, 1);
    QCOMPARE(h.at(1).id, Id(3));
    QCOMPARE(h.dropped(), std::uint64_t(2));
    h.clear();
    QCOMPARE(h.dropped(), std::uint64_t(0));
}

// Thousands of records over more tags than the bound holds, in a random order with runs of
// repeats: after each, the rows are those of a plain list kept newest first.
void tst_TagHistory::orderMatchesAPlainListOverManyRecords() {
    constexpr std::size_t kBound = 150;
    TagHistory h(kBound);
    std::vector<std::string> expected; // newest first
    std::uint64_t dropped = 0;
    QRandomGenerator random(23);
    for (int n = 0; n < 6000; ++n) {
        // Mostly tags held at the moment, sometimes one long gone or never seen.
        const std::string id = Id(n % 7 == 0 ? n : static_cast<int>(random.bounded(200)));
        const auto it = std::find(expected.begin(), expected.end(), id);
        if (it != expected.end()) {
            expected.erase(it);
        } else if (expected.size() == kBound) {
            expected.pop_back();
            ++dropped;
        }
        expected.insert(expected.begin(), id);
        h.record(id, '0', At(n % 60));
        QCOMPARE(h.size(), expected.size());
        // Every row now and then; the top and the bottom always.
        const std::size_t step = n % 97 == 0 ? 1 : expected.size() - 1;
        for (std::size_t r = 0; r < expected.size(); r += std::max<std::size_t>(step, 1))
            QCOMPARE(h.at(r).id, expected[r]);
        QCOMPARE(h.at(expected.size() - 1).id, expected.back());
    }
    QCOMPARE(h.dropped(), dropped);
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
    QVERIFY(WriteTagCsv(out, kHeaders, h));
    QFile expected(QFINDTESTDATA("data/tags_expected.csv"));
    QVERIFY(expected.open(QIODevice::ReadOnly));
    QCOMPARE(out.data(), expected.readAll());
}

void tst_TagHistory::csvQuotesFieldsThatNeedIt_data() {
    QTest::addColumn<QString>("header");
    QTest::addColumn<char>("input");
    QTest::addColumn<QByteArray>("headerField");
    QTest::addColumn<QByteArray>("inputField");
    QTest::newRow("plain") << "DI" << '1' << QByteArray("DI") << QByteArray("1");
    QTest::newRow("comma") << "DI, state" << ',' << QByteArray("\"DI, state\"")
                           << QByteArray("\",\"");
    QTest::newRow("quote, doubled")
        << "DI \"in\"" << '"' << QByteArray("\"DI \"\"in\"\"\"") << QByteArray("\"\"\"\"");
}

void tst_TagHistory::csvQuotesFieldsThatNeedIt() {
    QFETCH(QString, header);
    QFETCH(char, input);
    QFETCH(QByteArray, headerField);
    QFETCH(QByteArray, inputField);
    TagHistory h;
    h.record("0000000000BC614E", input, At(1));
    QStringList headers = kHeaders;
    headers.last() = header;
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    QVERIFY(WriteTagCsv(out, headers, h));
    const QList<QByteArray> lines = out.data().split('\n');
    QCOMPARE(lines.size(), 3); // two lines, each ended by CR LF
    QCOMPARE(lines[0], "TAG ID,Decimal,Hex,First seen,Last seen,Count," + headerField + '\r');
    QVERIFY2(lines[1].endsWith(",1," + inputField + '\r'), lines[1].constData());
    QCOMPARE(lines[2], QByteArray());
}

// An export that could not be written whole is no success: not when the disk fills in the middle
// of a long history (the export goes in pieces), nor at its last piece.
void tst_TagHistory::csvOnADeviceThatFillsUpFails_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<qint64>("room");
    QTest::newRow("full in the middle") << 5000 << qint64(100000);
    QTest::newRow("full at the end") << 3 << qint64(100);
    QTest::newRow("room for all") << 5000 << qint64(10000000);
}

void tst_TagHistory::csvOnADeviceThatFillsUpFails() {
    QFETCH(int, rows);
    QFETCH(qint64, room);
    TagHistory h(10000);
    for (int n = 0; n < rows; ++n)
        h.record(Id(n), '0', At(n % 60));
    FillingDevice out(room);
    QCOMPARE(WriteTagCsv(out, kHeaders, h), room == 10000000);
}

QTEST_APPLESS_MAIN(tst_TagHistory)
#include "tst_tag_history.moc"
