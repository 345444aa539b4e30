// The Windows serial device: against a stand-in for the system (errors Wine cannot produce, the
// calls and their order) and, when a COM port with the simulator behind it is named in
// QV_TEST_COM (and a silent one in QV_TEST_SILENT_COM), against a real port.

#include "link/protocol/commands.h"
#include "link/protocol/link.h"
#include "link/time/system_time.h"
#include "link/transport/serial_win32.h"

#include <QElapsedTimer>
#include <QtTest>

#include <vector>

using namespace qv::link;

namespace {

const LineSettings k19200e{19200, 'e', 8, 1};
HANDLE const kPort = reinterpret_cast<HANDLE>(std::intptr_t{0x4711});

// The system as a test wants it: scripted failures, a record of every call, virtual time.
class FakeSystem : public Win32Calls {
public:
    DWORD createError = ERROR_SUCCESS;
    DWORD commStateError = ERROR_SUCCESS;
    bool refuseParity = false;
    DWORD readError = ERROR_SUCCESS;
    std::int64_t readTakesUs = 1000; // a read that times out takes its millisecond
    COMMTIMEOUTS portTimeouts{7, 8, 9, 10, 11};
    DCB portState = [] {
        DCB d{};
        d.DCBlength = sizeof d;
        d.BaudRate = 300;
        d.ByteSize = 7;
        return d;
    }();

    struct Create {
        std::string path;
        DWORD access, share, disposition, flags;
    };
    std::vector<Create> creates;
    std::vector<DCB> statesSet;
    std::vector<HANDLE> closed;
    std::vector<DWORD> purges;
    std::vector<std::int64_t> sleeps;
    int fineTimerDepth = 0;
    std::int64_t us = 0;

    DWORD createFile(const char* path, DWORD access, DWORD share, DWORD disposition, DWORD flags,
                     HANDLE& handle) override {
        creates.push_back({path, access, share, disposition, flags});
        handle = createError == ERROR_SUCCESS ? kPort : INVALID_HANDLE_VALUE;
        return createError;
    }
    void closeHandle(HANDLE handle) override { closed.push_back(handle); }
    DWORD getCommState(HANDLE, DCB& dcb) override {
        if (commStateError == ERROR_SUCCESS)
            dcb = portState;
        return commStateError;
    }
    DWORD setCommState(HANDLE, const DCB& dcb) override {
        statesSet.push_back(dcb);
        if (refuseParity && dcb.Parity != NOPARITY)
            return ERROR_INVALID_PARAMETER;
        portState = dcb;
        return ERROR_SUCCESS;
    }
    DWORD getCommTimeouts(HANDLE, COMMTIMEOUTS& timeouts) override {
        timeouts = portTimeouts;
        return ERROR_SUCCESS;
    }
    DWORD setCommTimeouts(HANDLE, const COMMTIMEOUTS& timeouts) override {
        portTimeouts = timeouts;
        return ERROR_SUCCESS;
    }
    DWORD readFile(HANDLE, void*, DWORD, DWORD& done) override {
        done = 0;
        us += readError == ERROR_SUCCESS ? readTakesUs : 0;
        return readError;
    }
    DWORD writeFile(HANDLE, const void*, DWORD count, DWORD& done) override {
        done = count;
        return ERROR_SUCCESS;
    }
    DWORD purgeComm(HANDLE, DWORD flags) override {
        purges.push_back(flags);
        return ERROR_SUCCESS;
    }
    void beginFineTimer() override { ++fineTimerDepth; }
    void endFineTimer() override { --fineTimerDepth; }
    std::int64_t nowUs() override { return us; }
    void sleepUs(std::int64_t t) override {
        sleeps.push_back(t);
        us += t;
    }
};

bool SameTimeouts(const COMMTIMEOUTS& a, const COMMTIMEOUTS& b) {
    return a.ReadIntervalTimeout == b.ReadIntervalTimeout &&
           a.ReadTotalTimeoutMultiplier == b.ReadTotalTimeoutMultiplier &&
           a.ReadTotalTimeoutConstant == b.ReadTotalTimeoutConstant &&
           a.WriteTotalTimeoutMultiplier == b.WriteTotalTimeoutMultiplier &&
           a.WriteTotalTimeoutConstant == b.WriteTotalTimeoutConstant;
}

// The real system, with a look at the port's timeouts just before each handle is closed.
class WatchedSystem : public Win32Calls {
public:
    Win32Calls& real = SystemWin32Calls();
    std::vector<COMMTIMEOUTS> savedAtOpen;
    std::vector<COMMTIMEOUTS> atClose;

