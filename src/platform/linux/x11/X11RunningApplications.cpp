#include "platform/linux/x11/X11RunningApplications.h"

#include "platform/linux/files/ProcessInfo.h"
#include "platform/linux/x11/X11Connection.h"
#include "platform/linux/xdg/DesktopEntries.h"
#include "platform/linux/xdg/WindowApplications.h"

#include <QAbstractEventDispatcher>
#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHash>
#include <QSet>
#include <QSocketNotifier>
#include <QTimer>
#include <QWindow>

#include <xcb/res.h>
#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>
#include <xcb/xcb_icccm.h>

#include <algorithm>
#include <cstring>

namespace {

// openbox announces a switch as "no window" and then the new one, sometimes twice.
constexpr int kDebounceMs = 40;
// Other programs' windows may carry megabytes in their class or title, which would then be
// copied into every list and menu: only this much of them is read.
constexpr size_t kMaxClassBytes = 256;
constexpr uint32_t kMaxTitleBytes = 1024;

struct WindowInfo {
    QString wmClass;
    QString wmInstance;
    QString title;
    qint64 pid = 0;
    bool normal = true;
    bool entryResolved = false;
    std::optional<DesktopEntry> entry;
};

struct WindowState {
    bool skipTaskbar = false;
    bool iconic = false;
};

struct Group {
    RunningApplication app;
    QList<xcb_window_t> windows;
    QList<WindowState> states;
};

QString handleOf(const WindowInfo& info, xcb_window_t window) {
    if (info.entry)
        return QStringLiteral("desktop:") + info.entry->path;
    if (!info.wmClass.isEmpty())
        return QStringLiteral("class:") + info.wmClass;
    return QStringLiteral("window:") + QString::number(window, 16);
}

QString classPart(const char* text) {
    return text ? QString::fromLocal8Bit(text, qsizetype(strnlen(text, kMaxClassBytes)))
                : QString();
}

QString latin1OrUtf8(const char* data, int length, bool utf8) {
    if (!data || length <= 0)
        return {};
    // Text properties may carry a trailing NUL.
    while (length > 0 && data[length - 1] == '\0')
        --length;
    return utf8 ? QString::fromUtf8(data, length) : QString::fromLatin1(data, length);
}

} // namespace

class X11RunningApplications::Private : public QAbstractNativeEventFilter {
public:
    explicit Private(X11RunningApplications* owner);
    ~Private() override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
    void handleEvent(const xcb_generic_event_t* event);
    // Takes the events of a connection of this object's own.
    void readOwnEvents(xcb_generic_event_t* (*poll)(xcb_connection_t*));

    QList<xcb_window_t> windowList(bool stacking);
    xcb_window_t activeWindow();
    QList<Group> snapshot();
    // The application of one window, listed or not.
    RunningApplication applicationOf(xcb_window_t window);
    std::optional<Group> groupFor(const QString& handle);
    void fetchInfo(const QList<xcb_window_t>& list);
    QHash<xcb_window_t, WindowState> fetchStates(const QList<xcb_window_t>& list);
    void resolveEntry(WindowInfo& info);
    QSet<xcb_window_t> ownWindows() const;
    // Sends what request asks of the windows of the application under handle; false when it is
    // not running.
    bool send(const QString& handle, void (Private::*request)(const Group&));
    void iconify(const Group& group);
    void showIconic(const Group& group);
    void activateMostRecent(const Group& group);
    void activateWindow(xcb_window_t window);

    X11RunningApplications* q;
    xcb_connection_t* c = nullptr;
    // A native Wayland Qt has no X11 connection: XWayland's programs are listed through one of
    // this object's own.
    xcb_connection_t* ownConnection = nullptr;
    std::unique_ptr<QSocketNotifier> notifier;
    xcb_ewmh_connection_t ewmh{};
    int screen = 0;
    xcb_window_t root = XCB_WINDOW_NONE;
    xcb_atom_t wmStateAtom = XCB_ATOM_NONE;
    xcb_atom_t wmChangeStateAtom = XCB_ATOM_NONE;
    bool hasResExtension = false;

    QHash<xcb_window_t, WindowInfo> windows;
    WatchedDesktopEntryIndex index{[this] {
        for (WindowInfo& info : windows)
            info.entryResolved = false;
    }};
    QTimer debounce;
};

