#pragma once

#include "platform/Bundle.h"

#include <QFileInfo>
#include <QHash>

class FakeBundle : public Bundle {
public:
    QString path = QStringLiteral("/Applications/Pelora.app");
    QHash<QString, QString> info{
        {QStringLiteral("CFBundleName"), QStringLiteral("Pelora")},
        {QStringLiteral("CFBundleIdentifier"), QStringLiteral("org.pelora.Pelora")},
        {QStringLiteral("CFBundleShortVersionString"), QStringLiteral("1.0.0")},
        {QStringLiteral("CFBundleVersion"), QStringLiteral("1")}};
    QString resourcesDir; // where resources are looked up; empty means none exist
    QStringList localizations{QStringLiteral("en")};

    QString bundlePath() const override { return path; }
    std::optional<QString> infoValue(const QString& key) const override {
        return info.contains(key) ? std::optional(info.value(key)) : std::nullopt;
    }
    QString resourcePath(const QString& name, const QString& extension) const override {
        if (resourcesDir.isEmpty())
            return {};
        const QString p =
            resourcesDir + u'/' + name + (extension.isEmpty() ? QString() : u'.' + extension);
        return QFileInfo(p).isFile() ? p : QString();
    }
    QStringList preferredLocalizations() const override { return localizations; }
    QString executablePath() const override {
        return path + QStringLiteral("/Contents/MacOS/pelora");
    }
};
