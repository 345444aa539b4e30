// What the operator sees of the link: the traffic log's lines for the outcomes of a transaction,
// each labelled with its operation and try; why a real port could not be opened, in the log and
// on the status line's tooltip; and the tag history fed by tag reading.
#include "rig.h"

#include "link/transport/serial_posix.h"
#include "program/messages.h"
#include "program/tag_history.h"
#include "program/traffic_log.h"
#include "shell/tooltips.h"
#include "shell/traffic_window.h"

#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QHelpEvent>
#include <QListView>
#include <QRegularExpression>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace qv;
using namespace qv::test;

namespace {

// Every line of the log without its time stamp ("17:03:12.345").
QStringList LinesWithoutTime(const TrafficLog& log) {
    QStringList out;
    for (std::uint64_t n = log.first(); n < log.end(); ++n)
        out << FormatTrafficLine(log.at(n), 0).mid(12);
    return out;
}

// A pseudo-terminal whose slave is a real serial-like device.
struct Pty {
    int master = -1;
    QString slave;
    Pty() {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0)
            slave = QString::fromLocal8Bit(ptsname(master));
    }
    ~Pty() {
        if (master >= 0)
            ::close(master);
    }
};

// The real window on the real serial device, with COM3 mapped to `path`; virtual time.
struct PosixRig {
    VirtualTime time;
    std::unique_ptr<link::SerialDevice> device = link::MakePlatformSerialDevice();
    link::Link link{*device, time, time};
    ProgramValues values;
    RecordingBeeper beeper;
    Tu window{link, beeper, values};

    explicit PosixRig(const QString& path) {
        window.FormShow();
        link.setPortMap({{3, path.toStdString()}});
        values.ScanPort = 3;
        values.ScanSettings = "19200,e,8,1";
        values.ScanSettingsIndex = 5;
        values.ReaderFound = true;
    }
};

// Tag data as the reader sends them for 0000000000BC614E and 00000000075BCD15.
const std::string kTagA = "953CE044A7A5B325";
const std::string kTagB = "953CE044A0421F7E";

} // namespace

class TestTraffic : public QObject {
    Q_OBJECT

private slots:
    void init() { ClearStore(); }

    // Set Beep ON, three tries: the first unanswered, the second with a bad checksum, the third
    // verified. Frames written out by hand.
    void linesOfEachOutcomeWithOperationAndTry() {
        Rig rig;
        int calls = 0;
        rig.device.responder = [&calls](const std::string&) -> std::string {
            ++calls;
            if (calls == 1)
                return {};
            return calls == 2 ? "\nA00K11\r" : "\nA00K00\r";
        };
        Named("btnBeepOnClick")(rig.ctx);
        QCOMPARE(rig.ui.pnMsg->text(), QString("Set Beep ON Ok"));
        const QString tx =
            "  TX  09 41 30 30 48 53 31 36 32 0D  <TAB>A00HS162<CR>  | Set Beep ON, try ";
        const QStringList expected = {
            "  --  COM3 /dev/ttyS2 19200,e,8,1 opened  | Set Beep ON",
            tx + "1",
            "  ==  no reply within the limit  | Set Beep ON, try 1",
            tx + "2",
            "  RX  0A 41 30 30 4B 31 31 0D  <LF>A00K11<CR>  | Set Beep ON, try 2",
            "  ==  answered with a bad checksum  | Set Beep ON, try 2",
            tx + "3",
            "  RX  0A 41 30 30 4B 30 30 0D  <LF>A00K00<CR>  | Set Beep ON, try 3",
            "  ==  answered, checksum verified  | Set Beep ON, try 3",
            "  --  COM3 /dev/ttyS2 closed  | Set Beep ON, try 3",
        };
        const TrafficLog& log = rig.window.trafficLog();
        QCOMPARE(LinesWithoutTime(log), expected);
        QVERIFY(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d  --  COM3")
                    .match(FormatTrafficLine(log.at(log.first()), 0))
                    .hasMatch());

        // The window shows the same lines; Chinese words follow the language.
        rig.window.showTraffic();
        TrafficWindow* w = rig.window.trafficWindow();
        QVERIFY(w && w->isVisible() && w->repaintTimer()->isActive());
        QCOMPARE(w->model()->rowCount(), 10);
        // Ctrl+C copies the selected lines, oldest first, and Save writes every line.
        w->view()->selectionModel()->select(w->model()->index(4), QItemSelectionModel::Select);
        w->view()->selectionModel()->select(w->model()->index(1), QItemSelectionModel::Select);
        QTest::keyClick(w->view(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), w->model()->index(1).data().toString() + '\n' +
                                                        w->model()->index(4).data().toString() +
                                                        '\n');
        QBuffer saved;
        saved.open(QIODevice::WriteOnly);
        QVERIFY(WriteTrafficLog(saved, log, 0));
        QCOMPARE(saved.data().count('\n'), 10);
        QVERIFY(saved.data().endsWith("  --  COM3 /dev/ttyS2 closed  | Set Beep ON, try 3\n"));

        rig.values.LanguageIndex = 1;
        QVERIFY(w->model()->index(2).data().toString().endsWith(
            "时限内没有回应  | Set Beep ON, try 1"));
        w->hide();
        QVERIFY(!w->repaintTimer()->isActive());
    }

