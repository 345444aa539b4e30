// Discovery: the quick attempt at the remembered place, the sweep, the version read and what
// the window shows afterwards.
#include "rig.h"

#include "link/link.h"

using namespace qv;
using namespace qv::test;

namespace {

// A reader on one device path at one line setting; elsewhere the line stays silent.
struct ReaderAt {
    std::string path;
    std::uint32_t baud;
    char parity;
};

void PlaceReader(Rig& rig, const ReaderAt& at, const std::string& identity,
                 const std::string& version) {
    rig.device.responder = [&rig, at, identity, version](const std::string& command) {
        const auto& s = rig.device.openSettings();
        if (rig.device.openPath() != at.path || s.baud != at.baud || s.parity != at.parity)
            return std::string();
        if (command == "A00B")
            return identity;
        if (command == "A00V")
            return version;
        return std::string();
    };
}

const std::string kVersion = ReplyFrame("V000"
                                        "1.02-AB"); // 15 bytes, version text "1.02-AB"

int CountOf(const std::vector<std::string>& commands, const std::string& text) {
    return static_cast<int>(std::count(commands.begin(), commands.end(), text));
}

} // namespace

class TestDiscovery : public QObject {
    Q_OBJECT

private slots:
    void init() { ClearStore(); }

    void withoutARememberedPlaceTheSweepStartsAtCom1() {
        Rig rig;
        rig.values.ReaderFound = false;
        rig.values.ScanPort = 0;
        rig.device.responder = nullptr;

        ops::btnScanClick(rig.ctx);

        QVERIFY(!rig.device.opens.empty());
        QCOMPARE(rig.device.opens[0].path, std::string("/dev/ttyS0"));
        // Pinned (chkLock is ticked at start): one setting per port, two tries each.
        QCOMPARE(rig.device.opens.size(), std::size_t(16));
        QCOMPARE(rig.device.opens[15].path, std::string("/dev/ttyACM3"));
        QCOMPARE(CountOf(rig.commands(), "A00B"), 32);
    }

    void nothingAnsweringEndsInReaderNotFind() {
        Rig rig;
        rig.values.ReaderFound = false;
        rig.values.ScanPort = 0;
        rig.values.ScanSettingsIndex = 2;
        rig.ui.cmbBaudRate->setCurrentIndex(2);
        rig.device.responder = nullptr;

        ops::btnScanClick(rig.ctx);

        QCOMPARE(rig.ui.cmbBaudRate->currentText(), QString("19200,e,8,1"));
        QCOMPARE(rig.ui.pnMsg->text(), QString("Reader Not Find"));
        QCOMPARE(rig.ui.shComm->color(), kRed);
        QCOMPARE(rig.beeper.beeps.size(), std::size_t(1));
        QCOMPARE(rig.beeper.beeps[0].frequencyHz, 300);
        QCOMPARE(rig.beeper.beeps[0].status, QString("Reader Not Find"));
        QVERIFY(rig.beeper.beeps[0].windowEnabled); // busy state already off
        QVERIFY(!rig.values.ReaderFound);
        QVERIFY(!rig.ui.tmrBusy->isActive());
        QCOMPARE(rig.values.ScanPort, 0);
        QCOMPARE(rig.values.ScanSettingsIndex, 2);
        QCOMPARE(rig.device.closeCount, 16);
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QVERIFY(!Store().contains("ScanCommNo"));
        QCOMPARE(rig.ui.pnSerial->text(), QString("S/N : ________"));
        QCOMPARE(rig.ui.pnVersion->text(), QString("VER : __.__-__"));
        QCOMPARE(rig.ui.pnID->text(), QString("__"));
    }