    DWORD createFile(const char* p, DWORD a, DWORD s, DWORD d, DWORD f, HANDLE& h) override {
        return real.createFile(p, a, s, d, f, h);
    }
    void closeHandle(HANDLE handle) override {
        COMMTIMEOUTS now{};
        if (real.getCommTimeouts(handle, now) == ERROR_SUCCESS)
            atClose.push_back(now);
        real.closeHandle(handle);
    }
    DWORD getCommState(HANDLE h, DCB& dcb) override { return real.getCommState(h, dcb); }
    DWORD setCommState(HANDLE h, const DCB& dcb) override { return real.setCommState(h, dcb); }
    DWORD getCommTimeouts(HANDLE h, COMMTIMEOUTS& t) override {
        const DWORD result = real.getCommTimeouts(h, t);
        savedAtOpen.push_back(t);
        return result;
    }
    DWORD setCommTimeouts(HANDLE h, const COMMTIMEOUTS& t) override {
        return real.setCommTimeouts(h, t);
    }
    DWORD readFile(HANDLE h, void* p, DWORD n, DWORD& done) override {
        return real.readFile(h, p, n, done);
    }
    DWORD writeFile(HANDLE h, const void* p, DWORD n, DWORD& done) override {
        return real.writeFile(h, p, n, done);
    }
    DWORD purgeComm(HANDLE h, DWORD flags) override { return real.purgeComm(h, flags); }
    void beginFineTimer() override { real.beginFineTimer(); }
    void endFineTimer() override { real.endFineTimer(); }
    std::int64_t nowUs() override { return real.nowUs(); }
    void sleepUs(std::int64_t t) override { real.sleepUs(t); }
};

} // namespace

Q_DECLARE_METATYPE(SerialError)

class TstWin32Serial : public QObject {
    Q_OBJECT
private slots:
    void resolvesComNumbers_data();
    void resolvesComNumbers();
    void openErrorsBecomeReasons_data();
    void openErrorsBecomeReasons();
    void opensExclusivelyAndRestoresTimeouts();
    void handleWithoutCommStateIsNoPort();
    void refusedParityIsRetriedWithout();
    void secondOpenLeavesFirstAlone();
    void buildsDcbWithoutFlowControl_data();
    void buildsDcbWithoutFlowControl();
    void emptyReadTakesItsMillisecond_data();
    void emptyReadTakesItsMillisecond();
    void purgeDropsBothDirections();

    void transactsOnRealPort_data();
    void transactsOnRealPort();
    void realPortGetsItsTimeoutsBack();
    void comNumberWithoutDeviceDoesNotOpen();
};

void TstWin32Serial::resolvesComNumbers_data() {
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("path");
    QTest::newRow("COM1") << 1 << R"(\\.\COM1)";
    QTest::newRow("COM9") << 9 << R"(\\.\COM9)";
    QTest::newRow("COM16") << 16 << R"(\\.\COM16)";
    QTest::newRow("COM0") << 0 << "";
    QTest::newRow("COM17") << 17 << "";
    QTest::newRow("COM3 mapped to COM7") << 3 << R"(\\.\COM7)";
    QTest::newRow("COM4 mapped to a device name") << 4 << R"(\\.\COM12)";
    QTest::newRow("COM20 mapped to com21") << 20 << R"(\\.\com21)";
    QTest::newRow("COM2 mapped to a Linux path") << 2 << "";
    QTest::newRow("COM5 mapped to a file") << 5 << "";
    QTest::newRow("COM6 mapped to COM") << 6 << "";
    QTest::newRow("COM7 mapped to COM07") << 7 << "";
    QTest::newRow("COM8 mapped to COM1x") << 8 << "";
    QTest::newRow("COM10 mapped to a USB selector") << 10 << "usb:0403:6001:A50285BI";
}

