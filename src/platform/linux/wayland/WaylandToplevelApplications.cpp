#include "platform/linux/wayland/WaylandToplevelApplications.h"

#include "platform/linux/wayland/WaylandConnection.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QWindow>

#include <algorithm>

QList<ToplevelGroup>
groupToplevels(const QList<WaylandToplevel>& toplevels,
               const std::function<std::optional<DesktopEntry>(const QString& appId)>& entryFor,
               const QSet<QString>& ownAppIds) {
    GroupsByHandle<ToplevelGroup> groups;
    QHash<QString, qint64> bestActivation;
    for (const WaylandToplevel& toplevel : toplevels) {
        const std::optional<DesktopEntry> entry =
            toplevel.appId.isEmpty() ? std::nullopt : entryFor(toplevel.appId);
        const QString handle = entry ? QStringLiteral("desktop:") + entry->path
                               : !toplevel.appId.isEmpty()
                                   ? QStringLiteral("appid:") + toplevel.appId
                                   : QStringLiteral("toplevel:") + QString::number(toplevel.id, 16);
        ToplevelGroup& group = groups.of(handle, [&] {
            ToplevelGroup made;
            made.app =
                describeApplication(handle, entry, toplevel.appId, toplevel.appId, toplevel.title);
            made.app.hidden = true;
            return made;
        });
        group.toplevels << toplevel.id;
        group.app.hidden = group.app.hidden && toplevel.minimized;
        if (!toplevel.hasParent && !toplevel.skipTaskbar)
            group.app.regular = true;
        if (ownAppIds.contains(toplevel.appId))
            group.app.isPelora = true;
        if (toplevel.activated)
            group.frontmost = true;
        // Later announcements win ties: the newest window of an application never seen active.
        if (toplevel.lastActivation >= bestActivation.value(handle, -1)) {
            bestActivation.insert(handle, toplevel.lastActivation);
            group.preferred = toplevel.id;
        }
    }
    return groups.list();
}

// ---- ToplevelList ----

WaylandToplevel& ToplevelList::pending(quintptr id) {
    WaylandToplevel& toplevel = pending_[id];
    toplevel.id = id;
    return toplevel;
}

bool ToplevelList::commit(quintptr id) {
    WaylandToplevel toplevel = pending(id);
    auto it = std::find_if(listed_.begin(), listed_.end(),
                           [&](const WaylandToplevel& t) { return t.id == id; });
    const bool becameActive = toplevel.activated && (it == listed_.end() || !it->activated);
    if (becameActive)
        toplevel.lastActivation = ++activationSequence_;
    else if (it != listed_.end())
        toplevel.lastActivation = it->lastActivation;
    pending_[id] = toplevel;
    if (it == listed_.end())
        listed_ << toplevel;
    else
        *it = toplevel;
    return becameActive;
}

void ToplevelList::remove(quintptr id) {
    pending_.remove(id);
    listed_.removeIf([&](const WaylandToplevel& t) { return t.id == id; });
}

bool ToplevelList::isListed(quintptr id) const {
    return std::any_of(listed_.cbegin(), listed_.cend(),
                       [&](const WaylandToplevel& t) { return t.id == id; });
}

// ---- WaylandToplevelApplications ----

WaylandToplevelApplications::WaylandToplevelApplications(QObject* parent) {
    setParent(parent);
    frontmostCheck_.setSingleShot(true);
    frontmostCheck_.setInterval(0);
    QObject::connect(&frontmostCheck_, &QTimer::timeout, this, [this] { checkFrontmost(); });
}

WaylandToplevelApplications::~WaylandToplevelApplications() = default;

void WaylandToplevelApplications::connectToCompositor(
    std::function<std::unique_ptr<Protocol>()> makeProtocol) {
    makeProtocol_ = std::move(makeProtocol);
    const int opened = openConnection();
    if (opened == 0)
        return;
    if (opened < 0)
        reconnection_.lost();
    checkFrontmost(false);
}

int WaylandToplevelApplications::openConnection() {
    closeConnection();
    connection_ = WaylandConnection::open();
    if (!connection_)
        return 0;
    protocol_ = makeProtocol_();
    if (!protocol_->bind(*connection_)) {
        closeConnection();
        return 0;
    }
    // The list as it is now: each toplevel announced, then its state complete. sway ends the
    // connection here while a window's title is too long for a message; tried again later.
    if (!connection_->roundtrip() || !connection_->roundtrip()) {
        closeConnection();
        return -1;
    }
    connection_->watch(this, [this] { reconnection_.lost(); });
    return 1;
}

void WaylandToplevelApplications::closeConnection() {
    // The protocol's objects go before the connection they were made on.
    protocol_.reset();
    connection_.reset();
    toplevels_ = ToplevelList();
}

WaylandConnection* WaylandToplevelApplications::liveConnection() const {
    return protocol_ && protocol_->bound() && connection_->alive() ? connection_.get() : nullptr;
}

