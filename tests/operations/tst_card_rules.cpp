// Card rules and operating mode: same-card time, DI5 sense, reader mode, second-channel ID.
#include "rig.h"

#include <QComboBox>
#include <QRadioButton>

using namespace qv;
using namespace qv::test;

class TestCardRules : public QObject {
    Q_OBJECT

private slots:
    void init() { ClearStore(); }

    void sameCardSendsTheMainPanel_data() {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("command");
        QTest::newRow("start value") << 10 << "A00N0010";
        QTest::newRow("zero") << 0 << "A00N0000";
        QTest::newRow("largest") << 9999 << "A00N9999";
    }
    void sameCardSendsTheMainPanel() {
        QFETCH(int, seconds);
        QFETCH(QString, command);
        Rig rig;
        rig.ui.sbSameCard->setValue(seconds);
        QCOMPARE(SentBy(rig, Named("btnSameCardClick")), command.toStdString());
        QCOMPARE(rig.ui.pnMsg->text(), QString("Set Same Card Ok"));
        QCOMPARE(SentBy(rig, Named("btnSameCard2Click")), command.toStdString());
    }

    // The entry/exit bar drives the main one; never the other way round.
    void sameCardBarsAreCoupledOneWay() {
        Rig rig;
        rig.ui.sbSameCard2->setValue(25);
        QCOMPARE(rig.ui.pnSameCard->text(), QString("0025"));
        QCOMPARE(rig.ui.pnSameCard2->text(), QString("0025"));
        QCOMPARE(SentBy(rig, Named("btnSameCardClick")), std::string("A00N0025"));
        QCOMPARE(SentBy(rig, Named("btnSameCard2Click")), std::string("A00N0025"));

        rig.ui.sbSameCard->setValue(30);
        QCOMPARE(rig.ui.pnSameCard2->text(), QString("0025"));
        QCOMPARE(rig.ui.sbSameCard2->value(), 25);
        QCOMPARE(SentBy(rig, Named("btnSameCardClick")), std::string("A00N0030"));
        QCOMPARE(SentBy(rig, Named("btnSameCard2Click")), std::string("A00N0030"));
    }

    void noNcSendsTheSelectedSense() {
        Rig rig;
        QCOMPARE(SentBy(rig, Named("btnNoNcClick")), std::string("A00M1"));
        QCOMPARE(rig.ui.pnMsg->text(), QString("Set DI5 NO/NC Ok"));
        rig.ui.rbNC->setChecked(true);
        QCOMPARE(SentBy(rig, Named("btnNoNcClick")), std::string("A00M0"));
    }

    void modeSendsWidthAndFormat_data() {
        QTest::addColumn<int>("rs485");
        QTest::addColumn<int>("wiegand");
        QTest::addColumn<QString>("command");
        QTest::newRow("start selections") << 1 << 1 << "A00L10";
        QTest::newRow("64 bits, Wiegand off") << 3 << 0 << "A00L3N";
        QTest::newRow("24 bits, Wiegand off") << 0 << 0 << "A00L0N";
        QTest::newRow("40 bits, Wiegand 35") << 2 << 4 << "A00L23";
        QTest::newRow("32 bits, Wiegand 42") << 1 << 3 << "A00L12";
    }
    void modeSendsWidthAndFormat() {
        QFETCH(int, rs485);
        QFETCH(int, wiegand);
        QFETCH(QString, command);
        Rig rig;
        rig.ui.cmbRS485->setCurrentIndex(rs485);
        rig.ui.cmbWiegand->setCurrentIndex(wiegand);
        QCOMPARE(SentBy(rig, Named("btnModeClick")), command.toStdString());
        QCOMPARE(rig.ui.pnMsg->text(), QString("Set Reader Mode Ok"));
    }

    void id2IsSentInHex_data() {
        QTest::addColumn<int>("id2");
        QTest::addColumn<QString>("panel");
        QTest::addColumn<QString>("command");
        QTest::newRow("off") << 0 << "00"
                             << "A00Q00";
        QTest::newRow("ten") << 10 << "10"
                             << "A00Q0A";
        QTest::newRow("largest") << 99 << "99"
                                 << "A00Q63";
    }
    void id2IsSentInHex() {
        QFETCH(int, id2);
        QFETCH(QString, panel);
        QFETCH(QString, command);
        Rig rig;
        rig.ui.sbID2->setValue(50);
        rig.ui.sbID2->setValue(id2);
        QCOMPARE(rig.ui.pnID2->text(), panel);
        QCOMPARE(SentBy(rig, Named("btnSerID2Click")), command.toStdString());
        QCOMPARE(rig.ui.pnMsg->text(), QString("Set ID2 Ok"));
    }

