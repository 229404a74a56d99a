#include "platform/linux/xdg/GioWorkspace.h"

#include "platform/IconTheme.h"
#include "platform/RunningApplications.h"
#include "platform/linux/LinuxBundle.h"
#include "platform/linux/files/SafeFile.h"
#include "platform/linux/xdg/DesktopEntries.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QStyle>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

namespace {

const QString kDesktopSuffix = QStringLiteral(".desktop");
const QString kFolderIcon = QStringLiteral("folder");
const QString kFileIcon = QStringLiteral("text-x-generic");
const QString kApplicationIcon = QStringLiteral("application-x-executable");
// iconNameForFile may answer several theme names, best first: the lookup that knows which
// names the theme has runs later, on the main thread.
constexpr QChar kNameSeparator = DesktopEntries::iconNameSeparator;

template <class T> struct GObjectRef {
    T* p = nullptr;
    explicit GObjectRef(T* ptr) : p(ptr) {}
    ~GObjectRef() {
        if (p)
            g_object_unref(p);
    }
    GObjectRef(const GObjectRef&) = delete;
    GObjectRef& operator=(const GObjectRef&) = delete;
    explicit operator bool() const { return p != nullptr; }
};

void clearError(GError*& error) {
    if (error)
        g_error_free(error);
    error = nullptr;
}

QString canonicalOrClean(const QString& path) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(path) : canonical;
}

bool isDesktopEntryPath(const QString& path) {
    return path.endsWith(kDesktopSuffix, Qt::CaseInsensitive);
}

bool isAppBundlePath(const QString& path) {
    return path.endsWith(QStringLiteral(".app"), Qt::CaseInsensitive) && QFileInfo(path).isDir();
}

QJsonObject bundleInfo(const QString& bundlePath) {
    const auto data = SafeFile::readRegularFile(bundlePath + QStringLiteral("/Contents/Info.json"),
                                                LinuxBundle::maxInfoSize);
    return data ? LinuxBundle::parseInfo(*data) : QJsonObject();
}

// The program inside an application folder laid out as Contents/MacOS/<executable>.
QString bundleExecutable(const QString& bundlePath) {
    const QString macos = bundlePath + QStringLiteral("/Contents/MacOS");
    const QString named =
        bundleInfo(bundlePath).value(QStringLiteral("CFBundleExecutable")).toString();
    if (!named.isEmpty() && !named.contains(u'/') && QFileInfo(macos + u'/' + named).isExecutable())
        return macos + u'/' + named;
    const QFileInfoList files = QDir(macos).entryInfoList(QDir::Files | QDir::Executable);
    return files.size() == 1 ? files.first().absoluteFilePath() : QString();
}

QString bundleIconPath(const QString& bundlePath) {
    const QString name =
        bundleInfo(bundlePath).value(QStringLiteral("CFBundleIconName")).toString();
    if (name.isEmpty() || name.contains(u'/'))
        return {};
    for (const char* ext : {".svg", ".png"}) {
        const QString p =
            bundlePath + QStringLiteral("/Contents/Resources/") + name + QLatin1String(ext);
        if (QFileInfo(p).isFile())
            return p;
    }
    return {};
}

QString iconNamesOfMimeType(const QMimeType& type) {
    QStringList names;
    if (type.isValid()) {
        names << type.iconName();
        if (!type.genericIconName().isEmpty())
            names << type.genericIconName();
    }
    names << kFileIcon;
    names.removeDuplicates();
    return names.join(kNameSeparator);
}

std::optional<RunningApplication> runningApplicationFor(RunningApplications& running,
                                                        const QString& entryPath) {
    const QString canonical = canonicalOrClean(entryPath);
    const QString id = DesktopEntries::isInApplicationDirectory(entryPath)
                           ? DesktopEntries::idForPath(entryPath)
                           : QString();
    for (const RunningApplication& app : running.runningApplications()) {
        if (app.bundleURL && app.bundleURL->isLocalFile() &&
            canonicalOrClean(app.bundleURL->toLocalFile()) == canonical)
            return app;
        if (!id.isEmpty() && app.bundleIdentifier == id)
            return app;
    }
    return std::nullopt;
}

