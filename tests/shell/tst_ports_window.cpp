// The Ports window on the fake machine of tests/support/fake_port_tree: the rows it shows, a
// mapping written to the settings store (beside keys it must keep) and read back by the program,
// clearing it, and the switch of language.
#include "program/program_values.h"
#include "program/settings_store.h"
#include "shell/ports_window.h"
#include "tests/support/fake_port_tree.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace qv;

class tst_PortsWindow : public QObject {
    Q_OBJECT

    QTemporaryDir root_;
    QString dev_;
    std::unique_ptr<QTemporaryDir> store_;

    QString cell(PortsWindow& w, int row, int column) {
        return w.table()->item(row, column)->text();
    }
    int rowOf(PortsWindow& w, const QString& tty) {
        for (int r = 0; r < w.table()->rowCount(); ++r)
            if (cell(w, r, 1) == dev_ + "/" + tty)
                return r;
        return -1;
    }
    QString storeFile() const { return store_->path() + "/Velmora/Quorvane_Tools.conf"; }
    void writeStore(const QByteArray& ini) {
        QVERIFY(QDir().mkpath(store_->path() + "/Velmora"));
        QFile f(storeFile());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(ini);
    }
    void chooseCom(PortsWindow& w, int n) { w.comNumber()->setCurrentIndex(n - 1); }

private slots:
    void initTestCase() {
        QVERIFY(root_.isValid());
        dev_ = root_.path() + "/dev";
        test::MakeFakePortTree((root_.path() + "/sys").toStdString(), dev_.toStdString());
        qputenv("QV_SYSFS_ROOT", (root_.path() + "/sys").toLocal8Bit());
        qputenv("QV_DEV_ROOT", dev_.toLocal8Bit());
    }
    void init() {
        store_ = std::make_unique<QTemporaryDir>();
        QVERIFY(store_->isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, store_->path());
    }

    void showsEachPortWithItsIdentityAndComNumbers() {
        writeStore("[Ports]\nCOM5=" + dev_.toUtf8() + "/ttyUSB2\n");
        ProgramValues values;
        PortsWindow w(values);
        w.show();
        QCOMPARE(w.table()->rowCount(), 9);
        const int ftdi = rowOf(w, "ttyUSB0");
        const QStringList expected = {
            "",
            dev_ + "/ttyUSB0",
            dev_ + "/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",
            "0403:6001",
            "A50285BI",
            "FTDI",
            "FT232R USB UART",
            "0",
            "ftdi_sio",
            "available"};
        for (int c = 0; c < expected.size(); ++c)
            QCOMPARE(cell(w, ftdi, c), expected[c]); // COM5 went to ttyUSB2
        QCOMPARE(cell(w, rowOf(w, "ttyUSB2"), 0), QString("COM5, COM7"));
        QCOMPARE(cell(w, rowOf(w, "ttyS0"), 3), QString());
        QVERIFY(w.findChild<QLabel*>("lblNoPorts")->isHidden());
        chooseCom(w, 5);
        QCOMPARE(w.mappingLabel()->text(), "COM5 is mapped to " + dev_ + "/ttyUSB2");
        chooseCom(w, 6);
        QCOMPARE(w.mappingLabel()->text(), QString("COM6 is /dev/ttyUSB1 (fixed table)"));
        QVERIFY(!w.clearButton()->isEnabled() && !w.mapButton()->isEnabled()); // nothing selected
    }

    void mapsAComNumberToTheSelectedPortAndClearsIt_data() {
        QTest::addColumn<QString>("tty");
        QTest::addColumn<QString>("stored"); // DEV stands for the /dev folder
        QTest::addColumn<QString>("numbers");
        QTest::newRow("adapter with serial: selector") << "ttyUSB0"
                                                       << "usb:0403:6001:A50285BI"
                                                       << "COM3, COM5";
        QTest::newRow("second channel: stable path")
            << "ttyUSB4"
            << "DEV/serial/by-id/usb-FTDI_Dual_RS232_FT4ZQ1-if01-port0"
            << "COM3"; // COM9 is the URL's
    }
    void mapsAComNumberToTheSelectedPortAndClearsIt() {
        QFETCH(QString, tty);
        QFETCH(QString, stored);
        QFETCH(QString, numbers);
        // Keys of the store that the window must leave as they are.
        writeStore("[General]\nScanCommNo=4\n\n[Ports]\nCOM9=\"rfc2217://192.0.2.1:4001\"\n");
        ProgramValues values;
        PortsWindow w(values);
        w.show();
        w.table()->selectRow(rowOf(w, tty));
        chooseCom(w, 3);
        QVERIFY(w.mapButton()->isEnabled() && !w.clearButton()->isEnabled());
        w.mapButton()->click();

        const link::PortMap map = ReadPortMap();
        QCOMPARE(QString::fromStdString(map.at(3)), QString(stored).replace("DEV", dev_));
        QCOMPARE(QString::fromStdString(map.at(9)), QString("rfc2217://192.0.2.1:4001"));
        QCOMPARE(QSettings(storeFile(), QSettings::IniFormat).value("ScanCommNo").toInt(), 4);
        // The list is read again: the port shows its new number and is still selected.
        const int row = rowOf(w, tty);
        QCOMPARE(cell(w, row, 0), numbers);
        QCOMPARE(w.table()->selectionModel()->selectedRows().value(0).row(), row);

        QVERIFY(w.clearButton()->isEnabled());
        w.clearButton()->click();
        QVERIFY(!ReadPortMap().contains(3));
        QVERIFY(ReadPortMap().contains(9));
        QVERIFY(!cell(w, rowOf(w, tty), 0).contains("COM3"));
    }

    void followsTheLanguage() {
        ProgramValues values;
        PortsWindow w(values);
        w.show();
        values.LanguageIndex = 1;
        w.applyLanguage();
        QCOMPARE(w.windowTitle(), QString::fromUtf8("串口"));
        QCOMPARE(w.table()->horizontalHeaderItem(1)->text(), QString::fromUtf8("设备"));
        QCOMPARE(cell(w, rowOf(w, "ttyUSB0"), 9), QString::fromUtf8("可用"));
        QCOMPARE(w.refreshButton()->text(), QString::fromUtf8("刷新"));
        values.LanguageIndex = 2;
        w.applyLanguage();
        QCOMPARE(w.table()->horizontalHeaderItem(2)->text(), QString::fromUtf8("固定路徑"));
        QCOMPARE(w.mappingLabel()->text(), QString::fromUtf8("COM1 為 /dev/ttyS0（固定對照表）"));
        // Every column shows its header whole.
        const QFontMetrics metrics(w.table()->horizontalHeader()->font());
        for (int c = 0; c < w.table()->columnCount() - 1; ++c)
            QVERIFY2(w.table()->columnWidth(c) >=
                         metrics.horizontalAdvance(w.table()->horizontalHeaderItem(c)->text()),
                     qPrintable(QString::number(c)));
    }

    void emptyMachineSaysSo() {
        ProgramValues values;
        PortsWindow w(values, {(root_.path() + "/none").toStdString(), dev_.toStdString()});
        w.show();
        QCOMPARE(w.table()->rowCount(), 0);
        QVERIFY(w.findChild<QLabel*>("lblNoPorts")->isVisible());
    }
};

QTEST_MAIN(tst_PortsWindow)
#include "tst_ports_window.moc"