void WaylandToplevelApplications::takeInEvents() {
    if (WaylandConnection* connection = liveConnection()) {
        connection->dispatch();
        connection->probe();
    } else {
        reconnection_.hurry();
    }
}

std::optional<DesktopEntry> AppIdEntries::entryFor(const QString& appId) {
    index_.update();
    if (auto it = entries_.constFind(appId); it != entries_.constEnd())
        return *it;
    std::optional<DesktopEntry> entry = index_.entryForWindow({appId, appId, {}, {}});
    entries_.insert(appId, entry);
    return entry;
}

std::optional<ToplevelGroup> groupWithHandle(QList<ToplevelGroup> groups, const QString& handle) {
    for (ToplevelGroup& group : groups)
        if (group.app.handle == handle)
            return std::move(group);
    return std::nullopt;
}

QList<RunningApplication> applicationsOf(const QList<ToplevelGroup>& groups) {
    QList<RunningApplication> apps;
    for (const ToplevelGroup& group : groups)
        apps << group.app;
    return apps;
}

std::optional<RunningApplication> frontmostOf(const QList<ToplevelGroup>& groups) {
    for (const ToplevelGroup& group : groups)
        if (group.frontmost)
            return group.app;
    return std::nullopt;
}

ToplevelGroupApplications::ToplevelGroupApplications() {
    const QString executable = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    ownAppIds_ = {executable, QGuiApplication::desktopFileName(),
                  QCoreApplication::applicationName()};
    ownAppIds_.remove(QString());
}

QList<ToplevelGroup> ToplevelGroupApplications::snapshot() {
    takeInEvents();
    QList<ToplevelGroup> groups = groupToplevels(
        toplevels_.listed(), [this](const QString& appId) { return entries_.entryFor(appId); },
        ownAppIds_ + moreOwnAppIds());
    for (ToplevelGroup& group : groups)
        markPelora(group.app, false);
    return groups;
}

std::optional<ToplevelGroup> ToplevelGroupApplications::groupFor(const QString& handle) {
    return groupWithHandle(snapshot(), handle);
}

QList<RunningApplication> ToplevelGroupApplications::runningApplications() {
    if (RunningApplications* other = standIn())
        return other->runningApplications();
    return applicationsOf(snapshot());
}

std::optional<RunningApplication> ToplevelGroupApplications::frontmostApplication() {
    if (RunningApplications* other = standIn())
        return other->frontmostApplication();
    return frontmostOf(snapshot());
}

bool ToplevelGroupApplications::hide(const RunningApplication& app) {
    if (RunningApplications* other = standIn())
        return other->hide(app);
    return setMinimized(app, true);
}

bool ToplevelGroupApplications::unhide(const RunningApplication& app) {
    if (RunningApplications* other = standIn())
        return other->unhide(app);
    return setMinimized(app, false);
}

QSet<QString> ToplevelGroupApplications::appIdsOf(const ToplevelGroup& group) const {
    QSet<QString> appIds;
    for (const WaylandToplevel& known : toplevels_.listed())
        if (group.toplevels.contains(known.id))
            appIds.insert(known.appId);
    return appIds;
}

bool ToplevelGroupApplications::setMinimized(const RunningApplication& app, bool minimized) {
    const auto group = groupFor(app.handle);
    if (!group)
        return false;
    if (!minimized)
        restoreRequested(appIdsOf(*group));
    for (quintptr toplevel : group->toplevels)
        if (!requestMinimized(toplevel, minimized))
            return false;
    if (minimized)
        minimizeRequested(appIdsOf(*group));
    return true;
}

bool ToplevelGroupApplications::activate(const RunningApplication& app) {
    if (RunningApplications* other = standIn())
        return other->activate(app);
    const auto group = groupFor(app.handle);
    if (!group || !group->preferred)
        return false;
    restoreRequested(appIdsOf(*group));
    return requestActivate(group->preferred);
}

void ToplevelGroupApplications::activateCurrentApplication() {
    if (RunningApplications* other = standIn()) {
        other->activateCurrentApplication();
        return;
    }
    for (QWindow* window : QGuiApplication::topLevelWindows()) {
        if (window->isVisible() && window->type() != Qt::Popup && window->type() != Qt::ToolTip)
            window->raise();
    }
    // Only the compositor gives the focus on Wayland, to XWayland's windows too.
    for (const ToplevelGroup& group : snapshot()) {
        if (group.app.isPelora) {
            activate(group.app);
            return;
        }
    }
}

bool WaylandToplevelApplications::requestActivate(quintptr toplevel) {
    return protocol_ && protocol_->requestActivate(toplevel);
}

bool WaylandToplevelApplications::requestMinimized(quintptr toplevel, bool minimized) {
    return protocol_ && protocol_->requestMinimized(toplevel, minimized);
}

void WaylandToplevelApplications::minimizeRequested(const QSet<QString>& appIds) {
    if (protocol_)
        protocol_->minimizeRequested(appIds);
}

void WaylandToplevelApplications::restoreRequested(const QSet<QString>& appIds) {
    if (protocol_)
        protocol_->restoreRequested(appIds);
}
