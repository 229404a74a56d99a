#pragma once

#include "platform/LoginItems.h"

// Launch at login through the freedesktop autostart folder: the user's entry
// $XDG_CONFIG_HOME/autostart/pelora.desktop. It counts as enabled when the session would start
// this bundle's executable from it.
class XdgAutostartLoginItems : public LoginItems {
public:
    // autostartDirectory empty means $XDG_CONFIG_HOME/autostart, looked up at each call.
    XdgAutostartLoginItems(QString executablePath, QString applicationName,
                           QString autostartDirectory = {});

    LoginItemStatus status() const override;
    std::optional<LoginItemError> registerLoginItem() override;
    std::optional<LoginItemError> unregisterLoginItem() override;

    QString entryPath() const;
    // The text written for the entry; Exec names the executable, quoted.
    QString entryText() const;

private:
    QString autostartDirectory() const;
    bool execStartsThisExecutable(const QString& exec) const;

    QString executablePath_;
    QString applicationName_;
    QString autostartDirectory_;
};
