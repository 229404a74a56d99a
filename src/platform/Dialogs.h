#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <optional>

class QWidget;

enum class AlertStyle { informational, warning, critical };

struct AlertOptions {
    AlertStyle style = AlertStyle::warning;
    QString messageText;
    QString informativeText;
    QStringList buttons; // first is the default button
};

struct OpenPanelOptions {
    bool canChooseFiles = true;
    bool canChooseDirectories = false;
    bool allowsMultipleSelection = false;
    bool canCreateDirectories = false;
    QString directory; // where the panel starts; empty for the platform's choice
    QString message;
    QString prompt;                  // the confirm button's title; empty for the platform's
    QWidget* parentWindow = nullptr; // shown as a sheet of this window when set
};

// Modal alerts and open panels, so that tests can answer them.
class Dialogs {
public:
    using OpenPanelCompletion = std::function<void(std::optional<QList<QUrl>>)>;
    virtual ~Dialogs() = default;

    // Runs the alert modally; the index of the button that ended it.
    virtual int runAlert(const AlertOptions& alert) = 0;
    // Runs the panel modally; nullopt when cancelled.
    virtual std::optional<QList<QUrl>> runOpenPanel(const OpenPanelOptions& panel) = 0;
    // Shows the panel and calls completion later on the main thread (a sheet when the panel
    // names a parent window).
    virtual void beginOpenPanel(const OpenPanelOptions& panel, OpenPanelCompletion completion) = 0;
};
