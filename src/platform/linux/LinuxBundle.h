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
    QString executablePath() const override { return executablePath_; }

private:
    QString executablePath_;
    QString bundlePath_;
    QJsonObject info_;
};