    // Each bar is moved by the read itself, also the main one when the entry/exit bar already
    // holds the value read (its own change would not reach the main bar then).
    void sameCardReadMovesBothBars_data() {
        QTest::addColumn<int>("which");
        QTest::addColumn<bool>("apart"); // the main bar moved away from the entry/exit one
        QTest::newRow("main Get") << 1 << false;
        QTest::newRow("entry/exit Get") << 2 << false;
        QTest::newRow("main Get, main bar apart") << 1 << true;
        QTest::newRow("entry/exit Get, main bar apart") << 2 << true;
    }
    void sameCardReadMovesBothBars() {
        QFETCH(int, which);
        QFETCH(bool, apart);
        Rig rig;
        if (apart) {
            rig.ui.sbSameCard2->setValue(120);
            rig.ui.sbSameCard->setValue(30);
        }
        rig.replies["A00N"] = DataReply("A00N", "0120");
        (which == 1 ? Named("btnGetSameCardClick") : Named("btnGetSameCard2Click"))(rig.ctx);
        QCOMPARE(rig.ui.sbSameCard->value(), 120);
        QCOMPARE(rig.ui.sbSameCard2->value(), 120);
        QCOMPARE(rig.ui.pnSameCard->text(), QString("0120"));
        QCOMPARE(rig.ui.pnSameCard2->text(), QString("0120"));
        QCOMPARE(rig.ui.pnMsg->text(), QString("Get Same Card Ok"));
    }

    void modeReadSelectsTheEntries_data() {
        QTest::addColumn<QString>("data");
        QTest::addColumn<QString>("rs485");
        QTest::addColumn<QString>("wiegand");
        QTest::newRow("3N") << "3N"
                            << "RS485 64 bits"
                            << "Wiegand Off";
        QTest::newRow("03") << "03"
                            << "RS485 24 bits"
                            << "Wiegand 35 bits";
        QTest::newRow("21") << "21"
                            << "RS485 40 bits"
                            << "Wiegand 34 bits";
    }
    void modeReadSelectsTheEntries() {
        QFETCH(QString, data);
        QFETCH(QString, rs485);
        QFETCH(QString, wiegand);
        Rig rig;
        rig.replies["A00L"] = DataReply("A00L", data.toStdString());
        Named("btnGetModeClick")(rig.ctx);
        QCOMPARE(rig.ui.cmbRS485->currentText(), rs485);
        QCOMPARE(rig.ui.cmbWiegand->currentText(), wiegand);
        // The mode read has no texts of its own: it shows the same-card ones.
        QCOMPARE(rig.ui.pnMsg->text(), QString("Get Same Card Ok"));
    }

    void id2ReadIsHexHeldAt99_data() {
        QTest::addColumn<QString>("data");
        QTest::addColumn<int>("id2");
        QTest::addColumn<QString>("panel");
        QTest::newRow("0A") << "0A" << 10 << "10";
        QTest::newRow("FF") << "FF" << 99 << "99";
    }
    void id2ReadIsHexHeldAt99() {
        QFETCH(QString, data);
        QFETCH(int, id2);
        QFETCH(QString, panel);
        Rig rig;
        rig.replies["A00Q"] = DataReply("A00Q", data.toStdString());
        Named("btnGetID2Click")(rig.ctx);
        QCOMPARE(rig.ui.sbID2->value(), id2);
        QCOMPARE(rig.ui.pnID2->text(), panel);
        QCOMPARE(rig.ui.pnMsg->text(), QString("Get ID2 Ok"));
    }

