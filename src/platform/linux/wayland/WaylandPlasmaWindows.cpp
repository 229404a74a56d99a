#include "platform/linux/wayland/WaylandPlasmaWindows.h"

#include "plasma-window-management-client.h"
#include "platform/linux/wayland/WaylandConnection.h"

#include <wayland-client.h>

// ---- PlasmaWindowList ----

bool PlasmaWindowList::title(quintptr id, const QString& title) {
    toplevels_.pending(id).title = title.left(1024);
    return changed(id);
}

bool PlasmaWindowList::appId(quintptr id, const QString& appId) {
    toplevels_.pending(id).appId = appId.left(1024);
    return changed(id);
}

bool PlasmaWindowList::state(quintptr id, uint32_t flags) {
    WaylandToplevel& toplevel = toplevels_.pending(id);
    toplevel.activated = flags & Active;
    toplevel.minimized = flags & Minimized;
    toplevel.skipTaskbar = flags & SkipTaskbar;
    return changed(id);
}

bool PlasmaWindowList::parent(quintptr id, bool hasParent) {
    toplevels_.pending(id).hasParent = hasParent;
    return changed(id);
}

bool PlasmaWindowList::initialState(quintptr id) {
    // A window unmapped before its state was complete is gone already.
    if (!toplevels_.ids().contains(id))
        return false;
    complete_.insert(id);
    return toplevels_.commit(id);
}

void PlasmaWindowList::unmapped(quintptr id) {
    complete_.remove(id);
    toplevels_.remove(id);
}

// ---- the wire ----

namespace {
// The interface's version this was written against; later ones may add events.
constexpr uint32_t kVersion = 16;
// get_window_by_uuid and window_with_uuid.
constexpr uint32_t kUuidVersion = 13;

QString text(const char* s) {
    return QString::fromUtf8(s);
}
} // namespace

class WaylandPlasmaWindows::Private : public Protocol {
public:
    explicit Private(WaylandPlasmaWindows& owner) : Protocol(owner), list(toplevels()) {}
    ~Private() override;

    bool bind(WaylandConnection& connection) override;
    bool bound() const override { return manager != nullptr; }
    bool requestActivate(quintptr toplevel) override;
    bool requestMinimized(quintptr toplevel, bool minimized) override;

    void follow(uint32_t internalId, const char* uuid);
    void destroy(org_kde_plasma_window* window);
    static org_kde_plasma_window* window(quintptr id) {
        return reinterpret_cast<org_kde_plasma_window*>(id);
    }
    static Private* self(void* data) { return static_cast<Private*>(data); }
    void changed(bool becameActive) {
        if (becameActive)
            activationSeen();
    }

    static const org_kde_plasma_window_management_listener managerListener;
    static const org_kde_plasma_window_listener windowListener;

    PlasmaWindowList list;
    org_kde_plasma_window_management* manager = nullptr;
    // KWin's ids of the windows followed: a window may be announced with and without its uuid.
    QHash<quintptr, uint32_t> internalIds;
};

void WaylandPlasmaWindows::Private::follow(uint32_t internalId, const char* uuid) {
    for (uint32_t known : std::as_const(internalIds))
        if (known == internalId)
            return;
    org_kde_plasma_window* w =
        uuid && wl_proxy_get_version(reinterpret_cast<wl_proxy*>(manager)) >= kUuidVersion
            ? org_kde_plasma_window_management_get_window_by_uuid(manager, uuid)
            : org_kde_plasma_window_management_get_window(manager, internalId);
    if (!w)
        return;
    internalIds.insert(quintptr(w), internalId);
    toplevels().pending(quintptr(w));
    org_kde_plasma_window_add_listener(w, &windowListener, this);
}

void WaylandPlasmaWindows::Private::destroy(org_kde_plasma_window* w) {
    internalIds.remove(quintptr(w));
    if (wl_proxy_get_version(reinterpret_cast<wl_proxy*>(w)) >=
        ORG_KDE_PLASMA_WINDOW_DESTROY_SINCE_VERSION)
        org_kde_plasma_window_destroy(w);
    else
        wl_proxy_destroy(reinterpret_cast<wl_proxy*>(w));
}

