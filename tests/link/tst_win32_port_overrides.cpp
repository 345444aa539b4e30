// The COM number overrides on Windows, read from the registry as QSettings writes them. The test
// writes to a key of its own beside the program's, never to the user's settings.

#include "link/ports/port_overrides.h"
#include "link/ports/port_overrides_win32.h"

#include <QSettings>
#include <QTest>

namespace {

const char* const kOrganisation = "Velmora";
const char* const kTestApplication = "Quorvane_Tools_Test";
const wchar_t* const kTestKey = L"Software\\Velmora\\Quorvane_Tools_Test\\Ports";

QSettings TestStore() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, kOrganisation,
                     kTestApplication);
}

} // namespace

class TstWin32PortOverrides : public QObject {
    Q_OBJECT
private slots:
    void init() { TestStore().clear(); }
    void cleanup() { TestStore().clear(); }

    // The key read by the program's tools is the one QSettings uses for the window's store.
    void keyIsWhereTheWindowKeepsPorts() {
        const QSettings store(QSettings::NativeFormat, QSettings::UserScope, kOrganisation,
                              "Quorvane_Tools");
        QCOMPARE(QString::fromWCharArray(qv::link::kPortOverridesKey),
                 store.fileName().section('\\', 2) + "\\Ports");
    }

    void readsStringValuesOfCom1To16_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("expected"); // empty: not taken
        QTest::newRow("COM1 to COM7") << "COM1" << QVariant("COM7") << "COM7";
        QTest::newRow("COM16 to a device name")
            << "COM16" << QVariant(R"(\\.\COM23)") << R"(\\.\COM23)";
        QTest::newRow("non-ASCII text") << "COM4" << QVariant(QString::fromUtf8("COM5 \u00e9"))
                                        << QString::fromUtf8("COM5 \u00e9");
        QTest::newRow("COM17 is no COM number here") << "COM17" << QVariant("COM3") << "";
        QTest::newRow("a list is no device")
            << "COM2" << QVariant(QStringList{"COM3", "COM4"}) << "";
        QTest::newRow("a number is no device") << "COM3" << QVariant(7) << "";
    }
    void readsStringValuesOfCom1To16() {
        QFETCH(QString, name);
        QFETCH(QVariant, value);
        QFETCH(QString, expected);
        TestStore().setValue("Ports/" + name, value);
        TestStore().setValue("Ports/COM9", "COM9"); // a neighbour, always taken
        const auto ports = qv::link::ReadPortOverridesFrom(HKEY_CURRENT_USER, kTestKey);
        const int port = name.mid(3).toInt();
        QCOMPARE(QString::fromStdString(ports.count(port) ? ports.at(port) : ""), expected);
        QCOMPARE(QString::fromStdString(ports.at(9)), QString("COM9"));
        QCOMPARE(ports.size(), std::size_t(expected.isEmpty() ? 1 : 2));
    }

    void missingKeyIsNoOverride() {
        QVERIFY(qv::link::ReadPortOverridesFrom(HKEY_CURRENT_USER, kTestKey).empty());
    }
};

QTEST_GUILESS_MAIN(TstWin32PortOverrides)
#include "tst_win32_port_overrides.moc"
