// quorvane-cli station and diff as a production line runs them: the real program against
// simulator programs that are started and stopped as readers are plugged in and out. A port is a
// symbolic link the test controls, so that "unplugged" is the simulator stopped and the link gone.

#include "tests/cli/cli_program.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

using qv::test::Run;
using qv::test::RunCli;
using qv::test::Sim;

// Two parameters keep a reader's round near two seconds; the simulator starts at same-card 10
// and rssi 80, so a fresh reader differs in both.
const QByteArray kProfile = R"({"parameters": {"same-card": 5, "rssi": 120}})";

QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    QFile file(dir.filePath(name));
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return file.fileName();
}

QList<QJsonObject> Records(const QString& log) {
    QFile file(log);
    QList<QJsonObject> records;
    if (!file.open(QIODevice::ReadOnly))
        return records;
    for (const auto& line : file.readAll().split('\n'))
        if (!line.trimmed().isEmpty())
            records << QJsonDocument::fromJson(line).object();
    return records;
}

// A station that runs while the test plugs readers in and out.
class StationRun {
public:
    explicit StationRun(const QStringList& args, const QProcessEnvironment& env = {}) {
        if (!env.isEmpty())
            process_.setProcessEnvironment(env);
        process_.start(QV_CLI_PROGRAM, QStringList{"station"} + args);
        process_.waitForStarted(5000);
    }
    ~StationRun() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished();
        }
    }
    // Waits up to `ms` for `text` in the station's output.
    bool waitFor(const QString& text, int ms = 15000) {
        QDeadlineTimer deadline(ms);
        while (!out_.contains(text) && !err_.contains(text) && !deadline.hasExpired() &&
               process_.state() == QProcess::Running) {
            process_.waitForReadyRead(100);
            out_ += QString::fromUtf8(process_.readAllStandardOutput());
            err_ += QString::fromUtf8(process_.readAllStandardError());
        }
        return out_.contains(text) || err_.contains(text);
    }
    void interrupt() { ::kill(static_cast<pid_t>(process_.processId()), SIGINT); }
    // The exit status once it ends within `ms`; -1 when it does not.
    int finish(int ms = 15000) {
        if (!process_.waitForFinished(ms))
            return -1;
        out_ += QString::fromUtf8(process_.readAllStandardOutput());
        err_ += QString::fromUtf8(process_.readAllStandardError());
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    }
    const QString& out() const { return out_; }
    const QString& err() const { return err_; }

private:
    QProcess process_;
    QString out_, err_;
};

} // namespace

