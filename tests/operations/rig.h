#pragma once
// The window under test with a fake serial device on a virtual clock: the real main window Tu,
// a Link over FakeDevice, a recording beeper, and a reader that answers from a table.

#include "link/protocol/link.h"
#include "link/time/system_time.h"
#include "link/transport/serial_posix.h"
#include "operations/handlers.h"
#include "program/program_values.h"
#include "shell/main_window.h"
#include "tests/support/fake_device.h"
#include "tests/support/recording_beeper.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QRadioButton>
#include <QScrollBar>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace qv::test {

inline const QColor kYellow{255, 255, 0};
inline const QColor kRed{255, 0, 0};

// The 16-byte reply to "A00B": LF, head "B", ID (2), "B", serial (8), checksum, CR.
inline std::string IdentityReply(const std::string& id = "07",
                                 const std::string& serial = "SN012345") {
    return ReplyFrame("B" + id + "B" + serial);
}

// A reply whose data begins at position 6: LF, a four-character head, the data.
inline std::string DataReply(const std::string& head, const std::string& data) {
    return ReplyFrame(head + data);
}

using Handler = std::function<void(Context&)>;

struct Rig {
    VirtualTime time;
    FakeDevice device{time};
    link::Link link{device, time, time};
    ProgramValues values;
    RecordingBeeper beeper;
    Tu window{link, beeper, values};
    Controls& ui = window.controls();
    Context& ctx = window.context();
    // The reader: the reply for each command text; commands not listed go unanswered.
    std::map<std::string, std::string> replies;

    // A reader found at COM3 with "19200,e,8,1", answering "A00B".
    Rig() {
        window.FormShow();
        beeper.ui = &ui;
        device.responder = [this](const std::string& command) {
            const auto it = replies.find(command);
            return it == replies.end() ? std::string() : it->second;
        };
        values.ScanPort = 3;
        values.ScanSettings = "19200,e,8,1";
        values.ScanSettingsIndex = 5;
        values.ReaderSettings = "19200,e,8,1";
        values.ReaderFound = true;
        replies["A00B"] = IdentityReply();
    }

    std::vector<std::string> commands() const { return device.commands(); }

    // The pauses the operations asked for, without the 1 ms and 5 ms pacing of the writers.
    std::vector<std::uint32_t> pauses() const {
        std::vector<std::uint32_t> out;
        for (auto ms : time.sleeps)
            if (ms >= 10)
                out.push_back(ms);
        return out;
    }

    // Every control's state that an operation could change, except the status line and lamps.
    QStringList snapshot() const {
        QStringList out;
        for (const QObject* o : window.findChildren<QObject*>()) {
            const QString name = o->objectName();
            if (name == "pnMsg")
                continue;
            if (auto* l = qobject_cast<const QLabel*>(o))
                out << name + "=" + l->text();
            else if (auto* s = qobject_cast<const QScrollBar*>(o))
                out << name + "=" + QString::number(s->value());
            else if (auto* c = qobject_cast<const QCheckBox*>(o))
                out << name + "=" + QString::number(c->isChecked());
            else if (auto* r = qobject_cast<const QRadioButton*>(o))
                out << name + "=" + QString::number(r->isChecked());
            else if (auto* b = qobject_cast<const QComboBox*>(o))
                out << name + "=" + QString::number(b->currentIndex());
        }
        return out;
    }
};

// What one operation did against a reader that answers "A00B" and never the operation's own
// command: the status line when the port opened, how often the window was let paint before
// that, what was sent, the pauses asked for, the closing status line, and whether every control
// stayed as it was.
struct UnansweredRun {
    QString startText;
    int pumpsBeforeOpen = 0;
    std::vector<std::string> commands;
    std::vector<std::uint32_t> pauses;
    QString status;
    bool controlsKept = false;
    int closes = 0;
};

inline UnansweredRun RunUnanswered(Rig& rig, const Handler& handler) {
    UnansweredRun run;
    rig.replies = {{"A00B", IdentityReply()}};
    rig.link.setEventPump([&] {
        if (rig.device.opens.empty())
            ++run.pumpsBeforeOpen;
    });
    rig.device.canOpen = [&](const std::string&, const link::LineSettings&) {
        run.startText = rig.ui.pnMsg->text();
        return true;
    };
    const QStringList before = rig.snapshot();
    handler(rig.ctx);
    run.commands = rig.commands();
    run.pauses = rig.pauses();
    run.status = rig.ui.pnMsg->text();
    run.controlsKept = rig.snapshot() == before;
    run.closes = rig.device.closeCount;
    return run;
}

// The plain acknowledgement a reader gives to a setting.
inline const std::string kAck = ReplyFrame("A00K");

// Runs `handler` against a reader that acknowledges everything; returns the command after "A00B".
inline std::string SentBy(Rig& rig, const Handler& handler) {
    rig.device.responder = [](const std::string& command) {
        return command == "A00B" ? IdentityReply() : kAck;
    };
    rig.device.sent.clear();
    handler(rig.ctx);
    const auto commands = rig.commands();
    return commands.size() == 2 && commands[0] == "A00B" ? commands[1] : std::string("?");
}

// The handler called `name` from the window's list; a name that is no handler stops the test.
inline Handler Named(const QString& name) {
    const ops::Handler* row = ops::FindHandler(name.toStdString());
    if (!row)
        qFatal("no operation is called %s", qPrintable(name));
    return [row](Context& ctx) { ops::Run(ctx, *row); };
}

