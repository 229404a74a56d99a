#include "platform/linux/xdg/DesktopEntries.h"

#include "platform/linux/files/SafeFile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>

#include <glib.h>

namespace {

constexpr const char* kGroup = "Desktop Entry";
const QString kSuffix = QStringLiteral(".desktop");

QString takeString(gchar* value) {
    if (!value)
        return {};
    QString s = QString::fromUtf8(value).trimmed();
    g_free(value);
    return s;
}

QString stringValue(GKeyFile* file, const char* key) {
    return takeString(g_key_file_get_string(file, kGroup, key, nullptr));
}

QString localeStringValue(GKeyFile* file, const char* key) {
    return takeString(g_key_file_get_locale_string(file, kGroup, key, nullptr, nullptr));
}

bool boolValue(GKeyFile* file, const char* key) {
    GError* error = nullptr;
    const bool value = g_key_file_get_boolean(file, kGroup, key, &error);
    if (error) {
        g_error_free(error);
        return false;
    }
    return value;
}

QString findProgram(const QString& program) {
    if (program.isEmpty())
        return {};
    if (program.startsWith(u'/'))
        return QFileInfo(program).isExecutable() ? program : QString();
    gchar* found = g_find_program_in_path(QFile::encodeName(program).constData());
    const QString path = found ? QFile::decodeName(found) : QString();
    g_free(found);
    return path;
}

// Interpreters and launchers: an entry that starts one says nothing about which program owns
// a window, so such entries are not matched by executable.
bool isGenericLauncher(const QString& executable) {
    static const QStringList names{
        QStringLiteral("sh"),   QStringLiteral("bash"),    QStringLiteral("dash"),
        QStringLiteral("zsh"),  QStringLiteral("env"),     QStringLiteral("perl"),
        QStringLiteral("ruby"), QStringLiteral("java"),    QStringLiteral("node"),
        QStringLiteral("wine"), QStringLiteral("flatpak"), QStringLiteral("snap"),
        QStringLiteral("mono"), QStringLiteral("gjs"),     QStringLiteral("busybox")};
    const QString base = QFileInfo(executable).fileName();
    return names.contains(base) || base.startsWith(QStringLiteral("python"));
}

// The candidate relative paths of a desktop id: "a-b.desktop" may be "a/b.desktop".
void candidatePaths(const QString& id, int depth, QStringList& out) {
    out << id;
    if (depth > 4)
        return;
    for (qsizetype i = id.indexOf(u'-'); i > 0; i = id.indexOf(u'-', i + 1)) {
        QStringList rest;
        candidatePaths(id.mid(i + 1), depth + 1, rest);
        for (const QString& r : rest)
            out << id.left(i) + u'/' + r;
    }
}

QString withoutSuffix(const QString& id) {
    return id.endsWith(kSuffix) ? id.chopped(kSuffix.size()) : id;
}

} // namespace

QString DesktopEntry::executablePath() const {
    if (exec.isEmpty())
        return {};
    const QByteArray line = exec.toUtf8();
    gint argc = 0;
    gchar** argv = nullptr;
    if (!g_shell_parse_argv(line.constData(), &argc, &argv, nullptr))
        return {};
    QString program;
    int i = 0;
    // "env A=1 B=2 program ..." starts program.
    if (argc > 0 && QFileInfo(QString::fromUtf8(argv[0])).fileName() == u"env") {
        i = 1;
        while (i < argc && (QByteArray(argv[i]).contains('=') || argv[i][0] == '-'))
            ++i;
    }
    if (i < argc)
        program = QString::fromUtf8(argv[i]);
    g_strfreev(argv);
    const QString found = findProgram(program);
    if (found.isEmpty())
        return {};
    const QString canonical = QFileInfo(found).canonicalFilePath();
    return canonical.isEmpty() ? found : canonical;
}

QStringList DesktopEntries::applicationDirectories() {
    QStringList dirs;
    for (const QString& d :
         QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation)) {
        const QString clean = QDir::cleanPath(d);
        if (!clean.isEmpty() && !dirs.contains(clean))
            dirs << clean;
    }
    return dirs;
}

