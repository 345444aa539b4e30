// quorvane-cli backup and restore against real simulator programs: every value back after a
// factory default, a restore stopped half-way, what is left out, and files refused whole.

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

class TstCliBackup : public QObject {
    Q_OBJECT

private slots:
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
        QVERIFY2(run.err.contains("restore incomplete"),
                 qPrintable(run.err)); // said, not only coded
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
};

QTEST_GUILESS_MAIN(TstCliBackup)
#include "tst_cli_backup.moc"
