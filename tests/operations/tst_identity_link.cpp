// Identity and link settings: reader ID, line speed, factory default, reset, and the drop-down.
#include "rig.h"

#include "link/protocol/link.h"

#include <QAbstractItemView>

using namespace qv;
using namespace qv::test;

namespace {

// Records the status line at the moment the port opens: the start text.
void RecordStartText(Rig& rig, QString& shown) {
    rig.device.canOpen = [&rig, &shown](const std::string&, const link::LineSettings&) {
        shown = rig.ui.pnMsg->text();
        return true;
    };
}

} // namespace

class TestIdentityLink : public QObject {
    Q_OBJECT

private slots:
    void init() { ClearStore(); }

    void setReaderIdSendsTheBarsId() {
        Rig rig;
        QString start;
        RecordStartText(rig, start);
        rig.replies["A00CSN01234507"] = kAck;
        rig.ui.sbID->setValue(7);
        QCOMPARE(rig.ui.pnID->text(), QString("07"));

        Named("btnIDClick")(rig.ctx);

        QCOMPARE(start, QString("Set Reader ID = 07"));
        QCOMPARE(rig.commands(), (std::vector<std::string>{"A00B", "A00CSN01234507"}));
        QCOMPARE(rig.pauses(), (std::vector<std::uint32_t>{100, 100}));
        QCOMPARE(rig.ui.pnMsg->text(), QString("Set Reader ID Ok"));
    }

    // Right after discovery pnID holds the reader's own two characters; they are what is sent.
    void setReaderIdSendsThePanelsCaption() {
        Rig rig;
        rig.ui.pnID->setText("42");
        rig.replies["A00CSN01234542"] = kAck;
        Named("btnIDClick")(rig.ctx);
        QCOMPARE(rig.commands().back(), std::string("A00CSN01234542"));
        QCOMPARE(rig.ui.pnMsg->text(), QString("Set Reader ID Ok"));
    }

    void setReaderIdUsesTheSerialOfTheSameTry() {
        Rig rig;
        int identities = 0;
        rig.device.responder = [&](const std::string& command) {
            if (command == "A00B")
                return IdentityReply("07", ++identities == 1 ? "FIRST001" : "SECOND02");
            return command == "A00CSECOND0207" ? kAck : std::string();
        };
        rig.ui.sbID->setValue(7);
        Named("btnIDClick")(rig.ctx);
        QCOMPARE(rig.commands(),
                 (std::vector<std::string>{"A00B", "A00CFIRST00107", "A00B", "A00CSECOND0207"}));
        QCOMPARE(rig.ui.pnMsg->text(), QString("Set Reader ID Ok"));
    }