    // Anything but "1" reads as NC and shows as NC; the next write then sends "A00M0".
    void noNcReadSelectsTheSense_data() {
        QTest::addColumn<QString>("data");
        QTest::addColumn<bool>("no");
        QTest::newRow("0 selects NC") << "0" << false;
        QTest::newRow("1 selects NO") << "1" << true;
        QTest::newRow("other selects NC") << "7" << false;
    }
    void noNcReadSelectsTheSense() {
        QFETCH(QString, data);
        QFETCH(bool, no);
        Rig rig;
        rig.ui.rbNO->setChecked(!no);
        rig.ui.rbNC->setChecked(no);
        rig.replies["A00M"] = DataReply("A00M", data.toStdString());
        Named("btnGetNoNcClick")(rig.ctx);
        QCOMPARE(rig.ui.rbNO->isChecked(), no);
        QCOMPARE(rig.ui.rbNC->isChecked(), !no);
        QCOMPARE(rig.ui.pnMsg->text(), QString("Get Same Card Ok"));
        QCOMPARE(SentBy(rig, Named("btnNoNcClick")), std::string(no ? "A00M1" : "A00M0"));
    }

    // A read-back whose fields are missing or not digits is a failed try: three tries, the
    // failure text, and not one control changed.
    void unusableReadBackChangesNothing_data() {
        QTest::addColumn<QString>("handler");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("failure");
        const auto bare = [](const char* head) {
            return QByteArray::fromStdString(ReplyFrame(head));
        };
        QTest::newRow("same card, bare ack") << "sameCard"
                                             << "A00N" << bare("A00N") << "Get Same Card Error";
        QTest::newRow("same card, not digits")
            << "sameCard"
            << "A00N" << QByteArray::fromStdString(DataReply("A00N", "01X0"))
            << "Get Same Card Error";
        QTest::newRow("same card, three digits")
            << "sameCard"
            << "A00N" << QByteArray::fromStdString(DataReply("A00N", "012"))
            << "Get Same Card Error";
        QTest::newRow("DI5, bare ack") << "noNc"
                                       << "A00M" << bare("A00M") << "Get Same Card Error";
        QTest::newRow("mode, width 4")
            << "mode"
            << "A00L" << QByteArray::fromStdString(DataReply("A00L", "4N"))
            << "Get Same Card Error";
        QTest::newRow("mode, format 9")
            << "mode"
            << "A00L" << QByteArray::fromStdString(DataReply("A00L", "09"))
            << "Get Same Card Error";
        QTest::newRow("mode, one character")
            << "mode"
            << "A00L" << QByteArray::fromStdString(DataReply("A00L", "1")) << "Get Same Card Error";
        QTest::newRow("ID2, not hex")
            << "id2"
            << "A00Q" << QByteArray::fromStdString(DataReply("A00Q", "G1")) << "Get ID2 Error";
    }
    void unusableReadBackChangesNothing() {
        QFETCH(QString, handler);
        QFETCH(QString, command);
        QFETCH(QByteArray, reply);
        QFETCH(QString, failure);
        Rig rig;
        rig.ui.rbNC->setChecked(true);
        rig.replies[command.toStdString()] = reply.toStdString();
        const QStringList before = rig.snapshot();
        if (handler == "sameCard")
            Named("btnGetSameCardClick")(rig.ctx);
        else if (handler == "noNc")
            Named("btnGetNoNcClick")(rig.ctx);
        else if (handler == "mode")
            Named("btnGetModeClick")(rig.ctx);
        else
            Named("btnGetID2Click")(rig.ctx);
        const std::string c = command.toStdString();
        QCOMPARE(rig.commands(), (std::vector<std::string>{"A00B", c, "A00B", c, "A00B", c}));
        QCOMPARE(rig.ui.pnMsg->text(), failure);
        QCOMPARE(rig.device.closeCount, 1);
        QCOMPARE(rig.snapshot(), before);
    }

    void identityFailingEveryTryNeverSendsTheCommand() {
        Rig rig;
        rig.replies.erase("A00B");
        Named("btnModeClick")(rig.ctx);
        QCOMPARE(rig.commands(), (std::vector<std::string>{"A00B", "A00B", "A00B"}));
        QCOMPARE(rig.ui.pnMsg->text(), QString("Set Reader Mode Error"));
    }