    void displaysAreResetAndPaintedBeforeThePortWork() {
        Rig rig;
        rig.values.ScanPort = 0;
        rig.device.responder = nullptr;
        rig.ui.pnSerial->setText("S/N : OLD00000");
        QStringList atFirstPump;
        rig.link.setEventPump([&] {
            if (atFirstPump.isEmpty())
                atFirstPump << rig.ui.pnMsg->text() << rig.ui.pnSerial->text()
                            << rig.ui.pnVersion->text() << rig.ui.pnID->text()
                            << QString::number(rig.device.opens.size());
        });
        ops::btnScanClick(rig.ctx);
        QCOMPARE(atFirstPump,
                 (QStringList{"Scan Reader ....", "S/N : ________", "VER : __.__-__", "__", "0"}));
    }

    void rememberedPlaceThatAnswersIsNotSweptNorStored() {
        Rig rig;
        rig.values.ReaderFound = false;
        rig.values.ScanPort = 3;
        rig.values.ScanSettings = "9600,e,8,1";
        rig.values.ScanSettingsIndex = 3;
        int identityRequests = 0;
        rig.device.responder = [&](const std::string& command) {
            if (command == "A00B")
                return ++identityRequests == 3 ? IdentityReply("42", "AB123456") : std::string();
            return command == "A00V" ? kVersion : std::string();
        };

        ops::btnScanClick(rig.ctx);

        QCOMPARE(rig.commands(), (std::vector<std::string>{"A00B", "A00B", "A00B", "A00V"}));
        QCOMPARE(rig.device.opens.size(), std::size_t(2));
        QCOMPARE(rig.device.opens[0].path, std::string("/dev/ttyS2"));
        QCOMPARE(rig.device.opens[0].settings.baud, 9600u);
        QCOMPARE(rig.device.closeCount, 2);
        QVERIFY(rig.values.ReaderFound);
        QVERIFY(!Store().contains("ScanCommNo"));
        QCOMPARE(rig.ui.pnMsg->text(), QString("Get Reader Info Ok. (COM : #3)"));
        QCOMPARE(rig.ui.cmbBaudRate->currentIndex(), 3);
        // 100 ms before each identity and version request, and 100 ms after the version.
        QCOMPARE(rig.pauses(), (std::vector<std::uint32_t>{100, 100, 100, 100, 100}));
    }

    void rememberedPlaceIsSweptAgainInItsTurn() {
        Rig rig;
        rig.values.ScanPort = 2;
        rig.values.ScanSettingsIndex = 5;
        rig.device.responder = nullptr;
        ops::btnScanClick(rig.ctx);
        QCOMPARE(rig.device.opens.size(), std::size_t(17));
        QCOMPARE(rig.device.opens[0].path, std::string("/dev/ttyS1"));
        QCOMPARE(rig.device.opens[1].path, std::string("/dev/ttyS0"));
        QCOMPARE(rig.device.opens[2].path, std::string("/dev/ttyS1"));
        QCOMPARE(CountOf(rig.commands(), "A00B"), 3 + 32);
    }

    void pinnedSweepTriesOneSettingPerPortTwice() {
        Rig rig;
        rig.values.ScanPort = 0;
        rig.values.ScanSettingsIndex = 3;
        rig.ui.chkLock->setChecked(true);
        rig.device.responder = nullptr;

        ops::btnScanClick(rig.ctx);

        QCOMPARE(rig.device.opens.size(), std::size_t(16));
        for (const auto& open : rig.device.opens) {
            QCOMPARE(open.settings.baud, 9600u);
            QCOMPARE(open.settings.parity, 'e');
        }
        QCOMPARE(CountOf(rig.commands(), "A00B"), 32);
        QCOMPARE(rig.pauses().size(), std::size_t(32));
    }

