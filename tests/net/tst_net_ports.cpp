// quorvane-cli reaching a simulated reader through ser2net on the loopback, once over RFC 2217
// and once over raw TCP: the real programs, started and stopped by their process ids.

#include "tests/support/loopback.h"
#include "tests/support/run_program.h"
#include "tests/support/sim_program.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The simulator's line setting; ser2net's raw accepter is configured to it.
const QString kSettings = "38400,e,8,1";

using qv::test::Listening;
using qv::test::Run;

Run RunCli(const QStringList& args, const QProcessEnvironment& env = {}) {
    return qv::test::RunProgram(QV_CLI_PROGRAM, args, env);
}

// Runs quorvane-cli again while ser2net still holds the line for another accepter's client that
// has just gone (it lets the device go a moment later), for up to ten seconds. Meanwhile it turns
// a new client away either with "device already in use" or by closing without a word.
Run RunWhenLineFree(const QStringList& args) {
    Run run = RunCli(args);
    for (int i = 0; i < 40 && (run.err.contains("device already in use") ||
                               run.err.contains("the server closed the connection"));
         ++i) {
        QTest::qWait(250);
        run = RunCli(args);
    }
    return run;
}

// A quorvane-sim with tags at the line settings the accepters are given.
QStringList SimArgs() {
    return {"--settings", kSettings, "--tags", "0000000000BC614E", "--tag-interval", "200"};
}

// ser2net fronting one simulator's pseudo-terminal with an RFC 2217 accepter and another's with
// a raw TCP one (ser2net refuses a line to a second accepter for a moment after the first has
// let it go). All are stopped by their process ids when this goes out of scope.
class Rig {
public:
    explicit Rig(const QString& dir) {
        if (forRfc2217_.path().isEmpty() || forRaw_.path().isEmpty())
            return;
        rfc2217Port = qv::test::FreeLoopbackPort();
        rawPort = qv::test::FreeLoopbackPort();
        telnetPort = qv::test::FreeLoopbackPort();
        // The device's own settings are the wrong speed for the RFC 2217 accepter, so that only
        // the negotiation can reach the reader; the raw accepter has the reader's settings.
        const QString yaml = QString("connection: &rfc2217\n"
                                     "  accepter: telnet(rfc2217),tcp,127.0.0.1,%1\n"
                                     "  connector: serialdev,%3,9600n81,local\n"
                                     "connection: &raw\n"
                                     "  accepter: tcp,127.0.0.1,%2\n"
                                     "  connector: serialdev,%4,38400e81,local\n"
                                     "connection: &telnet\n"
                                     "  accepter: telnet,tcp,127.0.0.1,%5\n"
                                     "  connector: serialdev,%4,38400e81,local\n")
                                 .arg(rfc2217Port)
                                 .arg(rawPort)
                                 .arg(forRfc2217_.path(), forRaw_.path())
                                 .arg(telnetPort);
        QFile config(dir + "/ser2net.yaml");
        if (!config.open(QIODevice::WriteOnly) || config.write(yaml.toUtf8()) != yaml.size())
            return;
        config.close();
        config_ = config.fileName();
        ready = startServer();
    }
    ~Rig() { stopServer(); }
    // Starts ser2net on the configuration (again, after stopServer) and waits until it listens.
    bool startServer() {
        server_.setProcessChannelMode(QProcess::ForwardedOutputChannel); // its stderr: discarded
        server_.setStandardErrorFile(QProcess::nullDevice());
        server_.start(QV_SER2NET, {"-n", "-c", config_});
        for (int i = 0; i < 100 && !(Listening(rawPort) && Listening(rfc2217Port)); ++i)
            QTest::qWait(50);
        return Listening(rawPort) && Listening(rfc2217Port);
    }
    void stopServer() {
        if (server_.state() == QProcess::NotRunning)
            return;
        server_.kill(); // SIGKILL to its pid: a server that vanishes without a word
        server_.waitForFinished(5000);
    }
    QString rfc2217() const { return QString("rfc2217://127.0.0.1:%1").arg(rfc2217Port); }
    QString raw() const { return QString("tcp://127.0.0.1:%1").arg(rawPort); }
    // A Telnet accepter without the COM port option, on the raw accepter's line.
    QString telnetOnly() const { return QString("rfc2217://127.0.0.1:%1").arg(telnetPort); }

