#include "app/InstanceProtocol.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>

#include <unistd.h>

namespace InstanceProtocol {

QByteArray encode(const QJsonObject& message) {
    // Compact JSON escapes every newline inside strings, so "\n" only ever ends a frame.
    return QJsonDocument(message).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<QJsonObject> decode(const QByteArray& frame) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(frame, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

QJsonObject errorReply(const QString& message) {
    return QJsonObject{{QLatin1String(keyOk), false}, {QLatin1String(keyError), message}};
}

} // namespace InstanceProtocol

namespace {
const QString kSocketName = QStringLiteral("pelora.socket");
constexpr QFileDevice::Permissions kPrivate =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
constexpr QFileDevice::Permissions kOthers = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                             QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                             QFileDevice::WriteOther | QFileDevice::ExeOther;

bool isOwnFolder(const QFileInfo& info) {
    return info.isDir() && !info.isSymLink() && info.ownerId() == uint(geteuid());
}

// Whoever else may create files in the folder may bind the socket before us and hear the
// user's commands.
bool isPrivateFolder(const QFileInfo& info) {
    return isOwnFolder(info) &&
           !(info.permissions() & (QFileDevice::WriteGroup | QFileDevice::WriteOther));
}
} // namespace

QString instanceSocketPath(const QString& runtimeDir, const QString& tempDir, QString* error) {
    auto fail = [&](const QString& reason) {
        if (error)
            *error = reason;
        return QString();
    };
    if (!runtimeDir.isEmpty() && isPrivateFolder(QFileInfo(runtimeDir)))
        return QDir(runtimeDir).filePath(kSocketName);

    // Without a runtime folder: a private one in the temporary folder, which others can write to,
    // so whatever is found there must be a real folder of this user, closed to everyone else.
    const QString folder = QDir(tempDir).filePath(QStringLiteral("pelora-%1").arg(geteuid()));
    QFileInfo info(folder);
    if (!info.exists() && !info.isSymLink() && !QDir().mkdir(folder, kPrivate))
        return fail(QStringLiteral("cannot create the folder %1").arg(folder));
    info.refresh();
    if (!isOwnFolder(info))
        return fail(QStringLiteral("%1 is not a folder of this user").arg(folder));
    if ((info.permissions() & kOthers) && !QFile::setPermissions(folder, kPrivate))
        return fail(QStringLiteral("cannot make %1 private").arg(folder));
    return QDir(folder).filePath(kSocketName);
}

QString instanceSocketPath(QString* error) {
    return instanceSocketPath(qEnvironmentVariable("XDG_RUNTIME_DIR"), QDir::tempPath(), error);
}
