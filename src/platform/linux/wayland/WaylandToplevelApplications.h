#pragma once

#include "platform/RunningApplications.h"
#include "platform/linux/wayland/WaylandConnection.h"
#include "platform/linux/xdg/DesktopEntries.h"
#include "platform/linux/xdg/WindowApplications.h"

#include <QHash>
#include <QSet>
#include <QTimer>
#include <functional>
#include <memory>

// One toplevel window of a Wayland compositor's list, as far as it has been announced.
struct WaylandToplevel {
    quintptr id = 0;
    QString appId;
    QString title;
    bool minimized = false;
    bool activated = false;
    bool hasParent = false;    // a dialog or other child window
    qint64 lastActivation = 0; // larger is more recent; 0 when never seen active
    bool skipTaskbar = false;  // a panel, the desktop, a notification
};

// The toplevels of one application: one desktop entry, or one app id when no entry claims it.
struct ToplevelGroup {
    RunningApplication app;
    QList<quintptr> toplevels;
    // The one to bring forward: the most recently active, else the newest.
    quintptr preferred = 0;
    bool frontmost = false;
};

// Groups toplevels into applications, in the order they were announced. entryFor maps an app
// id to its desktop entry; an app id in ownAppIds belongs to this program.
QList<ToplevelGroup>
groupToplevels(const QList<WaylandToplevel>& toplevels,
               const std::function<std::optional<DesktopEntry>(const QString& appId)>& entryFor,
               const QSet<QString>& ownAppIds);

// The group of the application with the handle, the applications, and the frontmost one.
std::optional<ToplevelGroup> groupWithHandle(QList<ToplevelGroup> groups, const QString& handle);
QList<RunningApplication> applicationsOf(const QList<ToplevelGroup>& groups);
std::optional<RunningApplication> frontmostOf(const QList<ToplevelGroup>& groups);

// The desktop entry of each app id, kept until the entries on disk change. An app id names the
// application as a window class does on X11: the desktop id, the StartupWMClass, or the
// reverse-DNS id's last part.
class AppIdEntries {
public:
    AppIdEntries() : index_([this] { entries_.clear(); }) {}
    std::optional<DesktopEntry> entryFor(const QString& appId);

private:
    QHash<QString, std::optional<DesktopEntry>> entries_;
    WatchedDesktopEntryIndex index_;
};

// A compositor's toplevels as announced: changes collect in a pending state until the
// compositor says they are complete; then they are listed, in announcement order, and an
// activation is numbered for the activation history.
class ToplevelList {
public:
    WaylandToplevel& pending(quintptr id);
    // The pending state becomes the listed one. True when the toplevel became active with it.
    bool commit(quintptr id);
    void remove(quintptr id);
    bool isListed(quintptr id) const;
    const QList<WaylandToplevel>& listed() const { return listed_; }
    // Every toplevel known, listed or not yet.
    QList<quintptr> ids() const { return pending_.keys(); }

private:
    QList<WaylandToplevel> listed_;
    QHash<quintptr, WaylandToplevel> pending_;
    qint64 activationSequence_ = 0;
};

// Running applications from a list of toplevels, whoever keeps it: the toplevels grouped by
// desktop entry at each call, the frontmost from the activated state, and hide, show and
// activate as requests on the group's toplevels. Main thread.
class ToplevelGroupApplications : public RunningApplications {
    Q_OBJECT
public:
    QList<RunningApplication> runningApplications() override;
    std::optional<RunningApplication> frontmostApplication() override;
    bool hide(const RunningApplication& app) override;
    bool unhide(const RunningApplication& app) override;
    bool activate(const RunningApplication& app) override;
    void activateCurrentApplication() override;

protected:
    ToplevelGroupApplications();

    // Takes in the changes that have arrived, without blocking.
    virtual void takeInEvents() {}
    // The app ids of this program's own windows beyond its names (found by process, say).
    virtual QSet<QString> moreOwnAppIds() const { return {}; }
    // The requests, sent at once; false when they cannot be carried.
    virtual bool requestActivate(quintptr toplevel) = 0;
    virtual bool requestMinimized(quintptr toplevel, bool minimized) = 0;
    // After the toplevels of these app ids were asked to minimise.
    virtual void minimizeRequested(const QSet<QString>& appIds) { Q_UNUSED(appIds) }
    // Before the toplevels of these app ids are asked to show again or to come forward.
    virtual void restoreRequested(const QSet<QString>& appIds) { Q_UNUSED(appIds) }
    // The list that answers instead while this one cannot; null while this one answers.
    virtual RunningApplications* standIn() const { return nullptr; }