void TstWin32Serial::resolvesComNumbers() {
    QFETCH(int, port);
    QFETCH(QString, path);
    const PortMap map = {{3, "COM7"},       {4, R"(\\.\COM12)"},   {20, "com21"},
                         {2, "/dev/pts/3"}, {5, R"(C:\port.txt)"}, {6, "COM"},
                         {7, "COM07"},      {8, "COM1x"},          {10, "usb:0403:6001:A50285BI"}};
    QCOMPARE(QString::fromStdString(ResolveComPort(port, map)), path);
}

void TstWin32Serial::openErrorsBecomeReasons_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<SerialError>("error");
    QTest::newRow("access denied: another program has it")
        << int(ERROR_ACCESS_DENIED) << SerialError::InUse;
    QTest::newRow("sharing violation") << int(ERROR_SHARING_VIOLATION) << SerialError::InUse;
    QTest::newRow("file not found") << int(ERROR_FILE_NOT_FOUND) << SerialError::NoDevice;
    QTest::newRow("path not found") << int(ERROR_PATH_NOT_FOUND) << SerialError::NoDevice;
    QTest::newRow("privilege not held")
        << int(ERROR_PRIVILEGE_NOT_HELD) << SerialError::AccessDenied;
    QTest::newRow("general failure") << int(ERROR_GEN_FAILURE) << SerialError::Other;
}

void TstWin32Serial::openErrorsBecomeReasons() {
    QFETCH(int, code);
    QFETCH(SerialError, error);
    FakeSystem system;
    system.createError = DWORD(code);
    Win32SerialDevice device(system);
    QVERIFY(!device.open(R"(\\.\COM4)", k19200e));
    QVERIFY(!device.isOpen());
    QCOMPARE(device.lastError(), error);
    QCOMPARE(system.fineTimerDepth, 0);
    QVERIFY(system.statesSet.empty());
    QVERIFY(system.closed.empty());
}

void TstWin32Serial::opensExclusivelyAndRestoresTimeouts() {
    FakeSystem system;
    const COMMTIMEOUTS before = system.portTimeouts;
    Win32SerialDevice device(system);
    QVERIFY(device.open(R"(\\.\COM4)", k19200e));
    QCOMPARE(device.lastError(), SerialError::None);
    QCOMPARE(system.creates.size(), size_t(1));
    const auto& create = system.creates[0];
    QCOMPARE(QString::fromStdString(create.path), QString(R"(\\.\COM4)"));
    QCOMPARE(create.access, DWORD(GENERIC_READ | GENERIC_WRITE));
    QCOMPARE(create.share, DWORD(0));
    QCOMPARE(create.disposition, DWORD(OPEN_EXISTING));
    QCOMPARE(create.flags & FILE_FLAG_OVERLAPPED, DWORD(0));
    QCOMPARE(system.portState.BaudRate, DWORD(19200));
    QCOMPARE(int(system.portState.Parity), EVENPARITY);
    QCOMPARE(system.portTimeouts.ReadTotalTimeoutConstant, DWORD(1));
    QCOMPARE(system.fineTimerDepth, 1);

    device.close();
    QVERIFY(!device.isOpen());
    QVERIFY(SameTimeouts(system.portTimeouts, before));
    QCOMPARE(system.portState.BaudRate, DWORD(19200)); // the line settings stay
    QCOMPARE(system.closed, std::vector<HANDLE>{kPort});
    QCOMPARE(system.fineTimerDepth, 0);
    device.close();
    QCOMPARE(system.closed.size(), size_t(1));
    QCOMPARE(system.fineTimerDepth, 0);
}

