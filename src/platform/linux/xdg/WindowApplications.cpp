#include "platform/linux/xdg/WindowApplications.h"

#include <QFileInfo>

namespace {
// A window no entry claims may belong to an application installed since the index was read.
constexpr qint64 kRefreshAfterMissMs = 10000;
} // namespace

WatchedDesktopEntryIndex::WatchedDesktopEntryIndex(std::function<void()> reread)
    : reread_(std::move(reread)) {
    QObject::connect(&watcher_, &QFileSystemWatcher::directoryChanged, &watcher_,
                     [this] { valid_ = false; });
}

void WatchedDesktopEntryIndex::update() {
    if (!valid_)
        read();
}

void WatchedDesktopEntryIndex::read() {
    index_ = DesktopEntryIndex(DesktopEntries::allApplications());
    valid_ = true;
    age_.start();
    if (reread_)
        reread_();
    // Watch the folders that exist now; a folder created later is found after a miss.
    const QStringList watched = watcher_.directories();
    if (!watched.isEmpty())
        watcher_.removePaths(watched);
    QStringList existing;
    for (const QString& dir : DesktopEntries::applicationDirectories())
        if (QFileInfo(dir).isDir())
            existing << dir;
    if (!existing.isEmpty())
        watcher_.addPaths(existing);
}

std::optional<DesktopEntry>
WatchedDesktopEntryIndex::entryForWindow(const DesktopEntryIndex::WindowFacts& facts) {
    update();
    std::optional<DesktopEntry> entry = index_.entryForWindow(facts);
    if (!entry && age_.elapsed() > kRefreshAfterMissMs) {
        read();
        entry = index_.entryForWindow(facts);
    }
    return entry;
}

RunningApplication describeApplication(const QString& handle,
                                       const std::optional<DesktopEntry>& entry,
                                       const QString& instance, const QString& className,
                                       const QString& title) {
    RunningApplication app;
    app.handle = handle;
    if (entry) {
        app.bundleIdentifier = entry->id;
        app.bundleURL = QUrl::fromLocalFile(entry->path);
        if (!entry->name.isEmpty())
            app.localizedName = entry->name;
        app.iconName = DesktopEntries::applicationIconName(entry->icon);
    } else {
        app.iconName = DesktopEntries::applicationIconName(instance.toLower());
    }
    if (!app.localizedName) {
        const QString name = !className.isEmpty() ? className : title;
        if (!name.isEmpty())
            app.localizedName = name;
    }
    return app;
}
