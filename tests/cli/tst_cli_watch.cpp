// quorvane-cli watch against real simulator programs: the tag lines, a clean end on a signal,
// and a device that goes away and comes back.

#include "tests/cli/cli_program.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

using qv::test::JsonOf;
using qv::test::Run;
using qv::test::RunCli;
using qv::test::Sim;

class TstCliWatch : public QObject {
    Q_OBJECT

private slots:
    void watchPrintsEachTagAsAJsonLine() {
        Sim sim({"--tags", "0000000000BC614E,FFFFFFFFFFFFFFFF", "--tag-interval", "30"});
        const Run run =
            RunCli({"watch", "--port", sim.path(), "--json", "--count", "3", "--do1", "on"});
        QCOMPARE(run.code, 0);
        const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        // The simulator's stream runs from its own start and keeps only the latest few tags, so
        // a slow start may begin on either; from there the two must alternate, none lost.
        const QStringList ids{"0000000000BC614E", "FFFFFFFFFFFFFFFF"};
        const QStringList decimals{"0012345678", "4294967295"};
        const qsizetype first = lines[0].contains(ids[0]) ? 0 : 1;
        for (int i = 0; i < 3; ++i) {
            QJsonParseError error;
            const QJsonObject tag = QJsonDocument::fromJson(lines[i].toUtf8(), &error).object();
            QCOMPARE(error.error, QJsonParseError::NoError);
            const qsizetype k = (first + i) % 2;
            QCOMPARE(tag["id"].toString(), ids[k]);
            QCOMPARE(tag["decimal"].toString(), decimals[k]);
            QCOMPARE(tag["hex"].toString(), ids[k].right(8));
            QCOMPARE(tag["input"].toString(), QString("0"));
            QVERIFY(QDateTime::fromString(tag["time"].toString(), Qt::ISODateWithMs).isValid());
        }
        const QStringList commands = sim.commands();
        QCOMPARE(commands.count("A00I2"), 1); // DO1 alone, sent once
        QCOMPARE(commands.count("A00J"), 3);
    }

    // The text form: time, identifier, the decimal and hexadecimal fields, the input.
    void watchPrintsEachTagAsALineOfText() {
        Sim sim({"--tags", "0000000000BC614E", "--tag-interval", "30"});
        const Run run = RunCli({"watch", "--port", sim.path(), "--count", "1"});
        QCOMPARE(run.code, 0);
        static const QRegularExpression line(
            R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z  0000000000BC614E  0012345678\(D\)  )"
            R"(00BC614E\(H\)  DI 0\n$)");
        QVERIFY2(line.match(run.out).hasMatch(), qPrintable(run.out));
    }

    void watchEndsCleanlyOnSignal_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGTERM") << int(SIGTERM);
    }
    void watchEndsCleanlyOnSignal() {
        QFETCH(int, signal);
        Sim sim({"--tags", "0000000000BC614E", "--tag-interval", "100"});
        QProcess watch;
        watch.start(QV_CLI_PROGRAM, {"watch", "--port", sim.path()});
        QVERIFY(watch.waitForReadyRead(10000)); // the first tag is out: the run is under way
        QCOMPARE(::kill(static_cast<pid_t>(watch.processId()), signal), 0);
        QVERIFY(watch.waitForFinished(5000));
        QCOMPARE(watch.exitStatus(), QProcess::NormalExit);
        QCOMPARE(watch.exitCode(), 0);
        QCOMPARE(RunCli({"info", "--port", sim.path()}).code, 0); // the port was given back
    }

    // The reader's device goes away (the simulator ends and the stable link to its terminal is
    // removed) and comes back under the same link: watch --reconnect says so, waits, and reads
    // the new reader's tags.
    void watchReconnectsToADeviceThatComesBack() {
        QTemporaryDir dir;
        const QString byId = dir.filePath("usb-reader-if00-port0");
        auto first = std::make_unique<Sim>(
            QStringList{"--tags", "0000000000BC614E", "--tag-interval", "100"});
        QVERIFY(QFile::link(first->path(), byId));
        QProcess watch;
        watch.setProcessChannelMode(QProcess::MergedChannels);
        watch.start(QV_CLI_PROGRAM, {"watch", "--port", byId, "--reconnect", "20"});
        QString out;
        const auto waitFor = [&](const QString& text) {
            for (QElapsedTimer clock; !out.contains(text);) {
                if (!clock.isValid())
                    clock.start();
                if (clock.elapsed() > 10000 || watch.state() == QProcess::NotRunning)
                    return false;
                watch.waitForReadyRead(100);
                out += QString::fromUtf8(watch.readAll());
            }
            return true;
        };
        QVERIFY2(waitFor("00BC614E(H)"), qPrintable(out));
        first.reset();
        QFile::remove(byId);
        QVERIFY2(waitFor("reader not answering"), qPrintable(out));
        // Another reader under the same name: said, for the name's sake (before: not a word).
        Sim second({"--tags", "00000000FFFFFFFF", "--tag-interval", "100", "--serial", "OTHER001"});
        QVERIFY(QFile::link(second.path(), byId));
        QVERIFY2(waitFor("FFFFFFFF(H)"), qPrintable(out));
        QCOMPARE(::kill(static_cast<pid_t>(watch.processId()), SIGINT), 0);
        QVERIFY(watch.waitForFinished(5000));
        QCOMPARE(watch.exitCode(), 0);
        out += QString::fromUtf8(watch.readAll());
        QVERIFY2(out.indexOf("reader not answering") < out.indexOf("reader answering again") &&
                     out.indexOf("reader answering again") < out.indexOf("FFFFFFFF(H)"),
                 qPrintable(out));
        QVERIFY2(!out.contains("cannot reopen"), qPrintable(out)); // "not there" is only waited out
        QVERIFY2(out.contains("another reader answers at " + byId +
                              ": serial OTHER001, before "
                              "QV000001"),
                 qPrintable(out));
    }
};

QTEST_GUILESS_MAIN(TstCliWatch)
#include "tst_cli_watch.moc"
