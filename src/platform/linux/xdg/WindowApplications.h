#pragma once

#include "platform/RunningApplications.h"
#include "platform/linux/xdg/DesktopEntries.h"

#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QHash>
#include <QList>
#include <functional>
#include <optional>

// What the X11 and Wayland window lists share in making applications of windows.

// The installed applications' desktop entries, for looking windows up: read on first use, again
// once an application folder changes, and again on a miss once the index has aged, since the
// window may belong to an application installed since. Main thread.
class WatchedDesktopEntryIndex {
public:
    // reread runs each time the index is read again: answers taken from the last one are stale.
    explicit WatchedDesktopEntryIndex(std::function<void()> reread);

    // Reads the index again when a folder changed since it was read.
    void update();
    std::optional<DesktopEntry> entryForWindow(const DesktopEntryIndex::WindowFacts& facts);

private:
    void read();

    std::function<void()> reread_;
    DesktopEntryIndex index_;
    bool valid_ = false;
    QElapsedTimer age_;
    QFileSystemWatcher watcher_;
};

// The application under handle as its desktop entry describes it, or else as its window does:
// the icon named by instance, and className or else title for its name.
RunningApplication describeApplication(const QString& handle,
                                       const std::optional<DesktopEntry>& entry,
                                       const QString& instance, const QString& className,
                                       const QString& title);

// Windows gathered into groups by handle, the groups in the order of their first windows.
template <typename Group> class GroupsByHandle {
public:
    // The group under handle; for its first window, a new one that make() returns.
    template <typename Make> Group& of(const QString& handle, Make&& make) {
        auto it = index_.constFind(handle);
        if (it == index_.constEnd()) {
            it = index_.insert(handle, groups_.size());
            groups_ << make();
        }
        return groups_[*it];
    }
    QList<Group>& list() { return groups_; }

private:
    QList<Group> groups_;
    QHash<QString, qsizetype> index_;
};
