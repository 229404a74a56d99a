#include "platform/linux/files/ProcessInfo.h"

#include "platform/linux/files/SafeFile.h"

#include <QFileInfo>

namespace {
QString procPath(qint64 pid, const char* leaf) {
    return QStringLiteral("/proc/%1/").arg(pid) + QLatin1String(leaf);
}
} // namespace

QString ProcessInfo::executablePath(qint64 pid) {
    if (pid <= 0)
        return {};
    const QString target = QFileInfo(procPath(pid, "exe")).symLinkTarget();
    if (target.isEmpty())
        return {};
    // A replaced binary shows as "/usr/bin/x (deleted)"; the path still names the program.
    static const QString deleted = QStringLiteral(" (deleted)");
    const QString path = target.endsWith(deleted) ? target.chopped(deleted.size()) : target;
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

QString ProcessInfo::environmentValue(qint64 pid, const QByteArray& name) {
    if (pid <= 0 || name.isEmpty())
        return {};
    // Environments are small; a bound keeps a hostile process from making us read forever.
    const std::optional<QByteArray> data =
        SafeFile::readKernelFile(procPath(pid, "environ"), 1 << 20);
    if (!data)
        return {};
    const QByteArray prefix = name + '=';
    for (const QByteArray& entry : data->split('\0')) {
        if (entry.startsWith(prefix))
            return QString::fromLocal8Bit(entry.mid(prefix.size()));
    }
    return {};
}
