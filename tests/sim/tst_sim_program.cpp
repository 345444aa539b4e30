// The quorvane-sim program as scripts use it: the first line is the terminal, --com maps it in the
// user's settings store for as long as the program runs, and the options shape the reader.

#include "link/ports/port_overrides.h"
#include "link/protocol/link.h"
#include "link/protocol/replies.h"
#include "link/time/system_time.h"
#include "link/transport/serial_posix.h"
#include "qv_version.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// Starts the simulator and reads its first line; empty when none came.
QString StartSimulator(QProcess& process, const QStringList& args, const QString& configHome = {}) {
    auto env = QProcessEnvironment::systemEnvironment();
    if (!configHome.isEmpty())
        env.insert("XDG_CONFIG_HOME", configHome);
    process.setProcessEnvironment(env);
    process.start(QV_SIM_PROGRAM, args);
    if (!process.waitForStarted(5000))
        return {};
    while (!process.canReadLine())
        if (!process.waitForReadyRead(5000))
            return {};
    return QString::fromUtf8(process.readLine()).trimmed();
}

// The store's COM mappings as they are in the file now (QSettings would cache what it read).
qv::link::PortMap PortsInFile(const QString& store) {
    QFile file(store);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return qv::link::ParsePortOverrides(file.readAll().toStdString());
}

} // namespace

class TstSimProgram : public QObject {
    Q_OBJECT

private slots:
    void comMappingLastsWhileRunning_data() {
        QTest::addColumn<QString>("previous"); // empty: no mapping before
        QTest::addColumn<int>("signal");
        QTest::newRow("earlier mapping, SIGTERM") << QString("/dev/ttyS9") << int(SIGTERM);
        QTest::newRow("no mapping, SIGINT") << QString() << int(SIGINT);
        QTest::newRow("earlier mapping, SIGHUP") << QString("/dev/ttyUSB3") << int(SIGHUP);
    }
    void comMappingLastsWhileRunning() {
        QFETCH(QString, previous);
        QFETCH(int, signal);
        QTemporaryDir home;
        QVERIFY(home.isValid());
        const QString store = home.path() + "/Velmora/Quorvane_Tools.conf";
        {
            QSettings settings(store, QSettings::IniFormat);
            settings.setValue("LanguageFlag", "ChineseGB");
            if (!previous.isEmpty())
                settings.setValue("Ports/COM7", previous);
        }

        QProcess sim;
        const QString path = StartSimulator(sim, {"--com", "7"}, home.path());
        QVERIFY2(path.startsWith("/dev/pts/"), qPrintable(path));
        QCOMPARE(QString::fromStdString(PortsInFile(store)[7]), path);

        QCOMPARE(::kill(static_cast<pid_t>(sim.processId()), signal), 0);
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 0);