std::optional<DesktopEntry> DesktopEntries::read(const QString& path) {
    // Any process can name a desktop file (GIO_LAUNCHED_DESKTOP_FILE): it may be a FIFO.
    const std::optional<QByteArray> data = SafeFile::readRegularFile(path, maxFileSize);
    if (!data)
        return std::nullopt;
    return parse(*data, path);
}

std::optional<DesktopEntry> DesktopEntries::parse(const QByteArray& data, const QString& path) {
    GKeyFile* file = g_key_file_new();
    std::optional<DesktopEntry> result;
    if (g_key_file_load_from_data(file, data.constData(), gsize(data.size()), G_KEY_FILE_NONE,
                                  nullptr) &&
        g_key_file_has_group(file, kGroup)) {
        DesktopEntry e;
        e.path = QFileInfo(path).absoluteFilePath();
        e.id = idForPath(e.path);
        e.name = localeStringValue(file, "Name");
        e.icon = localeStringValue(file, "Icon");
        e.exec = stringValue(file, "Exec");
        e.tryExec = stringValue(file, "TryExec");
        e.startupWMClass = stringValue(file, "StartupWMClass");
        e.noDisplay = boolValue(file, "NoDisplay");
        e.hidden = boolValue(file, "Hidden");
        e.terminal = boolValue(file, "Terminal");
        e.isApplication = stringValue(file, "Type") == u"Application";
        result = std::move(e);
    }
    g_key_file_free(file);
    return result;
}

std::optional<DesktopEntry> DesktopEntries::findById(const QString& id) {
    if (id.isEmpty() || id.contains(u'/') || !id.endsWith(kSuffix))
        return std::nullopt;
    QStringList relatives;
    candidatePaths(id, 0, relatives);
    for (const QString& dir : applicationDirectories()) {
        for (const QString& relative : relatives) {
            const QString path = dir + u'/' + relative;
            if (!QFileInfo(path).isFile())
                continue;
            auto entry = read(path);
            if (!entry)
                continue;
            if (entry->hidden)
                return std::nullopt;
            entry->id = id;
            return entry;
        }
    }
    return std::nullopt;
}

QString DesktopEntries::idForPath(const QString& path) {
    const QString clean = QDir::cleanPath(path);
    for (const QString& dir : applicationDirectories()) {
        if (clean.startsWith(dir + u'/'))
            return clean.mid(dir.size() + 1).replace(u'/', u'-');
    }
    return QFileInfo(clean).fileName();
}

bool DesktopEntries::isInApplicationDirectory(const QString& path) {
    const QString clean = QDir::cleanPath(path);
    for (const QString& dir : applicationDirectories()) {
        if (clean.startsWith(dir + u'/'))
            return true;
    }
    return false;
}

QList<DesktopEntry> DesktopEntries::allApplications() {
    QList<DesktopEntry> entries;
    QSet<QString> seen;
    for (const QString& dir : applicationDirectories()) {
        QStringList relatives;
        QDirIterator it(dir, {QStringLiteral("*.desktop")}, QDir::Files,
                        QDirIterator::Subdirectories | QDirIterator::FollowSymlinks);
        while (it.hasNext())
            relatives << it.next().mid(dir.size() + 1);
        relatives.sort();
        for (const QString& relative : relatives) {
            QString id = relative;
            id.replace(u'/', u'-');
            if (seen.contains(id))
                continue;
            seen.insert(id);
            auto entry = read(dir + u'/' + relative);
            if (!entry || entry->hidden || !entry->isApplication)
                continue;
            if (!entry->tryExec.isEmpty() && findProgram(entry->tryExec).isEmpty())
                continue;
            entry->id = id;
            entries << std::move(*entry);
        }
    }
    return entries;
}