    bool ready = false;
    int rfc2217Port = 0, rawPort = 0, telnetPort = 0;

private:
    QString config_;
    qv::test::Sim forRfc2217_{SimArgs()}, forRaw_{SimArgs()};
    QProcess server_;
};

} // namespace

class TstNetPorts : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void infoThroughEachKind_data();
    void infoThroughEachKind();
    void scanFindsTheReaderAtItsSpeed();
    void wrongSpeedStaysSilent();
    void getAndSet_data();
    void getAndSet();
    void comNumberMappedToUrl();
    void watchSeesTags();
    void serverKilledDuringWatch();
    void openFailuresInPlainWords_data();
    void openFailuresInPlainWords();
    void rawTcpSettingsAreTheServers();
    void serverWithoutLineControlSaysSo();
    void busyAccepterSaysWhy();
    void watchReopensWhenTheServerComesBack();

private:
    QTemporaryDir dir_;
    std::unique_ptr<Rig> rig_;
};

void TstNetPorts::initTestCase() {
    if (QString(QV_SER2NET).isEmpty() || QString(QV_SER2NET).endsWith("NOTFOUND"))
        QSKIP("ser2net is not installed (scripts/setup.sh installs it)");
    QVERIFY(dir_.isValid());
    rig_ = std::make_unique<Rig>(dir_.path());
    QVERIFY2(rig_->ready, "ser2net did not start listening");
}

void TstNetPorts::infoThroughEachKind_data() {
    QTest::addColumn<bool>("rfc2217");
    QTest::newRow("rfc2217") << true;
    QTest::newRow("raw tcp") << false;
}

void TstNetPorts::infoThroughEachKind() {
    QFETCH(bool, rfc2217);
    const QString port = rfc2217 ? rig_->rfc2217() : rig_->raw();
    const Run run = RunCli({"info", "--port", port, "--settings", kSettings, "--json", "--trace"});
    QVERIFY2(run.code == 0, qPrintable(run.err));
    const QJsonObject info = QJsonDocument::fromJson(run.out.toUtf8()).object();
    QCOMPARE(info["id"].toString(), "01");
    QCOMPARE(info["serial"].toString(), "QV000001");
    // The trace names the URL; on raw TCP it says that the settings were not set.
    QVERIFY2(run.err.contains("opened   " + port + " at " + kSettings), qPrintable(run.err));
    QCOMPARE(run.err.contains("not set: raw TCP"), !rfc2217);
}

void TstNetPorts::scanFindsTheReaderAtItsSpeed() {
    // Every one of the twelve settings is negotiated in turn; the simulator answers once the pty
    // has its speed. A pty carries no parity, so 38400,n,8,1, tried first, finds it as well.
    const Run run = RunCli({"scan", "--port", rig_->rfc2217(), "--json"});
    QVERIFY2(run.code == 0, qPrintable(run.err));
    const QJsonArray readers = QJsonDocument::fromJson(run.out.toUtf8())["readers"].toArray();
    QCOMPARE(readers.size(), 1);
    QVERIFY2(readers[0]["settings"].toString().startsWith("38400,"), qPrintable(run.out));
}

void TstNetPorts::wrongSpeedStaysSilent() {
    const Run run = RunCli({"info", "--port", rig_->rfc2217(), "--settings", "19200,e,8,1"});
    QCOMPARE(run.code, 1);
}

void TstNetPorts::getAndSet_data() {
    QTest::addColumn<bool>("rfc2217");
    QTest::addColumn<QString>("value");
    QTest::newRow("rfc2217") << true << "42";
    QTest::newRow("raw tcp") << false << "1234";
}

