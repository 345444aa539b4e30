#pragma once
// A simulator program on its pseudo-terminal, for tests that drive the built programs. The test
// defines QV_SIM_PROGRAM, the simulator's path.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <fcntl.h>
#include <unistd.h>

namespace qv::test {

// A simulator program; stopped (SIGTERM) and waited for when it goes out of scope.
class Sim {
public:
    explicit Sim(QStringList args, const QProcessEnvironment& env = {},
                 const QString& program = QV_SIM_PROGRAM) {
        if (!env.isEmpty())
            process_.setProcessEnvironment(env);
        process_.start(program, args << "--verbose");
        if (!process_.waitForStarted(5000))
            return;
        while (!process_.canReadLine())
            if (!process_.waitForReadyRead(5000))
                return;
        path_ = QString::fromUtf8(process_.readLine()).trimmed();
    }
    ~Sim() {
        stop();
        if (held_ >= 0)
            ::close(held_);
    }
    // Holds a descriptor of the terminal until this goes, so that its number is not given to
    // another test's pseudo-terminal after a hang-up while a program still retries the path.
    void holdTerminal() {
        if (held_ < 0 && !path_.isEmpty())
            held_ = ::open(path_.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    }
    // Stops the simulator (its terminal goes away with it) and waits for it.
    void stop() {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished();
        }
    }
    const QString& path() const { return path_; }
    // The commands received so far, in order (the lines of its --verbose log).
    QStringList commands() {
        process_.waitForReadyRead(50);
        log_ += QString::fromUtf8(process_.readAllStandardError());
        QStringList out;
        for (const auto& line : log_.split('\n', Qt::SkipEmptyParts))
            if (line.startsWith("quorvane-sim: A"))
                out << line.mid(14);
        return out;
    }
    QString log() {
        commands();
        return log_;
    }

private:
    QProcess process_;
    QString path_;
    QString log_;
    int held_ = -1;
};

} // namespace qv::test
