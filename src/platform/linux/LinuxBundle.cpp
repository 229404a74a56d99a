#include "platform/linux/LinuxBundle.h"

#include "platform/linux/files/SafeFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLocale>

LinuxBundle::LinuxBundle(const QString& executablePath) : executablePath_(executablePath) {
    const QString dir = QFileInfo(executablePath).absolutePath();
    if (dir.endsWith(QStringLiteral("/Contents/MacOS")))
        bundlePath_ = QDir::cleanPath(dir + QStringLiteral("/../.."));
    else
        bundlePath_ = dir;
    if (const auto data = SafeFile::readRegularFile(
            bundlePath_ + QStringLiteral("/Contents/Info.json"), maxInfoSize))
        info_ = parseInfo(*data);
}

QJsonObject LinuxBundle::parseInfo(const QByteArray& data) {
    return QJsonDocument::fromJson(data).object();
}

QString LinuxBundle::currentExecutablePath() {
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    return self.isEmpty() ? QCoreApplication::applicationFilePath() : self;
}

std::optional<QString> LinuxBundle::infoValue(const QString& key) const {
    const QJsonValue v = info_.value(key);
    if (!v.isString())
        return std::nullopt;
    return v.toString();
}

QString LinuxBundle::resourcePath(const QString& name, const QString& extension) const {
    const QString file = extension.isEmpty() ? name : name + u'.' + extension;
    const QString path = bundlePath_ + QStringLiteral("/Contents/Resources/") + file;
    return QFileInfo(path).isFile() ? path : QString();
}

QStringList LinuxBundle::preferredLocalizations() const {
    QStringList result;
    for (const QString& lang : QLocale::system().uiLanguages()) {
        if (lang == u"C" || lang == u"POSIX")
            continue;
        if (!result.contains(lang))
            result << lang;
    }
    if (result.isEmpty())
        result << QStringLiteral("en");
    return result;
}
