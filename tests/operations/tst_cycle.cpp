// The operation cycle as every set/get button runs it, and the busy blink.
#include "rig.h"

#include "link/protocol/link.h"
#include "operations/cycle.h"
#include "operations/handlers.h"

#include <QTimer>

using namespace qv;
using namespace qv::test;

namespace {

// Every handler that runs the cycle, from the window's list.
void AddEveryHandler() {
    QTest::addColumn<QString>("handler");
    int count = 0;
    for (const ops::Handler& row : ops::Handlers()) {
        if (!row.operation)
            continue;
        QTest::newRow(row.name) << QString(row.name);
        ++count;
    }
    QCOMPARE(count, 26); // every set/get button of the window
}

} // namespace

class TestCycle : public QObject {
    Q_OBJECT

private slots:
    void init() { ClearStore(); }

    // Each row names a control of the window of the kind its event needs, so that the window
    // really connects it.
    void everyRowNamesAControlOfTheWindow() {
        Rig rig;
        QCOMPARE(int(ops::Handlers().size()), 44); // 28 buttons, 13 scroll bars, a list, 2 timers
        for (const ops::Handler& row : ops::Handlers()) {
            QObject* control = rig.window.findChild<QObject*>(row.control);
            QVERIFY2(control, row.control);
            const char* kind = row.event == ops::Event::Click     ? "QAbstractButton"
                               : row.event == ops::Event::Change  ? "QScrollBar"
                               : row.event == ops::Event::CloseUp ? "QComboBox"
                                                                  : "QTimer";
            QVERIFY2(control->inherits(kind), row.name);
        }
    }

    void refusesBeforeDiscovery_data() { AddEveryHandler(); }
    void refusesBeforeDiscovery() {
        QFETCH(QString, handler);
        Rig rig;
        rig.values.ReaderFound = false;
        const QStringList before = rig.snapshot();

        Named(handler)(rig.ctx);

        QCOMPARE(rig.device.opens.size(), std::size_t(0));
        QCOMPARE(rig.device.sent.size(), std::size_t(0));
        QCOMPARE(rig.ui.pnMsg->text(), QString("Start Scan Reader!"));
        QCOMPARE(rig.ui.shComm->color(), kRed);
        QCOMPARE(rig.beeper.beeps.size(), std::size_t(1));
        QCOMPARE(rig.beeper.beeps[0].frequencyHz, 300);
        QCOMPARE(rig.beeper.beeps[0].durationMs, 300);
        QVERIFY(!rig.beeper.beeps[0].windowEnabled);
        QVERIFY(rig.window.isEnabled());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QCOMPARE(rig.snapshot(), before);
    }

