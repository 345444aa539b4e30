#pragma once
// The built quorvane-cli and quorvane-sim, for the tests that drive them (QV_CLI_PROGRAM and
// QV_SIM_PROGRAM are their paths). Each simulator logs every command it receives (--verbose), so
// a test can see what reached the reader, and that nothing did.

#include "tests/support/run_program.h"
#include "tests/support/sim_program.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace qv::test {

inline Run RunCli(const QStringList& args, const QProcessEnvironment& env = {}) {
    return RunProgram(QV_CLI_PROGRAM, args, env);
}

inline QJsonObject JsonOf(const Run& run) {
    return QJsonDocument::fromJson(run.out.toUtf8()).object();
}

} // namespace qv::test
