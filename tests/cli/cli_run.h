// Runs velmora-cli as a separate process.
#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>

struct CliResult {
    int exitCode = -1;
    QString out;
    QString err;
};

inline CliResult RunCli(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral(VELMORA_CLI), args);
    process.waitForFinished(120000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

inline QByteArray ReadFileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline QStringList FilesIn(const QString& dir) {
    return QDir(dir).entryList(QDir::Files, QDir::Name);
}
