#include "platform/linux/xdg/XdgAutostartLoginItems.h"

#include "platform/linux/files/SafeFile.h"
#include "platform/linux/xdg/DesktopEntries.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <glib.h>

namespace {
const char* const kGroup = "Desktop Entry";

QString canonicalOrSelf(const QString& path) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(path) : canonical;
}

// Quoting of one Exec argument: double quotes with ", `, $ and \ escaped, % doubled since it
// starts field codes; then the string-value escaping of the key file doubles the backslashes.
QString quotedExecArgument(const QString& argument) {
    QString quoted;
    for (QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        if (c == u'%')
            quoted += u'%';
        quoted += c;
    }
    quoted = u'"' + quoted + u'"';
    quoted.replace(u'\\', QStringLiteral("\\\\"));
    return quoted;
}

// A value on one line of the key file.
QString singleLine(const QString& value) {
    QString line;
    for (QChar c : value)
        line += c.isPrint() ? c : QChar(u' ');
    return line.trimmed();
}

struct KeyFile {
    GKeyFile* file = g_key_file_new();
    ~KeyFile() { g_key_file_free(file); }
    KeyFile() = default;
    KeyFile(const KeyFile&) = delete;
    KeyFile& operator=(const KeyFile&) = delete;

    std::optional<QString> string(const char* key) const {
        gchar* value = g_key_file_get_string(file, kGroup, key, nullptr);
        if (!value)
            return std::nullopt;
        QString result = QString::fromUtf8(value);
        g_free(value);
        return result;
    }
    bool isTrue(const char* key) const {
        return string(key).value_or(QString()).trimmed() == u"true";
    }
    bool isFalse(const char* key) const {
        return string(key).value_or(QString()).trimmed() == u"false";
    }
};
} // namespace

XdgAutostartLoginItems::XdgAutostartLoginItems(QString executablePath, QString applicationName,
                                               QString autostartDirectory)
    : executablePath_(std::move(executablePath)), applicationName_(std::move(applicationName)),
      autostartDirectory_(std::move(autostartDirectory)) {}

QString XdgAutostartLoginItems::autostartDirectory() const {
    if (!autostartDirectory_.isEmpty())
        return autostartDirectory_;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart");
}

QString XdgAutostartLoginItems::entryPath() const {
    return autostartDirectory() + QStringLiteral("/pelora.desktop");
}

QString XdgAutostartLoginItems::entryText() const {
    const QString name = singleLine(applicationName_);
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=%1\n"
                          "Exec=%2\n"
                          "Terminal=false\n"
                          "Hidden=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(name.isEmpty() ? QStringLiteral("Pelora") : name,
             quotedExecArgument(singleLine(executablePath_)));
}

bool XdgAutostartLoginItems::execStartsThisExecutable(const QString& exec) const {
    gint argc = 0;
    gchar** argv = nullptr;
    const QByteArray utf8 = exec.toUtf8();
    if (!g_shell_parse_argv(utf8.constData(), &argc, &argv, nullptr))
        return false;
    QString program = argc > 0 ? QString::fromUtf8(argv[0]) : QString();
    g_strfreev(argv);
    program.replace(QStringLiteral("%%"), QStringLiteral("%"));
    if (program.isEmpty())
        return false;
    if (!program.contains(u'/')) {
        program = QStandardPaths::findExecutable(program);
        if (program.isEmpty())
            return false;
    }
    return canonicalOrSelf(program) == canonicalOrSelf(executablePath_);
}

LoginItemStatus XdgAutostartLoginItems::status() const {
    if (executablePath_.isEmpty() || !QFileInfo(executablePath_).isFile())
        return LoginItemStatus::notFound;
    KeyFile entry;
    // Anything may sit at that path; only a regular file is read, and without waiting.
    const auto data = SafeFile::readRegularFile(entryPath(), DesktopEntries::maxFileSize);
    if (!data || !g_key_file_load_from_data(entry.file, data->constData(), gsize(data->size()),
                                            G_KEY_FILE_NONE, nullptr))
        return LoginItemStatus::notRegistered;
    // GNOME skips entries switched off with its own key, so they do not count either.
    if (entry.isTrue("Hidden") || entry.isFalse("X-GNOME-Autostart-enabled"))
        return LoginItemStatus::notRegistered;
    const auto exec = entry.string("Exec");
    if (!exec || !execStartsThisExecutable(*exec))
        return LoginItemStatus::notRegistered;
    return LoginItemStatus::enabled;
}

std::optional<LoginItemError> XdgAutostartLoginItems::registerLoginItem() {
    if (executablePath_.isEmpty() || !QFileInfo(executablePath_).isFile())
        return LoginItemError{QStringLiteral("The program's executable cannot be found.")};
    const QString dir = autostartDirectory();
    if (!QDir().mkpath(dir))
        return LoginItemError{QStringLiteral("Cannot create the folder %1.").arg(dir)};
    // Written to a temporary file and renamed, so a failed write never leaves half an entry.
    QSaveFile file(entryPath());
    if (!file.open(QIODevice::WriteOnly))
        return LoginItemError{file.errorString()};
    const QByteArray text = entryText().toUtf8();
    if (file.write(text) != text.size()) {
        file.cancelWriting();
        return LoginItemError{file.errorString()};
    }
    if (!file.commit())
        return LoginItemError{file.errorString()};
    return std::nullopt;
}

std::optional<LoginItemError> XdgAutostartLoginItems::unregisterLoginItem() {
    QFile file(entryPath());
    if (!file.exists() && !QFileInfo(entryPath()).isSymLink())
        return std::nullopt;
    if (!file.remove())
        return LoginItemError{file.errorString()};
    return std::nullopt;
}
