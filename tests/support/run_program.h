#pragma once
// Runs one of the built programs to its end, for tests that drive the real command line.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace qv::test {

struct Run {
    int code = -1; // the exit status; -1 when the program crashed or did not end within a minute
    QString out, err;
};

inline Run RunProgram(const QString& program, const QStringList& args,
                      const QProcessEnvironment& env = {}) {
    QProcess process;
    if (!env.isEmpty())
        process.setProcessEnvironment(env);
    process.start(program, args);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

} // namespace qv::test
