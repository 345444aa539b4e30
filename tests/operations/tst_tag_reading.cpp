// Tag reading: the toggle, the poll loop, outputs, the tag display and the card lamp.
#include "rig.h"

#include "link/protocol/link.h"

#include <QElapsedTimer>
#include <QGroupBox>
#include <QPushButton>
#include <QTimer>

using namespace qv;
using namespace qv::test;

namespace {

// The reply to "A00I": head "A00I", the input state, one character, 16 tag characters.
std::string PollReply(const std::string& input, const std::string& tag) {
    return ReplyFrame("A00I" + input + "0" + tag);
}

// Tag data whose decoded identifier is 0000000000BC614E (each byte XORed with the key).
const std::string kTag12345678 = "953CE044A7A5B325";

int CountOf(const std::vector<std::string>& commands, const std::string& text) {
    return static_cast<int>(std::count(commands.begin(), commands.end(), text));
}

// The controls a run disables.
std::vector<QWidget*> Locked(const Controls& ui) {
    return {ui.btnExit,     ui.btnScan,   ui.btnFactory,     ui.btnID,           ui.btnBaudRate,
            ui.gbDefault,   ui.btnEng,    ui.btnGB,          ui.btnBIG5,         ui.btnNoNc,
            ui.btnSameCard, ui.btnMode,   ui.btnGetSameCard, ui.btnGetNoNc,      ui.btnGetMode,
            ui.btnSerID2,   ui.btnGetID2, ui.btnSameCard2,   ui.btnGetSameCard2, ui.btnSetRL,
            ui.btnGetRL};
}

// A reader that answers every poll with `reply` and lets the test act at the n-th poll.
void AnswerPolls(Rig& rig, std::function<std::string(int poll)> reply) {
    auto count = std::make_shared<int>(0);
    rig.device.responder = [count, reply](const std::string& command) {
        return command == "A00I" ? reply(++*count) : std::string();
    };
}

} // namespace

class TestTagReading : public QObject {
    Q_OBJECT

private slots:
    void init() { ClearStore(); }

    void clickBeforeDiscoveryOnlyAsksForIt() {
        Rig rig;
        rig.values.ReaderFound = false;
        rig.ui.shComm->setColor(kYellow);
        Named("btnReadCardClick")(rig.ctx);
        QCOMPARE(rig.ui.pnMsg->text(), QString("Start Scan Reader!"));
        QCOMPARE(rig.beeper.beeps.size(), std::size_t(1));
        QCOMPARE(rig.beeper.beeps[0].frequencyHz, 300);
        QCOMPARE(rig.ui.btnReadCard->text(), QString("Read TAG"));
        QCOMPARE(rig.ui.shComm->color(), kYellow);
        QCOMPARE(rig.device.opens.size(), std::size_t(0));
        QVERIFY(!rig.values.TagReadActive);
    }

    void portThatCannotOpenEndsTheRunAtOnce() {
        Rig rig;
        rig.device.canOpen = [](const std::string&, const link::LineSettings&) { return false; };
        Named("btnReadCardClick")(rig.ctx);
        QCOMPARE(rig.ui.pnMsg->text(), QString("Open COM : 3 Error"));
        QCOMPARE(rig.ui.shComm->color(), kRed);
        QCOMPARE(rig.beeper.beeps.size(), std::size_t(1));
        QCOMPARE(rig.beeper.beeps[0].frequencyHz, 300);
        QCOMPARE(rig.ui.btnReadCard->text(), QString("Read TAG"));
        QCOMPARE(rig.ui.pnCardID->text(), QString("ID"));
        QVERIFY(!rig.values.TagReadActive);
        QCOMPARE(rig.device.closeCount, 0);
        for (QWidget* w : Locked(rig.ui))
            QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
    }

