#include "settings/SettingsWindowController.h"

#include "common/MainQueue.h"
#include "common/Services.h"
#include "common/Texts.h"
#include "platform/Bundle.h"
#include "platform/RunningApplications.h"
#include "settings/PeloraSettingsView.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLayout>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>

SettingsWindowController::SettingsWindowController(Services& services) : services_(services) {
    // The opener: whoever posts the request gets the window opened here, whether or not
    // anything of the settings existed before.
    openerObserver_ = services_.notifications().addObserver(kOpenSettingsNotification,
                                                            [this](const QVariantMap&) {
                                                                unhideAndActivate();
                                                                showSettingsWindow();
                                                            });
}

SettingsWindowController::~SettingsWindowController() {
    services_.notifications().removeObserver(openerObserver_);
    delete window_.data();
}

QMainWindow* SettingsWindowController::settingsWindow() {
    if (window_)
        return window_;
    auto* window =
        new QMainWindow(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                     Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint);
    window->setObjectName(QStringLiteral("settingsWindow"));
    auto* view = new PeloraSettingsView(services_, [this] { scheduleSettingsWindowFit(); });
    window->setCentralWidget(view);
    window->setWindowTitle(view->selectedTabTitle());
    connect(view, &PeloraSettingsView::selectedTabChanged, window,
            [window, view] { window->setWindowTitle(view->selectedTabTitle()); });
    window_ = window;
    Q_EMIT settingsWindowCreated(window);
    window->resize(view->minimumWidth(), 200);
    fitSettingsWindowToContent();
    return window;
}

PeloraSettingsView* SettingsWindowController::settingsView() const {
    return window_ ? qobject_cast<PeloraSettingsView*>(window_->centralWidget()) : nullptr;
}

void SettingsWindowController::openSettingsWindow() {
    // Asked from inside the menu item this very opening triggers: already under way.
    if (openingThroughMenu_)
        return;
    QPointer<SettingsWindowController> self(this);
    runLaterOnMain(
        [self] {
            if (!self)
                return;
            self->unhideAndActivate();
            self->services_.notifications().post(kOpenSettingsNotification);
            self->openingThroughMenu_ = true;
            const bool triggered = self->triggerSettingsMenuItem();
            if (!self)
                return;
            self->openingThroughMenu_ = false;
            if (!triggered)
                self->showSettingsWindow();
            runLaterOnMain(
                [self] {
                    if (self)
                        self->bringSettingsWindowFront();
                },
                self);
        },
        this);
}

void SettingsWindowController::showSettingsWindow() {
    QMainWindow* window = settingsWindow();
    if (!placed_) {
        // The first opening puts it in the upper middle of the screen.
        placed_ = true;
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->availableGeometry();
            window->move(area.left() + (area.width() - window->width()) / 2,
                         area.top() + area.height() / 6);
        }
    }
    if (window->isMinimized())
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
}

QWidget* SettingsWindowController::findSettingsWindow() const {
    QStringList titles{L("settingsTabGeneralTitle"), L("settingsTabUpdatesTitle"),
                       services_.bundle()
                           .infoValue(QStringLiteral("CFBundleName"))
                           .value_or(QStringLiteral("Pelora"))};
    if (window_ && titles.contains(window_->windowTitle()))
        return window_;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows)
        if (w->isWindow() && titles.contains(w->windowTitle()))
            return w;
    return nullptr;
}

void SettingsWindowController::fitSettingsWindowToContent() {
    QWidget* window = findSettingsWindow();
    if (!window)
        return;
    auto* main = qobject_cast<QMainWindow*>(window);
    QWidget* content = main ? main->centralWidget() : window;
    if (!content || !content->layout())
        return;
    content->layout()->activate();
    if (window->layout() && window->layout() != content->layout())
        window->layout()->activate();
    const int width = window->width();
    int fitting = content->hasHeightForWidth() ? content->heightForWidth(width)
                                               : content->sizeHint().height();
    if (fitting <= 1)
        return;
    if (main && main->menuWidget() && !main->menuWidget()->isHidden())
        fitting += main->menuWidget()->sizeHint().height();
    window->setMinimumSize(width, 120);
    // Qt sizes from the top-left corner, so the top edge stays where it is.
    if (qAbs(fitting - window->height()) > 1)
        window->resize(width, fitting);
}

void SettingsWindowController::scheduleSettingsWindowFit() {
    QPointer<SettingsWindowController> self(this);
    runLaterOnMain(
        [self] {
            if (self)
                self->fitSettingsWindowToContent();
        },
        this);
}

bool SettingsWindowController::triggerSettingsMenuItem() {
    if (!window_)
        return false;
    auto* bar = qobject_cast<QMenuBar*>(window_->menuWidget());
    if (!bar || bar->actions().isEmpty())
        return false;
    QMenu* appMenu = bar->actions().first()->menu();
    if (!appMenu || appMenu->actions().isEmpty())
        return false;
    const QKeySequence settingsShortcut(Qt::CTRL | Qt::Key_Comma);
    for (QAction* action : appMenu->actions()) {
        if (action->shortcut() == settingsShortcut && action->isEnabled()) {
            action->trigger();
            return true;
        }
    }
    return false;
}

void SettingsWindowController::bringSettingsWindowFront() {
    unhideAndActivate();
    QWidget* window = findSettingsWindow();
    if (!window)
        return;
    if (window->isMinimized())
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

void SettingsWindowController::unhideAndActivate() {
    services_.runningApplications().activateCurrentApplication();
}

void openSettingsWindow(Services& services) {
    services.get<SettingsWindowController>().openSettingsWindow();
}