QString DesktopEntries::applicationIconName(const QString& icon) {
    static const QString generic = QStringLiteral("application-x-executable");
    if (icon.startsWith(u'/'))
        return QFileInfo(icon).isFile() ? icon : generic;
    QString name = icon;
    // Some entries wrongly give a theme name with an image extension.
    for (const char* ext : {".png", ".svg", ".xpm"}) {
        if (name.endsWith(QLatin1String(ext), Qt::CaseInsensitive)) {
            name.chop(4);
            break;
        }
    }
    if (name.isEmpty() || name == generic)
        return generic;
    return name + iconNameSeparator + generic;
}

DesktopEntryIndex::DesktopEntryIndex(const QList<DesktopEntry>& entries) : entries_(entries) {
    // Visible entries are preferred over NoDisplay helpers that share a class or program;
    // otherwise the first in folder order wins, as it does for the id lookup.
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < entries_.size(); ++i) {
            const DesktopEntry& e = entries_[i];
            if (e.noDisplay != (pass == 1))
                continue;
            if (!e.startupWMClass.isEmpty()) {
                if (!byStartupWMClass_.contains(e.startupWMClass))
                    byStartupWMClass_.insert(e.startupWMClass, i);
                if (!byStartupWMClassFolded_.contains(e.startupWMClass.toLower()))
                    byStartupWMClassFolded_.insert(e.startupWMClass.toLower(), i);
            }
            const QString base = withoutSuffix(e.id).toLower();
            if (!byIdBase_.contains(base))
                byIdBase_.insert(base, i);
            const QString last = base.section(u'.', -1);
            if (base.contains(u'.') && !last.isEmpty() && !byIdLastPart_.contains(last))
                byIdLastPart_.insert(last, i);
            byPath_.insert(QDir::cleanPath(e.path), i);
        }
    }
}

const QHash<QString, int>& DesktopEntryIndex::executableTable() const {
    // Resolving every Exec line searches PATH for each entry: done once, when first needed.
    if (byExecutable_)
        return *byExecutable_;
    byExecutable_.emplace();
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < entries_.size(); ++i) {
            const DesktopEntry& e = entries_[i];
            if (e.noDisplay != (pass == 1) || e.terminal)
                continue;
            const QString exe = e.executablePath();
            if (!exe.isEmpty() && !isGenericLauncher(exe) && !byExecutable_->contains(exe))
                byExecutable_->insert(exe, i);
        }
    }
    return *byExecutable_;
}

std::optional<DesktopEntry> DesktopEntryIndex::entryForWindow(const WindowFacts& facts) const {
    auto found = [this](const QHash<QString, int>& table,
                        const QString& key) -> std::optional<DesktopEntry> {
        if (key.isEmpty())
            return std::nullopt;
        auto it = table.constFind(key);
        if (it == table.constEnd())
            return std::nullopt;
        return entries_[*it];
    };
    for (const QString& name : {facts.wmClass, facts.wmInstance}) {
        if (auto e = found(byStartupWMClass_, name))
            return e;
    }
    // Some programs spell their class differently from their entry; an instance name that
    // only matches by case is too weak a hint (xterm -class Other still has instance "xterm").
    if (auto e = found(byStartupWMClassFolded_, facts.wmClass.toLower()))
        return e;
    for (const QString& name : {facts.wmClass, facts.wmInstance}) {
        if (auto e = found(byIdBase_, name.toLower()))
            return e;
    }
    for (const QString& name : {facts.wmClass, facts.wmInstance}) {
        if (auto e = found(byIdLastPart_, name.toLower()))
            return e;
    }
    if (!facts.executablePath.isEmpty()) {
        if (auto e = found(executableTable(), facts.executablePath))
            return e;
    }
    if (!facts.launchedDesktopFile.isEmpty()) {
        const QString path = QDir::cleanPath(facts.launchedDesktopFile);
        if (auto e = found(byPath_, path))
            return e;
        // Launched from a file outside the applications folders: read it as it is.
        if (auto e = DesktopEntries::read(path); e && !e->hidden)
            return e;
    }
    return std::nullopt;
}