void TstNetPorts::getAndSet() {
    QFETCH(bool, rfc2217);
    QFETCH(QString, value);
    const QString port = rfc2217 ? rig_->rfc2217() : rig_->raw();
    const Run set = RunCli({"set", "same-card", value, "--port", port, "--settings", kSettings});
    QVERIFY2(set.code == 0, qPrintable(set.err));
    const Run get = RunCli({"get", "same-card", "--port", port, "--settings", kSettings});
    QVERIFY2(get.code == 0, qPrintable(get.err));
    QCOMPARE(get.out.simplified(), "same-card " + value);
}

void TstNetPorts::comNumberMappedToUrl() {
    // The settings store's [Ports] line, as the window reads it too.
    QTemporaryDir config;
    QVERIFY(QDir().mkpath(config.path() + "/Velmora"));
    QFile store(config.path() + "/Velmora/Quorvane_Tools.conf");
    QVERIFY(store.open(QIODevice::WriteOnly));
    store.write(("[Ports]\nCOM7=" + rig_->rfc2217() + "\n").toUtf8());
    store.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", config.path());
    const Run run = RunCli({"info", "--port", "COM7", "--settings", kSettings, "--json"}, env);
    QVERIFY2(run.code == 0, qPrintable(run.err));
    QCOMPARE(QJsonDocument::fromJson(run.out.toUtf8())["id"].toString(), "01");
}

void TstNetPorts::watchSeesTags() {
    const Run run = RunCli(
        {"watch", "--port", rig_->rfc2217(), "--settings", kSettings, "--count", "2", "--json"});
    QVERIFY2(run.code == 0, qPrintable(run.err));
    const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    for (const auto& line : lines)
        QCOMPARE(QJsonDocument::fromJson(line.toUtf8())["hex"].toString(), "00BC614E");
}

void TstNetPorts::serverKilledDuringWatch() {
    QTemporaryDir dir;
    Rig rig(dir.path());
    QVERIFY(rig.ready);
    QProcess watch;
    watch.start(QV_CLI_PROGRAM, {"watch", "--port", rig.rfc2217(), "--settings", kSettings,
                                 "--seconds", "5", "--json"});
    QVERIFY(watch.waitForStarted(5000));
    while (!watch.canReadLine())
        QVERIFY2(watch.waitForReadyRead(10000), "no tag before the server went away");
    rig.stopServer();
    // Reported gone, then the watch ends with an error at its time.
    QVERIFY(watch.waitForFinished(20000) || watch.state() == QProcess::NotRunning);
    const QString err = QString::fromUtf8(watch.readAllStandardError());
    QVERIFY2(err.contains("reader not answering"), qPrintable(err));
    QCOMPARE(watch.exitCode(), 1);
}

void TstNetPorts::openFailuresInPlainWords_data() {
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("reason");
    QTest::newRow("connection refused")
        << QString("rfc2217://127.0.0.1:%1").arg(qv::test::FreeLoopbackPort())
        << "connection refused";
}

void TstNetPorts::openFailuresInPlainWords() {
    QFETCH(QString, port);
    QFETCH(QString, reason);
    const Run run = RunCli({"info", "--port", port});
    QCOMPARE(run.code, 3);
    QVERIFY2(run.err.contains(reason), qPrintable(run.err));
}