// The same command `times` times, each after "A00B" when `identity` is set.
inline std::vector<std::string> Tries(const std::string& command, int times, bool identity) {
    std::vector<std::string> out;
    for (int i = 0; i < times; ++i) {
        if (identity)
            out.push_back("A00B");
        out.push_back(command);
    }
    return out;
}

// The columns of a table of operations run against a reader that answers "A00B" but never the
// operation's command: the operation, its start text, how often the window paints before the
// port opens, its pause, its tries, whether each try asks for the identity first, its command
// and its failure text.
inline void AddUnansweredColumns() {
    QTest::addColumn<QString>("handler");
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("pumps");
    QTest::addColumn<int>("pause");
    QTest::addColumn<int>("tries");
    QTest::addColumn<bool>("identity");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("failure");
}

// Runs the current row of such a table on `rig` and checks all of it: the start text, the
// paints, every try's frames and pauses, the failure text, the red lamp, one close, and not one
// control changed.
inline void CheckUnansweredRow(Rig& rig) {
    QFETCH(QString, handler);
    QFETCH(QString, start);
    QFETCH(int, pumps);
    QFETCH(int, pause);
    QFETCH(int, tries);
    QFETCH(bool, identity);
    QFETCH(QString, command);
    QFETCH(QString, failure);
    const UnansweredRun run = RunUnanswered(rig, Named(handler));
    QCOMPARE(run.startText, start);
    QCOMPARE(run.pumpsBeforeOpen, pumps);
    QCOMPARE(run.commands, Tries(command.toStdString(), tries, identity));
    const std::vector<std::uint32_t> pauses(static_cast<std::size_t>(tries * (identity ? 2 : 1)),
                                            static_cast<std::uint32_t>(pause));
    QCOMPARE(run.pauses, pauses);
    QCOMPARE(run.status, failure);
    QCOMPARE(rig.ui.shComm->color(), kRed);
    QCOMPARE(run.closes, 1);
    QVERIFY(run.controlsKept);
}

// Runs `change` once, in the pause that begins the second try (after the first try's command).
inline void BeforeSecondTry(Rig& rig, std::function<void()> change) {
    rig.time.onSleep = [&rig, change = std::move(change), done = false]() mutable {
        if (!done && rig.device.sent.size() == 2) {
            done = true;
            change();
        }
    };
}

// The columns of a table of operations that build their command anew in each try: the
// operation, the first try's command, and the second try's after the controls changed.
inline void AddRebuiltColumns() {
    QTest::addColumn<QString>("handler");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
}

// Runs the current row of such a table on `rig`, making `change` before the second try, against
// a reader that acknowledges only the second command: both tries' commands, then success.
inline void CheckRebuiltRow(Rig& rig, std::function<void()> change) {
    QFETCH(QString, handler);
    QFETCH(QString, first);
    QFETCH(QString, second);
    rig.replies[second.toStdString()] = kAck;
    BeforeSecondTry(rig, std::move(change));
    Named(handler)(rig.ctx);
    QCOMPARE(rig.commands(),
             (std::vector<std::string>{"A00B", first.toStdString(), "A00B", second.toStdString()}));
    QVERIFY(rig.ui.pnMsg->text().endsWith(" Ok"));
}

// The simulator program beside the test programs, on a real pseudo-terminal, for the few runs in
// real time. It is stopped through its own process when the object goes.
struct SimProgram {
    QProcess process;
    QString terminal; // the slave path it printed first

    // False when the program was not built or did not come up.
    bool start(const QStringList& arguments) {
        const QString program = QCoreApplication::applicationDirPath() + "/quorvane-sim";
        if (!QFileInfo(program).isExecutable())
            return false;
        process.start(program, arguments);
        if (!process.waitForStarted(5000))
            return false;
        while (!process.canReadLine() && process.waitForReadyRead(5000)) {
        }
        terminal = QString::fromLocal8Bit(process.readLine()).trimmed();
        return !terminal.isEmpty();
    }
    // Stops the simulator; what it logged with --verbose.
    QString stop() {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            process.waitForFinished(5000);
        }
        return QString::fromLocal8Bit(process.readAllStandardError());
    }
    ~SimProgram() { stop(); }
};

// The real window on the real serial device, clock and sleeper, as the program runs it, with
// COM`port` mapped to `terminal` and every other COM number to a path that does not exist.
struct RealRig {
    link::PosixSerialDevice device;
    link::SteadyClock clock;
    link::ThreadSleeper sleeper;
    link::Link link{device, clock, sleeper};
    ProgramValues values;
    RecordingBeeper beeper;
    Tu window{link, beeper, values};
    Controls& ui = window.controls();
    Context& ctx = window.context();

    RealRig(int port, const QString& terminal) {
        window.FormShow();
        beeper.ui = &ui;
        link.setEventPump([] { QCoreApplication::processEvents(); });
        link::PortMap ports;
        for (int n = 1; n <= 16; ++n)
            ports[n] = "/nonexistent/COM" + std::to_string(n);
        ports[port] = terminal.toStdString();
        link.setPortMap(ports);
    }
};

// The place and language store of this test process.
inline QSettings Store() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Velmora", "Quorvane_Tools");
}

inline void ClearStore() {
    auto s = Store();
    s.clear();
    s.sync();
}

} // namespace qv::test

// Each test process gets its own settings store in a temporary folder.
#define QV_WINDOW_TEST_MAIN(TestClass)                                                             \
    int main(int argc, char** argv) {                                                              \
        QTemporaryDir config;                                                                      \
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());                                   \
        QApplication app(argc, argv);                                                              \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
