#include "history/ApplicationFacts.h"

#include "platform/FileSystem.h"
#include "platform/Workspace.h"

QString otherApplicationName() {
    return QStringLiteral("Other");
}

ApplicationFacts applicationFacts(const QUrl& documentURL, Workspace& workspace,
                                  const FileSystem& fileSystem) {
    const std::optional<QUrl> app = workspace.applicationToOpenURL(documentURL);
    if (!app)
        return {otherApplicationName(), std::nullopt};
    const QString appPath = app->isLocalFile() ? app->toLocalFile() : app->path();
    QString name = fileSystem.displayName(appPath);
    if (name.endsWith(QLatin1String(".app"), Qt::CaseInsensitive))
        name.chop(4);
    return {name, appPath};
}
