#pragma once

#include <QUrl>

class FileSystem;
class QMimeData;

// The one normalisation applied before a URL is opened, launched, classified, added or
// compared: an alias file becomes its target (the URL stays as it was when that fails), then
// symbolic links in the path are resolved. URLs that are not file URLs come back unchanged.
QUrl resolvedFileURL(const QUrl& url, const FileSystem& fileSystem);

// The path of a file URL in its standard form: no "." or ".." parts, no trailing slash.
QString standardizedPath(const QUrl& fileURL);

// The local files among dragged or dropped data; none for anything else.
QList<QUrl> localFileURLs(const QMimeData* data);
