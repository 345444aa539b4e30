// The start-up guard: a normal run gives its own result and no box; an error that escapes the
// start-up is shown in an error box captioned with the application name, as plain text, and
// gives 1; errors of another kind are not caught.
#include "shell/startup.h"

#include "link/protocol/link.h"
#include "program/program_values.h"
#include "shell/main_window.h"
#include "tests/support/fake_device.h"
#include "tests/support/recording_beeper.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <stdexcept>

namespace {

// Watches for the error box while it lives, records what the box shows and closes it.
struct BoxWatcher {
    bool shown = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    Qt::TextFormat format = Qt::AutoText;
    QTimer poll;

    BoxWatcher() {
        poll.setInterval(1);
        QObject::connect(&poll, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            shown = true;
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            format = box->textFormat();
            box->done(0);
        });
        poll.start();
    }
};

} // namespace

class tst_Startup : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void normalEndGivesTheRunsResultWithoutABox_data();
    void normalEndGivesTheRunsResultWithoutABox();
    void escapingErrorIsShownAndGivesOne();
    void otherErrorsPassThrough();
    void exitEndsTheLoopWithZeroAndWritesNothing();
    void closeRequestLeavesTheLoopRunning();
};

void tst_Startup::initTestCase() {
    QApplication::setApplicationName(QStringLiteral("Quorvane Tools"));
}

void tst_Startup::normalEndGivesTheRunsResultWithoutABox_data() {
    QTest::addColumn<int>("result");
    QTest::newRow("Exit") << 0;
    QTest::newRow("loop ended with a code") << 3;
}

void tst_Startup::normalEndGivesTheRunsResultWithoutABox() {
    QFETCH(int, result);
    BoxWatcher box;
    QCOMPARE(qv::RunGuarded([result] { return result; }), result);
    QTest::qWait(5);
    QVERIFY(!box.shown);
}

void tst_Startup::escapingErrorIsShownAndGivesOne() {
    BoxWatcher box;
    const int result =
        qv::RunGuarded([]() -> int { throw std::runtime_error("cannot create <b>window</b>"); });
    QCOMPARE(result, 1);
    QVERIFY(box.shown);
    QCOMPARE(box.title, QString("Quorvane Tools"));
    QCOMPARE(box.text, QString("cannot create <b>window</b>"));
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.format, Qt::PlainText);
}

void tst_Startup::otherErrorsPassThrough() {
    QVERIFY_THROWS_EXCEPTION(int, qv::RunGuarded([]() -> int { throw 7; }));
}

namespace {

// The program's run with a fake reader: the window in a real message loop.
struct Program {
    qv::test::VirtualTime time;
    qv::test::FakeDevice device{time};
    qv::link::Link link{device, time, time};
    qv::ProgramValues values;
    qv::test::RecordingBeeper beeper;
    qv::Tu window{link, beeper, values};
};

} // namespace

void tst_Startup::exitEndsTheLoopWithZeroAndWritesNothing() {
    QTemporaryDir store;
    QVERIFY(store.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, store.path());
    BoxWatcher box;
    bool visibleBeforeExit = false;
    const int result = qv::RunGuarded([&] {
        Program program;
        program.window.show();
        QTimer::singleShot(10, &program.window, [&] {
            visibleBeforeExit = program.window.isVisible();
            program.window.controls().btnExit->click();
        });
        return QApplication::exec();
    });
    QCOMPARE(result, 0);
    QVERIFY(visibleBeforeExit);
    QVERIFY(!box.shown);
    QVERIFY(QDir(store.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

void tst_Startup::closeRequestLeavesTheLoopRunning() {
    QTemporaryDir store;
    QVERIFY(store.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, store.path());
    bool visibleAfterClose = false;
    const int result = qv::RunGuarded([&] {
        Program program;
        program.window.show();
        // A window manager's close request, then a check that the loop still runs.
        QTimer::singleShot(10, &program.window, [&] { program.window.close(); });
        QTimer::singleShot(30, &program.window, [&] {
            visibleAfterClose = program.window.isVisible();
            QApplication::exit(5);
        });
        return QApplication::exec();
    });
    QCOMPARE(result, 5);
    QVERIFY(visibleAfterClose);
}

QTEST_MAIN(tst_Startup)
#include "tst_startup.moc"