    // The stop click lands in the first pump; the cycle in progress still runs to its end.
    void stoppingDuringACycleFinishesThatCycle() {
        Rig rig;
        rig.ui.chkDO1->setChecked(true);
        AnswerPolls(rig, [](int) { return PollReply("1", kTag12345678); });
        QString cardShown;
        rig.device.responder = [&, poll = rig.device.responder](const std::string& command) {
            if (command == "A00J")
                cardShown = rig.ui.pnCardID->text();
            return poll(command);
        };
        int pumps = 0;
        bool runningAtFirstPump = false;
        rig.link.setEventPump([&] {
            if (++pumps != 1)
                return;
            runningAtFirstPump = rig.window.isEnabled() && rig.ui.tmrBusy->isActive() &&
                                 rig.ui.btnReadCard->text() == "Cancel Read TAG";
            for (QWidget* w : Locked(rig.ui))
                runningAtFirstPump = runningAtFirstPump && !w->isEnabled();
            // A run never changes the mouse cursor.
            runningAtFirstPump = runningAtFirstPump && QApplication::overrideCursor() == nullptr;
            Named("btnReadCardClick")(rig.ctx);
        });

        Named("btnReadCardClick")(rig.ctx);

        QVERIFY(runningAtFirstPump);
        QCOMPARE(rig.commands(), (std::vector<std::string>{"A00I2", "A00I", "A00J"}));
        QCOMPARE(cardShown, QString("ID : 0012345678(D)  00BC614E(H)"));
        QCOMPARE(rig.ui.pnDI->text(), QString("1"));
        // After the run: the identifier stays in the status line, the panel shows "ID".
        QCOMPARE(rig.ui.pnMsg->text(), QString("0000000000BC614E"));
        QCOMPARE(rig.ui.pnCardID->text(), QString("ID"));
        QCOMPARE(rig.ui.btnReadCard->text(), QString("Read TAG"));
        QCOMPARE(rig.ui.shComm->color(), kYellow);
        QCOMPARE(rig.ui.shCard->color(), QColor(Qt::white));
        QCOMPARE(rig.beeper.beeps.size(), std::size_t(1));
        QCOMPARE(rig.beeper.beeps[0].frequencyHz, 1000);
        QCOMPARE(rig.device.opens.size(), std::size_t(1));
        QCOMPARE(rig.device.closeCount, 1);
        QVERIFY(!rig.ui.tmrBusy->isActive());
        QVERIFY(!rig.values.TagReadActive);
        for (QWidget* w : Locked(rig.ui))
            QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
        // 20 pumps of 1 ms, then 20 ms before the acknowledgement.
        QCOMPARE(rig.pauses(), (std::vector<std::uint32_t>{20}));
        QCOMPARE(std::count(rig.time.sleeps.begin(), rig.time.sleeps.end(), 1u) >= 20, true);
    }

    // The output state goes out once when it differs from what was last sent.
    void outputsAreSentOnceWhenChanged_data() {
        QTest::addColumn<bool>("do1");
        QTest::addColumn<bool>("do2");
        QTest::addColumn<QString>("command");
        QTest::newRow("both") << true << true << "A00I3";
        QTest::newRow("DO1 alone") << true << false << "A00I2";
        QTest::newRow("DO2 alone") << false << true << "A00I1";
    }
    void outputsAreSentOnceWhenChanged() {
        QFETCH(bool, do1);
        QFETCH(bool, do2);
        QFETCH(QString, command);
        Rig rig;
        rig.ui.chkDO1->setChecked(do1);
        rig.ui.chkDO2->setChecked(do2);
        AnswerPolls(rig, [&](int poll) {
            if (poll == 3)
                Named("btnReadCardClick")(rig.ctx);
            return PollReply("0", "");
        });
        Named("btnReadCardClick")(rig.ctx);
        QCOMPARE(rig.commands(),
                 (std::vector<std::string>{command.toStdString(), "A00I", "A00I", "A00I"}));
    }