const org_kde_plasma_window_management_listener WaylandPlasmaWindows::Private::managerListener{
    [](void*, org_kde_plasma_window_management*, uint32_t) {}, // show_desktop_changed
    [](void* data, org_kde_plasma_window_management*, uint32_t id) {
        self(data)->follow(id, nullptr);
    },
    [](void*, org_kde_plasma_window_management*, wl_array*) {},   // stacking_order_changed
    [](void*, org_kde_plasma_window_management*, const char*) {}, // stacking_order_uuid_changed
    [](void* data, org_kde_plasma_window_management*, uint32_t id, const char* uuid) {
        self(data)->follow(id, uuid);
    },
};

const org_kde_plasma_window_listener WaylandPlasmaWindows::Private::windowListener{
    [](void* data, org_kde_plasma_window* w, const char* title) {
        self(data)->changed(self(data)->list.title(quintptr(w), text(title)));
    },
    [](void* data, org_kde_plasma_window* w, const char* appId) {
        self(data)->changed(self(data)->list.appId(quintptr(w), text(appId)));
    },
    [](void* data, org_kde_plasma_window* w, uint32_t flags) {
        self(data)->changed(self(data)->list.state(quintptr(w), flags));
    },
    [](void*, org_kde_plasma_window*, int32_t) {},     // virtual_desktop_changed
    [](void*, org_kde_plasma_window*, const char*) {}, // themed_icon_name_changed
    [](void* data, org_kde_plasma_window* w) {         // unmapped
        self(data)->list.unmapped(quintptr(w));
        self(data)->destroy(w);
    },
    [](void* data, org_kde_plasma_window* w) {
        self(data)->changed(self(data)->list.initialState(quintptr(w)));
    },
    [](void* data, org_kde_plasma_window* w, org_kde_plasma_window* parent) {
        self(data)->changed(self(data)->list.parent(quintptr(w), parent != nullptr));
    },
    [](void*, org_kde_plasma_window*, int32_t, int32_t, uint32_t, uint32_t) {}, // geometry
    [](void*, org_kde_plasma_window*) {},                                       // icon_changed
    [](void*, org_kde_plasma_window*, uint32_t) {},                             // pid_changed
    [](void*, org_kde_plasma_window*, const char*) {},              // virtual_desktop_entered
    [](void*, org_kde_plasma_window*, const char*) {},              // virtual_desktop_left
    [](void*, org_kde_plasma_window*, const char*, const char*) {}, // application_menu
    [](void*, org_kde_plasma_window*, const char*) {},              // activity_entered
    [](void*, org_kde_plasma_window*, const char*) {},              // activity_left
    [](void*, org_kde_plasma_window*, const char*) {},              // resource_name_changed
};

WaylandPlasmaWindows::Private::~Private() {
    for (quintptr id : toplevels().ids())
        destroy(window(id));
    // The manager has no destructor request: forgetting it is all a client can do.
    if (manager)
        wl_proxy_destroy(reinterpret_cast<wl_proxy*>(manager));
}

bool WaylandPlasmaWindows::Private::bind(WaylandConnection& connection) {
    manager = static_cast<org_kde_plasma_window_management*>(
        connection.bindGlobal(&org_kde_plasma_window_management_interface, kVersion));
    if (!manager)
        return false;
    org_kde_plasma_window_management_add_listener(manager, &managerListener, this);
    return true;
}

bool WaylandPlasmaWindows::Private::requestActivate(quintptr toplevel) {
    WaylandConnection* connection = liveConnection();
    if (!connection)
        return false;
    // KWin shows a minimised window again when it activates it.
    org_kde_plasma_window_set_state(window(toplevel), PlasmaWindowList::Active,
                                    PlasmaWindowList::Active);
    connection->flush();
    return true;
}

bool WaylandPlasmaWindows::Private::requestMinimized(quintptr toplevel, bool minimized) {
    WaylandConnection* connection = liveConnection();
    if (!connection)
        return false;
    org_kde_plasma_window_set_state(window(toplevel), PlasmaWindowList::Minimized,
                                    minimized ? uint32_t(PlasmaWindowList::Minimized) : 0u);
    connection->flush();
    return true;
}

WaylandPlasmaWindows::WaylandPlasmaWindows(QObject* parent) : WaylandToplevelApplications(parent) {
    connectToCompositor([this] { return std::make_unique<Private>(*this); });
}
