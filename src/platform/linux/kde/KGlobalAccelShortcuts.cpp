#include "platform/linux/kde/KGlobalAccelShortcuts.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QPointer>
#include <QRegularExpression>

namespace {
const QString kService = QStringLiteral("org.kde.kglobalaccel");
const QString kPath = QStringLiteral("/kglobalaccel");
const QString kInterface = QStringLiteral("org.kde.KGlobalAccel");
// setShortcut's flags: the program is running and holds the key; the key given is the one to
// keep, not the one last stored by the service (Pelora's settings are where it is chosen).
constexpr uint kSetPresent = 2;
constexpr uint kNoAutoloading = 4;

// The object path the service gives a component's signals.
QString componentPath(const QString& component) {
    QString path = component;
    path.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_]")), QStringLiteral("_"));
    return QStringLiteral("/component/") + path;
}
} // namespace

KGlobalAccelShortcuts::KGlobalAccelShortcuts(QDBusConnection bus, QString component,
                                             QString friendlyName)
    : bus_(std::move(bus)), component_(std::move(component)),
      friendlyName_(std::move(friendlyName)) {
    bus_.connect(
        kService, componentPath(component_), QStringLiteral("org.kde.kglobalaccel.Component"),
        QStringLiteral("globalShortcutPressed"), this, SLOT(pressed(QString, QString, qlonglong)));
}

KGlobalAccelShortcuts::~KGlobalAccelShortcuts() {
    setShortcuts({});
}

QStringList KGlobalAccelShortcuts::actionId(const QString& name) const {
    // The component's and the action's unique and friendly names.
    return {component_, name, friendlyName_, name};
}

void KGlobalAccelShortcuts::call(const QString& method, const QVariantList& arguments,
                                 const std::function<void(const QDBusMessage&)>& answered) {
    QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    message.setArguments(arguments);
    if (!answered) {
        message.setAutoStartService(false);
        bus_.asyncCall(message);
        return;
    }
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [watcher, answered](QDBusPendingCallWatcher*) {
                watcher->deleteLater();
                answered(watcher->reply());
            });
}

void KGlobalAccelShortcuts::setShortcuts(const QMap<QString, QKeySequence>& shortcuts) {
    for (auto it = bound_.cbegin(); it != bound_.cend(); ++it)
        if (shortcuts.value(it.key()) != it.value())
            call(QStringLiteral("unregister"), {component_, it.key()});
    const QMap<QString, QKeySequence> before = std::exchange(bound_, {});
    for (auto it = shortcuts.cbegin(); it != shortcuts.cend(); ++it) {
        if (it.value().isEmpty())
            continue;
        bound_.insert(it.key(), it.value());
        if (before.value(it.key()) == it.value())
            continue;
        heldElsewhere_.remove(it.key());
        const QString name = it.key();
        const QKeySequence key = it.value();
        call(QStringLiteral("doRegister"), {actionId(name)});
        const QList<int> keys{key[0].toCombined()};
        call(QStringLiteral("setShortcut"),
             {actionId(name), QVariant::fromValue(keys), kSetPresent | kNoAutoloading},
             [self = QPointer(this), name, key](const QDBusMessage& reply) {
                 if (!self || self->bound_.value(name) != key)
                     return;
                 // The service answers with the keys it gave the action: none when another
                 // program holds the key. No answer at all is no news either way.
                 const QList<QVariant> values = reply.arguments();
                 if (reply.type() != QDBusMessage::ReplyMessage || values.isEmpty())
                     return;
                 const QList<int> given = qdbus_cast<QList<int>>(values.first());
                 if (!given.contains(key[0].toCombined()))
                     self->heldElsewhere_.insert(name);
                 Q_EMIT self->stateChanged();
             });
    }
    heldElsewhere_.intersect(QSet<QString>(bound_.keyBegin(), bound_.keyEnd()));
    Q_EMIT stateChanged();
}

GlobalShortcuts::State KGlobalAccelShortcuts::state(const QString& name) const {
    return heldElsewhere_.contains(name) ? State::heldElsewhere : State::bound;
}

void KGlobalAccelShortcuts::pressed(const QString& component, const QString& name, qlonglong) {
    if (component == component_ && bound_.contains(name))
        Q_EMIT activated(name);
}
