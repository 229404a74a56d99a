#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// One desktop entry (.desktop file) as far as the program needs it.
struct DesktopEntry {
    QString id;   // desktop-file id: the path below an applications folder, '/' turned into '-'
    QString path; // absolute path of the file
    QString name; // Name in the user's language
    QString icon; // Icon: a theme name or an absolute image path
    QString exec;
    QString tryExec;
    QString startupWMClass;
    bool noDisplay = false;
    bool hidden = false;
    bool terminal = false;
    bool isApplication = false; // Type=Application

    // The program the Exec line starts, found on PATH and with symbolic links resolved, as
    // /proc/PID/exe shows it; empty when it cannot be found.
    QString executablePath() const;
};

// Finding and reading desktop entries the way freedesktop.org's desktop-entry rules lay them out:
// $XDG_DATA_HOME/applications first, then each $XDG_DATA_DIRS/applications, the first file of
// an id winning. Pure file reading, safe from any thread.
namespace DesktopEntries {

// The applications folders, most important first.
QStringList applicationDirectories();
// Reads one desktop file; nullopt when it is unreadable, not a regular file, larger than
// maxFileSize or not a desktop entry.
std::optional<DesktopEntry> read(const QString& path);
// The entry in a desktop file's bytes; path names where they came from.
std::optional<DesktopEntry> parse(const QByteArray& data, const QString& path);
// Real entries are a few kilobytes, the most translated ones some hundreds.
inline constexpr qint64 maxFileSize = 1024 * 1024;
// The entry with this desktop id ("org.example.App.desktop"); nullopt when there is none or the
// winning copy is Hidden (which deletes it).
std::optional<DesktopEntry> findById(const QString& id);
// The desktop id of a file inside an applications folder; otherwise its file name.
QString idForPath(const QString& path);
// Whether the file lies inside one of the applications folders.
bool isInApplicationDirectory(const QString& path);
// Every application entry, one per id, in folder order; Hidden entries and entries whose
// TryExec program is missing are left out.
QList<DesktopEntry> allApplications();

// An application's icon as handed to Workspace::iconForName: an absolute image path, or theme
// names, best first, one per line, ending with the generic application icon. icon is an
// entry's Icon value or a guessed theme name; it may be empty.
QString applicationIconName(const QString& icon);
// The separator between the theme names of such an icon name.
inline constexpr QChar iconNameSeparator = u'\n';

} // namespace DesktopEntries

// Looks up the desktop entry of a window from what the window system and the process tell.
// Not shared between threads.
class DesktopEntryIndex {
public:
    struct WindowFacts {
        QString wmClass;             // WM_CLASS class part ("XTerm")
        QString wmInstance;          // WM_CLASS instance part ("xterm")
        QString executablePath;      // /proc/PID/exe
        QString launchedDesktopFile; // GIO_LAUNCHED_DESKTOP_FILE of the process
    };

    DesktopEntryIndex() = default;
    explicit DesktopEntryIndex(const QList<DesktopEntry>& entries);

    // StartupWMClass first, then the desktop id against the class or instance, then the
    // program against the entries' Exec, then the desktop file the process was launched from.
    std::optional<DesktopEntry> entryForWindow(const WindowFacts& facts) const;

    int size() const { return int(entries_.size()); }

private:
    const QHash<QString, int>& executableTable() const;

    QList<DesktopEntry> entries_;
    QHash<QString, int> byStartupWMClass_;
    QHash<QString, int> byStartupWMClassFolded_;
    QHash<QString, int> byIdBase_;     // lower-cased id without ".desktop"
    QHash<QString, int> byIdLastPart_; // lower-cased last part of a reverse-DNS id
    mutable std::optional<QHash<QString, int>> byExecutable_;
    QHash<QString, int> byPath_;
};
