// The window program's command line: what each argument list leads to, and the built program
// answering --help and --version with no display at all.

#include "qv_version.h"
#include "shell/command_line.h"

#include <QProcess>
#include <QTest>

using Action = qv::CommandLine::Action;
Q_DECLARE_METATYPE(Action)

class TstCommandLine : public QObject {
    Q_OBJECT

private slots:
    void readsTheArguments_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<Action>("action");
        QTest::addColumn<QString>("error");
        QTest::newRow("none") << QStringList{} << Action::Run << QString();
        QTest::newRow("--help") << QStringList{"--help"} << Action::Help << QString();
        QTest::newRow("-h") << QStringList{"-h"} << Action::Help << QString();
        QTest::newRow("--version") << QStringList{"--version"} << Action::Version << QString();
        QTest::newRow("help wins over version")
            << QStringList{"--version", "--help"} << Action::Help << QString();
        QTest::newRow("Qt option and its value")
            << QStringList{"-platform", "offscreen", "-style", "fusion"} << Action::Run
            << QString();
        QTest::newRow("Qt option with two dashes and =")
            << QStringList{"--style=fusion", "-reverse"} << Action::Run << QString();
        QTest::newRow("Qt option beside --version")
            << QStringList{"-platform", "offscreen", "--version"} << Action::Version << QString();
        QTest::newRow("Qt option without its value") << QStringList{"-platform"} << Action::Refuse
                                                     << QString("missing value after -platform");
        QTest::newRow("unknown option")
            << QStringList{"--verbose"} << Action::Refuse << QString("unknown option: --verbose");
        QTest::newRow("unknown option refuses help too")
            << QStringList{"--help", "-x"} << Action::Refuse << QString("unknown option: -x");
        QTest::newRow("stray argument")
            << QStringList{"COM1"} << Action::Refuse << QString("unexpected argument: COM1");
        QTest::newRow("lone dash")
            << QStringList{"-"} << Action::Refuse << QString("unexpected argument: -");
        QTest::newRow("value of a Qt option is not read as an option")
            << QStringList{"-title", "--help"} << Action::Run << QString();
    }
    void readsTheArguments() {
        QFETCH(QStringList, args);
        QFETCH(Action, action);
        QFETCH(QString, error);
        std::vector<std::string> argv;
        for (const QString& a : args)
            argv.push_back(a.toStdString());
        const qv::CommandLine line = qv::ReadCommandLine(argv);
        QCOMPARE(line.action, action);
        QCOMPARE(QString::fromStdString(line.error), error);
    }

    // The program answers before it opens a window: no display and no platform are set.
    void programAnswersWithoutADisplay_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QByteArray>("err");
        QTest::newRow("--version") << QStringList{"--version"} << 0
                                   << QByteArray("quorvane-tools ") + qv::ProgramVersion + "\n"
                                   << QByteArray();
        QTest::newRow("--help") << QStringList{"--help"} << 0 << QByteArray("Usage: quorvane-tools")
                                << QByteArray();
        QTest::newRow("unknown") << QStringList{"--bogus"} << 2 << QByteArray()
                                 << QByteArray(
                                        "quorvane-tools: unknown option: --bogus (try --help)\n");
    }
    void programAnswersWithoutADisplay() {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, out);
        QFETCH(QByteArray, err);
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(name);
        program.setProcessEnvironment(env);
        program.start(QV_TOOLS_PROGRAM, args);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), exitCode);
        QVERIFY(program.readAllStandardOutput().startsWith(out));
        QCOMPARE(program.readAllStandardError(), err);
    }
};

QTEST_GUILESS_MAIN(TstCommandLine)
#include "tst_command_line.moc"