    // Each operation against a reader that answers "A00B" but never the command; nothing changes.
    void unansweredCommandFailsAfterEveryTry_data() {
        AddUnansweredColumns();
        QTest::newRow("set same card") << "btnSameCardClick"
                                       << "Set Same Card" << 0 << 200 << 3 << true << "A00N0010"
                                       << "Set Same Card Error";
        QTest::newRow("set same card 2") << "btnSameCard2Click"
                                         << "Set Same Card" << 0 << 200 << 3 << true << "A00N0010"
                                         << "Set Same Card Error";
        QTest::newRow("get same card") << "btnGetSameCardClick"
                                       << "Get Same Card" << 0 << 200 << 3 << true << "A00N"
                                       << "Get Same Card Error";
        QTest::newRow("get same card 2") << "btnGetSameCard2Click"
                                         << "Get Same Card" << 0 << 200 << 3 << true << "A00N"
                                         << "Get Same Card Error";
        QTest::newRow("set DI5") << "btnNoNcClick"
                                 << "DI5 NO/NC" << 0 << 200 << 3 << true << "A00M1"
                                 << "Set DI5 NO/NC Error";
        QTest::newRow("get DI5") << "btnGetNoNcClick"
                                 << "Get Same Card" << 0 << 200 << 3 << true << "A00M"
                                 << "Get Same Card Error";
        QTest::newRow("set mode") << "btnModeClick"
                                  << "Set Reader Mode" << 0 << 200 << 3 << true << "A00L10"
                                  << "Set Reader Mode Error";
        QTest::newRow("get mode") << "btnGetModeClick"
                                  << "Get Same Card" << 0 << 200 << 3 << true << "A00L"
                                  << "Get Same Card Error";
        QTest::newRow("set ID2") << "btnSerID2Click"
                                 << "Set ID2" << 0 << 200 << 3 << true << "A00Q00"
                                 << "Set ID2 Error";
        QTest::newRow("get ID2") << "btnGetID2Click"
                                 << "Get ID2" << 0 << 200 << 3 << true << "A00Q"
                                 << "Get ID2 Error";
    }
    void unansweredCommandFailsAfterEveryTry() {
        Rig rig;
        CheckUnansweredRow(rig);
    }

    // Each try builds its command from the controls as they stand then.
    void commandIsBuiltAnewInEveryTry_data() {
        AddRebuiltColumns();
        QTest::newRow("same card") << "btnSameCardClick"
                                   << "A00N0010"
                                   << "A00N0020";
        QTest::newRow("same card 2") << "btnSameCard2Click"
                                     << "A00N0010"
                                     << "A00N0020";
        QTest::newRow("DI5") << "btnNoNcClick"
                             << "A00M1"
                             << "A00M0";
        QTest::newRow("mode") << "btnModeClick"
                              << "A00L10"
                              << "A00L3N";
        QTest::newRow("ID2") << "btnSerID2Click"
                             << "A00Q00"
                             << "A00Q0C";
    }
    void commandIsBuiltAnewInEveryTry() {
        Rig rig;
        CheckRebuiltRow(rig, [&rig] {
            rig.ui.sbSameCard->setValue(20);
            rig.ui.rbNC->setChecked(true);
            rig.ui.cmbRS485->setCurrentIndex(3);
            rig.ui.cmbWiegand->setCurrentIndex(0);
            rig.ui.sbID2->setValue(12);
        });
    }

    // A read of what the controls already hold moves no bar, so no panel is written again.
    void readOfTheValuesShownRewritesNoPanel_data() {
        QTest::addColumn<QString>("handler");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("data");
        QTest::newRow("same card") << "btnGetSameCardClick"
                                   << "A00N"
                                   << "0010";
        QTest::newRow("same card 2") << "btnGetSameCard2Click"
                                     << "A00N"
                                     << "0010";
        QTest::newRow("ID2") << "btnGetID2Click"
                             << "A00Q"
                             << "00";
    }
    void readOfTheValuesShownRewritesNoPanel() {
        QFETCH(QString, handler);
        QFETCH(QString, command);
        QFETCH(QString, data);
        Rig rig;
        for (QLabel* panel : {rig.ui.pnSameCard, rig.ui.pnSameCard2, rig.ui.pnID2})
            panel->setText("marker");
        rig.replies[command.toStdString()] = DataReply(command.toStdString(), data.toStdString());
        Named(handler)(rig.ctx);
        QVERIFY(rig.ui.pnMsg->text().endsWith(" Ok"));
        for (QLabel* panel : {rig.ui.pnSameCard, rig.ui.pnSameCard2, rig.ui.pnID2})
            QCOMPARE(panel->text(), QString("marker"));
    }
};

QV_WINDOW_TEST_MAIN(TestCardRules)
#include "tst_card_rules.moc"