    // Unpinned: every port that opens is tried with all twelve settings in list order; a port
    // that does not open is given up at once.
    void unpinnedSweepTriesAllTwelveSettingsInOrder() {
        Rig rig;
        rig.values.ScanPort = 0;
        rig.ui.chkLock->setChecked(false);
        rig.device.openable = {"/dev/ttyS1", "/dev/ttyUSB0"}; // COM2 and COM5
        rig.device.responder = nullptr;

        ops::btnScanClick(rig.ctx);

        const std::vector<std::pair<std::uint32_t, char>> order = {
            {4800, 'n'},  {4800, 'e'},  {9600, 'n'},  {9600, 'e'},  {19200, 'n'},  {19200, 'e'},
            {38400, 'n'}, {38400, 'e'}, {57600, 'n'}, {57600, 'e'}, {115200, 'n'}, {115200, 'e'}};
        std::vector<std::string> opened;
        std::vector<std::pair<std::uint32_t, char>> com2, com5;
        for (const auto& open : rig.device.opens) {
            if (!open.opened) {
                opened.push_back("x");
                continue;
            }
            (open.path == "/dev/ttyS1" ? com2 : com5)
                .push_back({open.settings.baud, open.settings.parity});
        }
        QCOMPARE(com2, order);
        QCOMPARE(com5, order);
        QCOMPARE(opened.size(), std::size_t(14)); // the other 14 ports, one attempt each
        QCOMPARE(rig.device.opens[0].path, std::string("/dev/ttyS0"));
        QVERIFY(!rig.device.opens[0].opened);
        QCOMPARE(CountOf(rig.commands(), "A00B"), 48);
        QCOMPARE(rig.device.closeCount, 24);
    }

    void readerFoundOnCom12IsRememberedAndShown() {
        Rig rig;
        rig.values.ReaderFound = false;
        rig.values.ScanPort = 0;
        rig.ui.chkLock->setChecked(false);
        rig.device.openable = {"/dev/ttyS0", "/dev/ttyUSB7"};
        // The serial number is shown as it comes, never as markup.
        PlaceReader(rig, {"/dev/ttyUSB7", 57600, 'n'}, IdentityReply("23", "QX7<b>01"), kVersion);

        ops::btnScanClick(rig.ctx);

        QCOMPARE(rig.values.ScanPort, 12);
        QCOMPARE(rig.values.ScanSettings, QString("57600,n,8,1"));
        QCOMPARE(rig.values.ScanSettingsIndex, 8);
        auto store = Store();
        QCOMPARE(store.value("ScanCommNo").toInt(), 12);
        QCOMPARE(store.value("ScanBaudRate").toString(), QString("57600,n,8,1"));
        QCOMPARE(store.value("ScanBaudRateNo").toInt(), 8);
        QCOMPARE(rig.ui.cmbBaudRate->currentIndex(), 8);
        QCOMPARE(rig.ui.pnSerial->text(), QString("S/N : QX7<b>01"));
        QCOMPARE(rig.ui.pnSerial->textFormat(), Qt::PlainText);
        QCOMPARE(rig.ui.pnID->text(), QString("23"));
        QCOMPARE(rig.ui.sbID->value(), 23);
        QCOMPARE(rig.ui.pnVersion->text(), QString("VER : 1.02-AB"));
        QCOMPARE(rig.ui.pnMsg->text(), QString("Get Reader Info Ok. (COM : #12)"));
        QVERIFY(rig.values.ReaderFound);
        QCOMPARE(rig.ui.shComm->color(), kYellow);
        QCOMPARE(rig.beeper.beeps.size(), std::size_t(1));
        QCOMPARE(rig.beeper.beeps[0].frequencyHz, 1000);
        QVERIFY(rig.window.isEnabled());
        QVERIFY(!rig.ui.tmrBusy->isActive());
        QVERIFY(!rig.device.isOpen());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        // COM1 with all twelve settings, then COM12 up to 57600,n.
        QCOMPARE(CountOf(rig.commands(), "A00B"), 24 + 17);
        QCOMPARE(CountOf(rig.commands(), "A00V"), 1);
    }

