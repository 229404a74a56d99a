#include "LocalHttpServer.h"
#include "SettingsTestSupport.h"
#include "common/Texts.h"
#include "settings/GeneralSettingsView.h"
#include "settings/PeloraSettingsView.h"
#include "settings/SettingsWidgets.h"
#include "settings/SettingsWindowController.h"
#include "settings/UpdateWindowController.h"
#include "settings/UpdatesSettingsView.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
class SettingsWindowTest : public SettingsTest {
protected:
    SettingsWindowController& controller() { return services->get<SettingsWindowController>(); }
    QMainWindow* openAndWait() {
        openSettingsWindow(*services);
        drainEvents(5);
        QMainWindow* window = controller().existingSettingsWindow();
        // On a real display the window manager places the window first.
        if (window && QTest::qWaitForWindowExposed(window))
            settle();
        return window;
    }
    static void settle() {
        if (QGuiApplication::platformName() != u"offscreen")
            QTest::qWait(300);
        drainEvents();
    }
    bool waitForFit(QMainWindow* window) {
        return waitUntil([&] { return window->height() == fittingHeight(window); });
    }
    // The height the selected tab's content asks for at the window's width.
    static int fittingHeight(QMainWindow* window) {
        QWidget* content = window->centralWidget();
        content->layout()->activate();
        return content->heightForWidth(window->width());
    }
    int settingsWindowCount() const {
        int n = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            n += w->objectName() == QStringLiteral("settingsWindow");
        return n;
    }
};
} // namespace

