// Radio and signal settings: RSSI, beeper, gain, exciter identifiers, address, frequency, channel.
#include "rig.h"

#include <QPushButton>

using namespace qv;
using namespace qv::test;

class TestRadioSignal : public QObject {
    Q_OBJECT

private slots:
    void init() { ClearStore(); }

    void rssiIsSentInHex_data() {
        QTest::addColumn<int>("threshold");
        QTest::addColumn<QString>("panel");
        QTest::addColumn<QString>("command");
        QTest::newRow("start value") << 110 << "110"
                                     << "A00O6E";
        QTest::newRow("zero") << 0 << "000"
                              << "A00O00";
        QTest::newRow("largest") << 250 << "250"
                                 << "A00OFA";
    }
    void rssiIsSentInHex() {
        QFETCH(int, threshold);
        QFETCH(QString, panel);
        QFETCH(QString, command);
        Rig rig;
        rig.ui.sbRSSI->setValue(5);
        rig.ui.sbRSSI->setValue(threshold);
        QCOMPARE(rig.ui.pnRSSI->text(), panel);
        QCOMPARE(SentBy(rig, Named("btnSetRSSIClick")), command.toStdString());
        QCOMPARE(rig.ui.pnMsg->text(), QString("Set RSSI Ok"));
    }

    // The gain byte does not grow with the level.
    void gainLevelsSendTheirBytes() {
        Rig rig;
        QStringList sent, panels;
        for (int level = 1; level <= 7; ++level) {
            rig.ui.sbGainLevel->setValue(level);
            panels << rig.ui.pnGain->text();
            sent << QString::fromStdString(SentBy(rig, Named("btnGainClick")));
        }
        QCOMPARE(sent, (QStringList{"A00W1C0138", "A00W1C013F", "A00W1C01BF", "A00W1C011F",
                                    "A00W1C01DF", "A00W1C0187", "A00W1C01C7"}));
        QCOMPARE(panels, (QStringList{"1", "2", "3", "4", "5", "6", "7"}));
        QCOMPARE(rig.ui.pnMsg->text(), QString("Set Gain Ok"));
    }

    void exciterIdsAreSentFromThePanels() {
        Rig rig;
        QCOMPARE(SentBy(rig, Named("btnSetExciterIDClick")), std::string("A00P00000000"));
        rig.ui.sbExciterID1->setValue(4660);
        rig.ui.sbExciterID2->setValue(255);
        QCOMPARE(rig.ui.pnExciterID1->text(), QString("1234"));
        QCOMPARE(rig.ui.pnExciterID2->text(), QString("00FF"));
        QCOMPARE(SentBy(rig, Named("btnSetExciterIDClick")), std::string("A00P123400FF"));
        QCOMPARE(rig.ui.pnMsg->text(), QString("Set Exciter ID Ok"));
    }

    void exciterIdsAreReadBack() {
        Rig rig;
        rig.replies["A00P"] = DataReply("A00P", "123400FF");
        Named("btnGetExciterIDClick")(rig.ctx);
        QCOMPARE(rig.ui.sbExciterID1->value(), 4660);
        QCOMPARE(rig.ui.sbExciterID2->value(), 255);
        QCOMPARE(rig.ui.pnExciterID1->text(), QString("1234"));
        QCOMPARE(rig.ui.pnExciterID2->text(), QString("00FF"));
        QCOMPARE(rig.ui.pnMsg->text(), QString("Get Exciter ID Ok"));
    }

    void rssiIsReadBack_data() {
        QTest::addColumn<QString>("data");
        QTest::addColumn<int>("threshold");
        QTest::addColumn<QString>("panel");
        QTest::newRow("6E") << "6E" << 110 << "110";
        QTest::newRow("FA") << "FA" << 250 << "250";
        QTest::newRow("FB held at 250") << "FB" << 250 << "250";
        QTest::newRow("FF held at 250") << "FF" << 250 << "250";
        QTest::newRow("00") << "00" << 0 << "000";
    }
    void rssiIsReadBack() {
        QFETCH(QString, data);
        QFETCH(int, threshold);
        QFETCH(QString, panel);
        Rig rig;
        rig.ui.sbRSSI->setValue(42);
        rig.replies["A00O"] = DataReply("A00O", data.toStdString());
        Named("btnGetRSSIClick")(rig.ctx);
        QCOMPARE(rig.ui.sbRSSI->value(), threshold);
        QCOMPARE(rig.ui.pnRSSI->text(), panel);
        QCOMPARE(rig.ui.pnMsg->text(), QString("Get RSSI Ok"));
    }

