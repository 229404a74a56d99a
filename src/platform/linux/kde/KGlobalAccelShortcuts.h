#pragma once

#include "platform/GlobalShortcuts.h"

#include <QDBusConnection>
#include <QSet>

// Global shortcuts through KDE's shortcut service (org.kde.kglobalaccel, in KWin on Plasma 6
// and its own daemon on Plasma 5), which Plasma's Wayland session grabs for its clients; they
// also show in Plasma's shortcut settings under the program's name. Every call is asynchronous.
// Main thread.
class KGlobalAccelShortcuts : public GlobalShortcuts {
    Q_OBJECT
public:
    // component: the name the service files the shortcuts under; friendlyName: what Plasma's
    // settings call it.
    KGlobalAccelShortcuts(QDBusConnection bus, QString component, QString friendlyName);
    ~KGlobalAccelShortcuts() override;

    void setShortcuts(const QMap<QString, QKeySequence>& shortcuts) override;
    State state(const QString& name) const override;

private Q_SLOTS:
    void pressed(const QString& component, const QString& name, qlonglong timestamp);

private:
    QStringList actionId(const QString& name) const;
    void call(const QString& method, const QVariantList& arguments,
              const std::function<void(const QDBusMessage&)>& answered = {});

    QDBusConnection bus_;
    QString component_;
    QString friendlyName_;
    QMap<QString, QKeySequence> bound_;
    QSet<QString> heldElsewhere_;
};