    void identityWithoutVersionLeavesTheReaderUnfoundButStored() {
        Rig rig;
        rig.values.ReaderFound = false;
        rig.values.ScanPort = 0;
        rig.values.ScanSettingsIndex = 5;
        rig.device.openable = {"/dev/ttyS3"};
        PlaceReader(rig, {"/dev/ttyS3", 19200, 'e'}, IdentityReply(), std::string());

        ops::btnScanClick(rig.ctx);

        QCOMPARE(Store().value("ScanCommNo").toInt(), 4);
        QCOMPARE(CountOf(rig.commands(), "A00V"), 3);
        QVERIFY(!rig.values.ReaderFound);
        QCOMPARE(rig.ui.pnMsg->text(), QString("Get Reader Info Error. (COM : #4)"));
        QCOMPARE(rig.ui.shComm->color(), kRed);
        QCOMPARE(rig.beeper.beeps.size(), std::size_t(1));
        QCOMPARE(rig.beeper.beeps[0].frequencyHz, 300);
        QVERIFY(rig.window.isEnabled());
        QVERIFY(!rig.ui.tmrBusy->isActive());
        QCOMPARE(rig.device.closeCount, 2);
    }

    void versionReplyOfEightBytesLeavesTheVersionEmpty() {
        Rig rig;
        rig.values.ScanPort = 3;
        rig.replies["A00V"] = ReplyFrame("V000"); // 8 bytes
        ops::btnScanClick(rig.ctx);
        QCOMPARE(rig.ui.pnVersion->text(), QString("VER : "));
        QVERIFY(rig.values.ReaderFound);
        QCOMPARE(rig.ui.pnMsg->text(), QString("Get Reader Info Ok. (COM : #3)"));
    }

    void identityReplyTheReaderCannotHaveSentIsNeverFound_data() {
        QTest::addColumn<QByteArray>("identity");
        QTest::newRow("15 bytes") << QByteArray::fromStdString(ReplyFrame("B07BSN01234"));
        QTest::newRow("17 bytes") << QByteArray::fromStdString(ReplyFrame("B07BSN0123456"));
        QTest::newRow("ID not digits") << QByteArray::fromStdString(IdentityReply("0A"));
        QTest::newRow("ID with a blank") << QByteArray::fromStdString(IdentityReply(" 7"));
    }
    void identityReplyTheReaderCannotHaveSentIsNeverFound() {
        QFETCH(QByteArray, identity);
        Rig rig;
        rig.values.ScanPort = 3;
        rig.replies["A00B"] = identity.toStdString();
        rig.replies["A00V"] = kVersion;
        ops::btnScanClick(rig.ctx);
        QCOMPARE(rig.ui.pnMsg->text(), QString("Reader Not Find"));
        QVERIFY(!rig.values.ReaderFound);
        QCOMPARE(CountOf(rig.commands(), "A00V"), 0);
        QCOMPARE(CountOf(rig.commands(), "A00B"), 3 + 32);
    }

    // The bar clamps "00" to its minimum 1; its handler rewrites pnID only when it moved.
    void readerIdZeroGoesToTheBarsMinimum_data() {
        QTest::addColumn<int>("barBefore");
        QTest::addColumn<QString>("shown");
        QTest::newRow("bar moves") << 5 << "01";
        QTest::newRow("bar already at 1") << 1 << "00";
    }
    void readerIdZeroGoesToTheBarsMinimum() {
        QFETCH(int, barBefore);
        QFETCH(QString, shown);
        Rig rig;
        rig.ui.sbID->setValue(barBefore);
        rig.values.ScanPort = 3;
        rig.replies["A00B"] = IdentityReply("00");
        rig.replies["A00V"] = kVersion;
        ops::btnScanClick(rig.ctx);
        QCOMPARE(rig.ui.sbID->value(), 1);
        QCOMPARE(rig.ui.pnID->text(), shown);
    }
};

QV_WINDOW_TEST_MAIN(TestDiscovery)
#include "tst_discovery.moc"
