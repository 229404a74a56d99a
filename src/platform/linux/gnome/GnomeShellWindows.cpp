#include "platform/linux/gnome/GnomeShellWindows.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTimer>
#include <QWindow>

namespace {

// Far more than anyone has open; a list beyond it is not taken in.
constexpr qsizetype kMaxWindows = 4096;
constexpr int kCallTimeoutMs = 5000;
// The shell may still be loading its extensions when Pelora starts with the session.
constexpr int kGraceMs = 10000;

} // namespace

// ---- GnomeShellWindowList ----

bool GnomeShellWindowList::reset(const QList<QVariantMap>& windows) {
    for (quintptr id : toplevels_.ids())
        toplevels_.remove(id);
    pids_.clear();
    bool becameActive = false;
    for (const QVariantMap& window : windows)
        becameActive = take(window) || becameActive;
    return becameActive;
}

bool GnomeShellWindowList::take(const QVariantMap& window) {
    bool ok = false;
    const quint64 id = window.value(QStringLiteral("id")).toULongLong(&ok);
    if (!ok || id == 0 || (!pids_.contains(id) && pids_.size() >= kMaxWindows))
        return false;
    auto text = [&](const char* key) {
        const QVariant value = window.value(QLatin1String(key));
        return value.typeId() == QMetaType::QString ? value.toString().left(1024) : QString();
    };
    auto flag = [&](const char* key) {
        const QVariant value = window.value(QLatin1String(key));
        return value.typeId() == QMetaType::Bool && value.toBool();
    };
    WaylandToplevel& toplevel = toplevels_.pending(id);
    // The shell's window tracker knows the desktop entry best; a window it could not place
    // goes by its class (its app id on Wayland).
    QString app = text("app");
    if (app.endsWith(QLatin1String(".desktop")))
        app.chop(8);
    toplevel.appId = app.isEmpty() ? text("wm-class") : app;
    toplevel.title = text("title");
    toplevel.minimized = flag("minimized");
    toplevel.skipTaskbar = flag("skip-taskbar");
    toplevel.activated = flag("focused");
    pids_.insert(id, window.value(QStringLiteral("pid")).toLongLong());
    return toplevels_.commit(id);
}

void GnomeShellWindowList::closed(quint64 id) {
    toplevels_.remove(id);
    pids_.remove(id);
}

bool GnomeShellWindowList::focusChanged(quint64 id) {
    bool becameActive = false;
    for (const WaylandToplevel& toplevel : QList<WaylandToplevel>(toplevels_.listed())) {
        const bool focused = toplevel.id == id;
        if (toplevel.activated == focused)
            continue;
        toplevels_.pending(toplevel.id).activated = focused;
        becameActive = toplevels_.commit(toplevel.id) || becameActive;
    }
    return becameActive;
}

// ---- GnomeShellWindows ----

GnomeShellWindows::GnomeShellWindows(const QString& bundleIdentifier,
                                     std::shared_ptr<RunningApplications> fallback,
                                     QDBusConnection bus)
    : extension_(bundleIdentifier), fallback_(std::move(fallback)), bus_(bus) {
    // The extension's uuid for GNOME Shell 45 and later: org.pelora.Pelora gives
    // pelora@pelora.org; 43 and 44 load pelora-classic@pelora.org.
    QStringList parts = bundleIdentifier.split(u'.');
    const QString name = parts.takeLast().toLower();
    std::reverse(parts.begin(), parts.end());
    extensionUuid_ = name + u'@' + parts.join(u'.');

    connect(fallback_.get(), &RunningApplications::applicationActivated, this,
            [this](const RunningApplication& app) {
                if (!available_)
                    Q_EMIT applicationActivated(app);
            });
    if (!bus_.isConnected())
        return;
    // The extension answers only the owner of this name. Asked before anything else is sent,
    // so the bus has made it ours by the time the extension hears from us.
    QDBusMessage request = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("RequestName"));
    request << bundleIdentifier << 4u; // DBUS_NAME_FLAG_DO_NOT_QUEUE
    bus_.send(request);

    const std::pair<const char*, const char*> signalSlots[] = {
        {"WindowOpened", SLOT(windowOpened(QVariantMap))},
        {"WindowChanged", SLOT(windowChanged(QVariantMap))},
        {"WindowClosed", SLOT(windowClosed(qulonglong))},
        {"FocusChanged", SLOT(focusChanged(qulonglong))},
    };
    for (const auto& [signal, slot] : signalSlots)
        extension_.connect(bus_, QLatin1String(signal), this, slot);
    auto* watcher = new QDBusServiceWatcher(extension_.service, bus_,
                                            QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& owner) { ownerChanged(owner); });
    // Whether the extension is there already: then its list is fetched at once.
    QDBusMessage owner = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetNameOwner"));
    owner << extension_.service;
    auto* ownerCall = new QDBusPendingCallWatcher(bus_.asyncCall(owner, kCallTimeoutMs), this);
    connect(ownerCall, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                const QDBusPendingReply<QString> reply = *call;
                if (reply.isValid() && !available_ && !fetching_)
                    ownerChanged(reply.value());
            });
    QTimer::singleShot(kGraceMs, this, [this] {
        if (!available_)
            tellHowToEnable();
    });
}