TEST_F(SettingsWindowTest, OpeningMakesTheProgramActiveAndShowsOneWindowThatIsReopened) {
    openSettingsWindow(*services);
    // The work happens on later turns of the event loop.
    EXPECT_EQ(controller().existingSettingsWindow(), nullptr);
    drainEvents(5);
    QMainWindow* window = controller().existingSettingsWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), L("settingsTabGeneralTitle"));
    EXPECT_GE(running->currentApplicationActivations, 2);
    EXPECT_EQ(controller().findSettingsWindow(), window);

    window->close();
    EXPECT_FALSE(window->isVisible());
    const int activations = running->currentApplicationActivations;
    EXPECT_EQ(openAndWait(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_GT(running->currentApplicationActivations, activations);
    openAndWait();
    EXPECT_EQ(settingsWindowCount(), 1);
}

TEST_F(SettingsWindowTest, TheOpenSettingsNotificationOpensTheWindow) {
    controller();
    services->notifications().post(kOpenSettingsNotification);
    ASSERT_NE(controller().existingSettingsWindow(), nullptr);
    EXPECT_TRUE(controller().existingSettingsWindow()->isVisible());
    EXPECT_EQ(running->currentApplicationActivations, 1);
}

TEST_F(SettingsWindowTest, TheStoredTabChoosesTheContentAndAnyOtherValueMeansGeneral) {
    defaults->setObject(kSettingsSelectedTabKey.key(), qint64(7));
    QMainWindow* window = openAndWait();
    auto* view = controller().settingsView();
    EXPECT_EQ(view->selectedTab(), PeloraSettingsView::general);
    EXPECT_TRUE(view->generalView()->isVisible());
    EXPECT_FALSE(view->updatesView()->isVisible());
    EXPECT_TRUE(view->tabButton(PeloraSettingsView::general)->isChecked());
    EXPECT_EQ(view->tabButton(PeloraSettingsView::general)->text(), L("settingsTabGeneralTitle"));
    EXPECT_EQ(view->tabButton(PeloraSettingsView::updates)->text(), L("settingsTabUpdatesTitle"));
    EXPECT_FALSE(view->tabButton(PeloraSettingsView::updates)->icon().isNull());

    view->tabButton(PeloraSettingsView::updates)->click();
    EXPECT_EQ(defaults->objectForKey(kSettingsSelectedTabKey.key()), QVariant(qint64(1)));
    EXPECT_TRUE(view->updatesView()->isVisible());
    EXPECT_FALSE(view->generalView()->isVisible());
    EXPECT_EQ(window->windowTitle(), L("settingsTabUpdatesTitle"));
    EXPECT_EQ(controller().findSettingsWindow(), window);

    // A value written by someone else switches too.
    defaults->setObject(kSettingsSelectedTabKey.key(), qint64(-1));
    EXPECT_TRUE(view->generalView()->isVisible());
    EXPECT_EQ(window->windowTitle(), L("settingsTabGeneralTitle"));
}

TEST_F(SettingsWindowTest, ADifferenceOfOnePointOrLessIsLeftAlone) {
    QMainWindow* window = openAndWait();
    const int fitting = fittingHeight(window);
    window->resize(window->width(), fitting + 1);
    controller().fitSettingsWindowToContent();
    EXPECT_EQ(window->height(), fitting + 1);
    window->resize(window->width(), fitting + 2);
    controller().fitSettingsWindowToContent();
    EXPECT_EQ(window->height(), fitting);
}

TEST_F(SettingsWindowTest, AWindowFoundByTitleWithoutFittingHeightIsLeftAlone) {
    // Before the program made its own, a window with a settings title is the one found.
    QMainWindow foreign;
    foreign.setWindowTitle(L("settingsTabGeneralTitle"));
    auto* empty = new QWidget;
    new QVBoxLayout(empty);
    empty->layout()->setContentsMargins(0, 0, 0, 0);
    foreign.setCentralWidget(empty);
    foreign.resize(300, 250);
    foreign.show();
    EXPECT_EQ(controller().findSettingsWindow(), &foreign);
    controller().fitSettingsWindowToContent();
    EXPECT_EQ(foreign.size(), QSize(300, 250));

    foreign.setWindowTitle(QStringLiteral("Something else"));
    EXPECT_EQ(controller().findSettingsWindow(), nullptr);
}

TEST_F(SettingsWindowTest, TheMenusSettingsItemIsUsedWhenTheWindowHasOne) {
    QMainWindow* window = controller().settingsWindow();
    EXPECT_FALSE(controller().triggerSettingsMenuItem());
    auto* appMenu = window->menuBar()->addMenu(QStringLiteral("Pelora"));
    appMenu->addAction(QStringLiteral("About"));
    QAction* settings = appMenu->addAction(QStringLiteral("Settings…"));
    settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    int triggered = 0;
    QObject::connect(settings, &QAction::triggered, [&] {
        ++triggered;
        controller().showSettingsWindow();
    });
    openAndWait();
    EXPECT_EQ(triggered, 1);
    EXPECT_TRUE(window->isVisible());

    // An item that asks for the whole opening again does not start an endless round.
    QObject::disconnect(settings, nullptr, nullptr, nullptr);
    QObject::connect(settings, &QAction::triggered, [&] {
        ++triggered;
        openSettingsWindow(*services);
    });
    triggered = 0;
    openAndWait();
    drainEvents(10);
    EXPECT_EQ(triggered, 1);

    // The menu bar counts into the fitted height.
    controller().fitSettingsWindowToContent();
    EXPECT_EQ(window->height(), fittingHeight(window) + window->menuBar()->sizeHint().height());
}

TEST_F(SettingsWindowTest, AFinishedCheckShowsTheCaptionAndTheWindowGrows) {
    LocalHttpServer server;
    ASSERT_TRUE(server.isListening());
    pointChecksAt(server.url());
    server.response.body = LocalHttpServer::document("<lastversion>1.0.0</lastversion>");
    defaults->setObject(kSettingsSelectedTabKey.key(), qint64(1));
    QMainWindow* window = openAndWait();
    const int before = window->height();
    const int top = window->geometry().top();
    UpdatesSettingsView* tab = controller().settingsView()->updatesView();
    EXPECT_TRUE(tab->lastCheckedText().isEmpty());

    tab->checkNowButton()->click();
    ASSERT_TRUE(waitUntil([&] { return !finishes.isEmpty(); }));
    EXPECT_FALSE(tab->lastCheckedText().isEmpty());
    EXPECT_TRUE(waitForFit(window));
    EXPECT_GT(window->height(), before);
    EXPECT_EQ(window->geometry().top(), top);
}
