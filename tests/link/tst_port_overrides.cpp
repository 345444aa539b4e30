// The settings store's COM overrides read without Qt, checked against files written by QSettings
// itself: what the window would resolve, the scripting tool must resolve too.

#include "link/ports/port_overrides.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>

class TstPortOverrides : public QObject {
    Q_OBJECT

private slots:
    void readsWhatQSettingsWrote_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected"); // empty: no override
        QTest::newRow("plain path") << "/dev/pts/3"
                                    << "/dev/pts/3";
        QTest::newRow("space inside, quoted") << "/dev/serial/by-id/usb a"
                                              << "/dev/serial/by-id/usb a";
        QTest::newRow("semicolon, quoted") << "/tmp/a;b"
                                           << "/tmp/a;b";
        QTest::newRow("quote and backslash") << "/tmp/a\"b\\c"
                                             << "/tmp/a\"b\\c";
        QTest::newRow("relative text kept as written") << "ttyS0"
                                                       << "ttyS0";
    }
    void readsWhatQSettingsWrote() {
        QFETCH(QString, value);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString file = dir.path() + "/store.conf";
        {
            QSettings store(file, QSettings::IniFormat);
            store.setValue("ScanBaudRate", "19200,e,8,1");
            store.setValue("Ports/COM7", value);
            store.setValue("Other/COM8", "/dev/null");
        }
        std::ifstream in(file.toStdString());
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        const auto ports = qv::link::ParsePortOverrides(text);
        QCOMPARE(ports.size(), std::size_t(1));
        QCOMPARE(QString::fromStdString(ports.at(7)), expected);
    }

    void skipsWhatTheWindowSkips() {
        const auto ports = qv::link::ParsePortOverrides("[Ports]\nCOM1=/dev/a,/dev/b\n"
                                                        "COM17=/dev/x\nCOMX=/dev/y\n"
                                                        "COM2=\"/dev/open\n ; COM3=/dev/z\n"
                                                        "[General]\nCOM4=/dev/w\n");
        QVERIFY2(ports.empty(), ports.empty() ? "" : ports.begin()->second.c_str());
    }

    // The user's file first, then the machine-wide folders of XDG_CONFIG_DIRS in their order,
    // as the window's QSettings reads them.
    void userFileFirstThenMachineKeys() {
        QTemporaryDir home, first, second;
        const auto store = [](const QTemporaryDir& dir, const char* key, const char* value) {
            QVERIFY(QDir().mkpath(dir.path() + "/Velmora"));
            QSettings(dir.path() + "/Velmora/Quorvane_Tools.conf", QSettings::IniFormat)
                .setValue(key, value);
        };
        store(home, "Ports/COM2", "/dev/pts/9");
        store(first, "Ports/COM2", "/dev/first2");
        store(first, "Ports/COM3", "/dev/first3");
        store(second, "Ports/COM3", "/dev/second3");
        store(second, "Ports/COM4", "/dev/second4");
        qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
        qputenv("XDG_CONFIG_DIRS", ("relative:" + first.path() + "::" + second.path()).toUtf8());
        const auto ports = qv::link::ReadPortOverrides();
        QCOMPARE(QString::fromStdString(ports.at(2)), QString("/dev/pts/9"));
        QCOMPARE(QString::fromStdString(ports.at(3)), QString("/dev/first3"));
        QCOMPARE(QString::fromStdString(ports.at(4)), QString("/dev/second4"));
        qputenv("XDG_CONFIG_HOME", (home.path() + "/none").toUtf8());
        QCOMPARE(QString::fromStdString(qv::link::ReadPortOverrides().at(2)),
                 QString("/dev/first2"));
        qputenv("XDG_CONFIG_DIRS", (home.path() + "/none").toUtf8());
        QVERIFY(qv::link::ReadPortOverrides().empty());
        qunsetenv("XDG_CONFIG_DIRS");
    }
};

QTEST_GUILESS_MAIN(TstPortOverrides)
#include "tst_port_overrides.moc"