// Wine opens a COM number mapped to a path that does not exist; only the port calls fail then.
void TstWin32Serial::handleWithoutCommStateIsNoPort() {
    FakeSystem system;
    system.commStateError = ERROR_INVALID_HANDLE;
    Win32SerialDevice device(system);
    QVERIFY(!device.open(R"(\\.\COM2)", k19200e));
    QCOMPARE(device.lastError(), SerialError::NotCharacterDevice);
    QCOMPARE(system.closed, std::vector<HANDLE>{kPort});
    QVERIFY(system.statesSet.empty());
    QCOMPARE(system.fineTimerDepth, 0);
}

void TstWin32Serial::refusedParityIsRetriedWithout() {
    FakeSystem system;
    system.refuseParity = true;
    Win32SerialDevice device(system);
    QVERIFY(device.open(R"(\\.\COM1)", k19200e));
    QCOMPARE(system.statesSet.size(), size_t(2));
    QCOMPARE(int(system.statesSet[0].Parity), EVENPARITY);
    QCOMPARE(int(system.statesSet[1].Parity), NOPARITY);
    QCOMPARE(DWORD(system.statesSet[1].fParity), DWORD(FALSE));
    QCOMPARE(system.portState.BaudRate, DWORD(19200));
    QCOMPARE(int(system.portState.ByteSize), 8);
    QCOMPARE(system.portTimeouts.ReadTotalTimeoutConstant, DWORD(1));
}

void TstWin32Serial::secondOpenLeavesFirstAlone() {
    FakeSystem system;
    Win32SerialDevice device(system);
    QVERIFY(device.open(R"(\\.\COM1)", k19200e));
    QVERIFY(!device.open(R"(\\.\COM2)", LineSettings{9600, 'n', 8, 1}));
    QCOMPARE(device.lastError(), SerialError::AlreadyOpen);
    QVERIFY(device.isOpen());
    QCOMPARE(system.creates.size(), size_t(1));
    QCOMPARE(system.portState.BaudRate, DWORD(19200));
    QCOMPARE(system.fineTimerDepth, 1);
}

void TstWin32Serial::buildsDcbWithoutFlowControl_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("stops");
    QTest::addColumn<int>("dtrBefore");
    QTest::addColumn<int>("dtrAfter");
    QTest::addColumn<int>("rtsBefore");
    QTest::addColumn<int>("rtsAfter");
    QTest::newRow("19200,e,8,1, handshakes become on")
        << "19200,e,8,1" << EVENPARITY << 8 << ONESTOPBIT << DTR_CONTROL_HANDSHAKE
        << DTR_CONTROL_ENABLE << RTS_CONTROL_HANDSHAKE << RTS_CONTROL_ENABLE;
    QTest::newRow("4800,n,8,1, lines off stay off")
        << "4800,n,8,1" << NOPARITY << 8 << ONESTOPBIT << DTR_CONTROL_DISABLE << DTR_CONTROL_DISABLE
        << RTS_CONTROL_DISABLE << RTS_CONTROL_DISABLE;
    QTest::newRow("115200,e,8,1, lines on stay on")
        << "115200,e,8,1" << EVENPARITY << 8 << ONESTOPBIT << DTR_CONTROL_ENABLE
        << DTR_CONTROL_ENABLE << RTS_CONTROL_ENABLE << RTS_CONTROL_ENABLE;
    QTest::newRow("9600,o,7,2, RTS toggle becomes on")
        << "9600,o,7,2" << ODDPARITY << 7 << TWOSTOPBITS << DTR_CONTROL_ENABLE << DTR_CONTROL_ENABLE
        << RTS_CONTROL_TOGGLE << RTS_CONTROL_ENABLE;
}