    void rssiReadOfTheValueShownRewritesNothing() {
        Rig rig;
        rig.ui.pnRSSI->setText("marker");
        rig.replies["A00O"] = DataReply("A00O", "6E");
        Named("btnGetRSSIClick")(rig.ctx);
        QCOMPARE(rig.ui.sbRSSI->value(), 110);
        QCOMPARE(rig.ui.pnRSSI->text(), QString("marker"));
    }

    // A bare acknowledgement must not move the bar to its checksum's value.
    void unusableReadBackChangesNothing_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("failure");
        QTest::newRow("RSSI, bare ack")
            << "A00O" << QByteArray::fromStdString(ReplyFrame("A00O")) << "Get RSSI Error";
        QTest::newRow("RSSI, one digit")
            << "A00O" << QByteArray::fromStdString(DataReply("A00O", "6")) << "Get RSSI Error";
        QTest::newRow("RSSI, silent") << "A00O" << QByteArray() << "Get RSSI Error";
        QTest::newRow("exciter, second id short")
            << "A00P" << QByteArray::fromStdString(DataReply("A00P", "1234FF"))
            << "Get Exciter ID Error";
        QTest::newRow("exciter, not hex")
            << "A00P" << QByteArray::fromStdString(DataReply("A00P", "1234-0FF"))
            << "Get Exciter ID Error";
    }
    void unusableReadBackChangesNothing() {
        QFETCH(QString, command);
        QFETCH(QByteArray, reply);
        QFETCH(QString, failure);
        Rig rig;
        if (!reply.isEmpty())
            rig.replies[command.toStdString()] = reply.toStdString();
        const QStringList before = rig.snapshot();
        (command == "A00O" ? Named("btnGetRSSIClick") : Named("btnGetExciterIDClick"))(rig.ctx);
        const std::string c = command.toStdString();
        QCOMPARE(rig.commands(), (std::vector<std::string>{"A00B", c, "A00B", c, "A00B", c}));
        QCOMPARE(rig.ui.pnMsg->text(), failure);
        QCOMPARE(rig.snapshot(), before);
    }

    // The beeper commands go out without the identity step, 200 ms after the pause each time.
    void beeperCommandsSkipTheIdentityStep_data() {
        QTest::addColumn<bool>("on");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("failure");
        QTest::newRow("on") << true << "A00HS1"
                            << "Set Beep ON Error";
        QTest::newRow("off") << false << "A00HS0"
                             << "Set Beep OFF Error";
    }
    void beeperCommandsSkipTheIdentityStep() {
        QFETCH(bool, on);
        QFETCH(QString, command);
        QFETCH(QString, failure);
        Rig rig;
        const auto handler = on ? Named("btnBeepOnClick") : Named("btnBeepOffClick");
        handler(rig.ctx);
        const std::string c = command.toStdString();
        QCOMPARE(rig.commands(), (std::vector<std::string>{c, c, c}));
        QCOMPARE(rig.pauses(), (std::vector<std::uint32_t>{200, 200, 200}));
        QCOMPARE(rig.ui.pnMsg->text(), failure);

        Rig answered;
        answered.replies[c] = kAck;
        handler(answered.ctx);
        QCOMPARE(answered.commands(), (std::vector<std::string>{c}));
        QCOMPARE(answered.ui.pnMsg->text(), QString(on ? "Set Beep ON Ok" : "Set Beep OFF Ok"));
    }

    // The three radio operations have no enabled button; called directly they work.
    void radioRegistersAreWritten() {
        Rig rig;
        QCOMPARE(SentBy(rig, Named("btnAddrClick")), std::string("A00W060131"));
        QCOMPARE(rig.ui.pnMsg->text(), QString("Set Address Ok"));
        QCOMPARE(SentBy(rig, Named("btnFreqClick")), std::string("A00W0F013B"));
        QCOMPARE(rig.ui.pnMsg->text(), QString("Set Freq Ok"));
        QCOMPARE(SentBy(rig, Named("btnChannelClick")), std::string("A00W0B0100"));
        QCOMPARE(rig.ui.pnMsg->text(), QString("Set Channel Ok"));

        rig.ui.sbAddr->setValue(255);
        rig.ui.sbFreq->setValue(16);
        rig.ui.sbChannel->setValue(7);
        QCOMPARE(rig.ui.pnAddr->text(), QString("255"));
        QCOMPARE(rig.ui.pnFreq->text(), QString("016"));
        QCOMPARE(rig.ui.pnChannel->text(), QString("007"));
        QCOMPARE(SentBy(rig, Named("btnAddrClick")), std::string("A00W0601FF"));
        QCOMPARE(SentBy(rig, Named("btnFreqClick")), std::string("A00W0F0110"));
        QCOMPARE(SentBy(rig, Named("btnChannelClick")), std::string("A00W0B0107"));

        for (const char* name : {"btnAddr", "btnFreq", "btnChannel"}) {
            auto* button = rig.window.findChild<QPushButton*>(name);
            QVERIFY2(button, name);
            QVERIFY2(!button->isEnabled(), name);
        }
    }

    void radioRegistersUseTheShortPause() {
        Rig rig;
        rig.replies.erase("A00B");
        Named("btnFreqClick")(rig.ctx);
        QCOMPARE(rig.pauses(), (std::vector<std::uint32_t>{100, 100, 100}));
        QCOMPARE(rig.ui.pnMsg->text(), QString("Set Freq Error"));
    }

    // Each operation against a reader that answers "A00B" but never the command; nothing changes.
    void unansweredCommandFailsAfterEveryTry_data() {
        AddUnansweredColumns();
        QTest::newRow("set RSSI") << "btnSetRSSIClick"
                                  << "Set RSSI" << 1 << 200 << 3 << true << "A00O6E"
                                  << "Set RSSI Error";
        QTest::newRow("get RSSI") << "btnGetRSSIClick"
                                  << "Get RSSI" << 1 << 200 << 3 << true << "A00O"
                                  << "Get RSSI Error";
        QTest::newRow("beep on") << "btnBeepOnClick"
                                 << "Set Beep ON" << 1 << 200 << 3 << false << "A00HS1"
                                 << "Set Beep ON Error";
        QTest::newRow("beep off") << "btnBeepOffClick"
                                  << "Set Beep OFF" << 1 << 200 << 3 << false << "A00HS0"
                                  << "Set Beep OFF Error";
        QTest::newRow("set gain") << "btnGainClick"
                                  << "Set Gain" << 0 << 200 << 3 << true << "A00W1C01C7"
                                  << "Set Gain Error";
        QTest::newRow("set exciter ids")
            << "btnSetExciterIDClick"
            << "Set Exciter ID" << 0 << 200 << 3 << true << "A00P00000000"
            << "Set Exciter ID Error";
        QTest::newRow("get exciter ids") << "btnGetExciterIDClick"
                                         << "Get Exciter ID" << 1 << 200 << 3 << true << "A00P"
                                         << "Get Exciter ID Error";
        QTest::newRow("set address") << "btnAddrClick"
                                     << "Set Address" << 0 << 100 << 3 << true << "A00W060131"
                                     << "Set Address Error";
        QTest::newRow("set frequency") << "btnFreqClick"
                                       << "Set Freq" << 0 << 100 << 3 << true << "A00W0F013B"
                                       << "Set Freq Error";
        QTest::newRow("set channel") << "btnChannelClick"
                                     << "Set Channel" << 0 << 100 << 3 << true << "A00W0B0100"
                                     << "Set Channel Error";
    }
    void unansweredCommandFailsAfterEveryTry() {
        Rig rig;
        CheckUnansweredRow(rig);
    }

    // Each try builds its command from the controls as they stand then; the exciter command
    // from the panels.
    void commandIsBuiltAnewInEveryTry_data() {
        AddRebuiltColumns();
        QTest::newRow("RSSI") << "btnSetRSSIClick"
                              << "A00O6E"
                              << "A00O0C";
        QTest::newRow("gain") << "btnGainClick"
                              << "A00W1C01C7"
                              << "A00W1C013F";
        QTest::newRow("exciter ids") << "btnSetExciterIDClick"
                                     << "A00P00000000"
                                     << "A00PABCD0007";
        QTest::newRow("address") << "btnAddrClick"
                                 << "A00W060131"
                                 << "A00W060102";
        QTest::newRow("frequency") << "btnFreqClick"
                                   << "A00W0F013B"
                                   << "A00W0F0103";
        QTest::newRow("channel") << "btnChannelClick"
                                 << "A00W0B0100"
                                 << "A00W0B0104";
    }
    void commandIsBuiltAnewInEveryTry() {
        Rig rig;
        CheckRebuiltRow(rig, [&rig] {
            rig.ui.sbRSSI->setValue(12);
            rig.ui.sbGainLevel->setValue(2);
            rig.ui.sbExciterID1->setValue(0xABCD);
            rig.ui.sbExciterID2->setValue(7);
            rig.ui.sbAddr->setValue(2);
            rig.ui.sbFreq->setValue(3);
            rig.ui.sbChannel->setValue(4);
        });
    }
};

QV_WINDOW_TEST_MAIN(TestRadioSignal)
#include "tst_radio_signal.moc"
