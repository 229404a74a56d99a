#include "common/FileURL.h"

#include "platform/FileSystem.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeData>

QString standardizedPath(const QUrl& fileURL) {
    QString path = QDir::cleanPath(fileURL.toLocalFile());
    if (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

QUrl resolvedFileURL(const QUrl& url, const FileSystem& fileSystem) {
    if (!url.isLocalFile())
        return url;
    QString path = standardizedPath(url);
    if (fileSystem.isAliasFile(path).value_or(false)) {
        if (auto target = fileSystem.resolveAlias(path))
            path = QDir::cleanPath(*target);
    }
    // Symbolic links anywhere in the path; an item that does not exist keeps its path.
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (!canonical.isEmpty())
        path = canonical;
    return QUrl::fromLocalFile(path);
}

QList<QUrl> localFileURLs(const QMimeData* data) {
    QList<QUrl> urls;
    if (!data || !data->hasUrls())
        return urls;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            urls << url;
    return urls;
}