void TstWin32Serial::buildsDcbWithoutFlowControl() {
    QFETCH(QString, text);
    QFETCH(int, parity);
    QFETCH(int, bits);
    QFETCH(int, stops);
    QFETCH(int, dtrBefore);
    QFETCH(int, dtrAfter);
    QFETCH(int, rtsBefore);
    QFETCH(int, rtsAfter);
    // A flow-controlled 7O2 line at 300 baud that aborts on errors and strips NULs.
    DCB base{};
    base.BaudRate = 300;
    base.ByteSize = 7;
    base.Parity = ODDPARITY;
    base.StopBits = TWOSTOPBITS;
    base.fOutxCtsFlow = base.fOutxDsrFlow = base.fDsrSensitivity = TRUE;
    base.fOutX = base.fInX = base.fErrorChar = base.fNull = base.fAbortOnError = TRUE;
    base.fDtrControl = DWORD(dtrBefore);
    base.fRtsControl = DWORD(rtsBefore);
    base.XonLim = 77;

    const auto settings = ParseLineSettings(text.toStdString());
    QVERIFY(settings);
    const DCB d = BuildDcb(base, *settings);
    QCOMPARE(d.DCBlength, DWORD(sizeof(DCB)));
    QCOMPARE(d.BaudRate, DWORD(settings->baud));
    QCOMPARE(int(d.Parity), parity);
    QCOMPARE(DWORD(d.fParity), DWORD(parity != NOPARITY));
    QCOMPARE(int(d.ByteSize), bits);
    QCOMPARE(int(d.StopBits), stops);
    QCOMPARE(DWORD(d.fBinary), DWORD(TRUE));
    const DWORD flowOrFilters = d.fOutxCtsFlow | d.fOutxDsrFlow | d.fDsrSensitivity | d.fOutX |
                                d.fInX | d.fErrorChar | d.fNull | d.fAbortOnError;
    QCOMPARE(flowOrFilters, DWORD(0));
    QCOMPARE(int(d.fDtrControl), dtrAfter);
    QCOMPARE(int(d.fRtsControl), rtsAfter);
    QCOMPARE(int(d.XonLim), 77); // what the link does not set is left as it was
}

void TstWin32Serial::emptyReadTakesItsMillisecond_data() {
    QTest::addColumn<int>("readError");
    QTest::addColumn<int>("readTakesUs");
    QTest::addColumn<int>("extraSleeps");
    QTest::addColumn<bool>("gone"); // the device counts as pulled out
    QTest::newRow("time-out after 1 ms") << int(ERROR_SUCCESS) << 1000 << 0 << false;
    QTest::newRow("device pulled out") << int(ERROR_BAD_COMMAND) << 0 << 1 << true;
    QTest::newRow("pulled out, access denied") << int(ERROR_ACCESS_DENIED) << 0 << 1 << true;
    QTest::newRow("not connected") << int(ERROR_DEVICE_NOT_CONNECTED) << 0 << 1 << true;
    QTest::newRow("driver returns at once") << int(ERROR_SUCCESS) << 20 << 1 << false;
    QTest::newRow("a passing failure") << int(ERROR_OPERATION_ABORTED) << 0 << 1 << false;
}

void TstWin32Serial::emptyReadTakesItsMillisecond() {
    QFETCH(int, readError);
    QFETCH(int, readTakesUs);
    QFETCH(int, extraSleeps);
    QFETCH(bool, gone);
    FakeSystem system;
    Win32SerialDevice device(system);
    QVERIFY(device.open(R"(\\.\COM1)", k19200e));
    system.readError = DWORD(readError);
    system.readTakesUs = readTakesUs;
    for (int i = 0; i < 50; ++i)
        QVERIFY(!device.readByte());
    QCOMPARE(int(system.sleeps.size()), 50 * extraSleeps);
    QVERIFY(system.us >= 50 * 1000);
    QCOMPARE(device.gone(), gone);
    device.close();
    system.readError = ERROR_SUCCESS;
    QVERIFY(device.open(R"(\\.\COM1)", k19200e));
    QVERIFY(!device.gone()); // a new open starts afresh
}

