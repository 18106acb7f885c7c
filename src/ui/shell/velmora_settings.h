// The settings store: organisation "KRV", application "Velmora"; the
// program's own entries sit in the group "1.0", the recent files in
// "Recent File List".
#pragma once

#include <QSettings>
#include <memory>

inline std::unique_ptr<QSettings> VelmoraSettings() {
    auto settings = std::make_unique<QSettings>(QStringLiteral("KRV"), QStringLiteral("Velmora"));
    settings->beginGroup(QStringLiteral("1.0"));
    return settings;
}

inline std::unique_ptr<QSettings> RecentFileSettings() {
    auto settings = std::make_unique<QSettings>(QStringLiteral("KRV"), QStringLiteral("Velmora"));
    settings->beginGroup(QStringLiteral("Recent File List"));
    return settings;
}
