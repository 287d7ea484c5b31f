// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#ifndef KX9CTL_PATH
#error "KX9CTL_PATH must name the kx9ctl program"
#endif

namespace kx9::test {

struct Ran {
    int code = -1; // -1: it crashed or did not end in time
    QByteArray out;
    QString err;
};

// The kx9ctl program with `args`, run in `dir`, where its COM1 and its files are.
// `environment` empty: the runner's own.
inline Ran RunKx9ctl(const QString& dir, const QStringList& args, int timeoutMs = 180000,
                     const QProcessEnvironment& environment = {}) {
    QProcess p;
    p.setWorkingDirectory(dir);
    if (!environment.isEmpty())
        p.setProcessEnvironment(environment);
    p.start(QStringLiteral(KX9CTL_PATH), args);
    Ran r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill(); // a hang fails the test, and leaves no process behind
        p.waitForFinished(1000);
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace kx9::test