    void clearOutputsAtTheFirstRunSendNothing() {
        Rig rig;
        AnswerPolls(rig, [&](int) {
            Named("btnReadCardClick")(rig.ctx);
            return std::string();
        });
        Named("btnReadCardClick")(rig.ctx);
        QCOMPARE(rig.commands(), (std::vector<std::string>{"A00I"}));
    }

    void tickingWithoutARunSendsNothingUntilTheNextRun() {
        Rig rig;
        AnswerPolls(rig, [&](int) {
            Named("btnReadCardClick")(rig.ctx);
            return std::string();
        });
        rig.ui.chkDO2->setChecked(true);
        rig.ui.chkDO2->setChecked(false);
        rig.ui.chkDO1->setChecked(true);
        QCOMPARE(rig.device.sent.size(), std::size_t(0));

        Named("btnReadCardClick")(rig.ctx);
        QCOMPARE(rig.commands(), (std::vector<std::string>{"A00I2", "A00I"}));

        // Unchanged boxes are not sent again at the start of the next run.
        Named("btnReadCardClick")(rig.ctx);
        QCOMPARE(rig.commands(), (std::vector<std::string>{"A00I2", "A00I", "A00I"}));
    }

    void outputChangedDuringARunGoesOutInTheNextCycle() {
        Rig rig;
        AnswerPolls(rig, [&](int poll) {
            if (poll == 1)
                rig.ui.chkDO2->setChecked(true);
            if (poll == 3)
                Named("btnReadCardClick")(rig.ctx);
            return std::string();
        });
        Named("btnReadCardClick")(rig.ctx);
        QCOMPARE(rig.commands(), (std::vector<std::string>{"A00I", "A00I1", "A00I", "A00I"}));
    }

