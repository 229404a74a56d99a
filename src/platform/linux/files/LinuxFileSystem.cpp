#include "platform/linux/files/LinuxFileSystem.h"

#include "platform/linux/files/SafeFile.h"
#include "platform/linux/xdg/DesktopEntries.h"

#include <QFile>
#include <QFileInfo>

#include <glib.h>

std::optional<bool> LinuxFileSystem::isAliasFile(const QString& path) const {
    // Linux has no alias files; symbolic links are resolved separately.
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        return std::nullopt;
    return false;
}

std::optional<QString> LinuxFileSystem::resolveAlias(const QString&) const {
    return std::nullopt;
}

QString desktopEntryName(const QString& path) {
    GKeyFile* keyFile = g_key_file_new();
    QString name;
    const auto data = SafeFile::readRegularFile(path, DesktopEntries::maxFileSize);
    if (data && g_key_file_load_from_data(keyFile, data->constData(), gsize(data->size()),
                                          G_KEY_FILE_NONE, nullptr)) {
        if (gchar* n =
                g_key_file_get_locale_string(keyFile, "Desktop Entry", "Name", nullptr, nullptr)) {
            name = QString::fromUtf8(n).trimmed();
            g_free(n);
        }
    }
    g_key_file_free(keyFile);
    return name;
}

QString LinuxFileSystem::displayName(const QString& path) const {
    const QFileInfo info(path);
    if (info.suffix().compare(QStringLiteral("desktop"), Qt::CaseInsensitive) == 0 &&
        info.isFile()) {
        const QString name = desktopEntryName(path);
        if (!name.isEmpty())
            return name;
    }
    if (path == u"/")
        return path;
    const QString fileName = info.fileName();
    return fileName.isEmpty() ? path : fileName;
}
