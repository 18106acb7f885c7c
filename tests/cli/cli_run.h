// Runs velmora-cli as a separate process.
#pragma once

#include "sanitized_build.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>

#include <functional>

struct CliResult {
    int exitCode = -1;
    QString out;
    QString err;
};

// childSetup, when given, runs in the child before the tool starts (to set a
// resource limit, say). A crash gives exit code -1, two minutes without an
// end -2 (the tool is then killed).
inline CliResult RunProgram(const QString& program, const QStringList& args,
                            const std::function<void()>& childSetup = {}) {
    QProcess process;
    if (childSetup)
        process.setChildProcessModifier(childSetup);
    process.start(program, args);
    if (!process.waitForFinished(120000) && process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        return {-2, QString(), QStringLiteral("(no end within two minutes)")};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

inline CliResult RunCli(const QStringList& args, const std::function<void()>& childSetup = {}) {
    return RunProgram(QStringLiteral(VELMORA_CLI), args, childSetup);
}

inline QByteArray ReadFileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline QStringList FilesIn(const QString& dir) {
    return QDir(dir).entryList(QDir::Files, QDir::Name);
}
