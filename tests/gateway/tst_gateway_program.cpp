// quorvane-gateway as a plant runs it: the real program, Debian's broker and simulated readers.
// Whatever happens to the broker, the gateway or a reader's device, every read a simulator handed
// out (each "A00J" it received acknowledges one) arrives, its reader's seq without a gap.

#include "tests/gateway/mqtt_rig.h"
#include "tests/support/run_program.h"
#include "tests/support/sim_program.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>
#include <set>

using qv::test::Broker;
using qv::test::GatewayProcess;
using qv::test::Sim;
using qv::test::Subscriber;

namespace {

QStringList TagArgs() {
    return {"--tags", "0000000000BC614E,00000000075BCD15", "--tag-interval", "40"};
}

// What arrived of one reader: its seqs, how many came twice, and whether 1..max has no gap.
struct Delivery {
    std::set<std::int64_t> seqs;
    int duplicates = 0;
    bool noGap() const {
        return seqs.empty() || (*seqs.begin() == 1 && std::int64_t(seqs.size()) == *seqs.rbegin());
    }
    std::int64_t last() const { return seqs.empty() ? 0 : *seqs.rbegin(); }
    // The seqs below the last that did not come, for the failure's message.
    QByteArray missing() const {
        QByteArray out;
        for (std::int64_t seq = 1; seq < last(); ++seq)
            if (!seqs.count(seq))
                out += QByteArray::number(qlonglong(seq)) + ' ';
        return out.isEmpty() ? "none" : "missing " + out;
    }
};

Delivery DeliveryOf(Subscriber& subscriber, const QString& reader) {
    Delivery d;
    for (const QJsonObject& tag : subscriber.tags(reader))
        if (!d.seqs.insert(tag["seq"].toInteger()).second)
            ++d.duplicates;
    return d;
}

class Plant {
public:
    explicit Plant(int readers = 1) {
        broker = std::make_unique<Broker>(dir.path());
        for (int i = 0; i < readers; ++i) {
            sims.push_back(std::make_unique<Sim>(
                TagArgs() + QStringList{"--serial", QString("QV00000%1").arg(i + 1)}));
            // The readers are named by stable links, as at a plant, so that a device that comes
            // back under another terminal is the same port.
            links.push_back(dir.filePath(QString("reader-%1").arg(i + 1)));
            QFile::link(sims.back()->path(), links.back());
        }
        QString yaml = QString("mqtt:\n  server: %1\n  client_id: test-gateway\nstore:\n"
                               "  path: %2/store/reads.db\nreaders:\n")
                           .arg(broker->url(), dir.path());
        for (int i = 0; i < readers; ++i)
            yaml += QString("  r%1:\n    port: %2\n").arg(i + 1).arg(links[std::size_t(i)]);
        config = dir.filePath("gateway.yaml");
        QFile file(config);
        if (file.open(QIODevice::WriteOnly))
            file.write(yaml.toUtf8());
        gateway = std::make_unique<GatewayProcess>(config);
    }
    // Reads acknowledged by reader `i`'s simulator so far.
    int acknowledged(std::size_t i) { return int(sims[i]->commands().count("A00J")); }

    QTemporaryDir dir;
    std::unique_ptr<Broker> broker;
    std::vector<std::unique_ptr<Sim>> sims;
    std::vector<QString> links;
    QString config;
    std::unique_ptr<GatewayProcess> gateway;
};

} // namespace

