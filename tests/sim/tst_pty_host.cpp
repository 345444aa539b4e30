// The simulator's host on a real pseudo-terminal, spoken to through the link and the POSIX serial
// device as the program does, in real time. Durations are asserted loosely.

#include "link/protocol/link.h"
#include "link/protocol/replies.h"
#include "link/time/system_time.h"
#include "link/transport/serial_posix.h"
#include "sim/pty_host.h"

#include <QTest>

#include <atomic>
#include <chrono>
#include <thread>

using namespace qv;

namespace {

// A simulated reader served on its own thread, and a link on COM1 mapped to its terminal.
class Line {
public:
    explicit Line(bool holdSlave = true) { host.setHoldSlave(holdSlave); }
    ~Line() { stopHost(); }

    bool start() {
        if (!host.open())
            return false;
        link.setPortMap({{1, host.slavePath()}});
        thread_ = std::thread([this] { host.serve(stop_); });
        return true;
    }
    void stopHost() {
        link.CommClose();
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }

    sim::Reader reader;
    sim::PtyHost host{reader};
    link::PosixSerialDevice device;
    link::SteadyClock clock;
    link::ThreadSleeper sleeper;
    link::Link link{device, clock, sleeper};

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

qint64 MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

} // namespace

class TstPtyHost : public QObject {
    Q_OBJECT

private slots:
    void answersOnlyAtItsBaudRate_data() {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<bool>("answered");
        QTest::newRow("own setting") << QString("19200,e,8,1") << true;
        QTest::newRow("parity unseen") << QString("19200,n,8,1") << true;
        QTest::newRow("slower") << QString("9600,e,8,1") << false;
        QTest::newRow("faster") << QString("115200,e,8,1") << false;
    }
    void answersOnlyAtItsBaudRate() {
        QFETCH(QString, settings);
        QFETCH(bool, answered);
        Line line;
        line.reader.state().serial = "SN123456";
        QVERIFY(line.start());
        QVERIFY(line.link.CommOpen(1, settings.toStdString()));
        QCOMPARE(line.link.ReaderTransact("A00B"), answered);
        if (answered) {
            const auto identity = link::DecodeIdentity(line.link.reply());
            QVERIFY(identity);
            QCOMPARE(identity->serial, std::string("SN123456"));
            QCOMPARE(identity->id, std::string("01"));
        }
        line.stopHost();
        QCOMPARE(line.host.droppedBytes() > 0, !answered);
    }

    void newLineSpeedTakesEffectAfterTheReply() {
        Line line;
        QVERIFY(line.start());
        QVERIFY(line.link.CommOpen(1, "19200,e,8,1"));
        QVERIFY(line.link.ReaderTransact("A00E7")); // answered at the old speed
        QVERIFY(!line.link.ReaderTransact("A00B"));
        line.link.CommClose();
        QVERIFY(line.link.CommOpen(1, "38400,e,8,1"));
        QVERIFY(line.link.ReaderTransact("A00B"));
    }

    void terminalOutlivesTheProgramsCloses() {
        Line line;
        QVERIFY(line.start());
        for (int round = 0; round < 3; ++round) {
            QVERIFY(line.link.CommOpen(1, "19200,e,8,1"));
            QVERIFY(line.link.ReaderTransact("A00V"));
            QCOMPARE(line.link.reply().field(6, 8).value_or(""), std::string_view("02.31-07"));
            line.link.CommClose();
        }
    }

    void lateReplyIsMissed() {
        Line line;
        line.reader.faults().lateMs = 200;
        QVERIFY(line.start());
        QVERIFY(line.link.CommOpen(1, "19200,e,8,1"));
        QVERIFY(!line.link.ReaderTransact("A00B"));
    }

    void hangUpEndsAnswersWithoutStallingTheWait() {
        Line line(false);
        line.reader.faults().hangupAfter = 1;
        QVERIFY(line.start());
        QVERIFY(line.link.CommOpen(1, "19200,e,8,1"));
        QVERIFY(line.link.ReaderTransact("A00B"));
        const auto start = std::chrono::steady_clock::now();
        QVERIFY(!line.link.ReaderTransact("A00B"));
        QVERIFY(!line.link.ReaderTransact("A00B"));
        QVERIFY2(MsSince(start) < 2000, "two waits on a dead line took too long");
        line.stopHost();
        QVERIFY(line.host.hungUp());
    }

    void endlessStreamEndsTheWaitAtItsCeiling() {
        Line line;
        line.reader.faults().stream = true;
        QVERIFY(line.start());
        QVERIFY(line.link.CommOpen(1, "19200,e,8,1"));
        std::size_t heard = 0;
        line.link.setTrace([&](const link::TraceEvent& e) {
            if (e.kind == link::TraceEvent::Kind::Received)
                heard += e.bytes.size();
        });
        const auto start = std::chrono::steady_clock::now();
        QVERIFY(!line.link.ReaderTransact("A00B"));
        QVERIFY(MsSince(start) < 3000);
        QVERIFY(heard > 0); // the chatter did arrive
    }

    void streamedTagReachesAPoll() {
        Line line;
        line.reader.setTagStream({{"0000000000BC614E"}, 50}, line.clock.nowMs());
        QVERIFY(line.start());
        QVERIFY(line.link.CommOpen(1, "19200,e,8,1"));
        std::optional<std::string> tag;
        for (int poll = 0; poll < 20 && !tag; ++poll) {
            if (line.link.ReaderTransact("A00I"))
                if (const auto reply = link::DecodePoll(line.link.reply()))
                    tag = reply->tag;
            line.sleeper.sleepMs(20);
        }
        QVERIFY(tag);
        QCOMPARE(link::DecodeTagId(*tag), std::string("0000000000BC614E"));
    }
};

QTEST_APPLESS_MAIN(TstPtyHost)
#include "tst_pty_host.moc"