// Behind raw TCP the line runs at the server's settings: nobody checked the ones given, so none
// is reported (before: info and backup named the --settings default, and a scan the first of the
// twelve, each of which "worked").
void TstNetPorts::rawTcpSettingsAreTheServers() {
    const Run info = RunCli({"info", "--port", rig_->raw(), "--settings", "19200,e,8,1", "--json"});
    QVERIFY2(info.code == 0, qPrintable(info.err));
    QVERIFY(QJsonDocument::fromJson(info.out.toUtf8())["settings"].isNull());

    const Run scan = RunCli({"scan", "--port", rig_->raw(), "--json", "--trace"});
    QVERIFY2(scan.code == 0, qPrintable(scan.err));
    const QJsonArray readers = QJsonDocument::fromJson(scan.out.toUtf8())["readers"].toArray();
    QCOMPARE(readers.size(), 1);
    QVERIFY(readers[0]["settings"].isNull());
    QCOMPARE(scan.err.count("opened   " + rig_->raw()), 1); // one try, not twelve

    QTemporaryDir dir;
    const QString file = dir.filePath("reader.json");
    const Run backup = RunCli({"backup", file, "--port", rig_->raw()});
    QVERIFY2(backup.code == 0, qPrintable(backup.err));
    QVERIFY2(backup.err.contains("baud is left out"), qPrintable(backup.err));
    QFile saved(file);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QJsonObject doc = QJsonDocument::fromJson(saved.readAll()).object();
    QVERIFY(doc["settings"].isNull());
    QVERIFY(!doc["parameters"].toObject().contains("baud"));
    QVERIFY(doc["parameters"].toObject().contains("rssi"));

    const Run restore = RunCli({"restore", file, "--with-baud", "--port", rig_->raw()});
    QCOMPARE(restore.code, 2); // the backup has no baud to write
}

void TstNetPorts::serverWithoutLineControlSaysSo() {
    const Run run =
        RunWhenLineFree({"info", "--port", rig_->telnetOnly(), "--settings", kSettings});
    QCOMPARE(run.code, 3);
    QVERIFY2(run.err.contains("does not offer line control"), qPrintable(run.err));
}

// ser2net serves one client per accepter and turns a second away with its reason.
void TstNetPorts::busyAccepterSaysWhy() {
    // The holder keeps the accepter once ser2net has let the line of an earlier test's client go:
    // until then the server closes the holder's connection at once.
    int holder = -1;
    for (int i = 0; i < 40 && holder < 0; ++i) {
        holder = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a = qv::test::Loopback(rig_->rawPort);
        QCOMPARE(::connect(holder, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        QTest::qWait(300);
        char byte = 0;
        if (::recv(holder, &byte, 1, MSG_DONTWAIT | MSG_PEEK) >= 0) { // closed, or said why
            ::close(holder);
            holder = -1;
        }
    }
    QVERIFY(holder >= 0);
    const Run run = RunCli({"info", "--port", rig_->raw()});
    ::close(holder);
    QCOMPARE(run.code, 3);
    QVERIFY2(run.err.contains("the server closed the connection (it said \"Port already in use\")"),
             qPrintable(run.err));
    QTest::qWait(1500); // ser2net keeps the line a moment after its client has gone
}

// A closed connection is a device that went away: watch --reconnect opens it again once the
// server is back (before, the port was never reopened and only "no reply" followed).
void TstNetPorts::watchReopensWhenTheServerComesBack() {
    QTemporaryDir dir;
    Rig rig(dir.path());
    QVERIFY(rig.ready);
    QProcess watch;
    watch.start(QV_CLI_PROGRAM, {"watch", "--port", rig.rfc2217(), "--settings", kSettings,
                                 "--reconnect", "10", "--seconds", "6", "--json"});
    QVERIFY(watch.waitForStarted(5000));
    while (!watch.canReadLine())
        QVERIFY2(watch.waitForReadyRead(10000), "no tag before the server went away");
    rig.stopServer();
    QTest::qWait(1000);
    QVERIFY(rig.startServer());
    QVERIFY(watch.waitForFinished(20000));
    const QString err = QString::fromUtf8(watch.readAllStandardError());
    QVERIFY2(err.contains("reader not answering"), qPrintable(err));
    QVERIFY2(err.contains("reader answering again"), qPrintable(err));
    QVERIFY2(!err.contains("another reader"), qPrintable(err));
    QCOMPARE(watch.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TstNetPorts)
#include "tst_net_ports.moc"
