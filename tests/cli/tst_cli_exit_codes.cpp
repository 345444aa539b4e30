// quorvane-cli's exit statuses and their one-line reasons, each against the fault that causes it.

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

class TstCliExitCodes : public QObject {
    Q_OBJECT

private slots:
    void exitCodes_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("simFault"); // empty: no simulator; "none": a well one
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message"); // part of the one-line error on standard error
        QTest::newRow("unknown subcommand") << QStringList{"frobnicate"} << "" << 2 << "frobnicate";
        QTest::newRow("unknown parameter") << QStringList{"get", "volume", "--port", "COM1"} << ""
                                           << 2 << "unknown parameter \"volume\"";
        QTest::newRow("out of range") << QStringList{"set", "rssi", "300", "--port", "PTY"}
                                      << "none" << 2 << "rssi: 300 is out of range 0..250";
        QTest::newRow("bad value") << QStringList{"set", "di5", "maybe", "--port", "PTY"} << "none"
                                   << 2 << "\"maybe\" is not NO or NC";
        QTest::newRow("set-only read")
            << QStringList{"get", "gain", "--port", "PTY"} << "none" << 2 << "can only be set";
        QTest::newRow("port word") << QStringList{"info", "--port", "COM17"} << "" << 2 << "COM17";
        // A name that cannot be a port is a bad word (2), not a port that did not open (3).
        QTest::newRow("URL without host and port")
            << QStringList{"info", "--port", "rfc2217://"} << "" << 2 << "not a usable address";
        QTest::newRow("URL with port 99999") << QStringList{"info", "--port", "rfc2217://h:99999"}
                                             << "" << 2 << "not a usable address";
        QTest::newRow("selector with no hexadecimal")
            << QStringList{"info", "--port", "usb:zz:6001"} << "" << 2 << "is no USB selector";
        QTest::newRow("URL in capitals")
            << QStringList{"info", "--port", "RFC2217://h:1"} << "" << 2 << "RFC2217://h:1";
        // Behind raw TCP the server keeps the line at its settings: a new speed would strand the
        // reader. Refused before anything is sent or even connected.
        QTest::newRow("baud through raw TCP")
            << QStringList{"set", "baud", "38400,e,8,1", "--port", "tcp://127.0.0.1:1"} << "" << 2
            << "baud cannot be set through tcp://127.0.0.1:1";
        QTest::newRow("no port") << QStringList{"info"} << "" << 2 << "--port";
        QTest::newRow("missing device")
            << QStringList{"info", "--port", "/dev/no-such-reader"} << "" << 3
            << "cannot open /dev/no-such-reader: does not exist";
        QTest::newRow("scan, no port opens")
            << QStringList{"scan", "--port", "/dev/no-such-reader"} << "" << 3 << "does not exist";
        QTest::newRow("not a serial device")
            << QStringList{"info", "--port", "/dev/null"} << "" << 3 << "not a serial device";
        QTest::newRow("silent reader")
            << QStringList{"get", "rssi", "--port", "PTY", "--tries", "1"} << "silent" << 1
            << "did not report rssi";
        QTest::newRow("reader ignores the command")
            << QStringList{"set", "same-card", "5", "--port", "PTY"} << "silent-for=N" << 1
            << "did not confirm";
        QTest::newRow("watch, no poll answered")
            << QStringList{"watch", "--port", "PTY", "--seconds", "0.5"} << "silent" << 1
            << "answered no poll";
        QTest::newRow("watch, reader stopped answering")
            << QStringList{"watch", "--port", "PTY", "--seconds", "2"} << "hangup-after=10" << 1
            << "reader not answering";
        QTest::newRow("watch, the device did not come back")
            << QStringList{"watch", "--port", "PTY", "--reconnect", "1.5", "--seconds", "30"}
            << "hangup-after=10" << 1 << "did not come back within 1.5 s";
        QTest::newRow("no such USB adapter")
            << QStringList{"info", "--port", "usb:ffff:fffe"} << "" << 3
            << "cannot open usb:ffff:fffe: does not exist (no USB adapter ffff:fffe is plugged in)";
        QTest::newRow("scan, no such USB adapter")
            << QStringList{"scan", "--port", "usb:ffff:fffe"} << "" << 3
            << "cannot open usb:ffff:fffe: does not exist (no USB adapter ffff:fffe is plugged in)";
        QTest::newRow("seven digits") << QStringList{"set", "same-card", "1234567", "--port", "PTY"}
                                      << "none" << 2 << "1234567 is out of range 0..9999";
        QTest::newRow("watch, no tags to count")
            << QStringList{"watch", "--port", "PTY", "--count", "0"} << "none" << 2
            << "0 is not a number of tags 1 or more";
        QTest::newRow("watch, no time") << QStringList{"watch", "--port", "PTY", "--seconds", "0"}
                                        << "none" << 2 << "0 is not a number of seconds above 0";
        QTest::newRow("backup onto a folder")
            << QStringList{"backup", "/tmp", "--port", "PTY"} << "none" << 2
            << "/tmp: cannot be written: it is a directory";
        QTest::newRow("backup to a place that cannot be written")
            << QStringList{"backup", "/no-such-dir/reader.json", "--port", "PTY"} << "none" << 2
            << "/no-such-dir/reader.json: cannot be written: No such file or directory";
        QTest::newRow("reset takes no tries")
            << QStringList{"reset", "--port", "PTY", "--tries", "3"} << "none" << 2 << "--tries";
        QTest::newRow("scan, a missing port among silent ones")
            << QStringList{"scan",       "--port",     "PTY", "--port", "/dev/no-such-reader",
                           "--settings", "19200,e,8,1"}
            << "silent" << 1 << "";
        QTest::newRow("COM16 is a port")
            << QStringList{"info", "--port", "COM16", "--settings", "19200,e,8,1"} << "" << 3
            << "cannot open COM16";
        QTest::newRow("success") << QStringList{"reset", "--port", "PTY"} << "none" << 0 << "";
    }
    void exitCodes() {
        QFETCH(QStringList, args);
        QFETCH(QString, simFault);
        QFETCH(int, code);
        QFETCH(QString, message);
        std::unique_ptr<Sim> sim;
        if (!simFault.isEmpty()) {
            sim = std::make_unique<Sim>(simFault == "none" ? QStringList()
                                                           : QStringList{"--fault", simFault});
            args.replaceInStrings("PTY", sim->path());
            sim->holdTerminal(); // "watch --reconnect" retries the path after the hang-up
        }
        const Run run = RunCli(args);
        QCOMPARE(run.code, code);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        if (code == 2) {
            QCOMPARE(run.err.count('\n'), 1);                 // one line
            QVERIFY2(run.out.isEmpty(), qPrintable(run.out)); // and nothing for a script to take
        }
        for (const QString& line : run.err.split('\n', Qt::SkipEmptyParts))
            QVERIFY2(line.startsWith("quorvane-cli: "), qPrintable(line));
        if (code == 2 && sim)
            QCOMPARE(sim->commands(), QStringList()); // nothing was sent
    }

    // Under --json a refused command line still gives one JSON document on standard output.
    void usageErrorsUnderJsonGiveJson_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("option missing") << QStringList{"info", "--json"};
        QTest::newRow("value out of range")
            << QStringList{"set", "rssi", "300", "--json", "--port", "COM1"};
        QTest::newRow("unknown subcommand") << QStringList{"--json", "frobnicate"};
        QTest::newRow("a word that is not ASCII") << QStringList{"--json", "读卡器"};
    }
    void usageErrorsUnderJsonGiveJson() {
        QFETCH(QStringList, args);
        const Run run = RunCli(args);
        QCOMPARE(run.code, 2);
        QJsonParseError error;
        const QJsonObject doc = QJsonDocument::fromJson(run.out.toUtf8(), &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(doc["ok"].toBool(true), false);
        QCOMPARE(doc["exit"].toInt(), 2);
        // The words as given, in UTF-8, not escaped: what a person reading the line can read.
        for (const QString& word : args)
            if (!word.startsWith('-') && doc["error"].toString().contains(word))
                QVERIFY2(run.out.contains(word), qPrintable(run.out));
    }
};

QTEST_GUILESS_MAIN(TstCliExitCodes)
#include "tst_cli_exit_codes.moc"
