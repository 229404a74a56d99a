#include "platform/linux/WaylandRunningApplications.h"

#include "platform/linux/SwayIpc.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QGuiApplication>
#include <QHash>
#include <QSocketNotifier>
#include <QTimer>
#include <QWindow>
#include <wayland-client.h>

#include <algorithm>
#include <poll.h>

QList<ToplevelGroup>
groupToplevels(const QList<WaylandToplevel>& toplevels,
               const std::function<std::optional<DesktopEntry>(const QString& appId)>& entryFor,
               const QSet<QString>& ownAppIds) {
    QList<ToplevelGroup> groups;
    QHash<QString, qsizetype> groupOf;
    QHash<qsizetype, qint64> bestActivation;
    for (const WaylandToplevel& toplevel : toplevels) {
        const std::optional<DesktopEntry> entry =
            toplevel.appId.isEmpty() ? std::nullopt : entryFor(toplevel.appId);
        const QString handle = entry ? QStringLiteral("desktop:") + entry->path
                               : !toplevel.appId.isEmpty()
                                   ? QStringLiteral("appid:") + toplevel.appId
                                   : QStringLiteral("toplevel:") + QString::number(toplevel.id, 16);
        qsizetype gi = groupOf.value(handle, -1);
        if (gi < 0) {
            gi = groups.size();
            groupOf.insert(handle, gi);
            ToplevelGroup group;
            RunningApplication& app = group.app;
            app.handle = handle;
            app.hidden = true;
            if (entry) {
                app.bundleIdentifier = entry->id;
                app.bundleURL = QUrl::fromLocalFile(entry->path);
                if (!entry->name.isEmpty())
                    app.localizedName = entry->name;
                app.iconName = DesktopEntries::applicationIconName(entry->icon);
            } else {
                app.iconName = DesktopEntries::applicationIconName(toplevel.appId.toLower());
            }
            if (!app.localizedName) {
                const QString name = !toplevel.appId.isEmpty() ? toplevel.appId : toplevel.title;
                if (!name.isEmpty())
                    app.localizedName = name;
            }
            groups << group;
            bestActivation.insert(gi, -1);
        }
        ToplevelGroup& group = groups[gi];
        group.toplevels << toplevel.id;
        group.app.hidden = group.app.hidden && toplevel.minimized;
        if (!toplevel.hasParent)
            group.app.regular = true;
        if (ownAppIds.contains(toplevel.appId))
            group.app.isCurrentProcess = true;
        if (toplevel.activated)
            group.frontmost = true;
        // Later announcements win ties: the newest window of an application never seen active.
        if (toplevel.lastActivation >= bestActivation.value(gi)) {
            bestActivation.insert(gi, toplevel.lastActivation);
            group.preferred = toplevel.id;
        }
    }
    return groups;
}

namespace {
// A window no entry claims may belong to an application installed since the index was read.
constexpr qint64 kIndexRefreshAfterMissMs = 10000;
} // namespace

class WaylandRunningApplications::Private {
public:
    explicit Private(WaylandRunningApplications* owner) : q(owner) {}
    ~Private();

    bool connect();
    void dispatchEvents();
    void takeInEvents() {
        if (display && manager && wl_display_get_error(display) == 0)
            dispatchEvents();
    }
    QList<ToplevelGroup> snapshot();
    std::optional<ToplevelGroup> groupFor(const QString& handle);
    std::optional<DesktopEntry> entryFor(const QString& appId);
    void rebuildIndex();
    void checkFrontmost();
    void request(quintptr toplevel, uint32_t opcode);