class TstStation : public QObject {
    Q_OBJECT

private slots:
    void readersOneAfterAnotherAreConfiguredAndRecorded() {
        QTemporaryDir dir;
        const QString profile = WriteFile(dir, "line.json", kProfile);
        const QString port = dir.filePath("reader");
        const QString log = dir.filePath("station.jsonl"), csv = dir.filePath("station.csv");
        StationRun station({profile, "--port", port, "--log", log, "--csv", csv, "--id-from", "7",
                            "--count", "2"});
        {
            Sim first({"--serial", "QV0000A1"});
            QVERIFY(QFile::link(first.path(), port));
            QVERIFY(station.waitFor("PASS"));
            // Still plugged in for a while: a station that does not wait for it to go would
            // configure it a second time and reach its count with it.
            QTest::qWait(1200);
            first.stop();
            QVERIFY(QFile::remove(port));
        }
        Sim second({"--serial", "QV0000B2"});
        QVERIFY(QFile::link(second.path(), port));
        QCOMPARE(station.finish(), 0);
        QVERIFY(station.out().contains("passed 2, failed 0"));
        QVERIFY(!station.out().contains('\x1b')); // no colour into a pipe
        QCOMPARE(RunCli({"diff", profile, "--port", second.path()}).code, 0);

        const auto records = Records(log);
        QCOMPARE(records.size(), 2);
        QFile file(profile);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString sha =
            QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();
        const QStringList serials = {"QV0000A1", "QV0000B2"}, ids = {"07", "08"};
        const QRegularExpression iso(
            R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d(\.\d+)?(Z|[+-]\d\d:\d\d)$)");
        for (int i = 0; i < 2; ++i) {
            const QJsonObject& r = records[i];
            QCOMPARE(r["serial"].toString(), serials[i]);
            QCOMPARE(r["id"].toString(), ids[i]);
            QCOMPARE(r["next_id"].toInt(), 8 + i);
            QCOMPARE(r["result"].toString(), QString("pass"));
            QCOMPARE(r["failures"].toArray().size(), 0);
            QCOMPARE(r["port"].toString(), port);
            QCOMPARE(r["firmware"].toString(), QString("02.31-07"));
            QCOMPARE(r["profile"].toString(), QString("line.json"));
            QCOMPARE(r["profile_sha256"].toString(), sha);
            QVERIFY(iso.match(r["time"].toString()).hasMatch());
            QVERIFY(r["duration_ms"].toInt() > 0);
        }
        QFile table(csv);
        QVERIFY(table.open(QIODevice::ReadOnly));
        const auto lines = QString::fromUtf8(table.readAll()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[0].startsWith("time,port,serial,firmware,"));
        QVERIFY(lines[1].contains(",QV0000A1,02.31-07,line.json," + sha + ",07,pass,,"));
        QVERIFY(lines[2].contains(",QV0000B2,"));
    }

