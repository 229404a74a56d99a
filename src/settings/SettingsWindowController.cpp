#include "settings/SettingsWindowController.h"

#include "common/Services.h"
#include "platform/Bundle.h"
#include "platform/MainQueue.h"
#include "platform/RunningApplications.h"
#include "settings/GeneralSettingsView.h"
#include "settings/PeloraSettingsView.h"
#include "settings/ShortcutsSettingsSection.h"
#include "settings/UpdatesSettingsView.h"

#include <QGuiApplication>
#include <QLayout>
#include <QMainWindow>
#include <QScreen>

SettingsWindowController::SettingsWindowController(Services& services,
                                                   PeloraUpdatePreferences& preferences,
                                                   VersionCheckService& versionCheck)
    : services_(services), preferences_(preferences), versionCheck_(versionCheck) {}

SettingsWindowController::~SettingsWindowController() {
    delete window_.data();
}

QMainWindow* SettingsWindowController::settingsWindow() {
    if (window_)
        return window_;
    auto* window =
        new QMainWindow(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                     Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint);
    window->setObjectName(QStringLiteral("settingsWindow"));
    auto* general =
        new GeneralSettingsView(services_.bundle(), services_.defaults(), services_.loginItems());
    general->addSection(new ShortcutsSettingsSection(
        services_.defaults(), services_.globalShortcuts(), services_.bundle().executablePath()));
    auto* view = new PeloraSettingsView(services_.defaults(), general,
                                        new UpdatesSettingsView(preferences_, versionCheck_));
    connect(view, &PeloraSettingsView::fitRequested, this,
            &SettingsWindowController::scheduleSettingsWindowFit);
    window->setCentralWidget(view);
    window->setWindowTitle(view->selectedTabTitle());
    connect(view, &PeloraSettingsView::selectedTabChanged, window,
            [window, view] { window->setWindowTitle(view->selectedTabTitle()); });
    window_ = window;
    Q_EMIT settingsWindowCreated(window);
    window->resize(view->minimumWidth(), 200);
    fitSettingsWindowToContent();
    // Fitted once more later too, as when the view was built on the Updates tab.
    scheduleSettingsWindowFit();
    return window;
}

PeloraSettingsView* SettingsWindowController::settingsView() const {
    return window_ ? qobject_cast<PeloraSettingsView*>(window_->centralWidget()) : nullptr;
}

void SettingsWindowController::openSettingsWindow() {
    services_.runningApplications().activateCurrentApplication();
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
    window->raise();
    // A window not mapped yet takes the focus once it is.
    window->activateWindow();
}

void SettingsWindowController::fitSettingsWindowToContent() {
    QMainWindow* window = window_;
    if (!window)
        return;
    QWidget* content = window->centralWidget();
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
    if (window->menuWidget() && !window->menuWidget()->isHidden())
        fitting += window->menuWidget()->sizeHint().height();
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
