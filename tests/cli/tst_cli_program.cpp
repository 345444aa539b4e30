// quorvane-cli as a production line runs it: the real program against real simulator programs on
// pseudo-terminals. Each simulator logs every command it receives (--verbose), so a test can
// see what reached the reader, and that nothing did.

#include "tests/support/fake_port_tree.h"
#include "tests/support/run_program.h"
#include "tests/support/sim_program.h"

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

namespace {

using qv::test::Run;

Run RunCli(const QStringList& args, const QProcessEnvironment& env = {}) {
    return qv::test::RunProgram(QV_CLI_PROGRAM, args, env);
}

QJsonObject JsonOf(const Run& run) {
    return QJsonDocument::fromJson(run.out.toUtf8()).object();
}

using qv::test::Sim;

} // namespace

class TstCliProgram : public QObject {
    Q_OBJECT

private slots:
    void scanFindsEachReaderAndItsPlace() {
        Sim standard({});
        Sim fast({"--settings", "57600,n,8,1", "--id", "42", "--serial", "SN000042"});
        Sim silent({"--fault", "silent"});
        QVERIFY(!standard.path().isEmpty() && !fast.path().isEmpty() && !silent.path().isEmpty());

        const Run run =
            RunCli({"scan", "--json", "--port", silent.path(), "--port", standard.path(), "--port",
                    fast.path(), "--port", "/dev/no-such-port"});
        QCOMPARE(run.code, 0);
        const QJsonObject doc = JsonOf(run);
        const QJsonArray readers = doc["readers"].toArray();
        QCOMPARE(readers.size(), 2);
        // Results come in the order of the ports given. A pseudo-terminal carries no parity, so
        // the first setting of the right speed answers: only the speed is the reader's own.
        QCOMPARE(readers[0]["device"].toString(), standard.path());
        QVERIFY(readers[0]["settings"].toString().startsWith("19200,"));
        QCOMPARE(readers[0]["id"].toString(), QString("01"));
        QCOMPARE(readers[0]["version"].toString(), QString("02.31-07"));
        QCOMPARE(readers[1]["device"].toString(), fast.path());
        QVERIFY(readers[1]["settings"].toString().startsWith("57600,"));
        QCOMPARE(readers[1]["id"].toString(), QString("42"));
        QCOMPARE(readers[1]["serial"].toString(), QString("SN000042"));
        const QJsonArray skipped = doc["not_opened"].toArray();
        QCOMPARE(skipped.size(), 1);
        QCOMPARE(skipped[0]["reason"].toString(), QString("does not exist"));
        // One identity request per setting on the silent reader's port: it hears the two at its
        // own speed and drops the bytes of the other ten.
        QCOMPARE(silent.commands().count("A00B"), 2);
        QVERIFY(silent.log().contains("dropped"));

        const Run none = RunCli({"scan", "--port", silent.path(), "--settings", "19200,e,8,1"});
        QCOMPARE(none.code, 1);
    }

    // Each parameter through the command line and back; the commands each value makes are the
    // reader model's (tests/reader).
    void everyParameterRoundTrips_data() {
        QTest::addColumn<QStringList>("setArgs");
        QTest::addColumn<QByteArray>("getJson"); // the value `get --json` reports; empty: set only
        QTest::newRow("same-card") << QStringList{"same-card", "25"} << QByteArray("25");
        QTest::newRow("di5 NC") << QStringList{"di5", "NC"} << QByteArray("\"NC\"");
        QTest::newRow("mode, window texts")
            << QStringList{"mode", "RS485 40 bits", "Wiegand 35 bits"}
            << QByteArray(R"({"rs485":"RS485 40 bits","wiegand":"Wiegand 35 bits"})");
        QTest::newRow("mode, short form")
            << QStringList{"mode", "64", "off"}
            << QByteArray(R"({"rs485":"RS485 64 bits","wiegand":"Wiegand Off"})");
        QTest::newRow("rssi top") << QStringList{"rssi", "250"} << QByteArray("250");
        QTest::newRow("exciter-id")
            << QStringList{"exciter-id", "1234", "ff"} << QByteArray(R"(["1234","00FF"])");
        QTest::newRow("id2") << QStringList{"id2", "10"} << QByteArray("10");
        QTest::newRow("relays")
            << QStringList{"relays", "none:0", "mo+enabled:250"}
            << QByteArray(R"({"rl1":{"enabled":false,"key":false,"mo":false,"time":0},)"
                          R"("rl2":{"enabled":true,"key":false,"mo":true,"time":250}})");
        QTest::newRow("id, one digit") << QStringList{"id", "7"} << QByteArray("\"07\"");
        QTest::newRow("gain") << QStringList{"gain", "3"} << QByteArray();
        QTest::newRow("beep") << QStringList{"beep", "off"} << QByteArray();
    }
    void everyParameterRoundTrips() {
        QFETCH(QStringList, setArgs);
        QFETCH(QByteArray, getJson);
        Sim sim({});
        const QStringList place{"--port", sim.path()};

        const Run set = RunCli(QStringList{"set"} + setArgs + place + QStringList{"--json"});
        QVERIFY2(set.code == 0, qPrintable(set.err));
        QCOMPARE(JsonOf(set)["result"].toString(),
                 getJson.isEmpty() ? QString("written (the reader cannot report it)")
                                   : QString("written, read back equal"));
        if (getJson.isEmpty())
            return;
        const Run get = RunCli(QStringList{"get", setArgs[0], "--json"} + place);
        QCOMPARE(get.code, 0);
        const QJsonValue expected =
            QJsonDocument::fromJson("{\"v\":" + getJson + "}").object()["v"];
        QCOMPARE(JsonOf(get)["value"], expected);
    }