class TstGatewayProgram : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        if (QString(QV_MOSQUITTO).isEmpty() || QString(QV_MOSQUITTO).endsWith("NOTFOUND"))
            QSKIP("mosquitto is not installed (scripts/setup.sh installs it)");
    }

    // Two readers: their tags, states and Home Assistant configs on the broker; a clean stop
    // delivers the last reads and says offline.
    void deliversEveryReadAndTheState() {
        Plant plant(2);
        QVERIFY(plant.broker->start());
        Subscriber subscriber(plant.broker->port());
        plant.gateway->start();
        QVERIFY2(subscriber.waitFor([&] { return DeliveryOf(subscriber, "r2").last() >= 20; }),
                 qPrintable(plant.gateway->log()));
        QCOMPARE(plant.gateway->terminate(), 0);
        QVERIFY(subscriber.waitFor(
            [&] { return subscriber.last("quorvane/bridge/state") == "offline"; }));
        for (std::size_t i = 0; i < 2; ++i) {
            const QString name = QString("r%1").arg(i + 1);
            const Delivery d = DeliveryOf(subscriber, name);
            QVERIFY2(d.noGap(), d.missing().constData());
            QCOMPARE(d.last(), std::int64_t(plant.acknowledged(i)));
            QCOMPARE(d.duplicates, 0);
        }
        const QJsonObject tag = subscriber.tags("r1").front();
        QCOMPARE(tag["reader"].toString(), QString("r1"));
        QCOMPARE(tag["serial"].toString(), QString("QV000001"));
        QVERIFY(tag["hex"].toString() == "00BC614E" || tag["hex"].toString() == "075BCD15");
        QCOMPARE(tag["decimal"].toString().size(), 10);
        QCOMPARE(tag["id"].toString().size(), 16);
        QCOMPARE(tag["input"].toString(), QString("0"));
        QVERIFY(tag["time"].toString().endsWith("Z"));
        bool online = false;
        const QRegularExpression utcMillis(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z$)");
        for (const auto& m : subscriber.messages()) {
            online = online || (m.topic == "quorvane/bridge/state" && m.payload == "online");
            if (m.topic == "quorvane/r1/state") // each state, the first one too, since when
                QVERIFY2(utcMillis
                             .match(QJsonDocument::fromJson(QByteArray::fromStdString(m.payload))
                                        .object()["since"]
                                        .toString())
                             .hasMatch(),
                         m.payload.c_str());
        }
        QVERIFY(online);
        QVERIFY(!plant.gateway->log().contains("lost"));
        // Every read acknowledged by the broker left the store.
        QVERIFY2(plant.gateway->log().contains("stopped: 0 reads kept in the store"),
                 qPrintable(plant.gateway->log()));
        const QJsonObject discovery =
            QJsonDocument::fromJson(
                subscriber.last("homeassistant/tag/test-gateway/r2/config").toUtf8())
                .object();
        QCOMPARE(discovery["topic"].toString(), QString("quorvane/r2/tag"));
        QCOMPARE(discovery["value_template"].toString(), QString("{{ value_json.id }}"));
        QCOMPARE(discovery["device"]["sw_version"].toString(), QString("02.31-07"));
        QVERIFY(discovery["device"]["identifiers"].toArray().contains("quorvane-QV000002"));
    }

    // The broker is away for 5 s: the readers are polled on, their reads wait in the store and
    // go out once it is back, oldest first, none lost.
    void brokerAwayForFiveSeconds() {
        Plant plant;
        QVERIFY(plant.broker->start());
        Subscriber subscriber(plant.broker->port());
        plant.gateway->start();
        QVERIFY(subscriber.waitFor([&] { return DeliveryOf(subscriber, "r1").last() >= 10; }));
        plant.broker->stop();
        const int before = plant.acknowledged(0);
        QTest::qWait(5000);
        QVERIFY(plant.acknowledged(0) > before + 20); // polled while the broker was away
        const std::size_t beforeReturn = subscriber.messages().size();
        QVERIFY(plant.broker->start());
        const int away = plant.acknowledged(0);
        QVERIFY2(subscriber.waitFor([&] { return DeliveryOf(subscriber, "r1").last() >= away; }),
                 qPrintable(plant.gateway->log()));
        // The reader's state is published anew once the broker is back (a broker that lost its
        // retained messages would otherwise show none): a live message, not a retained copy.
        const auto all = subscriber.messages();
        QVERIFY(
            std::any_of(all.begin() + std::ptrdiff_t(beforeReturn), all.end(), [](const auto& m) {
                return m.topic == "quorvane/r1/state" && !m.retained;
            }));
        QCOMPARE(plant.gateway->terminate(), 0);
        QVERIFY(subscriber.waitFor(
            [&] { return DeliveryOf(subscriber, "r1").last() >= plant.acknowledged(0); }));
        const Delivery d = DeliveryOf(subscriber, "r1");
        QVERIFY2(d.noGap(), d.missing().constData());
        QCOMPARE(d.last(), std::int64_t(plant.acknowledged(0)));
        qInfo("broker away: %lld reads, %d came twice", static_cast<long long>(d.last()),
              d.duplicates);
        // Said once, not again at each try to reach the broker while it is away.
        QCOMPARE(plant.gateway->log().count("connection to the broker was lost"), 1);
    }

    // The gateway is killed (no clean stop) and started again: what was stored and not yet
    // acknowledged goes out at the next start, and seq goes on from where it was.
    void gatewayKilledAndStartedAgain() {
        Plant plant;
        QVERIFY(plant.broker->start());
        Subscriber subscriber(plant.broker->port());
        plant.gateway->start();
        QVERIFY(subscriber.waitFor([&] { return DeliveryOf(subscriber, "r1").last() >= 10; }));
        plant.gateway->kill();
        const int atKill = plant.acknowledged(0);
        QTest::qWait(500);
        plant.gateway->start();
        QVERIFY2(
            subscriber.waitFor([&] { return DeliveryOf(subscriber, "r1").last() >= atKill + 10; }),
            qPrintable(plant.gateway->log()));
        QCOMPARE(plant.gateway->terminate(), 0);
        QVERIFY(subscriber.waitFor(
            [&] { return DeliveryOf(subscriber, "r1").last() >= plant.acknowledged(0); }));
        const Delivery d = DeliveryOf(subscriber, "r1");
        QVERIFY2(d.noGap(), d.missing().constData());
        // A read stored but killed before its acknowledgement is handed out again by the
        // reader: it arrives twice under two seqs, never not at all.
        QVERIFY(d.last() >= plant.acknowledged(0));
        QVERIFY(d.last() <= plant.acknowledged(0) + 1);
        qInfo("gateway killed: %lld reads, %d came twice", static_cast<long long>(d.last()),
              d.duplicates);
    }

    // The reader's device goes away and comes back under its stable name: the state says so,
    // and the reads go on under the same seq.
    void readerDeviceGoneAndBack() {
        Plant plant;
        QVERIFY(plant.broker->start());
        Subscriber subscriber(plant.broker->port());
        plant.gateway->start();
        QVERIFY(subscriber.waitFor([&] { return DeliveryOf(subscriber, "r1").last() >= 10; }));
        plant.sims[0]->stop();
        const int first = plant.acknowledged(0); // counted once it can take no more
        QFile::remove(plant.links[0]);
        QVERIFY(subscriber.waitFor(
            [&] { return subscriber.last("quorvane/r1/state").contains("\"disconnected\""); }));
        auto second = std::make_unique<Sim>(TagArgs() + QStringList{"--serial", "QV000001"});
        QVERIFY(QFile::link(second->path(), plant.links[0]));
        QVERIFY(
            subscriber.waitFor([&] { return DeliveryOf(subscriber, "r1").last() >= first + 10; }));
        QVERIFY(subscriber.last("quorvane/r1/state").contains("\"online\""));
        QCOMPARE(plant.gateway->terminate(), 0);
        const int all = first + int(second->commands().count("A00J"));
        QVERIFY(subscriber.waitFor([&] { return DeliveryOf(subscriber, "r1").last() >= all; }));
        const Delivery d = DeliveryOf(subscriber, "r1");
        QVERIFY2(d.noGap(), d.missing().constData());
        // A read stored while its reader was being stopped may have missed its
        // acknowledgement: it is published all the same, one more than the readers counted.
        QVERIFY2(d.last() >= all && d.last() <= all + 1, qPrintable(QString::number(d.last())));
    }

    // Commands between polls: a set writes and reads back, a get reads; a payload that is no
    // command is answered with the reason and sends nothing to the reader.
    void commandsAreAnsweredBetweenPolls() {
        Plant plant;
        QVERIFY(plant.broker->start());
        Subscriber subscriber(plant.broker->port());
        plant.gateway->start();
        QVERIFY(subscriber.waitFor([&] { return DeliveryOf(subscriber, "r1").last() >= 3; }));
        const auto send = [&](const char* leaf, const QByteArray& payload) {
            const QString topic = QString("quorvane/r1/") + leaf;
            return qv::test::RunProgram("mosquitto_pub",
                                        {"-h", "127.0.0.1", "-p",
                                         QString::number(plant.broker->port()), "-q", "1", "-t",
                                         topic, "-m", QString::fromUtf8(payload)})
                .code;
        };
        const auto responses = [&] {
            std::vector<QJsonObject> out;
            for (const auto& m : subscriber.messages())
                if (m.topic == "quorvane/r1/response")
                    out.push_back(
                        QJsonDocument::fromJson(QByteArray::fromStdString(m.payload)).object());
            return out;
        };
        QCOMPARE(send("set", R"({"rssi": 120, "do1": "on"})"), 0);
        QVERIFY(subscriber.waitFor([&] { return responses().size() == 1; }));
        const QJsonObject set = responses()[0];
        QCOMPARE(set["ok"].toBool(), true);
        QCOMPARE(set["results"].toArray()[0].toObject()["result"].toString(),
                 QString("written, read back equal"));
        QVERIFY(
            !set["results"].toArray()[0].toObject().contains("read_back")); // only when it differs
        QCOMPARE(send("get", R"(["rssi"])"), 0);
        QVERIFY(subscriber.waitFor([&] { return responses().size() == 2; }));
        const QJsonObject get = responses()[1];
        QCOMPARE(get["values"].toObject()["rssi"].toInt(), 120);
        const int rssiWrites = int(plant.sims[0]->commands().count("A00O78"));
        QCOMPARE(rssiWrites, 1);
        QVERIFY(plant.sims[0]->commands().contains("A00I2")); // DO1 on, passed on by the polls
        QCOMPARE(send("set", R"({"rssi": 300})"), 0);
        QVERIFY(subscriber.waitFor([&] { return responses().size() == 3; }));
        const QJsonObject refused = responses()[2];
        QCOMPARE(refused["ok"].toBool(), false);
        QVERIFY(refused["error"].toString().contains("out of range"));
        QCOMPARE(plant.sims[0]->commands().count("A00O78"), rssiWrites);
        QVERIFY(!plant.sims[0]->commands().join(' ').contains("A00O12C"));
        // A command sent while the gateway is stopped is not carried out at its next start: a
        // stale output switch could open a gate nobody stands at.
        QCOMPARE(plant.gateway->terminate(), 0);
        QCOMPARE(send("set", R"({"do2": "on"})"), 0);
        const int before = int(DeliveryOf(subscriber, "r1").last());
        plant.gateway->start();
        QVERIFY(
            subscriber.waitFor([&] { return DeliveryOf(subscriber, "r1").last() >= before + 5; }));
        QCOMPARE(responses().size(), std::size_t(3));
        const QStringList polls = plant.sims[0]->commands();
        QVERIFY(!polls.contains("A00I1") && !polls.contains("A00I3")); // DO2 never on
        QCOMPARE(plant.gateway->terminate(), 0);
    }

    // A reader named COM5 whose simulator is started after the gateway is found once the COM
    // number is mapped; a reader that never answers is said not answering from the start.
    void readersNotThereYetOrSilentAreSaid() {
        QTemporaryDir dir;
        Broker broker(dir.path());
        QVERIFY(broker.start());
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        Sim silent({"--fault", "silent"});
        const QString yaml = QString("mqtt:\n  server: %1\nstore:\n  path: %2/reads.db\n"
                                     "readers:\n  late:\n    port: COM5\n"
                                     "  mute:\n    port: %3\n")
                                 .arg(broker.url(), dir.path(), silent.path());
        const QString config = dir.filePath("gateway.yaml");
        QFile file(config);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(yaml.toUtf8());
        file.close();
        Subscriber subscriber(broker.port());
        GatewayProcess gateway(config, env);
        gateway.start();
        QVERIFY2(subscriber.waitFor([&] {
            return subscriber.last("quorvane/mute/state").contains("\"not answering\"") &&
                   subscriber.last("quorvane/late/state").contains("\"disconnected\"");
        }),
                 qPrintable(gateway.log()));
        Sim late(TagArgs() + QStringList{"--com", "5", "--serial", "QV0000L5"}, env);
        QVERIFY2(subscriber.waitFor([&] { return DeliveryOf(subscriber, "late").last() >= 3; }),
                 qPrintable(gateway.log()));
        QVERIFY(subscriber.last("quorvane/late/state").contains("\"online\""));
        QCOMPARE(gateway.terminate(), 0);
    }

    // --check names each problem with its key and line, exit 2; a good file passes, exit 0.
    void checkNamesTheKey() {
        QTemporaryDir dir;
        QFile file(dir.filePath("gateway.yaml"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("mqtt:\n  server: mqtt://127.0.0.1:1883\n  colour: red\nreaders:\n  gate:\n"
                   "    port: /dev/ttyUSB0\n    settings: 19200,e,8,1\n");
        file.close();
        const auto bad =
            qv::test::RunProgram(QV_GATEWAY_PROGRAM, {"--check", "--config", file.fileName()});
        QCOMPARE(bad.code, 2);
        QVERIFY2(bad.err.contains("mqtt.colour (line 3): unknown key"), qPrintable(bad.err));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("mqtt:\n  server: mqtt://127.0.0.1:1883\nreaders:\n  gate:\n"
                   "    port: /dev/ttyUSB0\n");
        file.close();
        const auto good =
            qv::test::RunProgram(QV_GATEWAY_PROGRAM, {"--check", "--config", file.fileName()});
        QCOMPARE(good.code, 0);
        QCOMPARE(qv::test::RunProgram(QV_GATEWAY_PROGRAM, {"--version"}).code, 0);
    }
};

QTEST_GUILESS_MAIN(TstGatewayProgram)
#include "tst_gateway_program.moc"
