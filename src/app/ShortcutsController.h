#pragma once

#include "strip/StripModule.h"

#include <QKeySequence>
#include <QMap>
#include <QObject>

class GlobalShortcuts;
class StripWindowController;
class UserDefaults;

// Binds the modules' keyboard shortcuts with the desktop, again whenever they change, and
// answers a shortcut by popping its module's menu up, or closing it when it is open. While a
// menu of Pelora's has the keyboard the desktop does not see the key, so it is answered here.
class ShortcutsController : public QObject {
    Q_OBJECT
public:
    ShortcutsController(UserDefaults& defaults, GlobalShortcuts& shortcuts,
                        StripWindowController& strip, QObject* parent = nullptr);
    ~ShortcutsController() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void bind();

    UserDefaults& defaults_;
    GlobalShortcuts& shortcuts_;
    StripWindowController& strip_;
    QMap<StripModule, QKeySequence> bound_;
};