bool launchDesktopEntry(const QString& path) {
    // GIO opens the file itself and would wait for ever on a FIFO put in its place.
    if (!SafeFile::isRegularFile(path))
        return false;
    const QByteArray local = QFile::encodeName(path);
    // Null when the file is no application entry or its program is missing.
    GObjectRef<GDesktopAppInfo> info(g_desktop_app_info_new_from_filename(local.constData()));
    if (!info)
        return false;
    GObjectRef<GAppLaunchContext> context(g_app_launch_context_new());
    GError* error = nullptr;
    const bool ok = g_app_info_launch(G_APP_INFO(info.p), nullptr, context.p, &error);
    clearError(error);
    return ok;
}

} // namespace

GioWorkspace::GioWorkspace(std::weak_ptr<RunningApplications> runningApplications)
    : runningApplications_(std::move(runningApplications)) {
    ::ensureIconTheme();
}

bool GioWorkspace::openURL(const QUrl& url) {
    if (!url.isValid() || url.scheme().isEmpty())
        return false;
    if (url.isLocalFile() && !QFileInfo::exists(url.toLocalFile()))
        return false;
    const QByteArray uri = url.toEncoded();
    GObjectRef<GAppLaunchContext> context(g_app_launch_context_new());
    GError* error = nullptr;
    const bool ok = g_app_info_launch_default_for_uri(uri.constData(), context.p, &error);
    clearError(error);
    return ok;
}

std::optional<QUrl> GioWorkspace::applicationToOpenURL(const QUrl& url) {
    if (!url.isValid())
        return std::nullopt;
    GAppInfo* app = nullptr;
    if (url.isLocalFile()) {
        const QString path = url.toLocalFile();
        const QByteArray local = QFile::encodeName(path);
        GObjectRef<GFile> file(g_file_new_for_path(local.constData()));
        GObjectRef<GFileInfo> info(g_file_query_info(file.p, G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE,
                                                     G_FILE_QUERY_INFO_NONE, nullptr, nullptr));
        const char* known = info ? g_file_info_get_content_type(info.p) : nullptr;
        // A file that is gone still has a type by its name.
        gchar* guessed =
            known ? nullptr : g_content_type_guess(local.constData(), nullptr, 0, nullptr);
        app = g_app_info_get_default_for_type(known ? known : guessed, FALSE);
        g_free(guessed);
    } else if (!url.scheme().isEmpty()) {
        const QByteArray scheme = url.scheme().toUtf8();
        app = g_app_info_get_default_for_uri_scheme(scheme.constData());
    }
    if (!app)
        return std::nullopt;
    GObjectRef<GAppInfo> owned(app);
    if (!G_IS_DESKTOP_APP_INFO(app))
        return std::nullopt;
    const char* filename = g_desktop_app_info_get_filename(G_DESKTOP_APP_INFO(app));
    if (!filename)
        return std::nullopt;
    return QUrl::fromLocalFile(QFile::decodeName(filename));
}

bool GioWorkspace::launchApplication(const QUrl& applicationURL, bool activate) {
    if (!applicationURL.isLocalFile())
        return false;
    const QString path = applicationURL.toLocalFile();
    if (!QFileInfo::exists(path))
        return false;
    if (auto running = runningApplications_.lock()) {
        if (auto app = runningApplicationFor(*running, path)) {
            if (!activate)
                return true;
            if (app->hidden)
                running->unhide(*app);
            return running->activate(*app);
        }
    }
    if (isDesktopEntryPath(path))
        return launchDesktopEntry(path);
    if (isAppBundlePath(path)) {
        const QString executable = bundleExecutable(path);
        return !executable.isEmpty() && QProcess::startDetached(executable, {});
    }
    return false;
}