X11RunningApplications::Private::Private(X11RunningApplications* owner) : q(owner) {
    xcb_connection_t* connection = qtX11Connection();
    if (!connection && !qEnvironmentVariableIsEmpty("DISPLAY")) {
        ownConnection = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(ownConnection))
            return;
        connection = ownConnection;
    }
    if (!connection)
        return;
    xcb_intern_atom_cookie_t* ewmhCookies = xcb_ewmh_init_atoms(connection, &ewmh);
    auto intern = [connection](const char* name) {
        return xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name);
    };
    const xcb_intern_atom_cookie_t stateCookie = intern("WM_STATE");
    const xcb_intern_atom_cookie_t changeStateCookie = intern("WM_CHANGE_STATE");
    const bool ewmhReady = xcb_ewmh_init_atoms_replies(&ewmh, ewmhCookies, nullptr);
    for (auto [cookie, atom] :
         {std::pair{stateCookie, &wmStateAtom}, std::pair{changeStateCookie, &wmChangeStateAtom}}) {
        if (const auto reply = takeReply(xcb_intern_atom_reply(connection, cookie, nullptr)))
            *atom = reply->atom;
    }
    if (!ewmhReady || ewmh.nb_screens <= 0)
        return;
    c = connection;
    screen = qBound(0, x11ScreenNumber(), ewmh.nb_screens - 1);
    root = ewmh.screens[screen]->root;
    const xcb_query_extension_reply_t* res = xcb_get_extension_data(c, &xcb_res_id);
    hasResExtension = res && res->present;

    // Root property events tell when the active window or the window list changes. The event
    // mask is per client: keep what Qt selected.
    uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    if (const auto attributes = takeReply(
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, root), nullptr)))
        mask |= attributes->your_event_mask;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);
    if (ownConnection) {
        notifier =
            std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(c), QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, q,
                         [this] { readOwnEvents(xcb_poll_for_event); });
        // Events that arrived while a reply was awaited are already read from the socket.
        QObject::connect(QAbstractEventDispatcher::instance(),
                         &QAbstractEventDispatcher::aboutToBlock, q,
                         [this] { readOwnEvents(xcb_poll_for_queued_event); });
    } else {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }

    debounce.setSingleShot(true);
    debounce.setInterval(kDebounceMs);
    QObject::connect(&debounce, &QTimer::timeout, q, [this] { q->checkFrontmost(); });
}

X11RunningApplications::Private::~Private() {
    notifier.reset();
    if (c) {
        if (auto* app = QCoreApplication::instance(); app && !ownConnection)
            app->removeNativeEventFilter(this);
        xcb_ewmh_connection_wipe(&ewmh);
    }
    if (ownConnection)
        xcb_disconnect(ownConnection);
}

void X11RunningApplications::Private::readOwnEvents(
    xcb_generic_event_t* (*poll)(xcb_connection_t*)) {
    while (xcb_generic_event_t* event = poll(c)) {
        handleEvent(event);
        std::free(event);
    }
    if (xcb_connection_has_error(c))
        notifier->setEnabled(false); // XWayland is gone
}

bool X11RunningApplications::Private::nativeEventFilter(const QByteArray& eventType, void* message,
                                                        qintptr*) {
    if (c && eventType == "xcb_generic_event_t")
        handleEvent(static_cast<const xcb_generic_event_t*>(message));
    return false;
}

void X11RunningApplications::Private::handleEvent(const xcb_generic_event_t* event) {
    if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
        return;
    const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
    if (notify->window == root &&
        (notify->atom == ewmh._NET_ACTIVE_WINDOW || notify->atom == ewmh._NET_CLIENT_LIST) &&
        !debounce.isActive())
        debounce.start();
}

QList<xcb_window_t> X11RunningApplications::Private::windowList(bool stacking) {
    QList<xcb_window_t> list;
    xcb_ewmh_get_windows_reply_t reply;
    const auto cookie = stacking ? xcb_ewmh_get_client_list_stacking(&ewmh, screen)
                                 : xcb_ewmh_get_client_list(&ewmh, screen);
    const bool ok = stacking
                        ? xcb_ewmh_get_client_list_stacking_reply(&ewmh, cookie, &reply, nullptr)
                        : xcb_ewmh_get_client_list_reply(&ewmh, cookie, &reply, nullptr);
    if (!ok)
        return list;
    list.reserve(reply.windows_len);
    for (uint32_t i = 0; i < reply.windows_len; ++i)
        list << reply.windows[i];
    xcb_ewmh_get_windows_reply_wipe(&reply);
    return list;
}

xcb_window_t X11RunningApplications::Private::activeWindow() {
    xcb_window_t window = XCB_WINDOW_NONE;
    if (!xcb_ewmh_get_active_window_reply(&ewmh, xcb_ewmh_get_active_window(&ewmh, screen), &window,
                                          nullptr))
        return XCB_WINDOW_NONE;
    return window;
}

