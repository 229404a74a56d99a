#include "platform/linux/gnome/GnomeShellShortcuts.h"

#include "platform/linux/wayland/SwayGlobalShortcuts.h"

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>

GnomeShellShortcuts::GnomeShellShortcuts(QDBusConnection bus, const QString& identifier)
    : bus_(std::move(bus)), extension_(identifier) {
    qDBusRegisterMetaType<QMap<QString, QString>>();
    extension_.connect(bus_, QStringLiteral("ShortcutPressed"), this, SLOT(pressed(QString)));
    auto* watcher = new QDBusServiceWatcher(extension_.service, bus_,
                                            QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceRegistered, this, &GnomeShellShortcuts::tell);
    connect(watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
        listening_ = false;
        Q_EMIT stateChanged();
    });
}

GnomeShellShortcuts::~GnomeShellShortcuts() {
    setShortcuts({});
}

QString GnomeShellShortcuts::acceleratorName(const QKeyCombination& combination) {
    // The shell reads keys by their X keysym names, as sway does.
    const QString key =
        SwayGlobalShortcuts::swayKeyName(QKeyCombination(Qt::NoModifier, combination.key()));
    if (key.isEmpty())
        return {};
    QString name;
    const Qt::KeyboardModifiers modifiers = combination.keyboardModifiers();
    if (modifiers & Qt::MetaModifier)
        name += QStringLiteral("<Super>");
    if (modifiers & Qt::ControlModifier)
        name += QStringLiteral("<Control>");
    if (modifiers & Qt::AltModifier)
        name += QStringLiteral("<Alt>");
    if (modifiers & Qt::ShiftModifier)
        name += QStringLiteral("<Shift>");
    return name + key;
}

void GnomeShellShortcuts::setShortcuts(const QMap<QString, QKeySequence>& shortcuts) {
    accelerators_.clear();
    unnamed_.clear();
    refused_.clear();
    for (auto it = shortcuts.cbegin(); it != shortcuts.cend(); ++it) {
        if (it.value().isEmpty())
            continue;
        const QString accelerator = acceleratorName(it.value()[0]);
        if (accelerator.isEmpty())
            unnamed_ << it.key();
        else
            accelerators_.insert(it.key(), accelerator);
    }
    tell();
    Q_EMIT stateChanged();
}

void GnomeShellShortcuts::tell() {
    const QDBusMessage message =
        extension_.call(QStringLiteral("SetShortcuts"), {QVariant::fromValue(accelerators_)});
    auto* call = new QDBusPendingCallWatcher(bus_.asyncCall(message), this);
    const QMap<QString, QString> told = accelerators_;
    connect(call, &QDBusPendingCallWatcher::finished, this,
            [this, told](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                const QDBusPendingReply<QStringList> reply = *call;
                // Without the extension nothing is bound; it is told again when it comes.
                if (told != accelerators_)
                    return;
                listening_ = reply.isValid();
                const QStringList refused = reply.value();
                refused_ = QSet<QString>(refused.cbegin(), refused.cend());
                Q_EMIT stateChanged();
            });
}

GlobalShortcuts::State GnomeShellShortcuts::state(const QString& name) const {
    // Without the extension the user binds the command in GNOME's settings.
    if (unnamed_.contains(name) || !listening_)
        return State::manual;
    return refused_.contains(name) ? State::heldElsewhere : State::bound;
}

void GnomeShellShortcuts::pressed(const QString& name) {
    if (accelerators_.contains(name))
        Q_EMIT activated(name);
}