QString GioWorkspace::applicationExecutablePath(const QUrl& applicationURL) {
    if (!applicationURL.isLocalFile())
        return {};
    const QString path = applicationURL.toLocalFile();
    QString executable;
    if (isDesktopEntryPath(path)) {
        if (const auto entry = DesktopEntries::read(path))
            executable = entry->executablePath();
    } else if (isAppBundlePath(path)) {
        executable = bundleExecutable(path);
    }
    return executable.isEmpty() ? QString() : QFileInfo(executable).canonicalFilePath();
}

QString GioWorkspace::iconNameForFile(const QString& path) {
    const QFileInfo info(path);
    if (isDesktopEntryPath(path) && info.isFile()) {
        const auto entry = DesktopEntries::read(path);
        return DesktopEntries::applicationIconName(entry ? entry->icon : QString());
    }
    if (info.isDir()) {
        if (isAppBundlePath(path)) {
            const QString icon = bundleIconPath(path);
            return icon.isEmpty() ? kApplicationIcon : icon;
        }
        if (QDir::cleanPath(path) == QDir::homePath())
            return QStringLiteral("user-home") + kNameSeparator + kFolderIcon;
        return kFolderIcon;
    }
    // QMimeDatabase is safe to share between threads.
    return iconNamesOfMimeType(QMimeDatabase().mimeTypeForFile(path));
}

QIcon GioWorkspace::iconForName(const QString& iconName) {
    if (iconName.startsWith(u'/')) {
        QIcon icon(iconName);
        if (QFileInfo(iconName).isFile() && !icon.pixmap(16, 16).isNull())
            return icon;
    } else {
        for (const QString& name : iconName.split(kNameSeparator, Qt::SkipEmptyParts)) {
            QIcon icon = QIcon::fromTheme(name);
            if (!icon.isNull())
                return icon;
        }
    }
    // Never hand out a null icon: the kind the name suggests, from the theme, else Qt's own.
    const bool folder = iconName.contains(kFolderIcon) || iconName.contains(u"inode-directory");
    const bool application = iconName.contains(kApplicationIcon);
    QIcon icon = QIcon::fromTheme(folder        ? kFolderIcon
                                  : application ? kApplicationIcon
                                                : kFileIcon);
    if (!icon.isNull())
        return icon;
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) {
        if (QStyle* style = app->style())
            icon = style->standardIcon(folder        ? QStyle::SP_DirIcon
                                       : application ? QStyle::SP_ComputerIcon
                                                     : QStyle::SP_FileIcon);
    }
    if (icon.isNull()) {
        QPixmap blank(16, 16);
        blank.fill(Qt::transparent);
        icon = QIcon(blank);
    }
    return icon;
}

QIcon GioWorkspace::iconForFile(const QString& path) {
    return iconForName(iconNameForFile(path));
}

QIcon GioWorkspace::iconForFileType(const QString& type) {
    const QString lower = type.toLower();
    if (lower == u"public.folder" || lower == u"public.directory" || lower == u"folder" ||
        lower == u"inode/directory")
        return iconForName(kFolderIcon);
    if (lower == u"public.application" || lower == u"com.apple.application-bundle" ||
        lower == u"app" || lower == u"desktop")
        return iconForName(kApplicationIcon);
    QMimeDatabase db;
    QMimeType mime;
    if (lower.contains(u'/'))
        mime = db.mimeTypeForName(lower);
    else if (!lower.isEmpty() && !lower.startsWith(QStringLiteral("public.")))
        mime = db.mimeTypeForFile(QStringLiteral("file.") + lower, QMimeDatabase::MatchExtension);
    if (mime.isValid() && mime.isDefault())
        mime = QMimeType();
    return iconForName(iconNamesOfMimeType(mime));
}
