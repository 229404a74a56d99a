#include "app/PeloraCommands.h"

#include "about/AboutWindow.h"
#include "about/ApplicationInfo.h"
#include "about/LicenseWindow.h"
#include "common/Symbols.h"
#include "common/Texts.h"
#include "common/WebPages.h"
#include "settings/SettingsWindowController.h"
#include "settings/VersionCheckService.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>

namespace {

struct CommandEntry {
    const char* key; // null: a separator
    const char* symbol;
    QKeySequence shortcut;
    QAction::MenuRole role;
};

// The Help menu keeps the platform's roles out, so no entry wanders into the application menu.
const CommandEntry kApplicationMenu[] = {
    {QT_TRID_NOOP("menu.about"), "info.circle", {}, QAction::AboutRole},
    {QT_TRID_NOOP("menu.checkUpdates"), "arrow.down.circle", {}, QAction::ApplicationSpecificRole},
    {nullptr, nullptr, {}, QAction::NoRole},
    {QT_TRID_NOOP("menu.settings"), "gear", QKeySequence(Qt::CTRL | Qt::Key_Comma),
     QAction::PreferencesRole},
    {nullptr, nullptr, {}, QAction::NoRole},
    {QT_TRID_NOOP("menu.quit"), nullptr, QKeySequence(Qt::CTRL | Qt::Key_Q), QAction::QuitRole},
};

const CommandEntry kHelpMenu[] = {
    {QT_TRID_NOOP("help.app"), "questionmark.circle", QKeySequence(Qt::CTRL | Qt::Key_Question),
     QAction::NoRole},
    {QT_TRID_NOOP("help.support"), "bubble.left", {}, QAction::NoRole},
    {nullptr, nullptr, {}, QAction::NoRole},
    {QT_TRID_NOOP("help.license"), "book", {}, QAction::NoRole},
    {nullptr, nullptr, {}, QAction::NoRole},
    {QT_TRID_NOOP("help.site"), "arrow.up.right", {}, QAction::NoRole},
};

// A menu title with its first letter as the Alt mnemonic.
QString menuTitle(QString title) {
    title.replace(u'&', QStringLiteral("&&"));
    return u'&' + title;
}

} // namespace

void quitPelora() {
    QCoreApplication::exit(0);
}

PeloraCommands::PeloraCommands(const Bundle& bundle, Workspace& workspace, AboutWindowKeeper& about,
                               LicenseWindowKeeper& license, SettingsWindowController& settings,
                               VersionCheckService& versionCheck)
    : bundle_(bundle), workspace_(workspace), about_(about), license_(license), settings_(settings),
      versionCheck_(versionCheck) {}

void PeloraCommands::connectCommand(QAction& action, const QString& key) const {
    const auto on = [&action](auto&& command) {
        QObject::connect(&action, &QAction::triggered, &action,
                         std::forward<decltype(command)>(command));
    };
    if (key == u"menu.about") {
        on([about = &about_] { about->show(); });
    } else if (key == u"menu.checkUpdates") {
        // The user asked, so every outcome is reported.
        on([versionCheck = &versionCheck_] { versionCheck->checkForUpdates(true); });
    } else if (key == u"menu.settings") {
        on([settings = &settings_] { settings->openSettingsWindow(); });
    } else if (key == u"menu.quit") {
        on(&quitPelora);
    } else if (key == u"help.app" || key == u"help.support") {
        // The product has one help page: its support page.
        on([workspace = &workspace_] { openWebPage(*workspace, peloraSupportPageURL()); });
    } else if (key == u"help.license") {
        on([license = &license_] { license->show(); });
    } else if (key == u"help.site") {
        on([workspace = &workspace_] { openWebPage(*workspace, peloraHomePageURL()); });
    }
}

void PeloraCommands::fillMenuBar(QMenuBar& bar) const {
    auto fill = [this](QMenu* menu, const auto& entries) {
        for (const CommandEntry& entry : entries) {
            if (!entry.key) {
                menu->addSeparator();
                continue;
            }
            const QString key = QLatin1String(entry.key);
            QAction* action = menu->addAction(L(entry.key));
            action->setObjectName(key);
            if (entry.symbol)
                action->setIcon(menuSymbolIcon(QLatin1String(entry.symbol), menu->palette()));
            action->setShortcut(entry.shortcut);
            action->setMenuRole(entry.role);
            connectCommand(*action, key);
        }
    };

    const QString appName = ApplicationInfo::read(bundle_).name;
    QMenu* application = bar.addMenu(menuTitle(appName));
    application->setObjectName(QStringLiteral("menu.application"));
    fill(application, kApplicationMenu);

    QMenu* help = bar.addMenu(menuTitle(L("menu.help")));
    help->setObjectName(QStringLiteral("menu.help"));
    fill(help, kHelpMenu);
}

bool PeloraCommands::trigger(QMenuBar& bar, const QString& key) {
    for (QAction* action : bar.findChildren<QAction*>(key)) {
        if (action->isEnabled() && !action->menu()) {
            action->trigger();
            return true;
        }
    }
    return false;
}