    // A sweep labels each open with its port and setting; the ports that did not open stay on
    // the status line's tooltip until the reader answers.
    void scanLabelsAndTheFailedPortsOnTheToolTip() {
        Rig rig;
        rig.values.ScanPort = 0;
        rig.ui.chkLock->setChecked(true); // one setting per port
        rig.device.canOpen = [](const std::string& path, const link::LineSettings&) {
            return path == "/dev/ttyS2";
        };
        Named("btnScanClick")(rig.ctx);
        const QStringList lines = LinesWithoutTime(rig.window.trafficLog());
        QCOMPARE(lines.mid(0, 5),
                 (QStringList{"  !!  COM1 /dev/ttyS0 19200,e,8,1 could not be opened: cannot be "
                              "opened for another reason  | Scan COM1 19200,e,8,1",
                              "  !!  COM2 /dev/ttyS1 19200,e,8,1 could not be opened: cannot be "
                              "opened for another reason  | Scan COM2 19200,e,8,1",
                              "  --  COM3 /dev/ttyS2 19200,e,8,1 opened  | Scan COM3 19200,e,8,1",
                              "  TX  09 41 30 30 42 30 41 0D  <TAB>A00B0A<CR>  | Scan COM3 "
                              "19200,e,8,1, try 1",
                              "  RX  0A 42 30 37 42 53 4E 30 31 32 33 34 35 31 31 0D  "
                              "<LF>B07BSN01234511<CR>  | Scan COM3 19200,e,8,1, try 1"}));
        QCOMPARE(rig.window.statusToolTip(), ToolTipText(msg::TipStatus, 0));

        // Nothing opens: the remembered place, then every port once, each with its reason.
        rig.device.canOpen = [](const std::string&, const link::LineSettings&) { return false; };
        Named("btnScanClick")(rig.ctx);
        QCOMPARE(rig.ui.pnMsg->text(), QString("Reader Not Find"));
        const QStringList tip = rig.window.statusToolTip().split('\n');
        QCOMPARE(tip.size(), 4 + 16); // two sentences, a blank line, the heading, the ports
        QCOMPARE(tip[3], QString("Ports that could not be opened:"));
        QCOMPARE(tip[4], QString("COM3 /dev/ttyS2: cannot be opened for another reason"));
        QCOMPARE(tip[5], QString("COM1 /dev/ttyS0: cannot be opened for another reason"));
    }