    void newLineSpeedIsReachedAfterwards() {
        Sim sim({});
        const Run set = RunCli({"set", "baud", "38400,e,8,1", "--port", sim.path()});
        QVERIFY2(set.code == 0, qPrintable(set.out + set.err));
        QVERIFY(sim.commands().contains("A00E7"));
        QCOMPARE(RunCli({"info", "--port", sim.path()}).code, 1); // no answer at the old speed
        const Run info = RunCli({"info", "--port", sim.path(), "--settings", "38400,e,8,1"});
        QCOMPARE(info.code, 0);
    }

    void backupFactoryDefaultRestoreGivesEveryValueBack() {
        Sim sim({});
        const QStringList place{"--port", sim.path()};
        for (const QStringList& set : {QStringList{"same-card", "120"},
                                       {"di5", "NC"},
                                       {"mode", "24", "w42"},
                                       {"rssi", "17"},
                                       {"exciter-id", "BEEF", "0001"},
                                       {"id2", "99"},
                                       {"relays", "key:3", "enabled+key+mo:200"}})
            QCOMPARE(RunCli(QStringList{"set"} + set + place).code, 0);
        QTemporaryDir dir;
        const QString file = dir.filePath("reader.json");
        QCOMPARE(RunCli(QStringList{"backup", file} + place).code, 0);
        QCOMPARE(RunCli(QStringList{"factory-default"} + place).code, 0);
        const Run reset = RunCli(QStringList{"backup", "-"} + place);
        QCOMPARE(reset.code, 0);

        const Run restore = RunCli(QStringList{"restore", file, "--json"} + place);
        QVERIFY2(restore.code == 0, qPrintable(restore.out + restore.err));
        const Run after = RunCli(QStringList{"backup", "-"} + place);
        QCOMPARE(after.code, 0);

        QFile saved(file);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QJsonObject before = QJsonDocument::fromJson(saved.readAll()).object();
        const QJsonObject defaults = JsonOf(reset)["parameters"].toObject();
        const QJsonObject restored = JsonOf(after)["parameters"].toObject();
        QCOMPARE(before["parameters"].toObject().size(), 8); // seven parameters and the speed
        for (const QString& key : before["parameters"].toObject().keys()) {
            QCOMPARE(restored[key], before["parameters"].toObject()[key]);
            if (key != "baud")
                QVERIFY2(defaults[key] != restored[key], qPrintable(key)); // each one came back
        }
        QCOMPARE(before["reader"].toObject()["serial"].toString(), QString("QV000001"));
        QVERIFY(QDateTime::fromString(before["time"].toString(), Qt::ISODate).isValid());
        QCOMPARE(before["program"].toString(), QString("quorvane-cli"));
    }

