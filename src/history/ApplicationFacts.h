#pragma once

#include <QString>
#include <QUrl>
#include <optional>

class Workspace;
class FileSystem;

// The application that opens a document, as the documents history records it.
struct ApplicationFacts {
    QString appName;
    std::optional<QString> appPath;
};

// The group name of documents that no application opens.
QString otherApplicationName();

// The default application for the document and its display name without a trailing ".app"
// in any letter case. Any thread (both services are thread-safe for these calls).
ApplicationFacts applicationFacts(const QUrl& documentURL, Workspace& workspace,
                                  const FileSystem& fileSystem);
