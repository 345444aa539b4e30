#pragma once
// What the gateway's program tests stand on: Debian's mosquitto broker on a free loopback port
// (started and stopped by its process id, its sessions kept on disk across a restart), a
// subscriber of our own with a session that survives the broker's restart, and the gateway
// program itself.

#include "tests/support/loopback.h"

#include <mosquitto.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QTest>

#include <csignal>
#include <map>
#include <mutex>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace qv::test {

// The broker, on 127.0.0.1 at a port of its own, persisting to `dir`.
class Broker {
public:
    explicit Broker(const QString& dir) : dir_(dir), port_(FreeLoopbackPort()) {
        QFile config(dir_ + "/mosquitto.conf");
        if (config.open(QIODevice::WriteOnly))
            // Started as root, the broker would become the user mosquitto, who cannot write
            // its sessions into our folder: it stays who we are.
            config.write(QString("listener %1 127.0.0.1\nallow_anonymous true\npersistence true\n"
                                 "persistence_location %2/\nautosave_interval 1\nuser %3\n")
                             .arg(port_)
                             .arg(dir_, QString::fromLocal8Bit(getpwuid(geteuid())->pw_name))
                             .toUtf8());
    }
    ~Broker() { stop(); }
    bool start() {
        process_.setStandardOutputFile(QProcess::nullDevice());
        process_.setStandardErrorFile(dir_ + "/mosquitto.log", QIODevice::Append);
        process_.start(QV_MOSQUITTO, {"-c", dir_ + "/mosquitto.conf"});
        for (int i = 0; i < 100 && !Listening(port_); ++i)
            QTest::qWait(50);
        return Listening(port_);
    }
    // SIGTERM to its pid: it saves its sessions and ends.
    void stop() {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished();
        }
    }
    int port() const { return port_; }
    QString url() const { return QString("mqtt://127.0.0.1:%1").arg(port_); }

private:
    QString dir_;
    int port_;
    QProcess process_;
};

// A subscriber to everything under the gateway's topics, QoS 1, with a session of its own that
// the broker keeps while either of them is away.
class Subscriber {
public:
    struct Message {
        std::string topic, payload;
        bool retained;
    };
    explicit Subscriber(int port, const std::string& id = "test-subscriber") {
        mosquitto_lib_init();
        mosq_ = mosquitto_new(id.c_str(), false, this);
        mosquitto_connect_callback_set(mosq_, [](mosquitto* m, void*, int rc) {
            if (rc == 0) {
                mosquitto_subscribe(m, nullptr, "quorvane/#", 1);
                mosquitto_subscribe(m, nullptr, "homeassistant/#", 1);
            }
        });
        mosquitto_message_callback_set(
            mosq_, [](mosquitto*, void* self, const mosquitto_message* m) {
                auto* s = static_cast<Subscriber*>(self);
                const std::lock_guard lock(s->mutex_);
                s->messages_.push_back(
                    {m->topic,
                     std::string(static_cast<const char*>(m->payload), std::size_t(m->payloadlen)),
                     m->retain});
            });
        mosquitto_reconnect_delay_set(mosq_, 1, 1, false);
        mosquitto_connect(mosq_, "127.0.0.1", port, 30);
        mosquitto_loop_start(mosq_);
    }
    ~Subscriber() {
        mosquitto_disconnect(mosq_);
        mosquitto_loop_stop(mosq_, false);
        mosquitto_destroy(mosq_);
    }
    std::vector<Message> messages() {
        const std::lock_guard lock(mutex_);
        return messages_;
    }
    // The tag messages of `reader`, as JSON objects.
    std::vector<QJsonObject> tags(const QString& reader) {
        std::vector<QJsonObject> out;
        for (const auto& m : messages())
            if (QString::fromStdString(m.topic) == "quorvane/" + reader + "/tag")
                out.push_back(
                    QJsonDocument::fromJson(QByteArray::fromStdString(m.payload)).object());
        return out;
    }
    // The last payload on `topic`, empty when none came.
    QString last(const QString& topic) {
        QString payload;
        for (const auto& m : messages())
            if (QString::fromStdString(m.topic) == topic)
                payload = QString::fromStdString(m.payload);
        return payload;
    }
    bool waitFor(const std::function<bool()>& done, int ms = 15000) {
        for (QDeadlineTimer deadline(ms); !deadline.hasExpired(); QTest::qWait(50))
            if (done())
                return true;
        return done();
    }

private:
    mosquitto* mosq_ = nullptr;
    std::mutex mutex_;
    std::vector<Message> messages_;
};

// The gateway program on a configuration.
class GatewayProcess {
public:
    explicit GatewayProcess(const QString& config, const QProcessEnvironment& env = {})
        : config_(config) {
        if (!env.isEmpty())
            process_.setProcessEnvironment(env);
    }
    ~GatewayProcess() { kill(); }
    void start() {
        process_.setProcessChannelMode(QProcess::SeparateChannels);
        process_.start(QV_GATEWAY_PROGRAM, {"--config", config_});
        process_.waitForStarted(5000);
    }
    // SIGTERM: the clean stop. Its exit status, -1 when it did not end in time.
    int terminate() {
        process_.terminate();
        if (!process_.waitForFinished(15000))
            return -1;
        log_ += QString::fromUtf8(process_.readAllStandardError());
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    }
    // SIGKILL: a crash, nothing tidied up.
    void kill() {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.kill();
        process_.waitForFinished(5000);
        log_ += QString::fromUtf8(process_.readAllStandardError());
    }
    QString log() {
        log_ += QString::fromUtf8(process_.readAllStandardError());
        return log_;
    }

private:
    QString config_;
    QProcess process_;
    QString log_;
};

} // namespace qv::test
