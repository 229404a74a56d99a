#include "platform/linux/wayland/KWinWindowDecorations.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QSaveFile>
#include <QStandardPaths>
#include <QWidget>

namespace {
const QString kService = QStringLiteral("org.kde.KWin");
const QString kScripting = QStringLiteral("org.kde.kwin.Scripting");
constexpr int kTimeoutMs = 5000;

QDBusMessage scriptingCall(const QString& method, const QVariantList& arguments) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, QStringLiteral("/Scripting"), kScripting, method);
    call.setArguments(arguments);
    return call;
}
} // namespace

QString KWinWindowDecorations::stripTitle() {
    return QCoreApplication::applicationName() + QStringLiteral(" Strip");
}

QString KWinWindowDecorations::keepAboveScript(qint64 pid, const QString& title) {
    // KWin 5 names them clients, KWin 6 windows.
    return QStringLiteral(R"((function () {
    function keep(w) {
        if (!w || w.pid !== %1 || w.caption !== %2 || w.transient)
            return;
        w.keepAbove = true;
        w.skipTaskbar = true;
        w.skipPager = true;
        w.skipSwitcher = true;
        w.onAllDesktops = true;
    }
    (workspace.windowList ? workspace.windowList() : workspace.clientList()).forEach(keep);
    (workspace.windowAdded || workspace.clientAdded).connect(keep);
})();
)")
        .arg(pid)
        .arg(QString::fromUtf8(
                 QJsonDocument::fromVariant(QVariantList{title}).toJson(QJsonDocument::Compact))
                 .mid(1)
                 .chopped(1));
}

void KWinWindowDecorations::prepareFloatingPanel(QWidget& window) {
    X11WindowDecorations::prepareFloatingPanel(window);
    if (!QGuiApplication::platformName().startsWith(u"wayland"))
        return;
    window.setWindowTitle(stripTitle());
    if (loaded_)
        return; // the script follows every strip window this process shows
    loaded_ = true;
    const qint64 pid = QCoreApplication::applicationPid();
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    const QString path = QDir(folder).filePath(QStringLiteral("pelora-kwin.js"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(keepAboveScript(pid, stripTitle()).toUtf8()) < 0 || !file.commit())
        return;
    // KWin keeps a script until it is unloaded: the one an earlier run left goes first.
    const QString name = QStringLiteral("pelora-strip");
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.send(scriptingCall(QStringLiteral("unloadScript"), {name}));
    auto* watcher = new QDBusPendingCallWatcher(
        bus.asyncCall(scriptingCall(QStringLiteral("loadScript"), {path, name}), kTimeoutMs),
        QCoreApplication::instance()); // the strip may be hidden before KWin answers
    QObject::connect(
        watcher, &QDBusPendingCallWatcher::finished, watcher, [](QDBusPendingCallWatcher* call) {
            call->deleteLater();
            const QDBusPendingReply<int> reply = *call;
            if (reply.isError() || reply.value() < 0)
                return; // not KWin, or no scripting
            // KWin 5 names the script's object by its number, KWin 6 under
            // /Scripting; the other call fails.
            const QString id = QString::number(reply.value());
            QDBusConnection bus = QDBusConnection::sessionBus();
            for (const QString& object :
                 {QStringLiteral("/") + id, QStringLiteral("/Scripting/Script") + id})
                bus.send(QDBusMessage::createMethodCall(kService, object,
                                                        QStringLiteral("org.kde.kwin.Script"),
                                                        QStringLiteral("run")));
        });
}
