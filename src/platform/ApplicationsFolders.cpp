#include "platform/ApplicationsFolders.h"

#include "platform/Bundle.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {
bool startsWithAny(const QString& path, const QStringList& folders) {
    return std::any_of(folders.begin(), folders.end(),
                       [&](const QString& folder) { return path.startsWith(folder); });
}

// The path with its links resolved, or as given when it does not exist; no trailing slash.
QString resolved(const QString& path) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(path) : canonical;
}
} // namespace

QStringList applicationsFolders(const QString& homePath) {
    const QString home = homePath.endsWith(u'/') ? homePath : homePath + u'/';
    return {home + QStringLiteral("Applications/"), QStringLiteral("/Applications/"),
            QStringLiteral("/opt/")};
}

bool isInApplicationsFolder(const QString& bundlePath, const QString& homePath) {
    return startsWithAny(bundlePath, applicationsFolders(homePath));
}

bool isInApplicationsFolder(const Bundle& bundle) {
    const QString path = bundle.bundlePath();
    const QStringList folders = applicationsFolders(QDir::homePath());
    if (startsWithAny(path, folders))
        return true;
    QStringList resolvedFolders;
    for (const QString& folder : folders)
        resolvedFolders << resolved(folder) + u'/';
    return startsWithAny(resolved(path), resolvedFolders);
}
