#pragma once

#include "platform/Bundle.h"

#include <QJsonObject>

// The Pelora.app folder around the running executable (Contents/MacOS/pelora). Outside such a
// folder the executable's own folder stands in as the bundle.
class LinuxBundle : public Bundle {
public:
    explicit LinuxBundle(const QString& executablePath);
    // The bundle of the running process.
    static QString currentExecutablePath();

    QString bundlePath() const override { return bundlePath_; }
    std::optional<QString> infoValue(const QString& key) const override;
    QString resourcePath(const QString& name, const QString& extension) const override;
    QStringList preferredLocalizations() const override;

    // The info dictionary in Info.json's bytes; empty unless they hold a JSON object.
    static QJsonObject parseInfo(const QByteArray& data);
    static constexpr qint64 maxInfoSize = 1024 * 1024;
    QString executablePath() const override { return executablePath_; }

private:
    QString executablePath_;
    QString bundlePath_;
    QJsonObject info_;
};