void TstWin32Serial::purgeDropsBothDirections() {
    FakeSystem system;
    Win32SerialDevice device(system);
    device.purge(); // nothing open: nothing to purge
    QVERIFY(system.purges.empty());
    QVERIFY(device.open(R"(\\.\COM1)", k19200e));
    device.purge();
    QCOMPARE(system.purges,
             std::vector<DWORD>{PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR});
}

// The real port tests: the simulator behind COM numbers that the environment names.
namespace {

int EnvPort(const char* name) {
    return qEnvironmentVariableIntValue(name);
}

} // namespace

void TstWin32Serial::transactsOnRealPort_data() {
    QTest::addColumn<QByteArray>("portVariable");
    QTest::addColumn<QString>("settings");
    QTest::addColumn<bool>("answers");
    QTest::newRow("reader at its speed") << QByteArray("QV_TEST_COM") << "19200,e,8,1" << true;
    QTest::newRow("reader at another speed") << QByteArray("QV_TEST_COM") << "9600,e,8,1" << false;
    QTest::newRow("silent reader") << QByteArray("QV_TEST_SILENT_COM") << "19200,e,8,1" << false;
}

void TstWin32Serial::transactsOnRealPort() {
    QFETCH(QByteArray, portVariable);
    QFETCH(QString, settings);
    QFETCH(bool, answers);
    const int port = EnvPort(portVariable.constData());
    if (port == 0)
        QSKIP(portVariable + " names no COM port with a simulated reader");
    Win32SerialDevice device;
    SteadyClock clock;
    ThreadSleeper sleeper;
    Link link(device, clock, sleeper);
    for (int open = 0; open < 2; ++open) { // closing releases the port: it opens again
        QVERIFY2(link.CommOpen(port, settings.toStdString()),
                 DescribeSerialError(link.lastOpenError()));
        for (int transaction = 0; transaction < 2; ++transaction) {
            QElapsedTimer timer;
            timer.start();
            QCOMPARE(link.ReaderTransact(cmd::Identity()), answers);
            const qint64 ms = timer.elapsed();
            if (answers)
                QVERIFY2(link.reply().text().find("QV000001") != std::string::npos,
                         link.reply().text().c_str());
            else // the wait ends some 121 ms after sending, judged loosely
                QVERIFY2(ms >= 100 && ms < 1000, qPrintable(QString::number(ms)));
        }
        link.CommClose();
    }
}

void TstWin32Serial::realPortGetsItsTimeoutsBack() {
    const int port = EnvPort("QV_TEST_COM");
    if (port == 0)
        QSKIP("QV_TEST_COM names no COM port with a simulated reader");
    WatchedSystem system;
    Win32SerialDevice device(system);
    QVERIFY(device.open(ResolveComPort(port, {}), k19200e));
    QCOMPARE(system.savedAtOpen.size(), size_t(1));
    device.close();
    QCOMPARE(system.atClose.size(), size_t(1));
    QVERIFY(!SameTimeouts(system.savedAtOpen[0], WorkingTimeouts()));
    QVERIFY(SameTimeouts(system.atClose[0], system.savedAtOpen[0]));
}

// Wine opens a COM number whose mapped path is missing; the open must still fail.
void TstWin32Serial::comNumberWithoutDeviceDoesNotOpen() {
    const int port = EnvPort("QV_TEST_MISSING_COM");
    if (port == 0)
        QSKIP("QV_TEST_MISSING_COM names no COM port without a device");
    Win32SerialDevice device;
    SteadyClock clock;
    ThreadSleeper sleeper;
    Link link(device, clock, sleeper);
    QVERIFY(!link.CommOpen(port, "19200,e,8,1"));
    QVERIFY(!device.isOpen());
    const SerialError error = link.lastOpenError();
    QVERIFY2(error == SerialError::NoDevice || error == SerialError::NotCharacterDevice,
             DescribeSerialError(error));
}

QTEST_GUILESS_MAIN(TstWin32Serial)
#include "tst_win32_serial.moc"
