#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>

// Where Pelora's GNOME Shell extension serves Pelora: the bundle identifier's name with
// ".Windows", at the identifier's path; its interface has the service's name.
struct GnomeShellExtension {
    explicit GnomeShellExtension(const QString& identifier)
        : service(identifier + QStringLiteral(".Windows")),
          path(u'/' + QString(identifier).replace(u'.', u'/') + QStringLiteral("/Windows")) {}

    // A call to the extension; nothing on the bus is started for it.
    QDBusMessage call(const QString& method, const QVariantList& arguments = {}) const {
        QDBusMessage message = QDBusMessage::createMethodCall(service, path, service, method);
        message.setArguments(arguments);
        message.setAutoStartService(false);
        return message;
    }
    bool connect(QDBusConnection& bus, const QString& signal, QObject* receiver,
                 const char* slot) const {
        return bus.connect(service, path, service, signal, receiver, slot);
    }

    QString service;
    QString path;
};