        const auto after = PortsInFile(store);
        QCOMPARE(after.count(7), std::size_t(previous.isEmpty() ? 0 : 1));
        if (!previous.isEmpty())
            QCOMPARE(QString::fromStdString(after.at(7)), previous);
        QCOMPARE(QSettings(store, QSettings::IniFormat).value("LanguageFlag").toString(),
                 QString("ChineseGB"));
    }

    // A store the simulator cannot write, or cannot parse as it was, is left exactly as it is:
    // the simulator says why and exits with an error instead of running without its mapping.
    // Where the store's folder cannot even be made (its place is a file), not even root writes.
    void storeThatCannotTakeTheMappingIsLeftAlone_data() {
        QTest::addColumn<QByteArray>("text"); // the store as it was; null: its folder is a file
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<int>("fileSizeLimit"); // bytes the simulator may write to a file; 0: any
        QTest::newRow("read-only") << QByteArray("[Ports]\nCOM2=/dev/ttyS1\n") << true
                                   << "cannot write the settings store" << 0;
        QTest::newRow("not settings") << QByteArray("[Ports]\nCOM2=/dev/ttyS1\nstray words\n")
                                      << false << "lines that are not settings" << 0;
        QTest::newRow("folder is a file")
            << QByteArray() << false << "cannot write the settings store" << 0;
        // A full disk: the new store is written short. The old one must stay whole.
        QTest::newRow("short write")
            << QByteArray("[General]\nLanguageFlag=ChineseGB\nScanBaudRate=\"19200,e,8,1\"\n\n"
                          "[Ports]\nCOM2=/dev/ttyS1\n")
            << false << "cannot write the settings store" << 48;
    }
    void storeThatCannotTakeTheMappingIsLeftAlone() {
        QFETCH(QByteArray, text);
        QFETCH(bool, readOnly);
        QFETCH(QString, reason);
        QFETCH(int, fileSizeLimit);
        if (readOnly && ::geteuid() == 0)
            QSKIP("root writes to read-only files");
        QTemporaryDir home;
        QFile file(home.path() + (text.isNull() ? "/Velmora" : "/Velmora/Quorvane_Tools.conf"));
        QVERIFY(QDir(home.path()).mkpath(text.isNull() ? "." : "Velmora"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        if (readOnly)
            QVERIFY(file.setPermissions(QFile::ReadOwner));

        QProcess sim;
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", home.path());
        sim.setProcessEnvironment(env);
        if (fileSizeLimit > 0)
            sim.setChildProcessModifier([fileSizeLimit] {
                // Past the limit a write comes back short (EFBIG) instead of ending the process.
                ::signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{rlim_t(fileSizeLimit), rlim_t(fileSizeLimit)};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            });
        sim.start(QV_SIM_PROGRAM, {"--com", "7"});
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(sim.exitCode(), 1);
        QVERIFY(sim.readAllStandardError().contains(reason.toUtf8()));
        QVERIFY(sim.readAllStandardOutput().isEmpty()); // no terminal line for scripts to take
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), text.isNull() ? QByteArray("") : text);
        if (!text.isNull()) // and no half-written copy left beside it
            QCOMPARE(QDir(home.path() + "/Velmora").entryList(QDir::Files),
                     QStringList{"Quorvane_Tools.conf"});
    }

    // A mapping to a terminal that is gone (a simulator that was killed) is removed at start-up;
    // one to a device that is merely unplugged is not the simulator's to remove.
    void mappingLeftBehindIsRemovedAtStart() {
        QTemporaryDir home;
        const QString store = home.path() + "/Velmora/Quorvane_Tools.conf";
        {
            QSettings settings(store, QSettings::IniFormat);
            settings.setValue("Ports/COM2", "/dev/pts/4242");
            settings.setValue("Ports/COM3", "/dev/serial/by-id/unplugged");
        }
        QProcess sim;
        const QString path = StartSimulator(sim, {"--com", "7"}, home.path());
        QVERIFY(path.startsWith("/dev/pts/"));
        const auto ports = PortsInFile(store);
        sim.terminate();
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(ports.count(2), std::size_t(0));
        QCOMPARE(ports.count(3), std::size_t(1));
        QCOMPARE(QString::fromStdString(ports.at(7)), path);
    }

    // Another simulator's mapping, met at start, is never written back at the end: that one
    // maps its number itself while it runs, and once it is gone its terminal may be another
    // program's (before, COM4 was left naming a terminal someone else had since). Two that end
    // at the same moment leave no mapping behind either.
    void simulatorsOnOneNumberLeaveNoMappingBehind() {
        QTemporaryDir home;
        const QString store = home.path() + "/Velmora/Quorvane_Tools.conf";
        for (int round = 0; round < 4; ++round) {
            QProcess first, second;
            const QString a = StartSimulator(first, {"--com", "4"}, home.path());
            const QString b = StartSimulator(second, {"--com", "4"}, home.path());
            QVERIFY(a.startsWith("/dev/pts/") && b.startsWith("/dev/pts/"));
            QCOMPARE(QString::fromStdString(PortsInFile(store)[4]), b);
            if (round % 2 == 0) { // the later one first: the earlier one's is not put back
                second.terminate();
                QVERIFY(second.waitForFinished(5000));
                QCOMPARE(PortsInFile(store).count(4), std::size_t(0));
                first.terminate();
            } else { // both at once
                ::kill(static_cast<pid_t>(first.processId()), SIGTERM);
                ::kill(static_cast<pid_t>(second.processId()), SIGTERM);
            }
            for (QProcess* sim : {&first, &second})
                QVERIFY(sim->state() == QProcess::NotRunning || sim->waitForFinished(5000));
            QCOMPARE(PortsInFile(store).count(4), std::size_t(0));
        }
    }

    void optionsShapeTheReader_data() {
        QTest::addColumn<QString>("settings"); // as --settings takes it
        QTest::addColumn<QString>("line");     // what the reader answers at
        QTest::newRow("a setting's text") << "9600,n,8,1"
                                          << "9600,n,8,1";
        QTest::newRow("the first index") << "0"
                                         << "4800,n,8,1";
    }
    void optionsShapeTheReader() {
        QFETCH(QString, settings);
        QFETCH(QString, line);
        QProcess sim;
        const QString path =
            StartSimulator(sim, {"--id", "42", "--serial", "AB123456", "--settings", settings});
        QVERIFY(path.startsWith("/dev/pts/"));
        qv::link::PosixSerialDevice device;
        qv::link::SteadyClock clock;
        qv::link::ThreadSleeper sleeper;
        qv::link::Link link(device, clock, sleeper);
        link.setPortMap({{3, path.toStdString()}});
        QVERIFY(link.CommOpen(3, line.toStdString()));
        QVERIFY(link.ReaderTransact("A00B"));
        const auto identity = qv::link::DecodeIdentity(link.reply());
        link.CommClose();
        sim.terminate();
        QVERIFY(sim.waitForFinished(5000));
        QVERIFY(identity);
        QCOMPARE(identity->id, std::string("42"));
        QCOMPARE(identity->serial, std::string("AB123456"));
    }

    void badOptionsAreRefused_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("says"); // part of the reason on standard error
        QTest::newRow("unknown fault") << QStringList{"--fault", "sideways"} << "sideways";
        QTest::newRow("three-digit id") << QStringList{"--id", "100"} << "--id";
        QTest::newRow("short serial") << QStringList{"--serial", "1234567"} << "--serial";
        QTest::newRow("settings 12") << QStringList{"--settings", "12"} << "--settings";
        QTest::newRow("short tag") << QStringList{"--tags", "0011"} << "0011";
        QTest::newRow("com 17") << QStringList{"--com", "17"} << "--com";
        QTest::newRow("missing value") << QStringList{"--id"} << "missing value after --id";
        QTest::newRow("unknown option, last word")
            << QStringList{"--bogus"} << "unknown option: --bogus";
        QTest::newRow("unknown option, then a word")
            << QStringList{"--bogus", "1"} << "unknown option: --bogus";
    }
    void badOptionsAreRefused() {
        QFETCH(QStringList, args);
        QFETCH(QString, says);
        QProcess sim;
        sim.start(QV_SIM_PROGRAM, args);
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(sim.exitCode(), 2);
        QVERIFY(sim.readAllStandardOutput().isEmpty()); // no terminal line for scripts to take
        const QString err = QString::fromUtf8(sim.readAllStandardError());
        QVERIFY2(err.contains(says), qPrintable(err));
    }

    void helpSaysParityIsNotCompared() {
        QProcess sim;
        sim.start(QV_SIM_PROGRAM, {"--help"});
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(sim.exitCode(), 0);
        const QByteArray help = sim.readAllStandardOutput();
        QVERIFY(help.contains("parity is not compared"));
        QVERIFY(help.contains("hangup-after=N"));
    }

    // Every option and fault the simulator takes is explained, under the name it takes.
    void helpNamesEveryOptionAndFault_data() {
        QTest::addColumn<QString>("name");
        for (const char* name : {"--id ",
                                 "--serial ",
                                 "--firmware ",
                                 "--settings ",
                                 "--input ",
                                 "--tags ",
                                 "--tag-interval ",
                                 "--reply-delay ",
                                 "--fault",
                                 "--com ",
                                 "--verbose, -v",
                                 "--help, -h",
                                 "--version ",
                                 "silent ",
                                 "silent-for=L",
                                 "forgets=L",
                                 "bad-checksum",
                                 "lowercase-checksum",
                                 "identity-length=N",
                                 "noise",
                                 "late=MS",
                                 "stream",
                                 "zero-byte",
                                 "hangup-after=N",
                                 "SIGINT",
                                 "SIGTERM",
                                 "SIGHUP"})
            QTest::newRow(name) << QString(name);
    }
    void helpNamesEveryOptionAndFault() {
        QFETCH(QString, name);
        QProcess sim;
        sim.start(QV_SIM_PROGRAM, {"--help"});
        QVERIFY(sim.waitForFinished(5000));
        QVERIFY(QString::fromUtf8(sim.readAllStandardOutput()).contains(name));
    }

    void shortFormsAreTaken() {
        QProcess sim;
        sim.start(QV_SIM_PROGRAM, {"-v", "-h"});
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(sim.exitCode(), 0);
        QVERIFY(sim.readAllStandardOutput().startsWith("Usage: quorvane-sim"));
    }

    // --version prints the program's version, not a firmware text, and starts no reader.
    void versionIsTheProgramVersion() {
        QProcess sim;
        sim.start(QV_SIM_PROGRAM, {"--version"});
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(sim.exitCode(), 0);
        const QByteArray expected = QByteArray("quorvane-sim ") + qv::ProgramVersion + "\n";
        QCOMPARE(sim.readAllStandardOutput(), expected);
    }
};

QTEST_GUILESS_MAIN(TstSimProgram)
#include "tst_sim_program.moc"
