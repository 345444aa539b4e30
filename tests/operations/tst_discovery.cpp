// Discovery: the quick attempt at the remembered place, the sweep, the version read and what
// the window shows afterwards.
#include "rig.h"

#include "link/protocol/link.h"

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

        Named("btnScanClick")(rig.ctx);

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

        Named("btnScanClick")(rig.ctx);

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
        Named("btnScanClick")(rig.ctx);
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

        Named("btnScanClick")(rig.ctx);

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
        Named("btnScanClick")(rig.ctx);
        QCOMPARE(rig.device.opens.size(), std::size_t(17));
        QCOMPARE(rig.device.opens[0].path, std::string("/dev/ttyS1"));
        QCOMPARE(rig.device.opens[1].path, std::string("/dev/ttyS0"));
        QCOMPARE(rig.device.opens[2].path, std::string("/dev/ttyS1"));
        QCOMPARE(CountOf(rig.commands(), "A00B"), 3 + 32);
    }

    // Pinned, each port is tried with one setting, twice. A stored setting index outside the
    // list is never used as an index: the pinned sweep falls back to "19200,e,8,1".
    void pinnedSweepTriesOneSettingPerPortTwice_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<unsigned>("baud");
        QTest::newRow("9600,e,8,1") << 3 << 9600u;
        QTest::newRow("outside the list: 12") << 12 << 19200u;
        QTest::newRow("outside the list: -1") << -1 << 19200u;
        QTest::newRow("outside the list: 1000") << 1000 << 19200u;
    }
    void pinnedSweepTriesOneSettingPerPortTwice() {
        QFETCH(int, index);
        QFETCH(unsigned, baud);
        Rig rig;
        rig.values.ScanPort = 0;
        rig.values.ScanSettingsIndex = index;
        rig.ui.chkLock->setChecked(true);
        rig.device.responder = nullptr;

        Named("btnScanClick")(rig.ctx);

        QCOMPARE(rig.device.opens.size(), std::size_t(16));
        for (const auto& open : rig.device.opens) {
            QCOMPARE(open.settings.baud, baud);
            QCOMPARE(open.settings.parity, 'e');
        }
        QCOMPARE(CountOf(rig.commands(), "A00B"), 32);
        QCOMPARE(rig.pauses().size(), std::size_t(32));
        QCOMPARE(rig.ui.pnMsg->text(), QString("Reader Not Find"));
    }

    void unpinnedSweepTriesAllTwelveSettingsInOrder() {
        Rig rig;
        rig.values.ScanPort = 0;
        rig.ui.chkLock->setChecked(false);
        rig.device.openable = {"/dev/ttyS1", "/dev/ttyUSB0"}; // COM2 and COM5
        rig.device.responder = nullptr;

        Named("btnScanClick")(rig.ctx);

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

        Named("btnScanClick")(rig.ctx);

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

        Named("btnScanClick")(rig.ctx);

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

    // An identity reply come late into the version read's wait is no version.
    void lateIdentityReplyIsNoVersion() {
        Rig rig;
        rig.values.ReaderFound = false;
        rig.values.ScanPort = 4;
        rig.values.ScanSettingsIndex = 5;
        rig.device.openable = {"/dev/ttyS3"};
        PlaceReader(rig, {"/dev/ttyS3", 19200, 'e'}, IdentityReply(), IdentityReply());

        Named("btnScanClick")(rig.ctx);

        QCOMPARE(CountOf(rig.commands(), "A00V"), 3);
        QVERIFY(!rig.values.ReaderFound);
        QCOMPARE(rig.ui.pnMsg->text(), QString("Get Reader Info Error. (COM : #4)"));
        QCOMPARE(rig.ui.pnVersion->text(), QString("VER : __.__-__"));
    }

    void versionReplyOfEightBytesLeavesTheVersionEmpty() {
        Rig rig;
        rig.values.ScanPort = 3;
        rig.replies["A00V"] = ReplyFrame("V000"); // 8 bytes
        Named("btnScanClick")(rig.ctx);
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
        Named("btnScanClick")(rig.ctx);
        QCOMPARE(rig.ui.pnMsg->text(), QString("Reader Not Find"));
        QVERIFY(!rig.values.ReaderFound);
        QCOMPARE(CountOf(rig.commands(), "A00V"), 0);
        QCOMPARE(CountOf(rig.commands(), "A00B"), 3 + 32);
    }

    // The operator sees which port is being asked and, in the drop-down, with which setting.
    void statusAndListFollowEachPlaceTried_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("scanning");
        QTest::addColumn<QString>("notFound");
        QTest::newRow("English") << 0 << "Scan COM"
                                 << "Reader Not Find";
        QTest::newRow("ChineseGB") << 1 << "扫描串口"
                                   << "读卡机没有连线";
        QTest::newRow("ChineseBIG5") << 2 << "掃描串口"
                                     << "讀卡機沒有連線";
    }
    void statusAndListFollowEachPlaceTried() {
        QFETCH(int, language);
        QFETCH(QString, scanning);
        QFETCH(QString, notFound);
        Rig rig;
        rig.values.LanguageIndex = language;
        rig.values.ScanPort = 3;
        rig.values.ScanSettings = "9600,e,8,1";
        rig.values.ScanSettingsIndex = 3;
        rig.ui.chkLock->setChecked(false);
        rig.device.openable = {"/dev/ttyS2", "/dev/ttyUSB7"}; // COM3 and COM12
        QStringList seen;
        rig.device.responder = [&](const std::string&) {
            seen << rig.ui.pnMsg->text() + " | " + rig.ui.cmbBaudRate->currentText();
            return std::string();
        };

        Named("btnScanClick")(rig.ctx);

        const QStringList settings = {"4800,n,8,1",  "4800,e,8,1",  "9600,n,8,1",   "9600,e,8,1",
                                      "19200,n,8,1", "19200,e,8,1", "38400,n,8,1",  "38400,e,8,1",
                                      "57600,n,8,1", "57600,e,8,1", "115200,n,8,1", "115200,e,8,1"};
        QStringList expected;
        for (int i = 0; i < 3; ++i)
            expected << scanning + " : #3 | 9600,e,8,1";
        for (const QString& port : {QString("3"), QString("12")})
            for (const QString& s : settings)
                expected << scanning + " : #" + port + " | " + s
                         << scanning + " : #" + port + " | " + s;
        QCOMPARE(seen, expected);
        QCOMPARE(rig.ui.pnMsg->text(), notFound);
        QCOMPARE(rig.ui.cmbBaudRate->currentText(), QString("19200,e,8,1"));
    }

    void busyWhileTalkingToTheReader() {
        Rig rig;
        rig.replies["A00V"] = kVersion;
        bool enabledAtOpen = true;
        bool blinkingAtOpen = false;
        bool waitCursorAtOpen = false;
        rig.device.canOpen = [&](const std::string&, const link::LineSettings&) {
            enabledAtOpen = enabledAtOpen && rig.window.isEnabled();
            blinkingAtOpen = rig.ui.tmrBusy->isActive();
            const QCursor* c = QApplication::overrideCursor();
            waitCursorAtOpen = c && c->shape() == Qt::WaitCursor;
            return true;
        };

        Named("btnScanClick")(rig.ctx);

        QCOMPARE(rig.device.opens.size(), std::size_t(2));
        QVERIFY(!enabledAtOpen);
        QVERIFY(blinkingAtOpen);
        QVERIFY(waitCursorAtOpen);
        QVERIFY(rig.window.isEnabled());
        QVERIFY(!rig.ui.tmrBusy->isActive());
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    // Each outcome: busy state off, then the lamp and the text, then the beep.
    void outcomeIsReportedWithItsLampTextAndBeep_data() {
        QTest::addColumn<bool>("identity");
        QTest::addColumn<bool>("version");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QColor>("lamp");
        QTest::addColumn<int>("beepHz");
        QTest::newRow("found") << true << true << "Get Reader Info Ok. (COM : #3)" << kYellow
                               << 1000;
        QTest::newRow("version not read")
            << true << false << "Get Reader Info Error. (COM : #3)" << kRed << 300;
        QTest::newRow("not found") << false << false << "Reader Not Find" << kRed << 300;
    }
    void outcomeIsReportedWithItsLampTextAndBeep() {
        QFETCH(bool, identity);
        QFETCH(bool, version);
        QFETCH(QString, status);
        QFETCH(QColor, lamp);
        QFETCH(int, beepHz);
        Rig rig;
        rig.device.openable = {"/dev/ttyS2"};
        if (!identity)
            rig.replies.erase("A00B");
        if (version)
            rig.replies["A00V"] = kVersion;

        Named("btnScanClick")(rig.ctx);

        QCOMPARE(rig.beeper.beeps.size(), std::size_t(1));
        const Beep& b = rig.beeper.beeps[0];
        QCOMPARE(b.frequencyHz, beepHz);
        QCOMPARE(b.durationMs, 300);
        QCOMPARE(b.lamp, lamp);
        QCOMPARE(b.status, status);
        QVERIFY(b.windowEnabled);
        QCOMPARE(rig.ui.shComm->color(), lamp);
        QCOMPARE(rig.values.ReaderFound, version);
        QVERIFY(!rig.device.isOpen());
        QCOMPARE(rig.device.closeCount,
                 static_cast<int>(std::count_if(rig.device.opens.begin(), rig.device.opens.end(),
                                                [](const auto& o) { return o.opened; })));
    }

    // Reply bytes become characters one to one; nothing is decoded as UTF-8.
    void serialAndVersionBytesAreShownAsTheyCame() {
        Rig rig;
        rig.replies["A00B"] = IdentityReply("07", "S\xB5N\xE9"
                                                  "1234");
        rig.replies["A00V"] = ReplyFrame("V000"
                                         "1.0\xB0-\xFF");
        Named("btnScanClick")(rig.ctx);
        QCOMPARE(rig.ui.pnSerial->text(), QString::fromUtf8("S/N : SµNé1234"));
        QCOMPARE(rig.ui.pnVersion->text(), QString::fromUtf8("VER : 1.0°-ÿ"));
        QVERIFY(rig.values.ReaderFound);
    }

    // A remembered port that does not open costs no tries, shows nothing and is not closed.
    void rememberedPortThatDoesNotOpenGoesStraightToTheSweep() {
        Rig rig;
        rig.values.ScanPort = 3;
        rig.device.openable = {"/dev/ttyS0"};
        rig.replies["A00V"] = kVersion;
        QStringList shownAtIdentity;
        rig.device.responder = [&](const std::string& command) {
            if (command == "A00B")
                shownAtIdentity << rig.ui.pnMsg->text();
            const auto it = rig.replies.find(command);
            return it == rig.replies.end() ? std::string() : it->second;
        };

        Named("btnScanClick")(rig.ctx);

        QCOMPARE(rig.device.opens.size(), std::size_t(3));
        QCOMPARE(rig.device.opens[0].path, std::string("/dev/ttyS2"));
        QVERIFY(!rig.device.opens[0].opened);
        QCOMPARE(rig.device.closeCount, 2);
        QCOMPARE(shownAtIdentity, QStringList{"Scan COM : #1"});
        QCOMPARE(rig.values.ScanPort, 1);
        QCOMPARE(Store().value("ScanCommNo").toInt(), 1);
        QCOMPARE(rig.ui.pnMsg->text(), QString("Get Reader Info Ok. (COM : #1)"));
    }

    // The port is taken away between the identity and the version read.
    void portLostBeforeTheVersionReadIsAnInfoError() {
        Rig rig;
        rig.replies["A00V"] = kVersion;
        int opens = 0;
        rig.device.canOpen = [&](const std::string&, const link::LineSettings&) {
            return ++opens == 1;
        };

        Named("btnScanClick")(rig.ctx);

        QCOMPARE(rig.commands(), (std::vector<std::string>{"A00B"}));
        QCOMPARE(rig.device.closeCount, 1);
        QCOMPARE(rig.ui.pnMsg->text(), QString("Get Reader Info Error. (COM : #3)"));
        QCOMPARE(rig.ui.shComm->color(), kRed);
        QCOMPARE(rig.beeper.beeps.size(), std::size_t(1));
        QCOMPARE(rig.beeper.beeps[0].frequencyHz, 300);
        QVERIFY(!rig.values.ReaderFound);
        // The identity was read: serial and ID are shown, the version keeps its placeholder.
        QCOMPARE(rig.ui.pnSerial->text(), QString("S/N : SN012345"));
        QCOMPARE(rig.ui.pnVersion->text(), QString("VER : __.__-__"));
    }

    // In real time against the simulator on a pseudo-terminal: an unpinned sweep walks COM2's
    // settings until the reader's baud rate answers, then reads the version.
    void findsTheSimulatedReaderInRealTime() {
        SimProgram sim;
        if (!sim.start({"--id", "45", "--serial", "QV7A0042", "--firmware", "03.10-02",
                        "--settings", "2"}))
            QSKIP("quorvane-sim is not built beside the tests");
        RealRig rig(2, sim.terminal);
        rig.ui.chkLock->setChecked(false);

        Named("btnScanClick")(rig.ctx);

        QVERIFY(rig.values.ReaderFound);
        QCOMPARE(rig.ui.pnMsg->text(), QString("Get Reader Info Ok. (COM : #2)"));
        QCOMPARE(rig.ui.pnSerial->text(), QString("S/N : QV7A0042"));
        QCOMPARE(rig.ui.pnVersion->text(), QString("VER : 03.10-02"));
        QCOMPARE(rig.ui.pnID->text(), QString("45"));
        QCOMPARE(rig.ui.sbID->value(), 45);
        // The first entry at the reader's baud rate; a terminal carries no parity.
        QCOMPARE(rig.values.ScanSettings, QString("9600,n,8,1"));
        QCOMPARE(rig.ui.cmbBaudRate->currentIndex(), 2);
        QCOMPARE(Store().value("ScanCommNo").toInt(), 2);
        QCOMPARE(rig.ui.shComm->color(), kYellow);
        QCOMPARE(rig.beeper.beeps.size(), std::size_t(1));
        QCOMPARE(rig.beeper.beeps[0].frequencyHz, 1000);
        QVERIFY(!rig.link.isOpen());
        QVERIFY(rig.window.isEnabled());
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
        Named("btnScanClick")(rig.ctx);
        QCOMPARE(rig.ui.sbID->value(), 1);
        QCOMPARE(rig.ui.pnID->text(), shown);
    }
};

QV_WINDOW_TEST_MAIN(TestDiscovery)
#include "tst_discovery.moc"