    void portThatCannotOpenFailsAtOnce_data() {
        QTest::addColumn<QString>("handler");
        QTest::addColumn<QString>("failure");
        QTest::newRow("set reader id") << "btnIDClick"
                                       << "Set Reader ID Error";
        QTest::newRow("get relays") << "btnGetRLClick"
                                    << "Get Relay Mode Error";
        QTest::newRow("beep on") << "btnBeepOnClick"
                                 << "Set Beep ON Error";
        QTest::newRow("factory default") << "btnFactoryClick"
                                         << "Set Default Error";
    }
    void portThatCannotOpenFailsAtOnce() {
        QFETCH(QString, handler);
        QFETCH(QString, failure);
        Rig rig;
        rig.device.canOpen = [](const std::string&, const link::LineSettings&) { return false; };

        Named(handler)(rig.ctx);

        QCOMPARE(rig.device.opens.size(), std::size_t(1));
        QCOMPARE(rig.device.closeCount, 0);
        QCOMPARE(rig.device.sent.size(), std::size_t(0));
        QCOMPARE(rig.time.us(), std::uint64_t(0)); // no pause, no try
        QCOMPARE(rig.ui.pnMsg->text(), failure);
        QCOMPARE(rig.ui.shComm->color(), kRed);
        QCOMPARE(rig.beeper.beeps.size(), std::size_t(1));
        QCOMPARE(rig.beeper.beeps[0].frequencyHz, 300);
        QVERIFY(rig.window.isEnabled());
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void opensWithThePlaceInUse() {
        Rig rig;
        rig.values.ScanPort = 12;
        rig.values.ScanSettings = "57600,n,8,1";
        rig.replies["A00N0010"] = DataReply("A00N", "");
        Named("btnSameCardClick")(rig.ctx);
        QCOMPARE(rig.device.opens.size(), std::size_t(1));
        QCOMPARE(rig.device.opens[0].path, std::string("/dev/ttyUSB7"));
        QCOMPARE(rig.device.opens[0].settings.baud, 57600u);
        QCOMPARE(rig.device.opens[0].settings.parity, 'n');
    }

    // The reader answers "A00B" but never the command: three whole tries, then the failure.
    void readerThatNeverAnswersTheCommand_data() {
        QTest::addColumn<QString>("handler");
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("pause");
        QTest::addColumn<QString>("failure");
        QTest::newRow("set reader id") << "btnIDClick"
                                       << "A00CSN01234501" << 100 << "Set Reader ID Error";
        QTest::newRow("set same card") << "btnSameCardClick"
                                       << "A00N0010" << 200 << "Set Same Card Error";
        QTest::newRow("get relays") << "btnGetRLClick"
                                    << "A00R" << 200 << "Get Relay Mode Error";
        QTest::newRow("set address") << "btnAddrClick"
                                     << "A00W060131" << 100 << "Set Address Error";
    }
    void readerThatNeverAnswersTheCommand() {
        QFETCH(QString, handler);
        QFETCH(QString, command);
        QFETCH(int, pause);
        QFETCH(QString, failure);
        Rig rig;
        rig.ui.sbID->setValue(1);
        rig.ui.pnID->setText("01");

        Named(handler)(rig.ctx);

        const std::string c = command.toStdString();
        QCOMPARE(rig.commands(), (std::vector<std::string>{"A00B", c, "A00B", c, "A00B", c}));
        const auto d = static_cast<std::uint32_t>(pause);
        QCOMPARE(rig.pauses(), (std::vector<std::uint32_t>{d, d, d, d, d, d}));
        QCOMPARE(rig.device.opens.size(), std::size_t(1));
        QCOMPARE(rig.device.closeCount, 1);
        QCOMPARE(rig.ui.pnMsg->text(), failure);
        QCOMPARE(rig.ui.shComm->color(), kRed);
        QCOMPARE(rig.beeper.beeps.size(), std::size_t(1));
        QCOMPARE(rig.beeper.beeps[0].frequencyHz, 300);
    }

    // Every handler against a reader that answers "A00B" and nothing else: the frames in order
    // (B identity, C the handler's command), the pauses before them, and how often the window
    // may paint the start text before the port opens.
    void everyHandlerRunsWithItsPausesAndTries_data() {
        QTest::addColumn<QString>("handler");
        QTest::addColumn<QString>("frames");
        QTest::addColumn<QList<int>>("pauses");
        QTest::addColumn<int>("pumpsBeforeOpen");
        const QList<int> d100 = {100, 100, 100, 100, 100, 100};
        const QList<int> d200 = {200, 200, 200, 200, 200, 200};
        auto row = [](const char* name, const char* frames, const QList<int>& pauses, int pumps) {
            QTest::newRow(name) << QString(name) << QString(frames) << pauses << pumps;
        };
        row("btnIDClick", "BCBCBC", d100, 0);
        row("btnBaudRateClick", "BCBCBC", d200, 0);
        // Counted as done once the identity step passed and the command went out.
        row("btnFactoryClick", "BC", {200, 500}, 0);
        row("btnResetClick", "C", {200}, 0);
        row("btnSameCardClick", "BCBCBC", d200, 0);
        row("btnNoNcClick", "BCBCBC", d200, 0);
        row("btnModeClick", "BCBCBC", d200, 0);
        row("btnSameCard2Click", "BCBCBC", d200, 0);
        row("btnGetSameCard2Click", "BCBCBC", d200, 0);
        row("btnSerID2Click", "BCBCBC", d200, 0);
        row("btnGetID2Click", "BCBCBC", d200, 0);
        row("btnGetSameCardClick", "BCBCBC", d200, 0);
        row("btnGetModeClick", "BCBCBC", d200, 0);
        row("btnGetNoNcClick", "BCBCBC", d200, 0);
        row("btnAddrClick", "BCBCBC", d100, 0);
        row("btnFreqClick", "BCBCBC", d100, 0);
        row("btnChannelClick", "BCBCBC", d100, 0);
        row("btnGainClick", "BCBCBC", d200, 0);
        row("btnSetRSSIClick", "BCBCBC", d200, 1);
        row("btnGetRSSIClick", "BCBCBC", d200, 1);
        row("btnBeepOnClick", "CCC", {200, 200, 200}, 1);
        row("btnBeepOffClick", "CCC", {200, 200, 200}, 1);
        row("btnSetExciterIDClick", "BCBCBC", d200, 0);
        row("btnGetExciterIDClick", "BCBCBC", d200, 1);
        row("btnSetRLClick", "BCBCBC", d200, 0);
        row("btnGetRLClick", "BCBCBC", d200, 0);
    }
    void everyHandlerRunsWithItsPausesAndTries() {
        QFETCH(QString, handler);
        QFETCH(QString, frames);
        QFETCH(QList<int>, pauses);
        QFETCH(int, pumpsBeforeOpen);
        Rig rig;
        rig.ui.sbID->setValue(1);
        rig.ui.pnID->setText("01");
        int pumps = 0;
        rig.link.setEventPump([&] {
            if (rig.device.opens.empty())
                ++pumps;
        });

        Named(handler)(rig.ctx);

        QString seen;
        std::string command;
        for (const auto& c : rig.commands()) {
            seen += c == "A00B" ? 'B' : 'C';
            if (c != "A00B") {
                QVERIFY2(command.empty() || command == c, c.c_str()); // the same command each try
                command = c;
            }
        }
        QCOMPARE(seen, frames);
        QList<int> paused;
        for (auto ms : rig.pauses())
            paused << static_cast<int>(ms);
        QCOMPARE(paused, pauses);
        QCOMPARE(pumps, pumpsBeforeOpen);
        QCOMPARE(rig.device.opens.size(), std::size_t(1));
        QCOMPARE(rig.device.closeCount, 1);
        QCOMPARE(rig.beeper.beeps.size(), std::size_t(1));
    }

    // Only an identity reply of exactly 16 bytes, all of them text, lets the command follow.
    void identityReplyThatIsNotSixteenBytesFailsTheTry_data() {
        QTest::addColumn<QByteArray>("identity");
        QTest::newRow("17 bytes") << QByteArray::fromStdString(ReplyFrame("B07BSN0123456"));
        QTest::newRow("15 bytes") << QByteArray::fromStdString(ReplyFrame("B07BSN01234"));
        QTest::newRow("zero byte in serial")
            << QByteArray::fromStdString(ReplyFrame(std::string("B07BSN0\0"
                                                                "2345",
                                                                12)));
        QTest::newRow("bad checksum") << QByteArray("\nB07BSN01234500\r");
    }
    void identityReplyThatIsNotSixteenBytesFailsTheTry() {
        QFETCH(QByteArray, identity);
        Rig rig;
        rig.replies["A00B"] = identity.toStdString();
        rig.replies["A00N0010"] = DataReply("A00N", "");

        Named("btnSameCardClick")(rig.ctx);

        QCOMPARE(rig.commands(), (std::vector<std::string>{"A00B", "A00B", "A00B"}));
        QCOMPARE(rig.ui.pnMsg->text(), QString("Set Same Card Error"));
        QCOMPARE(rig.device.closeCount, 1);
    }

    // The cycle asks only that a whole 16-byte reply came back; what stands where the reader's
    // ID should be is discovery's concern, not a reason to fail a setting.
    void identityStepDoesNotJudgeTheIdText_data() {
        QTest::addColumn<QByteArray>("id");
        QTest::newRow("letters") << QByteArray("AB");
        QTest::newRow("blank and digit") << QByteArray(" 7");
        QTest::newRow("bytes above 127") << QByteArray("\xB5\xE9");
    }
    void identityStepDoesNotJudgeTheIdText() {
        QFETCH(QByteArray, id);
        Rig rig;
        rig.replies["A00B"] = IdentityReply(id.toStdString());
        rig.replies["A00N0010"] = DataReply("A00N", "");

        Named("btnSameCardClick")(rig.ctx);

        QCOMPARE(rig.commands(), (std::vector<std::string>{"A00B", "A00N0010"}));
        QCOMPARE(rig.ui.pnMsg->text(), QString("Set Same Card Ok"));
        QCOMPARE(rig.ui.shComm->color(), kYellow);
    }

    // A reply that carries another command's letter (an identity reply come late into the read's
    // wait) is no answer: before, "1234" of the serial number became the same-card time, "Ok".
    void lateReplyToAnotherCommandIsNoAnswer() {
        Rig rig;
        rig.replies["A00B"] = IdentityReply("07", "12345678");
        rig.replies["A00N"] = IdentityReply("07", "12345678");
        const QStringList before = rig.snapshot();

        Named("btnGetSameCardClick")(rig.ctx);

        QCOMPARE(rig.commands(), Tries("A00N", 3, true));
        QCOMPARE(rig.ui.pnMsg->text(), QString("Get Same Card Error"));
        QCOMPARE(rig.ui.shComm->color(), kRed);
        QCOMPARE(rig.snapshot(), before);
    }

    void successIsReportedLampTextBeepThenWindow() {
        Rig rig;
        rig.replies["A00O6E"] = DataReply("A00O", "");
        Named("btnSetRSSIClick")(rig.ctx);

        QCOMPARE(rig.commands(), (std::vector<std::string>{"A00B", "A00O6E"}));
        QCOMPARE(rig.pauses(), (std::vector<std::uint32_t>{200, 200}));
        QCOMPARE(rig.beeper.beeps.size(), std::size_t(1));
        const Beep& b = rig.beeper.beeps[0];
        QCOMPARE(b.frequencyHz, 1000);
        QCOMPARE(b.durationMs, 300);
        QCOMPARE(b.lamp, kYellow);
        QCOMPARE(b.status, QString("Set RSSI Ok"));
        QVERIFY(!b.windowEnabled);
        QVERIFY(rig.window.isEnabled());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QCOMPARE(rig.device.closeCount, 1);
        QVERIFY(!rig.device.isOpen());
    }

    void windowIsDisabledAndCursorBusyDuringTheExchange() {
        Rig rig;
        bool enabledDuringOpen = true;
        bool waitCursorDuringOpen = false;
        rig.device.canOpen = [&](const std::string&, const link::LineSettings&) {
            enabledDuringOpen = rig.window.isEnabled();
            const QCursor* c = QApplication::overrideCursor();
            waitCursorDuringOpen = c && c->shape() == Qt::WaitCursor;
            return true;
        };
        Named("btnGainClick")(rig.ctx);
        QVERIFY(!enabledDuringOpen);
        QVERIFY(waitCursorDuringOpen);
    }

    // Operations marked for it let the window paint the start text once before the port opens.
    void startTextIsPaintedBeforeThePortOpens_data() {
        QTest::addColumn<QString>("handler");
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("pumpsBeforeOpen");
        QTest::newRow("set rssi") << "btnSetRSSIClick"
                                  << "Set RSSI" << 1;
        QTest::newRow("get rssi") << "btnGetRSSIClick"
                                  << "Get RSSI" << 1;
        QTest::newRow("beep off") << "btnBeepOffClick"
                                  << "Set Beep OFF" << 1;
        QTest::newRow("get exciter id") << "btnGetExciterIDClick"
                                        << "Get Exciter ID" << 1;
        QTest::newRow("set gain") << "btnGainClick"
                                  << "Set Gain" << 0;
        QTest::newRow("set relays") << "btnSetRLClick"
                                    << "Set Relay Mode" << 0;
        QTest::newRow("get mode") << "btnGetModeClick"
                                  << "Get Same Card" << 0;
    }
    void startTextIsPaintedBeforeThePortOpens() {
        QFETCH(QString, handler);
        QFETCH(QString, start);
        QFETCH(int, pumpsBeforeOpen);
        Rig rig;
        int pumps = 0;
        QString shownAtPump;
        rig.link.setEventPump([&] {
            if (!rig.device.opens.empty())
                return;
            ++pumps;
            shownAtPump = rig.ui.pnMsg->text();
        });
        QString shownAtOpen;
        rig.device.canOpen = [&](const std::string&, const link::LineSettings&) {
            shownAtOpen = rig.ui.pnMsg->text();
            return true;
        };
        Named(handler)(rig.ctx);
        QCOMPARE(shownAtOpen, start);
        QCOMPARE(pumps, pumpsBeforeOpen);
        if (pumps)
            QCOMPARE(shownAtPump, start);
    }

    void textsAreInTheLanguageActiveWhenShown() {
        Rig rig;
        rig.values.LanguageIndex = 2;
        rig.replies["A00R010A030A"] = DataReply("A00R", "");
        Named("btnSetRLClick")(rig.ctx);
        QCOMPARE(rig.ui.pnMsg->text(), QString::fromUtf8("設定繼電器模式完成"));
    }

    void refusesWhileATagRunHoldsThePort_data() { AddEveryHandler(); }
    void refusesWhileATagRunHoldsThePort() {
        QFETCH(QString, handler);
        Rig rig;
        QVERIFY(rig.link.CommOpen(3, "19200,e,8,1")); // as a tag run holds it
        rig.ui.pnMsg->setText("0000000000BC614E");
        const QStringList before = rig.snapshot();

        Named(handler)(rig.ctx);

        QCOMPARE(rig.device.sent.size(), std::size_t(0));
        QCOMPARE(rig.device.opens.size(), std::size_t(1));
        QCOMPARE(rig.device.closeCount, 0);
        QVERIFY(rig.link.isOpen());
        QCOMPARE(rig.ui.pnMsg->text(), QString("0000000000BC614E"));
        QCOMPARE(rig.beeper.beeps.size(), std::size_t(0));
        QCOMPARE(rig.snapshot(), before);
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    // While busy the lamp alternates red and yellow; switching off leaves the last tick's colour.
    void busyStateBlinksTheLamp() {
        Rig rig;
        rig.ui.shComm->setColor(kYellow);
        ops::SetBusy(rig.ctx, true);
        QVERIFY(rig.ui.tmrBusy->isActive());
        QCOMPARE(rig.ui.tmrBusy->interval(), 200);
        QVERIFY(!rig.window.isEnabled());

        QList<QColor> seen;
        for (int i = 0; i < 4; ++i) {
            Named("tmrBusyTimer")(rig.ctx);
            seen << rig.ui.shComm->color();
        }
        QCOMPARE(seen, (QList<QColor>{kRed, kYellow, kRed, kYellow}));
        Named("tmrBusyTimer")(rig.ctx);

        ops::SetBusy(rig.ctx, false);
        QVERIFY(!rig.ui.tmrBusy->isActive());
        QVERIFY(rig.window.isEnabled());
        QCOMPARE(rig.ui.shComm->color(), kRed);
        // The phase is kept: the next busy period's first tick paints yellow.
        Named("tmrBusyTimer")(rig.ctx);
        QCOMPARE(rig.ui.shComm->color(), kYellow);
    }

    void busyLampBlinksFromTheTimer() {
        Rig rig;
        ops::SetBusy(rig.ctx, true);
        QTRY_COMPARE_WITH_TIMEOUT(rig.ui.shComm->color(), kRed, 1000);
        QTRY_COMPARE_WITH_TIMEOUT(rig.ui.shComm->color(), kYellow, 1000);
        ops::SetBusy(rig.ctx, false);
    }
};

QV_WINDOW_TEST_MAIN(TestCycle)
#include "tst_cycle.moc"
