// The gateway's configuration as an operator writes it: what is taken, and each mistake named by
// its key path and line, none ignored.
#include "gateway/config.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace qv::gateway;

namespace {

QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& text,
                  QFile::Permissions permissions) {
    QFile file(dir.filePath(name));
    if (file.open(QIODevice::WriteOnly))
        file.write(text);
    file.close();
    file.setPermissions(permissions);
    return file.fileName();
}

const QFile::Permissions kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner;

} // namespace

class TstGatewayConfig : public QObject {
    Q_OBJECT
private slots:
    void aFullFileIsTaken() {
        QTemporaryDir dir;
        const QString password = WriteFile(dir, "password", "s3cret\n", kOwnerOnly);
        const std::string yaml = R"(
mqtt:
  server: mqtt://[::1]:1884
  base_topic: plant/readers
  client_id: gate-house
  username: gateway
  password_file: )" + password.toStdString() +
                                 R"(
store:
  path: /tmp/reads.db
  max_reads: 500
homeassistant:
  discovery: false
readers:
  gate-1:
    port: COM3
    settings: 38400,e,8,1
  dock_2:
    port: rfc2217://127.0.0.1:4001
)";
        const Loaded loaded = ParseConfig(yaml);
        QVERIFY2(loaded.config, loaded.problems.empty() ? "" : loaded.problems[0].text().c_str());
        const Config& c = *loaded.config;
        QCOMPARE(c.mqtt.host, std::string("::1"));
        QCOMPARE(c.mqtt.port, 1884);
        QVERIFY(!c.mqtt.tls);
        QCOMPARE(c.mqtt.baseTopic, std::string("plant/readers"));
        QCOMPARE(c.mqtt.clientId, std::string("gate-house"));
        QCOMPARE(c.store.maxReads, std::int64_t{500});
        QVERIFY(!c.homeAssistant.discovery);
        QCOMPARE(c.readers.size(), std::size_t(2));
        QCOMPARE(c.readers[0].name, std::string("gate-1"));
        QCOMPARE(c.readers[0].settings, std::string("38400,e,8,1"));
        QCOMPARE(c.readers[1].settings, std::string("19200,e,8,1")); // the default
        std::string error;
        QCOMPARE(ReadPassword(password.toStdString(), error), std::optional<std::string>("s3cret"));
    }

    void defaultsWhereTheFileIsSilent() {
        const Loaded loaded =
            ParseConfig("mqtt:\n  server: mqtts://broker\nreaders:\n  r:\n    port: COM1\n");
        QVERIFY(loaded.config);
        QVERIFY(loaded.config->mqtt.tls);
        QCOMPARE(loaded.config->mqtt.port, 8883);
        QCOMPARE(loaded.config->mqtt.baseTopic, std::string("quorvane"));
        QVERIFY(loaded.config->mqtt.clientId.starts_with("quorvane-gateway-"));
        QCOMPARE(loaded.config->store.maxReads, std::int64_t{1000000});
        QVERIFY(loaded.config->homeAssistant.discovery);
        QCOMPARE(loaded.config->homeAssistant.prefix, std::string("homeassistant"));
    }

    // Each mistake is a problem of its own, with its key path and line; nothing is ignored.
    void mistakesAreNamed_data() {
        QTest::addColumn<QByteArray>("yaml");
        QTest::addColumn<QString>("problem"); // the start of Problem::text()
        const QByteArray good = "mqtt:\n  server: mqtt://127.0.0.1:1883\n";
        const QByteArray reader = "readers:\n  gate-1:\n    port: COM3\n";
        QTest::newRow("misspelt key")
            << good + "  bas_topic: x\n" + reader << "mqtt.bas_topic (line 3): unknown key";
        QTest::newRow("misspelt section") << good + reader + "stor:\n  path: /x\n"
                                          << "stor (line 6): unknown key";
        QTest::newRow("out of range") << good + "store:\n  max_reads: 0\n" + reader
                                      << "store.max_reads (line 4): 0 is out of range";
        QTest::newRow("not a number") << good + "store:\n  max_reads: many\n" + reader
                                      << "store.max_reads (line 4): must be a whole number";
        QTest::newRow("port that is no port")
            << good + "readers:\n  gate-1:\n    port: COM17\n"
            << "readers.gate-1.port (line 5): COM17: not COM1..COM16";
        QTest::newRow("port URL that is none")
            << good + "readers:\n  gate-1:\n    port: rfc2217://host\n"
            << "readers.gate-1.port (line 5): rfc2217://host: not a usable address";
        QTest::newRow("bad line settings")
            << good + "readers:\n  g:\n    port: COM3\n    settings: 19200,x,8,1\n"
            << "readers.g.settings (line 6)";
        QTest::newRow("server that is no URL")
            << "mqtt:\n  server: broker:1883\n" + reader << "mqtt.server (line 2)";
        QTest::newRow("port out of range")
            << "mqtt:\n  server: mqtt://h:70000\n" + reader << "mqtt.server (line 2)";
        QTest::newRow("missing password file")
            << good + "  username: u\n  password_file: /no/such/file\n" + reader
            << "mqtt.password_file (line 4): /no/such/file: does not exist";
        QTest::newRow("no readers") << good << "readers";
        QTest::newRow("reader name with a slash") << good + "readers:\n  a/b:\n    port: COM3\n"
                                                  << "readers.a/b (line 4)";
        QTest::newRow("one port, two readers")
            << good + "readers:\n  a:\n    port: COM3\n  b:\n    port: COM3\n"
            << "readers.b.port (line 7): COM3 is another reader's port too";
        QTest::newRow("not YAML") << QByteArray("mqtt: [unclosed\n") << "the file (line 2)";
        QTest::newRow("not YAML from its first line")
            << QByteArray("a: b: c\n") << "the file (line 1): illegal map value";
        QTest::newRow("TLS file without TLS") << good + "  ca_file: /etc/hostname\n" + reader
                                              << "mqtt.ca_file (line 3): needs an mqtts:// server";
    }
    void mistakesAreNamed() {
        QFETCH(QByteArray, yaml);
        QFETCH(QString, problem);
        const Loaded loaded = ParseConfig(yaml.toStdString());
        QVERIFY(!loaded.config);
        QVERIFY(!loaded.problems.empty());
        QVERIFY2(QString::fromStdString(loaded.problems[0].text()).startsWith(problem),
                 loaded.problems[0].text().c_str());
    }

    // Two mistakes, two problems: an operator mends them in one go.
    void everyMistakeIsListed() {
        const Loaded loaded = ParseConfig(
            "mqtt:\n  server: mqtt://h\n  colour: red\nreaders:\n  a:\n    port: COM99\n");
        QCOMPARE(loaded.problems.size(), std::size_t(2));
    }

    // A password or key that others can read is refused: the file says whom it lets in.
    void secretsReadableByOthersAreRefused_data() {
        QTest::addColumn<QString>("key");
        QTest::newRow("password file") << "password_file";
        QTest::newRow("key file") << "key_file";
    }
    void secretsReadableByOthersAreRefused() {
        QFETCH(QString, key);
        QTemporaryDir dir;
        const QString open =
            WriteFile(dir, "secret", "x\n", kOwnerOnly | QFile::ReadGroup | QFile::ReadOther);
        const QString cert = WriteFile(dir, "cert", "x\n", kOwnerOnly | QFile::ReadOther);
        const std::string yaml =
            "mqtt:\n  server: mqtts://h\n  username: u\n  cert_file: " + cert.toStdString() +
            "\n  " + key.toStdString() + ": " + open.toStdString() + "\n" +
            (key == "password_file" ? "  key_file: " + cert.toStdString() + "x\n" : std::string()) +
            "readers:\n  a:\n    port: COM1\n";
        const Loaded loaded = ParseConfig(yaml);
        bool named = false;
        for (const auto& p : loaded.problems)
            named = named || (p.path == "mqtt." + key.toStdString() &&
                              p.what.find("readable by others") != std::string::npos);
        QVERIFY(named);
    }
};

QTEST_GUILESS_MAIN(TstGatewayConfig)
#include "tst_gateway_config.moc"
