// quorvane-cli's subcommands against real simulator programs on pseudo-terminals: the sweep,
// every parameter there and back, the tries, the trace, the port list and the help.

#include "tests/cli/cli_program.h"
#include "tests/support/fake_port_tree.h"

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

class TstCliCommands : public QObject {
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

    // A reader whose replies come 300 ms late: each lands in the wait of a later command. Before,
    // info printed the serial number as the version, or the two swapped, with exit 0. A reply
    // that answers another command is no answer, so whatever ends well is right.
    void lateRepliesAreNeverTakenForAnotherCommand() {
        Sim sim({"--fault", "late=300"});
        for (int run = 0; run < 3; ++run) {
            const Run info = RunCli({"info", "--json", "--port", sim.path()});
            if (info.code == 1)
                continue;
            QCOMPARE(info.code, 0);
            QCOMPARE(JsonOf(info)["serial"].toString(), QString("QV000001"));
            QCOMPARE(JsonOf(info)["version"].toString(), QString("02.31-07"));
        }
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

QTEST_GUILESS_MAIN(TstCliCommands)
#include "tst_cli_commands.moc"