    void restoreStoppedHalfWayReportsWhatWasWritten() {
        QTemporaryDir dir;
        QFile f(dir.filePath("part.json"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(R"({"parameters": {"id2": 5, "rssi": 20, "same-card": 7}})");
        f.close();
        Sim sim({"--fault", "silent-for=O"}); // the reader never answers the RSSI command
        const Run run =
            RunCli({"restore", f.fileName(), "--json", "--tries", "1", "--port", sim.path()});
        QCOMPARE(run.code, 1);
        const QJsonArray steps = JsonOf(run)["steps"].toArray();
        QCOMPARE(steps.size(), 3);
        // Written in the documented order, whatever the file's order.
        QCOMPARE(steps[0]["parameter"].toString(), QString("same-card"));
        QCOMPARE(steps[0]["written"].toBool(), true);
        QCOMPARE(steps[1]["parameter"].toString(), QString("rssi"));
        QCOMPARE(steps[1]["written"].toBool(), false);
        QCOMPARE(steps[2]["parameter"].toString(), QString("id2"));
        QCOMPARE(steps[2]["written"].toBool(), false);
        QVERIFY(!sim.commands().contains("A00Q05"));
    }

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
        Sim second({"--tags", "00000000FFFFFFFF", "--tag-interval", "100"});
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
    }

    void readerBytesThatAreNotUtf8GiveValidJson() {
        // A shell passes the simulator a serial number and input state with bytes 0xFE and 0xFF.
        Sim sim({"-c",
                 R"sh(exec "$0" --serial "$(printf 'AB\37645678')" --input "$(printf '\377')" )sh"
                 R"sh(--tags 0000000000BC614E "$@")sh",
                 QV_SIM_PROGRAM},
                {}, "/bin/sh");
        QVERIFY(!sim.path().isEmpty());
        for (const QStringList& args :
             {QStringList{"info"}, QStringList{"watch", "--count", "1"}}) {
            const Run run = RunCli(args + QStringList{"--json", "--port", sim.path()});
            QCOMPARE(run.code, 0);
            QJsonParseError error;
            QJsonDocument::fromJson(run.out.toUtf8(), &error);
            QCOMPARE(error.error, QJsonParseError::NoError);
        }
    }

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
        if (code == 2)
            QCOMPARE(run.err.count('\n'), 1); // one line
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
    }