    void setBaudRateSendsTheSelectedCode_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("command");
        QTest::newRow("4800,n") << 0 << "Set Reader BaudRate = 4800,n,8,1"
                                << "A00E0";
        QTest::newRow("9600,e") << 3 << "Set Reader BaudRate = 9600,e,8,1"
                                << "A00E3";
        QTest::newRow("57600,e") << 9 << "Set Reader BaudRate = 57600,e,8,1"
                                 << "A00E9";
        QTest::newRow("115200,n") << 10 << "Set Reader BaudRate = 115200,n,8,1"
                                  << "A00EA";
        QTest::newRow("115200,e") << 11 << "Set Reader BaudRate = 115200,e,8,1"
                                  << "A00EB";
    }
    void setBaudRateSendsTheSelectedCode() {
        QFETCH(int, index);
        QFETCH(QString, start);
        QFETCH(QString, command);
        Rig rig;
        QString shown;
        RecordStartText(rig, shown);
        rig.replies[command.toStdString()] = kAck;
        rig.ui.cmbBaudRate->setCurrentIndex(index);

        Named("btnBaudRateClick")(rig.ctx);

        QCOMPARE(shown, start);
        QCOMPARE(rig.commands(), (std::vector<std::string>{"A00B", command.toStdString()}));
        QCOMPARE(rig.ui.pnMsg->text(), QString("Set Reader BaudRate Ok"));
        QCOMPARE(rig.values.ScanSettingsIndex, index);
        QCOMPARE(rig.values.ScanSettings, start.mid(QString("Set Reader BaudRate = ").size()));
        // Stored as the reader's place, so that the next start finds it there.
        QCOMPARE(Store().value("ScanBaudRate").toString(), rig.values.ScanSettings);
        QCOMPARE(Store().value("ScanBaudRateNo").toInt(), index);
        QCOMPARE(Store().value("ScanCommNo").toInt(), 3);
    }

    // The natural way: pick the new speed in the list, set it, go on. The operation talks at the
    // speed the reader answered at, not at the one just picked; the next start finds the reader
    // at its new speed with the quick attempt alone.
    void changedLineSpeedIsFoundAgainAfterARestart() {
        SimProgram sim;
        if (!sim.start({"--settings", "5"}))
            QSKIP("quorvane-sim is not built beside the tests");
        {
            RealRig rig(4, sim.terminal);
            Named("btnScanClick")(rig.ctx);
            QVERIFY(rig.values.ReaderFound);
            rig.ui.cmbBaudRate->setCurrentIndex(7); // "38400,e,8,1", picked in the list
            Named("cmbBaudRateCloseUp")(rig.ctx);
            Named("btnBaudRateClick")(rig.ctx);
            QCOMPARE(rig.ui.pnMsg->text(), QString("Set Reader BaudRate Ok"));
            Named("btnGetRSSIClick")(rig.ctx);
            QCOMPARE(rig.ui.pnMsg->text(), QString("Get RSSI Ok"));
            QCOMPARE(rig.device.lastError(), link::SerialError::None);
        }
        RealRig restarted(4, sim.terminal);
        QCOMPARE(restarted.values.ScanSettings, QString("38400,e,8,1"));
        Named("btnScanClick")(restarted.ctx);
        QCOMPARE(restarted.ui.pnMsg->text(), QString("Get Reader Info Ok. (COM : #4)"));
        QCOMPARE(restarted.ui.cmbBaudRate->currentIndex(), 7); // not 6: no sweep was needed
    }

    void laterOperationsOpenWithTheNewLineSettings() {
        Rig rig;
        rig.replies["A00E7"] = kAck;
        rig.replies["A00N0010"] = kAck;
        rig.ui.cmbBaudRate->setCurrentIndex(7);
        Named("btnBaudRateClick")(rig.ctx);
        QCOMPARE(rig.device.opens[0].settings.baud, 19200u); // this operation: the old settings
        Named("btnSameCardClick")(rig.ctx);
        QCOMPARE(rig.device.opens.size(), std::size_t(2));
        QCOMPARE(rig.device.opens[1].settings.baud, 38400u);
        QCOMPARE(rig.device.opens[1].settings.parity, 'e');
    }

    void failedBaudRateKeepsTheSettings() {
        Rig rig;
        rig.ui.cmbBaudRate->setCurrentIndex(10);
        Named("btnBaudRateClick")(rig.ctx);
        QCOMPARE(rig.ui.pnMsg->text(), QString("Set Reader BaudRate Error"));
        QCOMPARE(rig.values.ScanSettingsIndex, 5);
        QCOMPARE(rig.values.ScanSettings, QString("19200,e,8,1"));
    }

    void baudRateWithoutASelectionFailsWithoutOpening() {
        Rig rig;
        rig.ui.cmbBaudRate->setCurrentIndex(-1);
        Named("btnBaudRateClick")(rig.ctx);
        QCOMPARE(rig.device.opens.size(), std::size_t(0));
        QCOMPARE(rig.ui.pnMsg->text(), QString("Set Reader BaudRate Error"));
        QCOMPARE(rig.beeper.beeps.size(), std::size_t(1));
        QCOMPARE(rig.beeper.beeps[0].frequencyHz, 300);
        QCOMPARE(rig.values.ScanSettingsIndex, 5);
    }

    void closingTheListTakesItsEntryWithoutSending() {
        Rig rig;
        rig.ui.cmbBaudRate->setCurrentIndex(8);
        Named("cmbBaudRateCloseUp")(rig.ctx);
        QCOMPARE(rig.values.ScanSettings, QString("57600,n,8,1"));
        QCOMPARE(rig.values.ScanSettingsIndex, 8);
        QCOMPARE(rig.device.opens.size(), std::size_t(0));
        QVERIFY(!Store().contains("ScanBaudRate"));
    }

    void closingTheListWithoutASelectionDoesNothing() {
        Rig rig;
        rig.ui.cmbBaudRate->setCurrentIndex(-1);
        Named("cmbBaudRateCloseUp")(rig.ctx);
        QCOMPARE(rig.values.ScanSettings, QString("19200,e,8,1"));
        QCOMPARE(rig.values.ScanSettingsIndex, 5);
    }

    // The operator's ways of closing the open list, on the window's own list. Picking an entry
    // closes the list before the entry is selected; the entry picked is what counts.
    void closingTheOpenListTakesTheEntryLeftSelected_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("settings");
        QTest::newRow("click on entry 8") << "click" << 8 << "57600,n,8,1";
        QTest::newRow("click on the entry already selected") << "click same" << 5 << "19200,e,8,1";
        QTest::newRow("down and Enter") << "enter" << 6 << "38400,n,8,1";
        QTest::newRow("Escape after moving down") << "escape" << 2 << "9600,n,8,1";
        QTest::newRow("click outside the list") << "outside" << 5 << "19200,e,8,1";
    }
    void closingTheOpenListTakesTheEntryLeftSelected() {
        QFETCH(QString, how);
        QFETCH(int, index);
        QFETCH(QString, settings);
        Rig rig;
        rig.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
        auto* list = qobject_cast<CloseUpComboBox*>(rig.ui.cmbBaudRate);
        QVERIFY(list);
        QSignalSpy closeUps(list, &CloseUpComboBox::closedUp);
        // The stored place: entry 5 in use. Escape is tried with entry 2 selected beforehand.
        list->setCurrentIndex(how == "escape" ? 2 : 5);
        list->showPopup();
        QAbstractItemView* view = list->view();
        QTRY_VERIFY(view->isVisible());
        if (how.startsWith("click")) {
            const QRect entry = view->visualRect(list->model()->index(index, 0));
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, entry.center());
        } else if (how == "outside") {
            // The open list takes the mouse; a press beside it closes it.
            QWidget* popup = view->window();
            QTest::mouseClick(popup, Qt::LeftButton, {}, QPoint(popup->width() + 20, 5));
        } else {
            QTest::keyClick(view, Qt::Key_Down);
            QTest::keyClick(view, how == "enter" ? Qt::Key_Return : Qt::Key_Escape);
        }
        QTRY_VERIFY(!view->isVisible());
        QCoreApplication::processEvents();
        QCOMPARE(closeUps.count(), 1);
        QCOMPARE(list->currentIndex(), index);
        QCOMPARE(rig.values.ScanSettingsIndex, index);
        QCOMPARE(rig.values.ScanSettings, settings);
        QCOMPARE(rig.device.opens.size(), std::size_t(0));
        QVERIFY(!Store().contains("ScanBaudRate"));
    }

    // Arrow keys on the closed list change the entry but are no close-up.
    void selectionWithoutOpeningTheListKeepsTheSettings() {
        Rig rig;
        rig.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
        rig.ui.cmbBaudRate->setFocus();
        QTest::keyClick(rig.ui.cmbBaudRate, Qt::Key_Down);
        QCoreApplication::processEvents();
        QCOMPARE(rig.ui.cmbBaudRate->currentIndex(), 6);
        QCOMPARE(rig.values.ScanSettingsIndex, 5);
        QCOMPARE(rig.values.ScanSettings, QString("19200,e,8,1"));
    }

    // The reader restarts on "A00X5A" and may never answer it; the identity step decides.
    void factoryDefaultSucceedsWithoutAnAnswerToTheCommand() {
        Rig rig;
        rig.values.ScanSettings = "57600,n,8,1";
        rig.values.ScanSettingsIndex = 8;
        rig.ui.cmbBaudRate->setCurrentIndex(8);
        rig.ui.sbAddr->setValue(200);
        rig.ui.sbFreq->setValue(7);
        rig.ui.sbChannel->setValue(9);
        rig.ui.sbSameCard->setValue(33);
        rig.ui.sbSameCard2->setValue(44);
        rig.ui.sbID->setValue(12);

        Named("btnFactoryClick")(rig.ctx);

        QCOMPARE(rig.commands(), (std::vector<std::string>{"A00B", "A00X5A"}));
        QCOMPARE(rig.pauses(), (std::vector<std::uint32_t>{200, 500}));
        // 500 ms between the identity reply and the command, plus sending (9 ms) and the reply.
        const auto gap = rig.device.sent[1].atUs - rig.device.sent[0].atUs;
        QVERIFY2(gap >= 509000 && gap < 515000, qPrintable(QString::number(gap)));
        QCOMPARE(rig.ui.pnMsg->text(), QString("Set Default Ok"));
        QCOMPARE(rig.ui.shComm->color(), kYellow);
        QCOMPARE(rig.beeper.beeps[0].frequencyHz, 1000);

        QCOMPARE(rig.ui.pnAddr->text(), QString("049"));
        QCOMPARE(rig.ui.pnFreq->text(), QString("059"));
        QCOMPARE(rig.ui.pnChannel->text(), QString("000"));
        QCOMPARE(rig.ui.pnSameCard->text(), QString("0010"));
        QCOMPARE(rig.ui.sbSameCard2->value(), 44);
        QCOMPARE(rig.ui.pnID->text(), QString("01"));
        QCOMPARE(rig.ui.cmbBaudRate->currentText(), QString("19200,e,8,1"));
        QCOMPARE(rig.device.opens[0].settings.baud, 57600u); // asked where the reader was
    }

    // After a factory default the reader answers at 19200,e,8,1: the settings in use, the
    // reader's place and the stored place go there with it, as after Set Reader Baud Rate.
    void factoryDefaultMovesTheProgramToTheDefaultSettings() {
        Rig rig;
        rig.values.ScanSettings = rig.values.ReaderSettings = "57600,n,8,1";
        rig.values.ScanSettingsIndex = 8;
        rig.ui.cmbBaudRate->setCurrentIndex(8);
        Named("btnFactoryClick")(rig.ctx);
        QCOMPARE(rig.ui.pnMsg->text(), QString("Set Default Ok"));
        QCOMPARE(rig.values.ScanSettings, QString("19200,e,8,1"));
        QCOMPARE(rig.values.ScanSettingsIndex, 5);
        QCOMPARE(rig.values.ReaderSettings, QString("19200,e,8,1"));
        QCOMPARE(Store().value("ScanBaudRate").toString(), QString("19200,e,8,1"));
        QCOMPARE(Store().value("ScanBaudRateNo").toInt(), 5);

        rig.replies["A00E7"] = kAck;
        rig.ui.cmbBaudRate->setCurrentIndex(7);
        Named("btnBaudRateClick")(rig.ctx); // opens where the reader now is
        Named("btnResetClick")(rig.ctx);
        QCOMPARE(rig.device.opens.size(), std::size_t(3));
        QCOMPARE(rig.device.opens[1].settings.baud, 19200u);
        QCOMPARE(rig.device.opens[1].settings.parity, 'e');
        QCOMPARE(rig.device.opens[2].settings.baud, 38400u);
    }

    // Two speed changes in a row: the second talks at the speed the first set.
    void secondBaudRateChangeOpensAtTheFirstsSpeed() {
        Rig rig;
        rig.replies["A00E7"] = kAck;
        rig.replies["A00E2"] = kAck;
        rig.ui.cmbBaudRate->setCurrentIndex(7);
        Named("btnBaudRateClick")(rig.ctx);
        rig.ui.cmbBaudRate->setCurrentIndex(2);
        Named("btnBaudRateClick")(rig.ctx);
        QCOMPARE(rig.device.opens.size(), std::size_t(2));
        QCOMPARE(rig.device.opens[1].settings.baud, 38400u);
        QCOMPARE(rig.values.ScanSettings, QString("9600,n,8,1"));
    }

    void factoryDefaultFailsWithoutIdentityButKeepsTheReset() {
        Rig rig;
        rig.replies.clear();
        rig.ui.sbAddr->setValue(200);
        Named("btnFactoryClick")(rig.ctx);
        QCOMPARE(rig.commands(), (std::vector<std::string>{"A00B", "A00B"}));
        QCOMPARE(rig.pauses(), (std::vector<std::uint32_t>{200, 200}));
        QCOMPARE(rig.ui.pnMsg->text(), QString("Set Default Error"));
        QCOMPARE(rig.ui.sbAddr->value(), 49);
        // A reader that did not take it still answers where it did.
        QCOMPARE(rig.values.ScanSettings, QString("19200,e,8,1"));
        QVERIFY(!Store().contains("ScanBaudRate"));
    }

    void factoryDefaultBeforeDiscoveryChangesNothing() {
        Rig rig;
        rig.values.ReaderFound = false;
        rig.ui.sbAddr->setValue(200);
        rig.ui.cmbBaudRate->setCurrentIndex(2);
        Named("btnFactoryClick")(rig.ctx);
        QCOMPARE(rig.ui.sbAddr->value(), 200);
        QCOMPARE(rig.ui.cmbBaudRate->currentIndex(), 2);
        QCOMPARE(rig.ui.pnMsg->text(), QString("Start Scan Reader!"));
    }

    void readerResetIsSentOnceWithoutIdentity_data() {
        QTest::addColumn<bool>("answers");
        QTest::addColumn<QString>("status");
        QTest::newRow("answered") << true << "Reader Reset Ok";
        QTest::newRow("silent") << false << "Reader Reset Error";
    }
    void readerResetIsSentOnceWithoutIdentity() {
        QFETCH(bool, answers);
        QFETCH(QString, status);
        Rig rig;
        if (answers)
            rig.replies["A00HR"] = kAck;
        Named("btnResetClick")(rig.ctx);
        QCOMPARE(rig.commands(), (std::vector<std::string>{"A00HR"}));
        QCOMPARE(rig.pauses(), (std::vector<std::uint32_t>{200}));
        QCOMPARE(rig.ui.pnMsg->text(), status);
        // A silent reader costs one try: 200 ms, 9 ms of sending, the 121 ms wait.
        if (!answers)
            QVERIFY2(rig.time.ms() >= 330 && rig.time.ms() <= 332,
                     qPrintable(QString::number(rig.time.ms())));
    }

    // Each operation against a reader that answers "A00B" but never the command; nothing changes.
    void unansweredCommandFailsAfterEveryTry_data() {
        AddUnansweredColumns();
        QTest::newRow("set reader id")
            << "btnIDClick"
            << "Set Reader ID = 07" << 0 << 100 << 3 << true << "A00CSN01234507"
            << "Set Reader ID Error";
        QTest::newRow("set baud rate")
            << "btnBaudRateClick"
            << "Set Reader BaudRate = 19200,e,8,1" << 0 << 200 << 3 << true << "A00E5"
            << "Set Reader BaudRate Error";
        QTest::newRow("reader reset") << "btnResetClick"
                                      << "Reader Reset" << 0 << 200 << 1 << false << "A00HR"
                                      << "Reader Reset Error";
    }
    void unansweredCommandFailsAfterEveryTry() {
        Rig rig;
        rig.ui.sbID->setValue(7);
        CheckUnansweredRow(rig);
    }

    void setReaderIdTakesThePanelAsItStandsInEachTry() {
        Rig rig;
        rig.ui.sbID->setValue(7);
        rig.replies["A00CSN01234523"] = kAck;
        BeforeSecondTry(rig, [&rig] { rig.ui.sbID->setValue(23); });
        Named("btnIDClick")(rig.ctx);
        QCOMPARE(rig.commands(),
                 (std::vector<std::string>{"A00B", "A00CSN01234507", "A00B", "A00CSN01234523"}));
        QCOMPARE(rig.ui.pnMsg->text(), QString("Set Reader ID Ok"));
    }
};

QV_WINDOW_TEST_MAIN(TestIdentityLink)
#include "tst_identity_link.moc"