    // Replies that carry no tag: only a verified "I" reply shows the input, only 26 whole bytes a
    // tag.
    void repliesWithoutATagShowNoTag_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("input");
        QTest::newRow("26 bytes, no I at 5")
            << QByteArray::fromStdString(ReplyFrame("A00X10" + kTag12345678)) << "_";
        QTest::newRow("I at 5, short") << QByteArray::fromStdString(ReplyFrame("A00I1")) << "1";
        QTest::newRow("input byte above 127")
            << QByteArray::fromStdString(ReplyFrame("A00I\xB5")) << QString::fromUtf8("µ");
        QTest::newRow("I at 5, input absent")
            << QByteArray::fromStdString(ReplyFrame("A00I")) << "_";
        QTest::newRow("27 bytes") << QByteArray::fromStdString(PollReply("0", kTag12345678 + "0"))
                                  << "0";
        QTest::newRow("zero byte in the tag")
            << QByteArray::fromStdString(PollReply("1", std::string("953CE044\0"
                                                                    "7A5B325",
                                                                    16)))
            << "1";
        QTest::newRow("bad checksum") << QByteArray("\nA00I10953CE044A7A5B32500\r") << "_";
    }
    void repliesWithoutATagShowNoTag() {
        QFETCH(QByteArray, reply);
        QFETCH(QString, input);
        Rig rig;
        rig.ui.pnMsg->setText("before");
        QString cardDuringRun;
        AnswerPolls(rig, [&](int poll) {
            if (poll == 2) {
                cardDuringRun = rig.ui.pnCardID->text();
                Named("btnReadCardClick")(rig.ctx);
            }
            return reply.toStdString();
        });
        Named("btnReadCardClick")(rig.ctx);
        QCOMPARE(rig.ui.pnDI->text(), input);
        QCOMPARE(rig.ui.pnMsg->text(), QString("before"));
        QCOMPARE(cardDuringRun, QString("ID"));
        QCOMPARE(rig.ui.shCard->color(), QColor(Qt::white));
        QCOMPARE(CountOf(rig.commands(), "A00J"), 0);
    }

    void tagIdentifierIsShownInDecimalAndHex_data() {
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<QString>("card");
        QTest::newRow("12345678") << "953CE044A7A5B325"
                                  << "0000000000BC614E"
                                  << "ID : 0012345678(D)  00BC614E(H)";
        QTest::newRow("largest") << "953CE04458E62D94"
                                 << "00000000FFFFFFFF"
                                 << "ID : 4294967295(D)  FFFFFFFF(H)";
        QTest::newRow("zero") << "953CE044A719D26B"
                              << "0000000000000000"
                              << "ID : 0000000000(D)  00000000(H)";
        QTest::newRow("lower-case digits count as 0") << "953CE044A7A5B3ab"
                                                      << "0000000000BC616B"
                                                      << "ID : 0012345707(D)  00BC616B(H)";
    }
    void tagIdentifierIsShownInDecimalAndHex() {
        QFETCH(QString, tag);
        QFETCH(QString, identifier);
        QFETCH(QString, card);
        Rig rig;
        QString shown;
        AnswerPolls(rig, [&](int poll) {
            if (poll == 2) {
                shown = rig.ui.pnCardID->text();
                Named("btnReadCardClick")(rig.ctx);
                return std::string();
            }
            return PollReply("0", tag.toStdString());
        });
        Named("btnReadCardClick")(rig.ctx);
        QCOMPARE(shown, card);
        QCOMPARE(rig.ui.pnMsg->text(), identifier);
    }

    // Two tags 600 ms apart: the card lamp goes white 1000 ms after the first, not after the
    // second. Driven in real time, loosely.
    void cardLampIsNotExtendedByASecondTag() {
        Rig rig;
        rig.link.setEventPump([] { QCoreApplication::processEvents(); });
        QElapsedTimer clock;
        qint64 whiteAfter = -1;
        int remainingAfterSecond = -1;
        AnswerPolls(rig, [&](int poll) {
            if (poll == 1) {
                clock.start();
                return PollReply("0", kTag12345678);
            }
            if (poll == 2) {
                QTest::qWait(600);
                return PollReply("0", kTag12345678);
            }
            if (poll == 3)
                remainingAfterSecond = rig.ui.tmrCard->remainingTime();
            if (rig.ui.shCard->color() == QColor(Qt::white) || clock.elapsed() > 2500) {
                whiteAfter = clock.elapsed();
                Named("btnReadCardClick")(rig.ctx);
            }
            return std::string();
        });
        Named("btnReadCardClick")(rig.ctx);
        QVERIFY2(remainingAfterSecond >= 0 && remainingAfterSecond <= 450,
                 qPrintable(QString::number(remainingAfterSecond)));
        QVERIFY2(whiteAfter >= 900 && whiteAfter < 1450, qPrintable(QString::number(whiteAfter)));
        QVERIFY(!rig.ui.tmrCard->isActive());
    }

    // The run's texts come from the table in the active language; the tag panel's "ID" is the
    // same in every language, unlike the reader-ID label's.
    void runTextsAreInTheActiveLanguage_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("cancel");
        QTest::newRow("ChineseGB") << 1 << "取消读TAG";
        QTest::newRow("ChineseBIG5") << 2 << "取消讀TAG";
    }
    void runTextsAreInTheActiveLanguage() {
        QFETCH(int, language);
        QFETCH(QString, cancel);
        Rig rig;
        rig.values.LanguageIndex = language;
        QString caption;
        QString card;
        AnswerPolls(rig, [&](int poll) {
            if (poll == 2) {
                caption = rig.ui.btnReadCard->text();
                card = rig.ui.pnCardID->text();
                Named("btnReadCardClick")(rig.ctx);
                return std::string();
            }
            return PollReply("0", kTag12345678);
        });
        Named("btnReadCardClick")(rig.ctx);
        QCOMPARE(caption, cancel);
        QCOMPARE(card, QString("ID : 0012345678(D)  00BC614E(H)"));
        QCOMPARE(rig.ui.pnCardID->text(), QString("ID"));
        QCOMPARE(rig.ui.btnReadCard->text(), QString("Read TAG")); // the caption it had before
    }

    void openErrorIsInTheActiveLanguage_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("text");
        QTest::newRow("English, COM12") << 0 << 12 << "Open COM : 12 Error";
        QTest::newRow("ChineseGB") << 1 << 3 << "开启串口 : 3 错误";
        QTest::newRow("ChineseBIG5") << 2 << 16 << "開啟串口 : 16 錯誤";
    }
    void openErrorIsInTheActiveLanguage() {
        QFETCH(int, language);
        QFETCH(int, port);
        QFETCH(QString, text);
        Rig rig;
        rig.values.LanguageIndex = language;
        rig.values.ScanPort = port;
        rig.device.canOpen = [](const std::string&, const link::LineSettings&) { return false; };
        Named("btnReadCardClick")(rig.ctx);
        QCOMPARE(rig.ui.pnMsg->text(), text);
        QCOMPARE(rig.beeper.beeps.size(), std::size_t(1));
        QCOMPARE(rig.beeper.beeps[0].lamp, kRed);
        QCOMPARE(rig.beeper.beeps[0].status, text);
        QCOMPARE(rig.ui.pnCardID->text(), QString("ID"));
    }

    // In real time against the simulator streaming a tag: the run shows it, passes DO1 on and
    // ends on the second click with the port closed.
    void runAgainstTheSimulatorInRealTime() {
        SimProgram sim;
        if (!sim.start({"--tags", "0000000000BC614E", "--tag-interval", "100", "--input", "1",
                        "--verbose"}))
            QSKIP("quorvane-sim is not built beside the tests");
        RealRig rig(1, sim.terminal);
        rig.values.ScanPort = 1;
        rig.values.ReaderFound = true;
        rig.ui.chkDO1->setChecked(true);
        QString seen;
        QTimer watch;
        QElapsedTimer clock;
        clock.start();
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (seen.isEmpty() && rig.ui.pnCardID->text() != "ID")
                seen = rig.ui.pnCardID->text();
            if ((!seen.isEmpty() || clock.elapsed() > 5000) && rig.values.TagReadActive)
                Named("btnReadCardClick")(rig.ctx);
        });
        watch.start(20);

        Named("btnReadCardClick")(rig.ctx);
        watch.stop();

        QCOMPARE(seen, QString("ID : 0012345678(D)  00BC614E(H)"));
        QCOMPARE(rig.ui.pnMsg->text(), QString("0000000000BC614E"));
        QCOMPARE(rig.ui.pnDI->text(), QString("1"));
        QCOMPARE(rig.ui.pnCardID->text(), QString("ID"));
        QCOMPARE(rig.ui.btnReadCard->text(), QString("Read TAG"));
        QCOMPARE(rig.ui.shComm->color(), kYellow);
        QVERIFY(!rig.link.isOpen());
        QCOMPARE(rig.beeper.beeps.size(), std::size_t(1));
        QCOMPARE(rig.beeper.beeps[0].frequencyHz, 1000);
        const QString log = sim.stop();
        QCOMPARE(log.count("A00I2\n"), 1);
        QVERIFY(log.contains("A00J\n"));
    }

    // Polls 3 to 11 go unanswered, 150 ms each. A second after the first of them (at the end of
    // poll 10) the link lamp stays red
    // and the status line says so; an answered poll brings the blinking and the line back. A run
    // that ends on an unanswered poll ends as a failure.
    void readerThatStopsAnsweringIsShown_data() {
        QTest::addColumn<bool>("answersAgain");
        QTest::newRow("answers again") << true;
        QTest::newRow("gone at the end") << false;
    }
    void readerThatStopsAnsweringIsShown() {
        QFETCH(bool, answersAgain);
        Rig rig;
        rig.ui.pnMsg->setText("0000000000BC614E");
        QStringList seen; // status line and lamp as polls 10, 11 and 13 go out
        AnswerPolls(rig, [&](int poll) {
            if (poll == 10 || poll == 11 || poll == 13)
                seen << rig.ui.pnMsg->text() + (rig.ui.tmrBusy->isActive() ? " blinking" : " red");
            if (poll == 13)
                Named("btnReadCardClick")(rig.ctx);
            const bool answer = poll < 3 || (answersAgain && poll > 11);
            return answer ? PollReply("0", "") : std::string();
        });
        Named("btnReadCardClick")(rig.ctx);
        QCOMPARE(seen.value(0), QString("0000000000BC614E blinking")); // not a second yet
        QCOMPARE(seen.value(1), QString("Reader not answering red"));
        QCOMPARE(seen.value(2), answersAgain ? QString("0000000000BC614E blinking")
                                             : QString("Reader not answering red"));
        QCOMPARE(rig.ui.shComm->color(), answersAgain ? kYellow : kRed);
        QCOMPARE(rig.beeper.beeps.size(), std::size_t(1));
        QCOMPARE(rig.beeper.beeps[0].frequencyHz, answersAgain ? 1000 : 300);
    }

    // In real time: the simulator goes away in the middle of a run.
    void simulatorKilledDuringARunEndsAsAFailure() {
        SimProgram sim;
        if (!sim.start({"--tags", "0000000000BC614E", "--tag-interval", "100"}))
            QSKIP("quorvane-sim is not built beside the tests");
        RealRig rig(1, sim.terminal);
        rig.values.ScanPort = 1;
        rig.values.ReaderFound = true;
        QString shown;
        QElapsedTimer clock;
        clock.start();
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (sim.process.state() != QProcess::NotRunning && rig.ui.pnCardID->text() != "ID")
                sim.process.kill(); // a tag was seen: the reader goes
            if (rig.ui.pnMsg->text() == "Reader not answering" || clock.elapsed() > 8000) {
                shown = rig.ui.pnMsg->text();
                if (rig.values.TagReadActive)
                    Named("btnReadCardClick")(rig.ctx);
            }
        });
        watch.start(20);
        Named("btnReadCardClick")(rig.ctx);
        QCOMPARE(shown, QString("Reader not answering"));
        QCOMPARE(rig.ui.shComm->color(), kRed);
        QCOMPARE(rig.beeper.beeps.size(), std::size_t(1));
        QCOMPARE(rig.beeper.beeps[0].frequencyHz, 300);
        QVERIFY(!rig.link.isOpen());
    }

    // In real time: the reader's device goes away (the simulator ends and the stable link to its
    // terminal, the name the COM number maps to, is removed) and comes back under the same link.
    // The run shows "not answering" with a red lamp meanwhile, then reads tags again, blinking.
    void runWaitsForItsDeviceToComeBack() {
        QTemporaryDir dir;
        const QString byId = dir.filePath("usb-reader-if00-port0");
        auto first = std::make_unique<SimProgram>();
        if (!first->start({"--tags", "0000000000BC614E", "--tag-interval", "100"}))
            QSKIP("quorvane-sim is not built beside the tests");
        QVERIFY(QFile::link(first->terminal, byId));
        RealRig rig(1, byId);
        rig.values.ScanPort = 1;
        rig.values.ReaderFound = true;
        SimProgram second;
        enum class Step { FirstTag, Away, SecondTag, Done } step = Step::FirstTag;
        QString away, back;
        QElapsedTimer clock;
        clock.start();
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            const QString lamp = rig.ui.tmrBusy->isActive()       ? " blinking"
                                 : rig.ui.shComm->color() == kRed ? " red"
                                                                  : " other";
            if (step == Step::FirstTag && rig.ui.pnCardID->text() != "ID") {
                first->stop();
                QFile::remove(byId);
                step = Step::Away;
            } else if (step == Step::Away && rig.ui.pnMsg->text() == "Reader not answering") {
                away = rig.ui.pnMsg->text() + lamp;
                if (second.start({"--tags", "00000000FFFFFFFF", "--tag-interval", "100"}))
                    QFile::link(second.terminal, byId);
                step = Step::SecondTag;
            } else if (step == Step::SecondTag && rig.ui.pnCardID->text().endsWith("FFFFFFFF(H)")) {
                back = rig.ui.pnMsg->text() + " " + rig.ui.pnCardID->text() + lamp;
                step = Step::Done;
            }
            if ((step == Step::Done || clock.elapsed() > 20000) && rig.values.TagReadActive)
                Named("btnReadCardClick")(rig.ctx);
        });
        watch.start(20);
        Named("btnReadCardClick")(rig.ctx);
        QCOMPARE(away, QString("Reader not answering red"));
        QCOMPARE(back, QString("00000000FFFFFFFF ID : 4294967295(D)  FFFFFFFF(H) blinking"));
        QCOMPARE(rig.ui.shComm->color(), kYellow);
        QCOMPARE(rig.beeper.beeps.size(), std::size_t(1));
        QCOMPARE(rig.beeper.beeps[0].frequencyHz, 1000);
        QVERIFY(!rig.link.isOpen());
    }

    // The device goes away after poll 2 and stays away; a scan and a Get pressed (Enter) while
    // the run waits with its port closed are refused; the stop click 1.2 s into the wait ends
    // the run at once: no open after it, the port closed, the controls given back.
    void stopWhileWaitingForTheDeviceEndsTheRun() {
        Rig rig;
        AnswerPolls(rig, [&](int poll) {
            rig.device.vanished = poll >= 2;
            return PollReply("0", "");
        });
        rig.device.failWith = link::SerialError::NoDevice;
        rig.device.canOpen = [&](const std::string&, const link::LineSettings&) {
            return rig.device.opens.empty(); // the run's own open, then never again
        };
        std::optional<std::uint64_t> stoppedAtUs;
        bool pressed = false;
        rig.link.setEventPump([&] {
            if (!pressed && rig.device.opens.size() >= 2 && !rig.link.isOpen()) {
                pressed = true;
                Named("btnScanClick")(rig.ctx);
                Named("btnGetModeClick")(rig.ctx);
            }
            if (!stoppedAtUs && rig.device.opens.size() >= 2 &&
                rig.time.us() - rig.device.opens[1].atUs >= 1200000) {
                stoppedAtUs = rig.time.us();
                Named("btnReadCardClick")(rig.ctx);
            }
        });
        Named("btnReadCardClick")(rig.ctx);
        QVERIFY(stoppedAtUs);
        QVERIFY(pressed);
        QCOMPARE(rig.device.opens.size(), std::size_t(4)); // the run's, then at 0, 0.5 and 1 s
        QCOMPARE(rig.commands(), (std::vector<std::string>{"A00I", "A00I"}));
        QVERIFY(rig.device.opens.back().atUs < *stoppedAtUs);
        QVERIFY(rig.time.us() - *stoppedAtUs < 20000);
        QCOMPARE(rig.device.closeCount, 1);
        QCOMPARE(rig.ui.shComm->color(), kRed);
        QCOMPARE(rig.ui.btnReadCard->text(), QString("Read TAG"));
        for (QWidget* w : Locked(rig.ui))
            QVERIFY(w->isEnabled());
        QVERIFY(!rig.ctx.TagRunHolding);
    }

    // The port comes back with another reader on it: the identity read after reopening names
    // it in the status line, the serial number panel and the traffic log (before, the run went
    // on with whatever answered as if nothing had happened).
    void anotherReaderAfterTheDeviceCameBackIsSaid() {
        Rig rig;
        rig.values.ReaderSerial = "SN012345";
        auto polls = std::make_shared<int>(0);
        rig.device.responder = [&rig, polls](const std::string& command) -> std::string {
            if (command == "A00B")
                return IdentityReply("07", "OTHER001");
            if (command != "A00I")
                return {};
            rig.device.vanished = ++*polls == 2;
            if (*polls >= 6 && rig.values.TagReadActive)
                Named("btnReadCardClick")(rig.ctx);
            return PollReply("0", "");
        };
        Named("btnReadCardClick")(rig.ctx);
        QCOMPARE(rig.device.opens.size(), std::size_t(2)); // the run's, then the reopening
        QCOMPARE(CountOf(rig.commands(), "A00B"), 1);      // asked once, answered
        QCOMPARE(rig.ui.pnMsg->text(),
                 QString("Another reader answers: S/N OTHER001 (before: SN012345)"));
        QCOMPARE(rig.ui.pnSerial->text(), QString("S/N : OTHER001"));
        QCOMPARE(rig.values.ReaderSerial, std::string("OTHER001"));
        const TrafficLog& log = rig.window.trafficLog();
        int said = 0;
        for (std::uint64_t n = log.first(); n < log.end(); ++n)
            said += log.at(n).kind == link::TraceEvent::Kind::AnotherReader &&
                    log.at(n).bytes == "OTHER001" && log.at(n).detail == "SN012345";
        QCOMPARE(said, 1);
    }

    void cardLampTimerPaintsWhiteAndStops() {
        Rig rig;
        rig.ui.shCard->setColor(kYellow);
        rig.ui.tmrCard->start();
        Named("tmrCardTimer")(rig.ctx);
        QCOMPARE(rig.ui.shCard->color(), QColor(Qt::white));
        QVERIFY(!rig.ui.tmrCard->isActive());
    }

    // A second click after the stop click, while the loop finishes its cycle, is ignored.
    void clickWhileTheStoppedRunUnwindsIsIgnored() {
        Rig rig;
        AnswerPolls(rig, [](int) { return PollReply("0", ""); });
        int pumps = 0;
        rig.link.setEventPump([&] {
            if (++pumps == 1) {
                Named("btnReadCardClick")(rig.ctx); // stop
                Named("btnReadCardClick")(rig.ctx); // double click
            }
        });
        Named("btnReadCardClick")(rig.ctx);

        QCOMPARE(rig.device.opens.size(), std::size_t(1));
        QCOMPARE(rig.device.closeCount, 1);
        QCOMPARE(rig.beeper.beeps.size(), std::size_t(1));
        QCOMPARE(rig.beeper.beeps[0].frequencyHz, 1000);
        QCOMPARE(rig.ui.btnReadCard->text(), QString("Read TAG"));
        QVERIFY(!rig.device.isOpen());
        QVERIFY(!rig.link.isOpen());
        QVERIFY(!rig.values.TagReadActive);

        // The device is free: the next click starts a run of its own.
        rig.link.setEventPump([&] { Named("btnReadCardClick")(rig.ctx); });
        Named("btnReadCardClick")(rig.ctx);
        QCOMPARE(rig.device.opens.size(), std::size_t(2));
        QCOMPARE(rig.device.closeCount, 2);
    }

    // Operations cannot reach the held port: nothing is sent, nothing shown.
    void operationsDuringARunAreRefused() {
        Rig rig;
        AnswerPolls(rig, [](int) { return PollReply("0", ""); });
        rig.ui.pnMsg->setText("before");
        int pumps = 0;
        rig.link.setEventPump([&] {
            if (++pumps != 1)
                return;
            Named("btnGetModeClick")(rig.ctx);
            Named("btnSetRLClick")(rig.ctx);
            Named("btnScanClick")(rig.ctx);
            Named("btnReadCardClick")(rig.ctx);
        });
        Named("btnReadCardClick")(rig.ctx);
        QCOMPARE(rig.commands(), (std::vector<std::string>{"A00I"}));
        QCOMPARE(rig.ui.pnMsg->text(), QString("before"));
        QCOMPARE(rig.beeper.beeps.size(), std::size_t(1));
        QCOMPARE(rig.device.opens.size(), std::size_t(1));
        QVERIFY(rig.values.ReaderFound);
    }
};

QV_WINDOW_TEST_MAIN(TestTagReading)
#include "tst_tag_reading.moc"