void X11RunningApplications::Private::fetchInfo(const QList<xcb_window_t>& list) {
    if (list.isEmpty())
        return;
    struct Cookies {
        xcb_get_property_cookie_t wmClass, pid, type, transient, netName, name;
    };
    // Send every request first and collect the replies after: one round trip for all windows.
    QList<Cookies> cookies;
    cookies.reserve(list.size());
    for (xcb_window_t w : list)
        cookies << Cookies{
            xcb_icccm_get_wm_class(c, w),
            xcb_ewmh_get_wm_pid(&ewmh, w),
            xcb_ewmh_get_wm_window_type(&ewmh, w),
            xcb_icccm_get_wm_transient_for(c, w),
            xcb_get_property(c, 0, w, ewmh._NET_WM_NAME, ewmh.UTF8_STRING, 0, kMaxTitleBytes / 4),
            xcb_get_property(c, 0, w, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0,
                             kMaxTitleBytes / 4)};
    QList<xcb_window_t> withoutPid;
    for (qsizetype i = 0; i < list.size(); ++i) {
        WindowInfo info;
        const Cookies& ck = cookies[i];
        xcb_icccm_get_wm_class_reply_t wmClass;
        if (xcb_icccm_get_wm_class_reply(c, ck.wmClass, &wmClass, nullptr)) {
            info.wmClass = classPart(wmClass.class_name);
            info.wmInstance = classPart(wmClass.instance_name);
            xcb_icccm_get_wm_class_reply_wipe(&wmClass);
        }
        uint32_t pid = 0;
        if (xcb_ewmh_get_wm_pid_reply(&ewmh, ck.pid, &pid, nullptr))
            info.pid = pid;
        xcb_window_t transientFor = XCB_WINDOW_NONE;
        const bool transient =
            xcb_icccm_get_wm_transient_for_reply(c, ck.transient, &transientFor, nullptr) &&
            transientFor != XCB_WINDOW_NONE;
        xcb_ewmh_get_atoms_reply_t types;
        if (xcb_ewmh_get_wm_window_type_reply(&ewmh, ck.type, &types, nullptr)) {
            // The first type is the one the window prefers.
            info.normal = types.atoms_len > 0 && types.atoms[0] == ewmh._NET_WM_WINDOW_TYPE_NORMAL;
            xcb_ewmh_get_atoms_reply_wipe(&types);
        } else {
            info.normal = !transient;
        }
        xcb_ewmh_get_utf8_strings_reply_t netName;
        if (xcb_ewmh_get_wm_name_reply(&ewmh, ck.netName, &netName, nullptr)) {
            info.title = latin1OrUtf8(netName.strings, int(netName.strings_len), true);
            xcb_ewmh_get_utf8_strings_reply_wipe(&netName);
        }
        xcb_icccm_get_text_property_reply_t name;
        if (xcb_icccm_get_wm_name_reply(c, ck.name, &name, nullptr)) {
            if (info.title.isEmpty())
                info.title =
                    latin1OrUtf8(name.name, int(name.name_len), name.encoding == ewmh.UTF8_STRING);
            xcb_icccm_get_text_property_reply_wipe(&name);
        }
        if (!info.pid)
            withoutPid << list[i];
        windows.insert(list[i], std::move(info));
    }
    // Programs that set no _NET_WM_PID (xeyes, most Xt programs): the server knows the pid of
    // local clients.
    if (!hasResExtension || withoutPid.isEmpty())
        return;
    QList<xcb_res_query_client_ids_cookie_t> resCookies;
    for (xcb_window_t w : withoutPid) {
        xcb_res_client_id_spec_t wanted{w, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
        resCookies << xcb_res_query_client_ids(c, 1, &wanted);
    }
    for (qsizetype i = 0; i < withoutPid.size(); ++i) {
        const auto reply = takeReply(xcb_res_query_client_ids_reply(c, resCookies[i], nullptr));
        if (!reply)
            continue;
        for (auto it = xcb_res_query_client_ids_ids_iterator(reply.get()); it.rem;
             xcb_res_client_id_value_next(&it)) {
            const auto& [client, length] = *it.data; // which client id, and its size
            if ((client.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) &&
                xcb_res_client_id_value_value_length(it.data) >= 1) {
                windows[withoutPid[i]].pid = *xcb_res_client_id_value_value(it.data);
                break;
            }
        }
    }
}

QHash<xcb_window_t, WindowState>
X11RunningApplications::Private::fetchStates(const QList<xcb_window_t>& list) {
    QHash<xcb_window_t, WindowState> states;
    QList<std::pair<xcb_get_property_cookie_t, xcb_get_property_cookie_t>> cookies;
    cookies.reserve(list.size());
    for (xcb_window_t w : list)
        cookies << std::pair{xcb_ewmh_get_wm_state(&ewmh, w),
                             xcb_get_property(c, 0, w, wmStateAtom, wmStateAtom, 0, 2)};
    for (qsizetype i = 0; i < list.size(); ++i) {
        WindowState state;
        xcb_ewmh_get_atoms_reply_t netState;
        if (xcb_ewmh_get_wm_state_reply(&ewmh, cookies[i].first, &netState, nullptr)) {
            for (uint32_t k = 0; k < netState.atoms_len; ++k) {
                if (netState.atoms[k] == ewmh._NET_WM_STATE_SKIP_TASKBAR)
                    state.skipTaskbar = true;
                else if (netState.atoms[k] == ewmh._NET_WM_STATE_HIDDEN)
                    state.iconic = true;
            }
            xcb_ewmh_get_atoms_reply_wipe(&netState);
        }
        if (const auto reply = takeReply(xcb_get_property_reply(c, cookies[i].second, nullptr));
            reply && reply->format == 32 && xcb_get_property_value_length(reply.get()) >= 4) {
            const auto* value = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
            state.iconic = value[0] == XCB_ICCCM_WM_STATE_ICONIC;
        }
        states.insert(list[i], state);
    }
    return states;
}

void X11RunningApplications::Private::resolveEntry(WindowInfo& info) {
    index.update();
    if (info.entryResolved)
        return;
    info.entry = index.entryForWindow(
        {info.wmClass, info.wmInstance, ProcessInfo::executablePath(info.pid),
         ProcessInfo::environmentValue(info.pid, "GIO_LAUNCHED_DESKTOP_FILE")});
    info.entryResolved = true;
}

QSet<xcb_window_t> X11RunningApplications::Private::ownWindows() const {
    QSet<xcb_window_t> own;
    if (ownConnection)
        return own; // this program's windows are not X11 ones
    for (QWindow* window : QGuiApplication::allWindows()) {
        if (window->handle())
            own.insert(xcb_window_t(window->winId()));
    }
    return own;
}

QList<Group> X11RunningApplications::Private::snapshot() {
    if (!c)
        return {};
    const QList<xcb_window_t> list = windowList(false);
    // Forget windows that are gone: their ids may be handed out again.
    const QSet<xcb_window_t> present(list.cbegin(), list.cend());
    for (auto it = windows.begin(); it != windows.end();)
        it = present.contains(it.key()) ? std::next(it) : windows.erase(it);
    QList<xcb_window_t> unknown;
    for (xcb_window_t w : list) {
        if (!windows.contains(w))
            unknown << w;
    }
    fetchInfo(unknown);
    const QHash<xcb_window_t, WindowState> states = fetchStates(list);
    const QSet<xcb_window_t> own = ownWindows();
    const qint64 ownPid = QCoreApplication::applicationPid();

    GroupsByHandle<Group> groups;
    for (xcb_window_t w : list) {
        WindowInfo& info = windows[w];
        resolveEntry(info);
        const QString handle = handleOf(info, w);
        Group& group = groups.of(handle, [&] {
            Group made;
            made.app =
                describeApplication(handle, info.entry, info.wmInstance, info.wmClass, info.title);
            return made;
        });
        const WindowState state = states.value(w);
        group.windows << w;
        group.states << state;
        if (!group.app.processIdentifier)
            group.app.processIdentifier = info.pid;
        if (info.normal && !state.skipTaskbar)
            group.app.regular = true;
        q->markPelora(group.app, (info.pid && info.pid == ownPid) || own.contains(w));
    }
    for (Group& group : groups.list()) {
        group.app.hidden = std::all_of(group.states.cbegin(), group.states.cend(),
                                       [](const WindowState& s) { return s.iconic; });
    }
    return groups.list();
}

RunningApplication X11RunningApplications::Private::applicationOf(xcb_window_t window) {
    if (!windows.contains(window))
        fetchInfo({window});
    WindowInfo& info = windows[window];
    resolveEntry(info);
    RunningApplication app = describeApplication(handleOf(info, window), info.entry,
                                                 info.wmInstance, info.wmClass, info.title);
    app.processIdentifier = info.pid;
    app.regular = info.normal;
    q->markPelora(app, info.pid && info.pid == QCoreApplication::applicationPid());
    return app;
}

std::optional<Group> X11RunningApplications::Private::groupFor(const QString& handle) {
    if (!c || handle.isEmpty())
        return std::nullopt;
    for (Group& group : snapshot()) {
        if (group.app.handle == handle)
            return std::move(group);
    }
    return std::nullopt;
}

bool X11RunningApplications::Private::send(const QString& handle,
                                           void (Private::*request)(const Group&)) {
    const std::optional<Group> group = groupFor(handle);
    if (!group)
        return false;
    (this->*request)(*group);
    xcb_flush(c);
    return true;
}

void X11RunningApplications::Private::iconify(const Group& group) {
    for (xcb_window_t w : group.windows) {
        // ICCCM iconify request; _NET_WM_STATE_HIDDEN is the window manager's to set.
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = w;
        event.type = wmChangeStateAtom;
        event.data.data32[0] = XCB_ICCCM_WM_STATE_ICONIC;
        xcb_send_event(c, 0, root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
    }
}

void X11RunningApplications::Private::showIconic(const Group& group) {
    for (qsizetype i = 0; i < group.windows.size(); ++i) {
        if (!group.states[i].iconic)
            continue;
        // Mapping an iconic window asks the window manager to show it again. The window may
        // be gone by now: drop the error rather than let it reach Qt's log.
        xcb_discard_reply(c, xcb_map_window_checked(c, group.windows[i]).sequence);
    }
}

void X11RunningApplications::Private::activateMostRecent(const Group& group) {
    // The most recently used window is the highest in the stacking order; normal windows
    // before dialogs and tool windows.
    const QList<xcb_window_t> stacking = windowList(true);
    xcb_window_t best = XCB_WINDOW_NONE;
    xcb_window_t bestNormal = XCB_WINDOW_NONE;
    for (auto it = stacking.crbegin(); it != stacking.crend(); ++it) {
        if (!group.windows.contains(*it))
            continue;
        if (best == XCB_WINDOW_NONE)
            best = *it;
        if (windows.value(*it).normal) {
            bestNormal = *it;
            break;
        }
    }
    if (best == XCB_WINDOW_NONE)
        best = group.windows.last();
    activateWindow(bestNormal != XCB_WINDOW_NONE ? bestNormal : best);
}

void X11RunningApplications::Private::activateWindow(xcb_window_t window) {
    // Source 2 (a pager or taskbar): window managers honour it without focus-stealing checks.
    xcb_ewmh_request_change_active_window(&ewmh, screen, window, XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER,
                                          XCB_CURRENT_TIME, activeWindow());
}

X11RunningApplications::X11RunningApplications(QObject* parent)
    : d(std::make_unique<Private>(this)) {
    setParent(parent);
    checkFrontmost(false);
}

X11RunningApplications::~X11RunningApplications() = default;

bool X11RunningApplications::isAvailable() const {
    return d->c != nullptr;
}

QList<RunningApplication> X11RunningApplications::runningApplications() {
    QList<RunningApplication> apps;
    for (const Group& group : d->snapshot())
        apps << group.app;
    return apps;
}

std::optional<RunningApplication> X11RunningApplications::frontmostApplication() {
    if (!d->c)
        return std::nullopt;
    const xcb_window_t active = d->activeWindow();
    if (active == XCB_WINDOW_NONE)
        return std::nullopt;
    for (const Group& group : d->snapshot()) {
        if (group.windows.contains(active))
            return group.app;
    }
    // A window manager that keeps no client list (weston) still names the active window.
    return d->applicationOf(active);
}

bool X11RunningApplications::hide(const RunningApplication& app) {
    return d->wmChangeStateAtom != XCB_ATOM_NONE && d->send(app.handle, &Private::iconify);
}

bool X11RunningApplications::unhide(const RunningApplication& app) {
    return d->send(app.handle, &Private::showIconic);
}

bool X11RunningApplications::activate(const RunningApplication& app) {
    return d->send(app.handle, &Private::activateMostRecent);
}

void X11RunningApplications::activateCurrentApplication() {
    QWindow* target = nullptr;
    for (QWindow* window : QGuiApplication::topLevelWindows()) {
        if (!window->isVisible())
            continue;
        const Qt::WindowType type = window->type();
        if (type == Qt::Popup || type == Qt::ToolTip || type == Qt::Desktop ||
            type == Qt::SplashScreen)
            continue;
        window->raise();
        if (window->flags().testFlag(Qt::WindowDoesNotAcceptFocus))
            continue;
        // A modal window or the one that had the focus last takes it again.
        if (!target || window->modality() != Qt::NonModal ||
            (window == QGuiApplication::focusWindow() && target->modality() == Qt::NonModal))
            target = window;
    }
    if (!target)
        return;
    target->requestActivate();
    if (d->c && !d->ownConnection) { // this program's windows are X11 ones
        d->activateWindow(xcb_window_t(target->winId()));
        xcb_flush(d->c);
    }
}