    ToplevelList toplevels_;

private:
    QList<ToplevelGroup> snapshot();
    std::optional<ToplevelGroup> groupFor(const QString& handle);
    QSet<QString> appIdsOf(const ToplevelGroup& group) const;
    bool setMinimized(const RunningApplication& app, bool minimized);

    AppIdEntries entries_;
    // The names this program's own windows are listed under: natively its desktop file name or
    // executable, through XWayland its window class.
    QSet<QString> ownAppIds_;
};

// The running applications of a compositor's window list, whichever protocol carries it: the
// toplevels grouped by desktop entry, the frontmost from the activated state, and hide, show
// and activate as requests on toplevels. Each client brings its protocol; the connection, a
// Wayland connection of this program's own, is kept here. Main thread.
class WaylandToplevelApplications : public ToplevelGroupApplications {
    Q_OBJECT
public:
    ~WaylandToplevelApplications() override;

    // Whether the compositor offers the window list: while a lost connection is made again,
    // too (the list is empty meanwhile).
    bool isAvailable() const { return liveConnection() != nullptr || reconnection_.retrying(); }

protected:
    // One window-list protocol on the connection: its manager, the toplevels it announces into
    // toplevels(), and the requests. Its objects are its own to destroy; it goes before the
    // connection does.
    class Protocol {
    public:
        explicit Protocol(WaylandToplevelApplications& owner) : owner_(owner) {}
        virtual ~Protocol() = default;

        // Binds the manager from the connection's globals and listens to it; false when the
        // compositor does not offer it.
        virtual bool bind(WaylandConnection& connection) = 0;
        // Whether the manager is still bound: a compositor may end the list.
        virtual bool bound() const = 0;
        // The requests, sent at once; false when the connection cannot carry them.
        virtual bool requestActivate(quintptr toplevel) = 0;
        virtual bool requestMinimized(quintptr toplevel, bool minimized) = 0;
        // After the toplevels of these app ids were asked to minimise.
        virtual void minimizeRequested(const QSet<QString>& appIds) { Q_UNUSED(appIds) }
        // Before the toplevels of these app ids are asked to show again or to come forward.
        virtual void restoreRequested(const QSet<QString>& appIds) { Q_UNUSED(appIds) }

    protected:
        ToplevelList& toplevels() { return owner_.toplevels_; }
        // The connection, whether or not it still stands.
        WaylandConnection* connection() const { return owner_.connection_.get(); }
        WaylandConnection* liveConnection() const { return owner_.liveConnection(); }
        // Checks the frontmost application once the events at hand are taken in.
        void activationSeen() { owner_.frontmostCheck_.start(); }

    private:
        WaylandToplevelApplications& owner_;
    };

    explicit WaylandToplevelApplications(QObject* parent);

    // Opens the connection and has a protocol from makeProtocol bind the window list on it as
    // it is now; the client's constructor calls it once. Unavailable when the compositor offers
    // no list. A connection lost later is made again, with a new protocol.
    void connectToCompositor(std::function<std::unique_ptr<Protocol>()> makeProtocol);

    void takeInEvents() override;
    bool requestActivate(quintptr toplevel) override;
    bool requestMinimized(quintptr toplevel, bool minimized) override;
    void minimizeRequested(const QSet<QString>& appIds) override;
    void restoreRequested(const QSet<QString>& appIds) override;

private:
    // The connection carrying the window list; null when there is none or it broke.
    WaylandConnection* liveConnection() const;
    // Opens the connection and binds the list: 1 done, 0 no list offered, -1 offered but the
    // connection broke while the list was read.
    int openConnection();
    void closeConnection();

    QTimer frontmostCheck_;
    std::function<std::unique_ptr<Protocol>()> makeProtocol_;
    WaylandReconnection reconnection_{[this] {
        const int opened = openConnection();
        if (opened > 0)
            checkFrontmost();
        return opened >= 0;
    }};
    std::unique_ptr<WaylandConnection> connection_;
    // After the connection and the toplevels: it goes first.
    std::unique_ptr<Protocol> protocol_;
};