    void openFailureReasons_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing path") << "missing"
                                      << "does not exist";
        QTest::newRow("directory") << "directory"
                                   << "not a serial device";
        QTest::newRow("FIFO") << "fifo"
                              << "not a serial device";
        QTest::newRow("/dev/null") << "null"
                                   << "not a serial device";
        QTest::newRow("terminal without permission")
            << "forbidden"
            << "no permission: join the dialout group (sudo adduser $USER dialout, then log in "
               "again)";
        QTest::newRow("terminal held by another opener") << "held"
                                                         << "in use by another program";
        QTest::newRow("USB selector that matches no adapter")
            << "selector"
            << "does not exist (no USB adapter ffff:fffe is plugged in)";
    }

    // Real files through the link's open with a COM override: the reason in the log and on the
    // status line's tooltip, while the status line keeps its designed message.
    void openFailureReasons() {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        Pty pty;
        link::PosixSerialDevice holder;
        QString path = dir.filePath("missing");
        if (kind == "directory") {
            path = dir.filePath("folder");
            QVERIFY(QDir().mkdir(path));
        } else if (kind == "fifo") {
            path = dir.filePath("fifo");
            QCOMPARE(mkfifo(path.toLocal8Bit().constData(), 0600), 0);
        } else if (kind == "null") {
            path = "/dev/null";
        } else if (kind == "forbidden") {
            if (geteuid() == 0)
                QSKIP("root opens a device whatever its permissions");
            QVERIFY(!pty.slave.isEmpty());
            path = pty.slave;
            QCOMPARE(chmod(path.toLocal8Bit().constData(), 0), 0);
        } else if (kind == "selector") {
            path = "usb:ffff:fffe"; // an identity no adapter has
        } else if (kind == "held") {
            QVERIFY(!pty.slave.isEmpty());
            path = pty.slave;
            QVERIFY(holder.open(path.toStdString(), {19200, 'e', 8, 1}));
        }

        PosixRig rig(path);
        Named("btnBeepOnClick")(rig.window.context());
        QCOMPARE(rig.window.controls().pnMsg->text(), QString("Set Beep ON Error"));
        const QString where = "COM3 " + path;
        QVERIFY2(rig.window.statusToolTip().endsWith("Ports that could not be opened:\n" + where +
                                                     ": " + reason),
                 qPrintable(rig.window.statusToolTip()));
        const QStringList lines = LinesWithoutTime(rig.window.trafficLog());
        QCOMPARE(lines, QStringList{"  !!  " + where + " 19200,e,8,1 could not be opened: " +
                                    reason + "  | Set Beep ON"});
        holder.close();

        // In the active language, when the operator asks for it.
        rig.values.LanguageIndex = 2;
        QHelpEvent hover(QEvent::ToolTip, {5, 5}, rig.window.mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(rig.window.controls().pnMsg, &hover);
        QVERIFY(rig.window.controls().pnMsg->toolTip().contains("無法開啟的串口："));
    }

    void tagReadingFeedsTheHistory() {
        Rig rig;
        rig.device.responder = [&rig, polls = 0](const std::string& command) mutable {
            if (command != "A00I")
                return std::string();
            ++polls;
            if (polls == 4) // the operator's click while the reader answers the fourth poll
                Named("btnReadCardClick")(rig.ctx);
            const std::string tags[] = {kTagA, kTagA, "", kTagB};
            return ReplyFrame("A00I" + std::string(polls == 4 ? "1" : "0") + "0" + tags[polls - 1]);
        };
        Named("btnReadCardClick")(rig.ctx);
        const TagHistory& history = rig.window.tagHistory();
        QCOMPARE(history.size(), std::size_t(2));
        QCOMPARE(history.at(0).id, std::string("00000000075BCD15")); // newest first
        QCOMPARE(history.at(0).decimal(), QString("0123456789"));
        QCOMPARE(history.at(0).hex(), QString("075BCD15"));
        QCOMPARE(history.at(0).count, 1);
        QCOMPARE(history.at(0).input, '1');
        QCOMPARE(history.at(1).id, std::string("0000000000BC614E"));
        QCOMPARE(history.at(1).decimal(), QString("0012345678"));
        QCOMPARE(history.at(1).count, 2);
        QVERIFY(history.at(1).first <= history.at(1).last);
        // The run's frames carry the operation's name.
        QVERIFY(LinesWithoutTime(rig.window.trafficLog()).last().endsWith("closed  | Read TAG"));
    }
};

QV_WINDOW_TEST_MAIN(TestTraffic)
#include "tst_traffic.moc"
