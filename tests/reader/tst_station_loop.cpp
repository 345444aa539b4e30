// The station's loop for one port on a virtual clock: readers plugged in and out of a fake line,
// and the reader ID sequence that every port shares.
#include "reader/station.h"

#include "tests/support/fake_device.h"

#include <QtTest>

using namespace qv;

namespace {

// A port where readers come and go on a timetable (milliseconds of virtual time): while one is
// plugged in, the port opens and the reader answers the identity request with its serial number.
class TimetableLine : public reader::StationLine {
public:
    struct Plugged {
        std::uint64_t fromMs, untilMs;
        std::string serial;
    };
    explicit TimetableLine(std::vector<Plugged> timetable) : timetable_(std::move(timetable)) {
        device_.canOpen = [this](const std::string&, const link::LineSettings&) {
            return current() != nullptr;
        };
        device_.responder = [this](const std::string& command) -> std::string {
            const Plugged* reader = current();
            if (!reader || command != "A00B")
                return {};
            return test::ReplyFrame("B01B" + reader->serial);
        };
    }
    std::string name() const override { return "fake"; }
    bool open() override { return link_.CommOpen(1, "19200,e,8,1"); }
    void close() override { link_.CommClose(); }
    link::Link& link() override { return link_; }

    test::VirtualTime time{0};
    test::FakeDevice device_{time};

private:
    const Plugged* current() const {
        for (const auto& p : timetable_)
            if (time.ms() >= p.fromMs && time.ms() < p.untilMs)
                return &p;
        return nullptr;
    }
    std::vector<Plugged> timetable_;
    link::Link link_{device_, time, time};
};

} // namespace

class TstStationLoop : public QObject {
    Q_OBJECT

private slots:
    // Each reader is recorded once however long it stays, and the next one only after it: a
    // reader replaced without a gap counts as the next one too.
    void eachReaderOnceWhileItStays() {
        TimetableLine line(
            {{2000, 5000, "QV0000A1"}, {6200, 9000, "QV0000B2"}, {9000, 11000, "QV0000C3"}});
        std::atomic<bool> stop{false};
        line.time.onSleep = [&] { stop = stop || line.time.ms() >= 13000; };
        std::vector<std::pair<std::string, std::string>> seen; // serial, time of the round
        reader::Station station(
            {}, stop, [&] { return std::to_string(line.time.ms()); },
            [&](const reader::StationRecord& r) {
                seen.push_back({r.serial, r.time});
                return true;
            });
        station.serve(line);
        QCOMPARE(seen.size(), std::size_t{3});
        QCOMPARE(seen[0].first, std::string("QV0000A1"));
        QCOMPARE(seen[1].first, std::string("QV0000B2"));
        QCOMPARE(seen[2].first, std::string("QV0000C3"));
        // Asked every 500 ms: a reader is found within half a second (and its identity request).
        const auto at = [&](int i) { return std::stoi(seen[i].second); };
        QVERIFY(at(0) >= 2000 && at(0) < 2000 + 500 + 250);
        QVERIFY(at(1) >= 6200 && at(1) < 6200 + 500 + 250);
        QVERIFY(at(2) >= 9000 && at(2) < 9000 + 500 + 250);
        // The empty port before the first reader: opens tried at 0, 500, 1000 and 1500 ms.
        int before = 0;
        for (const auto& attempt : line.device_.opens)
            before += attempt.atUs < 2000 * 1000 ? 1 : 0;
        QCOMPARE(before, 4);
        QVERIFY(line.time.ms() < 13000 + 200); // the stop flag ends the wait promptly
    }

    void idSequence_data() {
        QTest::addColumn<int>("first");
        QTest::addColumn<QStringList>("logged");  // earlier records: "serial id next_id"
        QTest::addColumn<QStringList>("serials"); // readers in turn
        QTest::addColumn<QStringList>("ids");     // what each gets; "-" for none
        QTest::newRow("in sequence")
            << 7 << QStringList{} << QStringList{"A", "B", "C"} << QStringList{"07", "08", "09"};
        QTest::newRow("a reader back keeps its ID")
            << 7 << QStringList{} << QStringList{"A", "B", "A"} << QStringList{"07", "08", "07"};
        QTest::newRow("the log goes on") << 3 << QStringList{"A 03 4", "B 04 5"}
                                         << QStringList{"C", "B"} << QStringList{"05", "04"};
        QTest::newRow("a higher start wins over the log")
            << 40 << QStringList{"A 03 4"} << QStringList{"C"} << QStringList{"40"};
        QTest::newRow("ends at 99")
            << 98 << QStringList{} << QStringList{"A", "B", "C"} << QStringList{"98", "99", "-"};
    }
    void idSequence() {
        QFETCH(int, first);
        QFETCH(QStringList, logged);
        QFETCH(QStringList, serials);
        QFETCH(QStringList, ids);
        reader::IdSequence sequence(first);
        for (const auto& line : logged) {
            const auto words = line.split(' ');
            sequence.resume({{"serial", words[0].toStdString()},
                             {"id", words[1].toStdString()},
                             {"next_id", words[2].toInt()}});
        }
        for (int i = 0; i < serials.size(); ++i)
            QCOMPARE(QString::fromStdString(sequence.take(serials[i].toStdString()).value_or("-")),
                     ids[i]);
    }

    void csvQuotesWhatNeedsIt() {
        reader::StationRecord r;
        r.time = "2026-01-31T08:15:00.000Z";
        r.port = "/dev/pts/3";
        r.serial = "QV,00\"01";
        r.failures = {{"rssi", "read back 3, expected 5"}, {"id2", "no answer"}};
        r.durationMs = 1234;
        QCOMPARE(QString::fromStdString(reader::CsvLine(r)),
                 QString(R"(2026-01-31T08:15:00.000Z,/dev/pts/3,"QV,00""01",,,,,fail,)"
                         R"("rssi: read back 3, expected 5; id2: no answer",1234)"));
    }
};

QTEST_GUILESS_MAIN(TstStationLoop)
#include "tst_station_loop.moc"