GnomeShellWindows::~GnomeShellWindows() = default;

void GnomeShellWindows::ownerChanged(const QString& owner) {
    failedFetches_ = 0;
    if (owner.isEmpty()) {
        fetching_ = false;
        setAvailable(false);
        tellHowToEnable();
        return;
    }
    fetch();
}

void GnomeShellWindows::fetch() {
    fetching_ = true;
    const QDBusMessage message = extension_.call(QStringLiteral("GetWindows"));
    auto* call = new QDBusPendingCallWatcher(bus_.asyncCall(message, kCallTimeoutMs), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, &GnomeShellWindows::fetched);
}

void GnomeShellWindows::fetched(QDBusPendingCallWatcher* call) {
    call->deleteLater();
    if (!fetching_)
        return; // the extension went away meanwhile
    const QDBusMessage reply = call->reply();
    const bool listed = reply.type() == QDBusMessage::ReplyMessage &&
                        reply.arguments().size() == 1 &&
                        reply.arguments().first().canConvert<QDBusArgument>() &&
                        reply.signature() == QLatin1String("aa{sv}");
    if (!listed) {
        // A shell still starting may not answer in time; a refusal (another program holds
        // Pelora's name) stands.
        if (reply.errorName() != QLatin1String("org.freedesktop.DBus.Error.AccessDenied") &&
            ++failedFetches_ < 3) {
            QTimer::singleShot(1000, this, [this] {
                if (fetching_)
                    fetch();
            });
        } else {
            fetching_ = false;
        }
        return;
    }
    QList<QVariantMap> windows;
    const QDBusArgument argument = reply.arguments().first().value<QDBusArgument>();
    argument.beginArray();
    while (!argument.atEnd() && windows.size() < kMaxWindows) {
        QVariantMap window;
        argument >> window;
        windows << window;
    }
    argument.endArray();
    fetching_ = false;
    list_.reset(windows);
    setAvailable(true);
    checkFrontmost(false);
}

void GnomeShellWindows::setAvailable(bool available) {
    if (available_ == available)
        return;
    available_ = available;
    if (!available)
        list_.reset({});
    Q_EMIT availabilityChanged(available);
}

// Signals that come while the list is being fetched are in it already.
void GnomeShellWindows::windowOpened(const QVariantMap& window) {
    if (available_)
        afterEvent(list_.opened(window));
}

void GnomeShellWindows::windowChanged(const QVariantMap& window) {
    if (available_)
        afterEvent(list_.changed(window));
}

void GnomeShellWindows::windowClosed(qulonglong id) {
    if (available_)
        list_.closed(id);
}

void GnomeShellWindows::focusChanged(qulonglong id) {
    if (available_)
        afterEvent(list_.focusChanged(id));
}

void GnomeShellWindows::afterEvent(bool becameActive) {
    if (becameActive)
        checkFrontmost();
}

void GnomeShellWindows::tellHowToEnable() {
    if (told_ || !bus_.isConnected())
        return;
    told_ = true;
    // The uuid the running shell loads.
    QDBusMessage version = QDBusMessage::createMethodCall(
        QStringLiteral("org.gnome.Shell"), QStringLiteral("/org/gnome/Shell"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    version << QStringLiteral("org.gnome.Shell") << QStringLiteral("ShellVersion");
    auto* call = new QDBusPendingCallWatcher(bus_.asyncCall(version, kCallTimeoutMs), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *call;
        const int major =
            reply.isValid() ? reply.value().variant().toString().section(u'.', 0, 0).toInt() : 0;
        QString uuid = extensionUuid_;
        if (major < 45)
            uuid.replace(uuid.indexOf(u'@'), 1, QStringLiteral("-classic@"));
        QDBusMessage notify = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.Notifications"),
            QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
        notify << QCoreApplication::applicationName() << 0u << QStringLiteral("pelora")
               << qtTrId("gnome.extension.missing.title")
               << qtTrId("gnome.extension.missing.body").arg(uuid) << QStringList() << QVariantMap()
               << -1;
        bus_.send(notify);
    });
}

void GnomeShellWindows::call(const QString& method, quint64 window) {
    bus_.send(extension_.call(method, {QVariant::fromValue(qulonglong(window))}));
}

QSet<QString> GnomeShellWindows::moreOwnAppIds() const {
    // This program's windows by their process as well as by name.
    QSet<QString> own;
    for (const WaylandToplevel& toplevel : toplevels_.listed())
        if (list_.pid(toplevel.id) == QCoreApplication::applicationPid())
            own.insert(toplevel.appId);
    return own;
}

bool GnomeShellWindows::requestActivate(quintptr window) {
    call(QStringLiteral("Activate"), window);
    return true;
}

bool GnomeShellWindows::requestMinimized(quintptr window, bool minimized) {
    call(minimized ? QStringLiteral("Minimize") : QStringLiteral("Unminimize"), window);
    return true;
}