    // A write the reader leaves unanswered, or confirms but does not keep, fails that reader and
    // names the parameter; --tries says how often the write is sent.
    void parameterTheReaderDoesNotTakeFailsItAndIsNamed_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("tries");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<int>("writes");
        QTest::newRow("write unanswered") << "silent-for=O"
                                          << "2"
                                          << "no answer to the write" << 2;
        QTest::newRow("old value kept") << "forgets=O"
                                        << "3"
                                        << "read back 80, expected 120" << 1;
    }
    void parameterTheReaderDoesNotTakeFailsItAndIsNamed() {
        QFETCH(QString, fault);
        QFETCH(QString, tries);
        QFETCH(QString, reason);
        QFETCH(int, writes);
        QTemporaryDir dir;
        const QString profile = WriteFile(dir, "line.json", kProfile);
        const QString log = dir.filePath("station.jsonl");
        Sim reader({"--serial", "QV0000F1", "--fault", fault});
        StationRun station({profile, "--port", reader.path(), "--log", log, "--count", "1",
                            "--tries", tries, "--id-from", "50"});
        QCOMPARE(station.finish(), 1);
        QVERIFY(station.out().contains("FAIL"));
        QVERIFY(station.out().contains("rssi: " + reason));
        QVERIFY(station.out().contains("passed 0, failed 1"));
        QCOMPARE(reader.commands().count("A00O78"), writes);
        const auto records = Records(log);
        QCOMPARE(records.size(), 1);
        QCOMPARE(records[0]["result"].toString(), QString("fail"));
        const QJsonArray failures = records[0]["failures"].toArray();
        QCOMPARE(failures.size(), 1);
        QCOMPARE(failures[0]["parameter"].toString(), QString("rssi"));
        QCOMPARE(failures[0]["reason"].toString(), reason);
        // The reader ID is written last: a round that stopped before it names none, while one
        // whose writes all went through gave the reader its ID.
        const bool written = reason.startsWith("read back");
        QCOMPARE(records[0]["id"].isNull(), !written);
        QCOMPARE(reader.commands().count("A00CQV0000F150"), written ? 1 : 0);
        QCOMPARE(records[0]["next_id"].toInt(), 51);
    }

    void tagTestNeedsOneTagRead_data() {
        QTest::addColumn<QStringList>("simArgs");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("failure"); // empty: passed
        QTest::newRow("a tag comes")
            << QStringList{"--tags", "0000000000BC614E", "--tag-interval", "200"} << 0 << QString();
        QTest::newRow("no tag") << QStringList{} << 1 << "tag-test: no tag read in 1.5 s";
    }
    void tagTestNeedsOneTagRead() {
        QFETCH(QStringList, simArgs);
        QFETCH(int, code);
        QFETCH(QString, failure);
        QTemporaryDir dir;
        const QString profile = WriteFile(dir, "line.json", kProfile);
        Sim sim(simArgs);
        const Run run = RunCli({"station", profile, "--port", sim.path(), "--log",
                                dir.filePath("s.jsonl"), "--tag-test", "1.5", "--count", "1"});
        QCOMPARE(run.code, code);
        QVERIFY(failure.isEmpty() ? run.out.contains("PASS") : run.out.contains(failure));
        if (code == 0) // the test ends at the first tag, not at its time limit
            QCOMPARE(sim.commands().count("A00J"), 1);
    }

    void portsRunInParallelWithoutSharingAnId() {
        QTemporaryDir dir;
        const QString profile = WriteFile(dir, "line.json", kProfile);
        const QString log = dir.filePath("station.jsonl");
        Sim a({"--serial", "QV0000P1"}), b({"--serial", "QV0000P2"});
        StationRun station({profile, "--port", a.path(), "--port", b.path(), "--log", log,
                            "--id-from", "20", "--count", "2"});
        QCOMPARE(station.finish(), 0);
        const auto records = Records(log);
        QCOMPARE(records.size(), 2);
        QCOMPARE((QSet<QString>{records[0]["id"].toString(), records[1]["id"].toString()}),
                 (QSet<QString>{"20", "21"}));
        QCOMPARE((QSet<QString>{records[0]["port"].toString(), records[1]["port"].toString()}),
                 (QSet<QString>{a.path(), b.path()}));
        // The second reader's round began before the first one's ended.
        const auto start = [&](int i) {
            return QDateTime::fromString(records[i]["time"].toString(), Qt::ISODateWithMs);
        };
        QVERIFY(start(1) < start(0).addMSecs(records[0]["duration_ms"].toInt()));
    }

    void idSequenceGoesOnAfterARestart() {
        QTemporaryDir dir;
        const QString profile = WriteFile(dir, "line.json", kProfile);
        const QString log = dir.filePath("station.jsonl");
        // One station run per reader, each a fresh start reading the log; the third reader is
        // the first one again, which keeps its ID.
        const QStringList serials = {"QV0000R1", "QV0000R2", "QV0000R1"};
        const QStringList ids = {"03", "04", "03"};
        for (int i = 0; i < serials.size(); ++i) {
            Sim sim({"--serial", serials[i]});
            const Run run = RunCli({"station", profile, "--port", sim.path(), "--log", log,
                                    "--id-from", "3", "--count", "1"});
            QCOMPARE(run.code, 0);
            QVERIFY(run.out.contains("id " + ids[i]));
        }
        const auto records = Records(log);
        QCOMPARE(records.size(), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(records[i]["id"].toString(), ids[i]);
        QCOMPARE(records[2]["next_id"].toInt(), 5);
    }

    void interruptEndsAfterTheCurrentReaderWithASummary() {
        QTemporaryDir dir;
        const QString profile = WriteFile(dir, "line.json", kProfile);
        Sim sim({"--serial", "QV0000S1"});
        StationRun station({profile, "--port", sim.path(), "--log", dir.filePath("s.jsonl")});
        QVERIFY(station.waitFor("PASS"));
        station.interrupt();
        QCOMPARE(station.finish(5000), 0);
        QVERIFY(station.out().contains(
            QRegularExpression("passed 1, failed 0, [0-9.]+ readers per hour")));
    }

    void diffNamesWhatDiffers() {
        QTemporaryDir dir;
        const QString profile = WriteFile(dir, "line.json", kProfile);
        Sim sim({});
        const Run before = RunCli({"diff", profile, "--port", sim.path()});
        QCOMPARE(before.code, 1);
        QVERIFY(before.out.contains("read back 10, expected 5"));
        QVERIFY(before.out.contains("read back 80, expected 120"));
        const Run json = RunCli({"diff", profile, "--port", sim.path(), "--json"});
        QCOMPARE(json.code, 1);
        const QJsonArray items = QJsonDocument::fromJson(json.out.toUtf8())["parameters"].toArray();
        QCOMPARE(items.size(), 2);
        QCOMPARE(items[1]["parameter"].toString(), QString("rssi"));
        QCOMPARE(items[1]["reader"].toInt(), 80);
        QCOMPARE(items[1]["result"].toString(), QString("differs"));

        QCOMPARE(RunCli({"restore", profile, "--port", sim.path()}).code, 0);
        QCOMPARE(RunCli({"diff", profile, "--port", sim.path()}).code, 0);
        // What the reader cannot report is named, not counted as a difference.
        const QString writeOnly = WriteFile(
            dir, "write-only.json", R"({"parameters": {"rssi": 120, "gain": 7, "beep": "on"}})");
        const Run equal = RunCli({"diff", writeOnly, "--port", sim.path()});
        QCOMPARE(equal.code, 0);
        QVERIFY2(equal.out.contains("gain, beep (the reader cannot report them)"),
                 qPrintable(equal.out));
        QCOMPARE(RunCli({"diff", profile, "--port", "/dev/no-such-port"}).code, 3);
        Sim silent({"--fault", "silent"});
        const Run none = RunCli({"diff", profile, "--port", silent.path()});
        QCOMPARE(none.code, 1);
        QVERIFY(none.err.contains("did not answer the identity request"));
        QCOMPARE(silent.commands().count("A00B"), 3); // and not a read after it
    }

    // Two stations on one log would hand out the same IDs: the second is refused while the first
    // holds it.
    void secondStationOnTheSameLogIsRefused() {
        QTemporaryDir dir;
        const QString profile = WriteFile(dir, "line.json", kProfile);
        const QString log = dir.filePath("station.jsonl");
        StationRun first(
            {profile, "--port", "/dev/no-such-reader", "--log", log, "--id-from", "70"});
        QVERIFY(first.waitFor("waiting for readers"));
        Sim sim({});
        const Run second = RunCli({"station", profile, "--port", sim.path(), "--log", log,
                                   "--id-from", "70", "--count", "1"});
        QCOMPARE(second.code, 2);
        QVERIFY2(second.err.contains("in use by another station"), qPrintable(second.err));
        QVERIFY(sim.commands().isEmpty());
        first.interrupt();
        QCOMPARE(first.finish(5000), 0);
    }

    // A port that can never be a reader's ends the station at once; a log that cannot take a
    // record does too, before anything is sent (a device such as /dev/full was read for ever).
    void whatCanNeverServeIsRefusedAtOnce_data() {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("log");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("a regular file") << "/etc/passwd"
                                        << "" << 3 << "not a serial device";
        QTest::newRow("a device that is no terminal") << "/dev/null"
                                                      << "" << 3 << "not a serial device";
        QTest::newRow("a log on a full device")
            << "SIM"
            << "/dev/full" << 2 << "/dev/full: not a regular file";
    }
    void whatCanNeverServeIsRefusedAtOnce() {
        QFETCH(QString, port);
        QFETCH(QString, log);
        QFETCH(int, code);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString profile = WriteFile(dir, "line.json", kProfile);
        Sim sim({});
        if (port == "SIM")
            port = sim.path();
        if (log.isEmpty())
            log = dir.filePath("station.jsonl");
        QElapsedTimer timer;
        timer.start();
        const Run run = RunCli({"station", profile, "--port", port, "--log", log});
        QCOMPARE(run.code, code);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY(timer.elapsed() < 10000);
        QVERIFY(sim.commands().isEmpty());
    }

    // Something that answers, but never as a reader, is said once (not once a second) and in the
    // summary, where before the station waited without a word.
    void answersThatAreNoReaderAreSaidOnce_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("what");
        QTest::newRow("bad checksum") << "bad-checksum"
                                      << "bad checksum";
        QTest::newRow("stray bytes") << "noise"
                                     << "bytes that form no reply";
        QTest::newRow("too late") << "late=300"
                                  << "too late";
        QTest::newRow("17-byte identity") << "identity-length=17"
                                          << "of 17 bytes";
    }
    void answersThatAreNoReaderAreSaidOnce() {
        QFETCH(QString, fault);
        QFETCH(QString, what);
        QTemporaryDir dir;
        const QString profile = WriteFile(dir, "line.json", kProfile);
        Sim sim({"--fault", fault});
        StationRun station({profile, "--port", sim.path(), "--log", dir.filePath("s.jsonl")});
        QVERIFY2(station.waitFor(what, 10000), qPrintable(station.err()));
        QTest::qWait(1500); // three more rounds of asking
        station.interrupt();
        QCOMPARE(station.finish(5000), 0);
        QCOMPARE(station.err().count("answers, but not as a reader"), 1);
        const QString summary = station.out().split('\n', Qt::SkipEmptyParts).last();
        QVERIFY2(summary.contains(sim.path() + " answers, but not as a reader"),
                 qPrintable(summary));
    }

    // A COM number is resolved anew at each wait: a simulator mapped as COM5 after the station
    // started is found there.
    void comNumberMappedLaterIsFound() {
        QTemporaryDir dir;
        const QString profile = WriteFile(dir, "line.json", kProfile);
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        StationRun station(
            {profile, "--port", "COM5", "--log", dir.filePath("s.jsonl"), "--count", "1"}, env);
        QVERIFY(station.waitFor("waiting for readers"));
        Sim sim({"--com", "5", "--serial", "QV0000M5"}, env);
        QCOMPARE(station.finish(), 0);
        QVERIFY2(station.out().contains("PASS  COM5  serial QV0000M5"), qPrintable(station.out()));
    }

    // Nothing reaches the reader when the profile or the log is bad.
    void badInputIsRefusedBeforeAnythingIsSent_data() {
        QTest::addColumn<QString>("subcommand");
        QTest::addColumn<QByteArray>("profile");
        QTest::addColumn<QByteArray>("log");
        QTest::newRow("station, not JSON")
            << "station" << QByteArray("{\"parameters\": {") << QByteArray();
        QTest::newRow("station, out of range")
            << "station" << QByteArray(R"({"parameters": {"rssi": 300}})") << QByteArray();
        QTest::newRow("station, unknown parameter")
            << "station" << QByteArray(R"({"parameters": {"volume": 3}})") << QByteArray();
        QTest::newRow("station, log not records")
            << "station" << kProfile << QByteArray("{\"id\":\n");
        QTest::newRow("station, log line JSON but no record")
            << "station" << kProfile << QByteArray("{\"hello\":1}\n");
        QTest::newRow("station, profile without parameters")
            << "station" << QByteArray(R"({"parameters": {}})") << QByteArray();
        QTest::newRow("diff, out of range")
            << "diff" << QByteArray(R"({"parameters": {"same-card": -1}})") << QByteArray();
    }
    void badInputIsRefusedBeforeAnythingIsSent() {
        QFETCH(QString, subcommand);
        QFETCH(QByteArray, profile);
        QFETCH(QByteArray, log);
        QTemporaryDir dir;
        const QString file = WriteFile(dir, "line.json", profile);
        const QString logFile = WriteFile(dir, "station.jsonl", log);
        Sim sim({});
        QStringList args = {subcommand, file, "--port", sim.path()};
        if (subcommand == "station")
            args << "--log" << logFile << "--count"
                 << "1";
        const Run run = RunCli(args);
        QCOMPARE(run.code, 2);
        QVERIFY(!run.err.isEmpty());
        QVERIFY(sim.commands().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstStation)
#include "tst_station.moc"
