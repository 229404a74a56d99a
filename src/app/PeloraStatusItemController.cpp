#include "app/PeloraStatusItemController.h"

#include "about/AboutWindow.h"
#include "app/PeloraCommands.h"
#include "app/TemplateIcon.h"
#include "common/MenuPopup.h"
#include "common/MenuTypeAhead.h"
#include "common/StripVisibility.h"
#include "common/Symbols.h"
#include "common/Texts.h"
#include "settings/SettingsWindowController.h"
#include "strip/StripWindowController.h"

#include <QAction>
#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QPalette>
#include <QSystemTrayIcon>

namespace {
const QString kStatusImagePath = QStringLiteral(":/icons/MenuBarPeloraLight.svg");
// An 18-point glyph in a 22-point bar: the same share of whatever square the tray offers.
constexpr qreal kGlyphFraction = 18.0 / 22.0;
} // namespace

PeloraStatusItemController::PeloraStatusItemController(
    UserDefaults& defaults, SettingsWindowController& settings, AboutWindowKeeper& about,
    std::shared_ptr<StripWindowController> stripController, ColorSource panelTextColor,
    QObject* parent)
    : QObject(parent), defaults_(defaults), settings_(settings), about_(about),
      stripController_(std::move(stripController)), panelTextColor_(std::move(panelTextColor)),
      statusItem_(new QSystemTrayIcon(this)), menu_(std::make_unique<QMenu>()) {
    // Every write of the preference ("PeloraStripVisibilityDidChange"), whoever makes it.
    connect(&defaults_, &UserDefaults::valueChanged, this, [this](const QString& key) {
        if (key == stripVisibleKey.key())
            stripVisibilityDidChange();
    });

    menu_->setObjectName(QStringLiteral("statusItemMenu"));
    connect(menu_.get(), &QMenu::aboutToShow, this, &PeloraStatusItemController::menuNeedsUpdate);
    statusItem_->setContextMenu(menu_.get());
    // A click opens the menu as the context-menu button does.
    connect(statusItem_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger && !menu_->isVisible())
                    popUpMenu(*menu_, QCursor::pos());
            });

    configureStatusButtonImage();
    statusItem_->setToolTip(QCoreApplication::applicationName());
    // Shown even without a tray: the icon embeds when a tray host appears later.
    statusItem_->show();
    // A light or dark theme switch recolours the glyph.
    qApp->installEventFilter(this);
}

PeloraStatusItemController::~PeloraStatusItemController() {
    statusItem_->setContextMenu(nullptr);
    menu_->clear();
    submenus_.clear();
}

bool PeloraStatusItemController::isStripVisible() const {
    return ::isStripVisible(defaults_);
}

TemplateInk PeloraStatusItemController::templateImageInk() const {
    if (panelTextColor_) {
        if (const std::optional<QColor> color = panelTextColor_(); color && color->isValid())
            return {*color};
    }
    // The bar's colour is unknown (swaybar's default is black, others are light): the
    // palette's text colour, outlined so it shows on either.
    return {QGuiApplication::palette().color(QPalette::Active, QPalette::WindowText), true};
}

void PeloraStatusItemController::configureStatusButtonImage() {
    QPointer<PeloraStatusItemController> self(this);
    // A missing image leaves the icon empty; nothing is reported.
    statusItem_->setIcon(templateIcon(
        kStatusImagePath,
        [self] { return self ? self->templateImageInk() : TemplateInk{QColor(Qt::black)}; },
        kGlyphFraction));
}

bool PeloraStatusItemController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange)
        configureStatusButtonImage();
    return QObject::eventFilter(watched, event);
}

void PeloraStatusItemController::addModuleEntry(const char* titleKey, const char* symbol,
                                                StripModule module) {
    std::unique_ptr<QMenu> submenu = stripController_->menuForModule(module);
    QAction* entry =
        menu_->addAction(menuSymbolIcon(QLatin1String(symbol), menu_->palette()), L(titleKey));
    entry->setObjectName(QLatin1String(titleKey));
    entry->setEnabled(true);
    if (submenu) {
        enableMenuTypeAhead(*submenu);
        entry->setMenu(submenu.get());
        submenus_.push_back(std::move(submenu));
    }
}

void PeloraStatusItemController::menuNeedsUpdate() {
    configureStatusButtonImage();
    // Nothing survives from the last opening: the lists may all have changed since.
    menu_->clear();
    submenus_.clear();

    addModuleEntry(QT_TRID_NOOP("strip.menuBar.apps"), "app", StripModule::applications);
    addModuleEntry(QT_TRID_NOOP("strip.menuBar.folders"), "folder", StripModule::folders);
    addModuleEntry(QT_TRID_NOOP("strip.menuBar.documents"), "doc", StripModule::documents);
    addModuleEntry(QT_TRID_NOOP("strip.menuBar.clipboard"), "clipboard", StripModule::clipboard);
    addModuleEntry(QT_TRID_NOOP("strip.menu.openApps"), "square.grid.2x2", StripModule::windows);
    menu_->addSeparator();

    auto addCommand = [this](const char* titleKey, const char* symbol,
                             void (PeloraStatusItemController::*action)()) {
        QAction* item =
            symbol ? menu_->addAction(menuSymbolIcon(QLatin1String(symbol), menu_->palette()),
                                      L(titleKey))
                   : menu_->addAction(L(titleKey));
        item->setObjectName(QLatin1String(titleKey));
        // Queued: the menu has closed by the time a window opens or the program ends.
        connect(item, &QAction::triggered, this, action, Qt::QueuedConnection);
    };
    addCommand(QT_TRID_NOOP("strip.menuBar.settings"), "slider.horizontal.3",
               &PeloraStatusItemController::showSettings);
    addCommand(QT_TRID_NOOP("menu.about"), "info.circle", &PeloraStatusItemController::showAbout);
    menu_->addSeparator();
    addCommand(QT_TRID_NOOP("strip.menuBar.quitPelora"), nullptr,
               &PeloraStatusItemController::quit);
}

void PeloraStatusItemController::stripVisibilityDidChange() {
    // The preference is the only source of truth, so repeated writes are harmless.
    if (isStripVisible())
        stripController_->showStrip();
    else
        stripController_->hideStrip();
}

void PeloraStatusItemController::showSettings() {
    settings_.openSettingsWindow();
}

void PeloraStatusItemController::showAbout() {
    about_.show();
}

void PeloraStatusItemController::quit() {
    quitPelora();
}
