#include "platform/linux/xdg/DesktopColorScheme.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace {
const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kGroup = QStringLiteral("org.freedesktop.appearance");
const QString kKey = QStringLiteral("color-scheme");
} // namespace

DesktopColorScheme::DesktopColorScheme(QObject* parent) : QObject(parent) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    bus.connect(kService, kPath, kInterface, QStringLiteral("SettingChanged"), this,
                SLOT(settingChanged(QString, QString, QDBusVariant)));
    QDBusMessage read =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Read"));
    read << kGroup << kKey;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(read, 2000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* call) {
                const QDBusPendingReply<QVariant> reply = *call;
                // No portal, or one without the setting: the palette decides.
                if (!reply.isError())
                    setScheme(schemeFromValue(reply.value()));
                call->deleteLater();
            });
}

std::optional<QColor> DesktopColorScheme::panelTextColor() const {
    switch (scheme_) {
    case Scheme::dark:
        return QColor(Qt::white);
    case Scheme::light:
        return QColor(Qt::black);
    case Scheme::noPreference:
        break;
    }
    return std::nullopt;
}

DesktopColorScheme::Scheme DesktopColorScheme::schemeFromValue(const QVariant& value) {
    QVariant inner = value;
    // Read answers with the value inside a variant (older portals: inside two).
    for (int depth = 0; depth < 4 && inner.canConvert<QDBusVariant>() &&
                        inner.metaType() == QMetaType::fromType<QDBusVariant>();
         ++depth)
        inner = inner.value<QDBusVariant>().variant();
    bool ok = false;
    const uint number = inner.toUInt(&ok);
    if (!ok || inner.metaType() == QMetaType::fromType<QString>())
        return Scheme::noPreference;
    return number == 1 ? Scheme::dark : number == 2 ? Scheme::light : Scheme::noPreference;
}

void DesktopColorScheme::settingChanged(const QString& group, const QString& key,
                                        const QDBusVariant& value) {
    if (group == kGroup && key == kKey)
        setScheme(schemeFromValue(value.variant()));
}

void DesktopColorScheme::setScheme(Scheme scheme) {
    if (scheme == scheme_)
        return;
    scheme_ = scheme;
    Q_EMIT changed();
}
