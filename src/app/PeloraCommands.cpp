#include "app/PeloraCommands.h"

#include "about/AboutWindow.h"
#include "about/ApplicationInfo.h"
#include "about/LicenseWindow.h"
#include "common/Services.h"
#include "common/Symbols.h"
#include "common/Texts.h"
#include "common/WebPages.h"

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

PeloraCommands::PeloraCommands(Services& services, PeloraCommandHandlers handlers)
    : services_(&services),
      handlers_(std::make_shared<const PeloraCommandHandlers>(std::move(handlers))) {}

QStringList PeloraCommands::commandKeys() {
    QStringList keys;
    auto collect = [&keys](const auto& entries) {
        for (const CommandEntry& entry : entries) {
            if (entry.key)
                keys << QLatin1String(entry.key);
        }
    };
    collect(kApplicationMenu);
    collect(kHelpMenu);
    return keys;
}

std::function<void()> PeloraCommands::commandFor(const QString& key) const {
    Services* services = services_;
    const std::shared_ptr<const PeloraCommandHandlers> handlers = handlers_;
    if (key == u"menu.about") {
        if (handlers->showAbout)
            return handlers->showAbout;
        return [services] {
            showAboutWindow(*services);
        };
    }
    if (key == u"menu.checkUpdates") {
        if (!handlers->checkForUpdates)
            return {};
        return [handlers] {
            handlers->checkForUpdates(true);
        };
    }
    if (key == u"menu.settings")
        return handlers->openSettings;
    if (key == u"menu.quit") {
        if (handlers->quit)
            return handlers->quit;
        return [] {
            QCoreApplication::quit();
        };
    }
    // The product has one help page: its support page.
    if (key == u"help.app" || key == u"help.support")
        return [services] {
            openWebPage(services->workspace(), peloraSupportPageURL());
        };
    if (key == u"help.license")
        return [services] {
            showLicenseWindow(*services);
        };
    if (key == u"help.site")
        return [services] {
            openWebPage(services->workspace(), peloraHomePageURL());
        };
    return {};
}

bool PeloraCommands::perform(const QString& key) const {
    const std::function<void()> command = commandFor(key);
    if (!command)
        return false;
    command();
    return true;
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
                action->setIcon(symbolIcon(QLatin1String(entry.symbol)));
            action->setShortcut(entry.shortcut);
            action->setMenuRole(entry.role);
            const std::function<void()> command = commandFor(key);
            action->setEnabled(bool(command));
            if (command)
                QObject::connect(action, &QAction::triggered, action, [command] { command(); });
        }
    };

    const QString appName = ApplicationInfo::read(services_->bundle()).name;
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