    static void onGlobal(void* data, wl_registry*, uint32_t name, const char* interface,
                         uint32_t version);
    static void onGlobalRemove(void*, wl_registry*, uint32_t) {}
    static void onToplevel(void* data, zwlr_foreign_toplevel_manager_v1*,
                           zwlr_foreign_toplevel_handle_v1* handle);
    static void onFinished(void* data, zwlr_foreign_toplevel_manager_v1*);
    static void onTitle(void* data, zwlr_foreign_toplevel_handle_v1* handle, const char* title);
    static void onAppId(void* data, zwlr_foreign_toplevel_handle_v1* handle, const char* appId);
    static void onOutputEnter(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
    static void onOutputLeave(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
    static void onState(void* data, zwlr_foreign_toplevel_handle_v1* handle, wl_array* state);
    static void onDone(void* data, zwlr_foreign_toplevel_handle_v1* handle);
    static void onClosed(void* data, zwlr_foreign_toplevel_handle_v1* handle);
    static void onParent(void* data, zwlr_foreign_toplevel_handle_v1* handle,
                         zwlr_foreign_toplevel_handle_v1* parent);

    static const wl_registry_listener registryListener;
    static const zwlr_foreign_toplevel_manager_v1_listener managerListener;
    static const zwlr_foreign_toplevel_handle_v1_listener handleListener;

    WaylandRunningApplications* q;
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_seat* seat = nullptr;
    zwlr_foreign_toplevel_manager_v1* manager = nullptr;
    uint32_t managerName = 0, managerVersion = 0;
    std::unique_ptr<QSocketNotifier> notifier;

    // In announcement order; the pending state becomes current at "done".
    QList<WaylandToplevel> toplevels;
    QHash<quintptr, WaylandToplevel> pending;
    qint64 activationSequence = 0;

    DesktopEntryIndex index;
    bool indexValid = false;
    QElapsedTimer indexAge;
    QFileSystemWatcher watcher;
    QHash<QString, std::optional<DesktopEntry>> entries;
    QSet<QString> ownAppIds;
    QTimer frontmostCheck;
    QString lastFrontmostHandle;
};

const wl_registry_listener WaylandRunningApplications::Private::registryListener{&onGlobal,
                                                                                 &onGlobalRemove};
const zwlr_foreign_toplevel_manager_v1_listener
    WaylandRunningApplications::Private::managerListener{&onToplevel, &onFinished};
const zwlr_foreign_toplevel_handle_v1_listener WaylandRunningApplications::Private::handleListener{
    &onTitle, &onAppId, &onOutputEnter, &onOutputLeave, &onState, &onDone, &onClosed, &onParent};

WaylandRunningApplications::Private::~Private() {
    if (!display)
        return;
    notifier.reset();
    for (const WaylandToplevel& toplevel : std::as_const(toplevels))
        zwlr_foreign_toplevel_handle_v1_destroy(
            reinterpret_cast<zwlr_foreign_toplevel_handle_v1*>(toplevel.id));
    for (auto it = pending.cbegin(); it != pending.cend(); ++it)
        if (!std::any_of(toplevels.cbegin(), toplevels.cend(),
                         [&](const WaylandToplevel& t) { return t.id == it.key(); }))
            zwlr_foreign_toplevel_handle_v1_destroy(
                reinterpret_cast<zwlr_foreign_toplevel_handle_v1*>(it.key()));
    if (manager)
        zwlr_foreign_toplevel_manager_v1_stop(manager);
    if (seat)
        wl_seat_destroy(seat);
    if (registry)
        wl_registry_destroy(registry);
    wl_display_flush(display);
    wl_display_disconnect(display);
}

void WaylandRunningApplications::Private::onGlobal(void* data, wl_registry*, uint32_t name,
                                                   const char* interface, uint32_t version) {
    auto* self = static_cast<Private*>(data);
    const QByteArray iface(interface);
    if (iface == wl_seat_interface.name && !self->seat)
        self->seat =
            static_cast<wl_seat*>(wl_registry_bind(self->registry, name, &wl_seat_interface, 1));
    else if (iface == zwlr_foreign_toplevel_manager_v1_interface.name) {
        self->managerName = name;
        self->managerVersion = version;
    }
}

bool WaylandRunningApplications::Private::connect() {
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return false;
    display = wl_display_connect(nullptr);
    if (!display)
        return false;
    registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, this);
    if (wl_display_roundtrip(display) < 0 || !managerName)
        return false;
    // Version 3 adds the parent of a dialog.
    manager = static_cast<zwlr_foreign_toplevel_manager_v1*>(
        wl_registry_bind(registry, managerName, &zwlr_foreign_toplevel_manager_v1_interface,
                         std::min<uint32_t>(managerVersion, 3)));
    zwlr_foreign_toplevel_manager_v1_add_listener(manager, &managerListener, this);
    // The list as it is now, each toplevel complete.
    if (wl_display_roundtrip(display) < 0 || wl_display_roundtrip(display) < 0)
        return false;
    notifier = std::make_unique<QSocketNotifier>(wl_display_get_fd(display), QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, q, [this] { dispatchEvents(); });

    // The names this program's own windows are listed under: natively its desktop file name or
    // executable, through XWayland its window class.
    const QString executable = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    ownAppIds = {executable, QGuiApplication::desktopFileName(),
                 QCoreApplication::applicationName()};
    ownAppIds.remove(QString());
    frontmostCheck.setSingleShot(true);
    frontmostCheck.setInterval(0);
    QObject::connect(&frontmostCheck, &QTimer::timeout, q, [this] { checkFrontmost(); });
    QObject::connect(&watcher, &QFileSystemWatcher::directoryChanged, q,
                     [this] { indexValid = false; });
    return true;
}

void WaylandRunningApplications::Private::dispatchEvents() {
    while (wl_display_prepare_read(display) != 0)
        wl_display_dispatch_pending(display);
    wl_display_flush(display);
    pollfd p{wl_display_get_fd(display), POLLIN, 0};
    if (poll(&p, 1, 0) > 0)
        wl_display_read_events(display);
    else
        wl_display_cancel_read(display);
    wl_display_dispatch_pending(display);
    if (wl_display_get_error(display) != 0 && notifier)
        notifier->setEnabled(false); // the compositor is gone
}

void WaylandRunningApplications::Private::onToplevel(void* data, zwlr_foreign_toplevel_manager_v1*,
                                                     zwlr_foreign_toplevel_handle_v1* handle) {
    auto* self = static_cast<Private*>(data);
    WaylandToplevel toplevel;
    toplevel.id = quintptr(handle);
    self->pending.insert(toplevel.id, toplevel);
    zwlr_foreign_toplevel_handle_v1_add_listener(handle, &handleListener, self);
}

void WaylandRunningApplications::Private::onFinished(void* data,
                                                     zwlr_foreign_toplevel_manager_v1*) {
    // The compositor will send nothing more; the list it gave stays until the handles close.
    auto* self = static_cast<Private*>(data);
    zwlr_foreign_toplevel_manager_v1_destroy(self->manager);
    self->manager = nullptr;
}

void WaylandRunningApplications::Private::onTitle(void* data,
                                                  zwlr_foreign_toplevel_handle_v1* handle,
                                                  const char* title) {
    auto* self = static_cast<Private*>(data);
    self->pending[quintptr(handle)].title = QString::fromUtf8(title).left(1024);
}

void WaylandRunningApplications::Private::onAppId(void* data,
                                                  zwlr_foreign_toplevel_handle_v1* handle,
                                                  const char* appId) {
    auto* self = static_cast<Private*>(data);
    self->pending[quintptr(handle)].appId = QString::fromUtf8(appId).left(1024);
}

void WaylandRunningApplications::Private::onState(void* data,
                                                  zwlr_foreign_toplevel_handle_v1* handle,
                                                  wl_array* state) {
    auto* self = static_cast<Private*>(data);
    WaylandToplevel& toplevel = self->pending[quintptr(handle)];
    toplevel.minimized = false;
    toplevel.activated = false;
    const auto* values = static_cast<const uint32_t*>(state->data);
    for (size_t i = 0; i < state->size / sizeof(uint32_t); ++i) {
        if (values[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_MINIMIZED)
            toplevel.minimized = true;
        else if (values[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED)
            toplevel.activated = true;
    }
}

void WaylandRunningApplications::Private::onParent(void* data,
                                                   zwlr_foreign_toplevel_handle_v1* handle,
                                                   zwlr_foreign_toplevel_handle_v1* parent) {
    auto* self = static_cast<Private*>(data);
    self->pending[quintptr(handle)].hasParent = parent != nullptr;
}

void WaylandRunningApplications::Private::onDone(void* data,
                                                 zwlr_foreign_toplevel_handle_v1* handle) {
    auto* self = static_cast<Private*>(data);
    WaylandToplevel toplevel = self->pending.value(quintptr(handle));
    auto it = std::find_if(self->toplevels.begin(), self->toplevels.end(),
                           [&](const WaylandToplevel& t) { return t.id == toplevel.id; });
    const bool becameActive = toplevel.activated && (it == self->toplevels.end() || !it->activated);
    if (becameActive)
        toplevel.lastActivation = ++self->activationSequence;
    else if (it != self->toplevels.end())
        toplevel.lastActivation = it->lastActivation;
    self->pending[toplevel.id] = toplevel;
    if (it == self->toplevels.end())
        self->toplevels << toplevel;
    else
        *it = toplevel;
    if (becameActive)
        self->frontmostCheck.start();
}

void WaylandRunningApplications::Private::onClosed(void* data,
                                                   zwlr_foreign_toplevel_handle_v1* handle) {
    auto* self = static_cast<Private*>(data);
    self->pending.remove(quintptr(handle));
    self->toplevels.removeIf([&](const WaylandToplevel& t) { return t.id == quintptr(handle); });
    zwlr_foreign_toplevel_handle_v1_destroy(handle);
}

void WaylandRunningApplications::Private::rebuildIndex() {
    index = DesktopEntryIndex(DesktopEntries::allApplications());
    indexValid = true;
    indexAge.start();
    entries.clear();
    const QStringList watched = watcher.directories();
    if (!watched.isEmpty())
        watcher.removePaths(watched);
    QStringList existing;
    for (const QString& dir : DesktopEntries::applicationDirectories())
        if (QFileInfo(dir).isDir())
            existing << dir;
    if (!existing.isEmpty())
        watcher.addPaths(existing);
}

std::optional<DesktopEntry> WaylandRunningApplications::Private::entryFor(const QString& appId) {
    if (!indexValid)
        rebuildIndex();
    if (auto it = entries.constFind(appId); it != entries.constEnd())
        return *it;
    // An app id names the application as a window class does on X11: the desktop id, the
    // StartupWMClass, or the reverse-DNS id's last part.
    const DesktopEntryIndex::WindowFacts facts{appId, appId, {}, {}};
    std::optional<DesktopEntry> entry = index.entryForWindow(facts);
    if (!entry && indexAge.elapsed() > kIndexRefreshAfterMissMs) {
        rebuildIndex();
        entry = index.entryForWindow(facts);
    }
    entries.insert(appId, entry);
    return entry;
}

QList<ToplevelGroup> WaylandRunningApplications::Private::snapshot() {
    takeInEvents();
    return groupToplevels(
        toplevels, [this](const QString& appId) { return entryFor(appId); }, ownAppIds);
}

std::optional<ToplevelGroup> WaylandRunningApplications::Private::groupFor(const QString& handle) {
    for (ToplevelGroup& group : snapshot())
        if (group.app.handle == handle)
            return std::move(group);
    return std::nullopt;
}

void WaylandRunningApplications::Private::checkFrontmost() {
    const auto front = q->frontmostApplication();
    if (!front || front->handle == lastFrontmostHandle)
        return;
    lastFrontmostHandle = front->handle;
    Q_EMIT q->applicationActivated(*front);
}

WaylandRunningApplications::WaylandRunningApplications(QObject* parent)
    : d(std::make_unique<Private>(this)) {
    setParent(parent);
    if (!d->connect()) {
        d = std::make_unique<Private>(this);
        return;
    }
    if (auto front = frontmostApplication())
        d->lastFrontmostHandle = front->handle;
}

WaylandRunningApplications::~WaylandRunningApplications() = default;

bool WaylandRunningApplications::isAvailable() const {
    return d->display && d->manager && wl_display_get_error(d->display) == 0;
}

QList<RunningApplication> WaylandRunningApplications::runningApplications() {
    QList<RunningApplication> apps;
    for (const ToplevelGroup& group : d->snapshot())
        apps << group.app;
    return apps;
}

std::optional<RunningApplication> WaylandRunningApplications::frontmostApplication() {
    for (const ToplevelGroup& group : d->snapshot())
        if (group.frontmost)
            return group.app;
    return std::nullopt;
}

bool WaylandRunningApplications::hide(const RunningApplication& app) {
    const auto group = d->groupFor(app.handle);
    if (!group || !d->display)
        return false;
    QSet<QString> appIds;
    for (quintptr toplevel : group->toplevels) {
        zwlr_foreign_toplevel_handle_v1_set_minimized(
            reinterpret_cast<zwlr_foreign_toplevel_handle_v1*>(toplevel));
        for (const WaylandToplevel& known : std::as_const(d->toplevels))
            if (known.id == toplevel)
                appIds.insert(known.appId);
    }
    wl_display_flush(d->display);
    // sway has no minimised state and ignores the request: its scratchpad hides windows, and
    // activating one brings it back.
    if (SwayIpc::isAvailable())
        for (const QString& appId : std::as_const(appIds))
            if (const QString criteria = SwayIpc::appIdCriteria(appId); !criteria.isEmpty())
                SwayIpc::runCommand(criteria + QStringLiteral(" move scratchpad"));
    return true;
}

bool WaylandRunningApplications::unhide(const RunningApplication& app) {
    const auto group = d->groupFor(app.handle);
    if (!group || !d->display)
        return false;
    for (quintptr toplevel : group->toplevels)
        zwlr_foreign_toplevel_handle_v1_unset_minimized(
            reinterpret_cast<zwlr_foreign_toplevel_handle_v1*>(toplevel));
    wl_display_flush(d->display);
    return true;
}

bool WaylandRunningApplications::activate(const RunningApplication& app) {
    const auto group = d->groupFor(app.handle);
    if (!group || !group->preferred || !d->seat)
        return false;
    // Activating also shows a minimised window again.
    zwlr_foreign_toplevel_handle_v1_activate(
        reinterpret_cast<zwlr_foreign_toplevel_handle_v1*>(group->preferred), d->seat);
    wl_display_flush(d->display);
    return true;
}

void WaylandRunningApplications::activateCurrentApplication() {
    for (QWindow* window : QGuiApplication::topLevelWindows()) {
        if (window->isVisible() && window->type() != Qt::Popup && window->type() != Qt::ToolTip)
            window->raise();
    }
    // A Wayland client cannot take the focus itself; the compositor gives it on request.
    for (const ToplevelGroup& group : d->snapshot()) {
        if (group.app.isCurrentProcess) {
            activate(group.app);
            return;
        }
    }
}