    // --tries counts the tries of reads and writes (and of info's reads); reset and factory
    // default keep the window's one and two.
    void triesAreCounted_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("count");
        QTest::newRow("get, default") << QStringList{"get", "rssi"} << "silent"
                                      << "A00B" << 3;
        QTest::newRow("get") << QStringList{"get", "rssi", "--tries", "2"} << "silent"
                             << "A00B" << 2;
        QTest::newRow("set") << QStringList{"set", "rssi", "5", "--tries", "2"} << "silent-for=O"
                             << "A00O05" << 2;
        QTest::newRow("info, version") << QStringList{"info", "--tries", "2"} << "silent-for=V"
                                       << "A00V" << 2;
        QTest::newRow("reset") << QStringList{"reset"} << "silent"
                               << "A00HR" << 1;
        QTest::newRow("factory-default") << QStringList{"factory-default"} << "silent"
                                         << "A00B" << 2;
    }
    void triesAreCounted() {
        QFETCH(QStringList, args);
        QFETCH(QString, fault);
        QFETCH(QString, command);
        QFETCH(int, count);
        Sim sim({"--fault", fault});
        const Run run = RunCli(args + QStringList{"--port", sim.path()});
        QCOMPARE(run.code, 1);
        QCOMPARE(sim.commands().count(command), count);
    }

    // The reader ID and the line speed of a backup are written only when asked for; otherwise
    // the restore names them as left out.
    void restoreWritesIdentityAndSpeedOnlyWhenAsked_data() {
        QTest::addColumn<QStringList>("flags");
        QTest::addColumn<QStringList>("sent");    // of A00C (reader ID) and A00E (speed)
        QTest::addColumn<QStringList>("leftOut"); // names, in order
        QTest::newRow("no flags") << QStringList() << QStringList() << QStringList{"id", "baud"};
        QTest::newRow("with identity") << QStringList{"--with-identity"}
                                       << QStringList{"A00CQV00000142"} << QStringList{"baud"};
        QTest::newRow("with baud")
            << QStringList{"--with-baud"} << QStringList{"A00E7"} << QStringList{"id"};
    }
    void restoreWritesIdentityAndSpeedOnlyWhenAsked() {
        QFETCH(QStringList, flags);
        QFETCH(QStringList, sent);
        QFETCH(QStringList, leftOut);
        QTemporaryDir dir;
        QFile f(dir.filePath("reader.json"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(R"({"reader": {"id": "42", "serial": "QV000009"},)"
                R"( "parameters": {"rssi": 20, "baud": "38400,e,8,1"}})");
        f.close();
        Sim sim({});
        const Run run =
            RunCli(QStringList{"restore", f.fileName(), "--json", "--port", sim.path()} + flags);
        QVERIFY2(run.code == 0, qPrintable(run.out + run.err));
        QStringList written;
        for (const QString& c : sim.commands())
            if (c.startsWith("A00C") || c.startsWith("A00E"))
                written << c;
        QCOMPARE(written, sent);
        QStringList names;
        for (const auto& item : JsonOf(run)["left_out"].toArray())
            names << item.toObject()["parameter"].toString();
        QCOMPARE(names, leftOut);
        QVERIFY(sim.commands().contains("A00O14"));
        const Run text =
            RunCli(QStringList{"restore", f.fileName(), "--port", sim.path(), "--settings",
                               flags.contains("--with-baud") ? "38400,e,8,1" : "19200,e,8,1"});
        for (const QString& name : leftOut)
            QVERIFY2(text.out.contains(QRegularExpression("\\n" + name + " .*left out")),
                     qPrintable(text.out));
    }

    void malformedBackupIsRefusedBeforeAnythingIsSent_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("flags");
        QTest::addColumn<QString>("message");
        const QByteArray good = R"({"parameters": {"rssi": 20, "same-card": 5}})";
        QTest::newRow("not JSON") << QByteArray("rssi=20\n") << QStringList() << "not valid JSON";
        QTest::newRow("truncated")
            << good.left(good.size() - 3) << QStringList() << "not valid JSON";
        QTest::newRow("unknown key") << QByteArray(R"({"parameters": {}, "colour": 1})")
                                     << QStringList() << "unknown key \"colour\"";
        QTest::newRow("unknown parameter") << QByteArray(R"({"parameters": {"volume": 3}})")
                                           << QStringList() << "unknown parameter \"volume\"";
        QTest::newRow("out of range, last item")
            << QByteArray(R"({"parameters": {"same-card": 5, "rssi": 300}})") << QStringList()
            << "\"rssi\": 300 is out of range 0..250";
        QTest::newRow("relay time")
            << QByteArray(R"({"parameters": {"relays": {"rl1":
              {"enabled": true, "key": false, "mo": false, "time": 10}, "rl2": {"enabled": true,
              "key": false, "mo": false, "time": 251}}}})")
            << QStringList() << "\"relays\": \"rl2\".\"time\": 251 is out of range";
        QTest::newRow("mode word")
            << QByteArray(
                   R"({"parameters": {"mode": {"rs485": "RS485 48 bits", "wiegand": "off"}}})")
            << QStringList() << "RS485 \"RS485 48 bits\"";
        QTest::newRow("text for a number") << QByteArray(R"({"parameters": {"id2": "10"}})")
                                           << QStringList() << "\"id2\": \"10\" is not an integer";
        QTest::newRow("reader ID among the parameters")
            << QByteArray(R"({"parameters": {"id": "07"}})") << QStringList{"--with-identity"}
            << "\"id\" does not belong here";
        QTest::newRow("identity asked, none there")
            << good << QStringList{"--with-identity"} << "\"reader\" is missing";
        QTest::newRow("speed asked, none there")
            << good << QStringList{"--with-baud"} << "\"baud\" is missing";
    }
    void malformedBackupIsRefusedBeforeAnythingIsSent() {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, flags);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString file = dir.filePath("backup.json");
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
        f.close();
        Sim sim({});
        const Run run = RunCli(QStringList{"restore", file, "--port", sim.path()} + flags);
        QCOMPARE(run.code, 2);
        QVERIFY2(run.err.startsWith("quorvane-cli: " + file + ": "), qPrintable(run.err));
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QCOMPARE(sim.log(), QString()); // the port was never opened: not a byte on the line
    }

    void comNumberResolvesThroughTheSettingsStore() {
        QTemporaryDir home;
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", home.path());
        Sim sim({"--com", "7", "--id", "33"}, env);
        const Run run = RunCli({"get", "id", "--port", "COM7"}, env);
        QCOMPARE(run.code, 0);
        QCOMPARE(run.out.trimmed(), QString("id  33"));
    }

    void traceShowsEveryFrameAndOutcome() {
        Sim sim({});
        const Run run = RunCli({"get", "rssi", "--trace", "--port", sim.path()});
        QCOMPARE(run.code, 0);
        QVERIFY2(
            run.err.contains(QRegularExpression(R"(sent +<TAB>A00B.*<CR>  \[09 41 30 30 42 )")),
            qPrintable(run.err));
        QVERIFY(run.err.contains(QRegularExpression(R"(received <LF>.*<CR>  \[0A )")));
        QCOMPARE(run.err.count("outcome  answered, checksum verified"), 2); // identity step, read
    }

    // The port list of a machine laid out in a folder, with two COM numbers mapped in the
    // settings store: one to a selector, one taking a fixed number from its device.
    void portsListsEachPortWithItsComNumbersAndState() {
        QTemporaryDir root;
        const QString dev = root.path() + "/dev";
        qv::test::MakeFakePortTree((root.path() + "/sys").toStdString(), dev.toStdString());
        QVERIFY(QDir().mkpath(root.path() + "/config/Velmora"));
        QFile store(root.path() + "/config/Velmora/Quorvane_Tools.conf");
        QVERIFY(store.open(QIODevice::WriteOnly));
        store.write("[Ports]\nCOM3=usb:0403:6001:A50285BI\nCOM7=" + dev.toUtf8() +
                    "/ttyUSB10\nCOM8=tcp://127.0.0.1:4001\nCOM9=" + dev.toUtf8() + "/pts/7\n");
        store.close();
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", root.path() + "/config");
        env.insert("QV_SYSFS_ROOT", root.path() + "/sys");
        env.insert("QV_DEV_ROOT", dev);

        const Run json = RunCli({"ports", "--json"}, env);
        QCOMPARE(json.code, 0);
        const QJsonArray ports = QJsonDocument::fromJson(json.out.toUtf8()).array();
        QCOMPARE(ports.size(), 11); // the nine listed, and the two mappings that lead elsewhere
        auto find = [&](const QString& tty) {
            for (const auto& p : ports)
                if (p.toObject()["device"].toString() == dev + "/" + tty)
                    return p.toObject();
            return QJsonObject();
        };
        const QJsonObject ftdi = {
            {"device", dev + "/ttyUSB0"},
            {"stable_path", dev + "/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"},
            {"vid", "0403"},
            {"pid", "6001"},
            {"serial", "A50285BI"},
            {"manufacturer", "FTDI"},
            {"product", "FT232R USB UART"},
            {"interface", 0},
            {"driver", "ftdi_sio"},
            {"com", QJsonArray({"COM3", "COM5"})},
            {"state", "ok"}};
        QCOMPARE(find("ttyUSB0"), ftdi);
        QCOMPARE(find("ttyUSB2")["com"].toArray(), QJsonArray()); // COM7 went to ttyUSB10
        QCOMPARE(find("ttyUSB10")["com"].toArray(), QJsonArray({"COM7"}));
        QVERIFY(find("ttyS0")["vid"].isNull() && find("ttyS0")["interface"].isNull());

        const Run text = RunCli({"ports"}, env);
        QCOMPARE(text.code, 0);
        const QString block = dev +
                              "/ttyUSB0  COM3, COM5  ok\n"
                              "  stable path   " +
                              dev +
                              "/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0\n"
                              "  VID:PID       0403:6001\n"
                              "  serial        A50285BI\n"
                              "  manufacturer  FTDI\n"
                              "  product       FT232R USB UART\n"
                              "  interface     0\n"
                              "  driver        ftdi_sio\n\n";
        QVERIFY2(text.out.contains(block), qPrintable(text.out));
        QVERIFY(text.out.contains(dev + "/ttyUSB2  no COM number  ok\n"));
        // Every mapped COM number, with what it leads to: a URL is not probed (connecting has
        // effects of its own), a terminal that is gone is not there.
        QVERIFY2(text.out.contains("tcp://127.0.0.1:4001  COM8  not probed\n"),
                 qPrintable(text.out));
        QVERIFY2(text.out.contains(dev + "/pts/7  COM9  not there\n"), qPrintable(text.out));

        // A machine without serial ports and mappings: an empty list, not an error.
        env.insert("QV_SYSFS_ROOT", root.path() + "/none");
        env.insert("XDG_CONFIG_HOME", root.path() + "/none");
        QCOMPARE(RunCli({"ports"}, env).out, QString("no serial ports found\n"));
        const Run none = RunCli({"ports", "--json"}, env);
        QCOMPARE(none.code, 0);
        QCOMPARE(none.out.trimmed(), QString("[]"));
    }

    void helpExplainsEveryParameter() {
        const Run all = RunCli({"--help"});
        QCOMPARE(all.code, 0);
        for (const char* name : {"same-card", "di5", "mode", "rssi", "exciter-id", "id2", "relays",
                                 "id", "baud", "gain", "beep"}) {
            QVERIFY2(all.out.contains(QString("  ") + name + " "), name);
            const Run one = RunCli({"help", name});
            QCOMPARE(one.code, 0);
            QVERIFY2(one.out.contains("Example: set " + QString(name)), qPrintable(one.out));
        }
        QVERIFY(all.out.contains("Exit status"));
        QVERIFY(RunCli({"help", "watch"}).out.contains("--count"));
        QCOMPARE(RunCli({"help", "nonsense"}).code, 2);
        QVERIFY(RunCli({"--version"}).out.startsWith("quorvane-cli "));
    }
};

QTEST_GUILESS_MAIN(TstCliProgram)
#include "tst_cli_program.moc"
