#include "about/AboutWindow.h"

#include "about/AboutView.h"
#include "common/Texts.h"
#include "platform/MainQueue.h"
#include "platform/RunningApplications.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QVBoxLayout>

PeloraAboutWindow::PeloraAboutWindow(Bundle& bundle, Workspace& workspace)
    : DialogWindow(QStringLiteral("PeloraAboutWindow"), L("about.title")) {
    setFocusPolicy(Qt::ClickFocus);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    view_ = new AboutView(bundle, workspace, this);
    layout->addWidget(view_);
    setFixedSize(AboutView::kWidth, AboutView::kHeight);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void PeloraAboutWindow::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers();
    if ((event->key() == Qt::Key_W && (mods & Qt::ControlModifier) &&
         !(mods & Qt::ShiftModifier)) ||
        (event->key() == Qt::Key_Escape && !mods)) {
        close();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

AboutWindowKeeper::~AboutWindowKeeper() {
    // After the application object is gone there is nothing left to tear down with it.
    if (window_ && QCoreApplication::instance())
        delete window_.data();
}

PeloraAboutWindow& AboutWindowKeeper::window() {
    if (!window_)
        window_ = new PeloraAboutWindow(bundle_, workspace_);
    return *window_;
}

void AboutWindowKeeper::show() {
    PeloraAboutWindow* shown = &window();
    QPointer<PeloraAboutWindow> target(shown);
    RunningApplications& running = runningApplications_;
    runLaterOnMain(
        [target, &running] {
            if (!target)
                return;
            // Asked from the tray, the program is in the background: bring it forward first,
            // or a window manager that prevents focus stealing opens the window behind.
            running.activateCurrentApplication();
            if (target->isMinimized())
                target->setWindowState(target->windowState() & ~Qt::WindowMinimized);
            target->show();
            target->raise();
            target->activateWindow();
            target->setFocus(Qt::ActiveWindowFocusReason);
        },
        shown);
}
