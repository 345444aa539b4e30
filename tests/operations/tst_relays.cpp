// Relay settings: the record of both relays, written from and read into the controls.
#include "rig.h"

#include <QCheckBox>

using namespace qv;
using namespace qv::test;

namespace {

QString Boxes(const Controls& ui) {
    QString out;
    for (const QCheckBox* box :
         {ui.chkRL1En, ui.chkRL1Key, ui.chkRL1Mo, ui.chkRL2En, ui.chkRL2Key, ui.chkRL2Mo})
        out += box->isChecked() ? '1' : '0';
    return out;
}

void SetBoxes(Controls& ui, const QString& bits) {
    QCheckBox* const boxes[] = {ui.chkRL1En, ui.chkRL1Key, ui.chkRL1Mo,
                                ui.chkRL2En, ui.chkRL2Key, ui.chkRL2Mo};
    for (int i = 0; i < 6; ++i)
        boxes[i]->setChecked(bits[i] == '1');
}

} // namespace

class TestRelays : public QObject {
    Q_OBJECT

private slots:
    void init() { ClearStore(); }

    // Boxes in the order RL1 Enabled, KEY, MO, RL2 Enabled, KEY, MO.
    void relayRecordIsSent_data() {
        QTest::addColumn<QString>("boxes");
        QTest::addColumn<int>("time1");
        QTest::addColumn<int>("time2");
        QTest::addColumn<QString>("command");
        QTest::newRow("start values") << "100110" << 10 << 10 << "A00R010A030A";
        QTest::newRow("all ticked, longest") << "111111" << 250 << 250 << "A00R07FA07FA";
        QTest::newRow("all clear, zero") << "000000" << 0 << 0 << "A00R00000000";
        QTest::newRow("RL2 MO alone") << "000001" << 0 << 1 << "A00R00000401";
        QTest::newRow("RL1 KEY and MO") << "011000" << 25 << 0 << "A00R06190000";
    }
    void relayRecordIsSent() {
        QFETCH(QString, boxes);
        QFETCH(int, time1);
        QFETCH(int, time2);
        QFETCH(QString, command);
        Rig rig;
        SetBoxes(rig.ui, boxes);
        rig.ui.sbRL1->setValue(time1);
        rig.ui.sbRL2->setValue(time2);
        rig.replies[command.toStdString()] = kAck;
        Named("btnSetRLClick")(rig.ctx);
        QCOMPARE(rig.commands(), (std::vector<std::string>{"A00B", command.toStdString()}));
        QCOMPARE(rig.ui.pnMsg->text(), QString("Set Relay Mode Ok"));
        QCOMPARE(rig.ui.shComm->color(), kYellow);
    }

    void relayRecordIsReadBack_data() {
        QTest::addColumn<QString>("data");
        QTest::addColumn<QString>("boxes");
        QTest::addColumn<int>("time1");
        QTest::addColumn<int>("time2");
        QTest::newRow("07FA0000") << "07FA0000"
                                  << "111000" << 250 << 0;
        QTest::newRow("flag 08 clears") << "08010701"
                                        << "000111" << 1 << 1;
        QTest::newRow("flag F8 clears") << "0105F805"
                                        << "100000" << 5 << 5;
        QTest::newRow("time FF held at 250") << "02FF04FF"
                                             << "010001" << 250 << 250;
        QTest::newRow("lower-case hex") << "030a050b"
                                        << "110101" << 10 << 11;
    }
    void relayRecordIsReadBack() {
        QFETCH(QString, data);
        QFETCH(QString, boxes);
        QFETCH(int, time1);
        QFETCH(int, time2);
        Rig rig;
        SetBoxes(rig.ui, "010101");
        rig.ui.sbRL1->setValue(77);
        rig.ui.sbRL2->setValue(77);
        rig.replies["A00R"] = DataReply("A00R", data.toStdString());
        Named("btnGetRLClick")(rig.ctx);
        QCOMPARE(Boxes(rig.ui), boxes);
        QCOMPARE(rig.ui.sbRL1->value(), time1);
        QCOMPARE(rig.ui.sbRL2->value(), time2);
        QCOMPARE(rig.ui.pnRL1->text(), QString::number(time1));
        QCOMPARE(rig.ui.pnRL2->text(), QString::number(time2));
        QCOMPARE(rig.ui.pnMsg->text(), QString("Get Relay Mode Ok"));
    }

    void unusableRelayRecordChangesNothing_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("bare ack") << QByteArray::fromStdString(ReplyFrame("A00R"));
        QTest::newRow("seven digits") << QByteArray::fromStdString(DataReply("A00R", "07FA000"));
        QTest::newRow("not hex") << QByteArray::fromStdString(DataReply("A00R", "07FA00Z0"));
    }
    void unusableRelayRecordChangesNothing() {
        QFETCH(QByteArray, reply);
        Rig rig;
        rig.replies["A00R"] = reply.toStdString();
        const QStringList before = rig.snapshot();
        Named("btnGetRLClick")(rig.ctx);
        QCOMPARE(rig.commands(),
                 (std::vector<std::string>{"A00B", "A00R", "A00B", "A00R", "A00B", "A00R"}));
        QCOMPARE(rig.ui.pnMsg->text(), QString("Get Relay Mode Error"));
        QCOMPARE(rig.snapshot(), before);
    }

    // Each operation against a reader that answers "A00B" but never the command; nothing changes.
    void unansweredCommandFailsAfterEveryTry_data() {
        AddUnansweredColumns();
        QTest::newRow("set relays") << "btnSetRLClick"
                                    << "Set Relay Mode" << 0 << 200 << 3 << true << "A00R010A030A"
                                    << "Set Relay Mode Error";
        QTest::newRow("get relays") << "btnGetRLClick"
                                    << "Get Relay Mode" << 0 << 200 << 3 << true << "A00R"
                                    << "Get Relay Mode Error";
    }
    void unansweredCommandFailsAfterEveryTry() {
        Rig rig;
        CheckUnansweredRow(rig);
    }

    void relayRecordIsBuiltAnewInEveryTry() {
        Rig rig;
        rig.replies["A00R06FA030A"] = kAck;
        BeforeSecondTry(rig, [&rig] {
            SetBoxes(rig.ui, "011110");
            rig.ui.sbRL1->setValue(250);
        });
        Named("btnSetRLClick")(rig.ctx);
        QCOMPARE(rig.commands(),
                 (std::vector<std::string>{"A00B", "A00R010A030A", "A00B", "A00R06FA030A"}));
        QCOMPARE(rig.ui.pnMsg->text(), QString("Set Relay Mode Ok"));
    }
};

QV_WINDOW_TEST_MAIN(TestRelays)
#include "tst_relays.moc"
