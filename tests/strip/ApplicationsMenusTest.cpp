#include "strip/ApplicationsMenus.h"
#include "common/Services.h"
#include "fakes/FakeBookmarkService.h"
#include "fakes/FakeBundle.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakePasteboard.h"
#include "fakes/FakeRunningApplications.h"
#include "fakes/FakeScreens.h"
#include "fakes/FakeWorkspace.h"
#include "favorites/FavoritesService.h"
#include "history/RunningApplicationsHistoryService.h"
#include "strip/ModuleMenuItems.h"
#include "strip/StripWindowController.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace {

const QDateTime kT0 = QDateTime(QDate(2024, 5, 1), QTime(12, 0), Qt::UTC);
const QString kOwnIdentifier = QStringLiteral("org.pelora.Pelora");

class CountingController : public StripWindowController {
public:
    using StripWindowController::StripWindowController;
    int editorOpenings = 0;
    void openFavoritesEditor() override { ++editorOpenings; }
};

// What a user reads on one menu item.
struct Item {
    QString title;
    bool enabled = false;
    bool separator = false;
    bool hasIcon = false;
};

QList<Item> itemsOf(const QMenu& menu) {
    QList<Item> items;
    for (QAction* action : menu.actions())
        items << Item{ModuleMenuItems::displayedText(action->text()), action->isEnabled(),
                      action->isSeparator(), !action->icon().isNull()};
    return items;
}

QStringList titlesOf(const QMenu& menu) {
    QStringList titles;
    for (const Item& item : itemsOf(menu))
        titles << (item.separator ? QStringLiteral("---") : item.title);
    return titles;
}

QAction* actionTitled(const QMenu& menu, const QString& title) {
    for (QAction* action : menu.actions())
        if (ModuleMenuItems::displayedText(action->text()) == title)
            return action;
    return nullptr;
}

class ApplicationsMenusTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        // Launches go through the resolved path.
        root = QFileInfo(dir.path()).canonicalFilePath();
        bundle->path = root + QStringLiteral("/Pelora.app");
        Platform p;
        p.bundle = bundle;
        p.defaults = defaults;
        p.fileSystem = std::make_shared<FakeFileSystem>();
        p.bookmarks = std::make_shared<FakeBookmarkService>();
        p.workspace = workspace;
        p.runningApplications = running;
        p.pasteboard = std::make_shared<FakePasteboard>();
        p.screens = std::make_shared<FakeScreens>();
        services = std::make_unique<Services>(p);
        history().setClock([this] { return clock; });
        controller = std::make_unique<CountingController>(*services);
    }
    void TearDown() override {
        controller.reset();
        services.reset();
        drainEvents();
    }

    RunningApplicationsHistoryService& history() {
        return services->get<RunningApplicationsHistoryService>();
    }

    // A desktop entry on disk: the bundle of an application.
    QString makeEntry(const QString& fileName) {
        const QString path = root + u'/' + fileName;
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Desktop Entry]\nType=Application\nName=X\nExec=true\n");
        return path;
    }
    RunningApplication app(const QString& name, const QString& id, const QString& fileName,
                           bool regular = true) {
        return makeRunningApplication(
            name, id, fileName.isEmpty() ? QString() : makeEntry(fileName), regular);
    }
    void activateAt(int minute, const RunningApplication& a) {
        clock = kT0.addSecs(60 * minute);
        running->bringToFront(a);
    }

    std::unique_ptr<QMenu> applicationsMenu() {
        return controller->menuForModule(StripModule::applications);
    }
    std::unique_ptr<QMenu> openAppsMenu() {
        return controller->menuForModule(StripModule::windows);
    }

    QTemporaryDir dir;
    QString root;
    QDateTime clock = kT0;
    std::shared_ptr<FakeBundle> bundle = std::make_shared<FakeBundle>();
    std::shared_ptr<InMemoryUserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
    std::shared_ptr<FakeWorkspace> workspace = std::make_shared<FakeWorkspace>();
    std::shared_ptr<FakeRunningApplications> running = std::make_shared<FakeRunningApplications>();
    std::unique_ptr<Services> services;
    std::unique_ptr<CountingController> controller;
};

TEST_F(ApplicationsMenusTest, EmptyApplicationsMenuHasHeadersEmptyStateAndEditItem) {
    const auto menu = applicationsMenu();
    EXPECT_EQ(menu->title(), u"Apps");
    const QList<Item> items = itemsOf(*menu);
    ASSERT_EQ(items.size(), 4) << titlesOf(*menu).join(u'|').toStdString();
    EXPECT_EQ(items[0].title, qtTrId("strip.menu.recentApplications"));
    EXPECT_FALSE(items[0].enabled);
    EXPECT_EQ(items[1].title, qtTrId("strip.emptyState.noRecentApplications"));
    EXPECT_FALSE(items[1].enabled);
    EXPECT_EQ(items[2].title, qtTrId("strip.menu.favoriteApplications"));
    EXPECT_FALSE(items[2].enabled);
    EXPECT_EQ(items[3].title, qtTrId("strip.menu.editFavorites"));
    EXPECT_TRUE(items[3].enabled);
    EXPECT_TRUE(items[3].hasIcon);
    // Building the menu starts the history, which records what is in front.
    EXPECT_TRUE(history().isStarted());

    menu->actions()[3]->trigger();
    EXPECT_EQ(controller->editorOpenings, 1);
}

TEST_F(ApplicationsMenusTest, RecentAndFavoriteApplicationsLaunchTheirBundles) {
    const RunningApplication editor = app("Editor", "org.example.Editor", "editor.desktop");
    const RunningApplication terminal = app("Terminal", "", "terminal.desktop");
    // The program itself, by its bundle path and by its identifier elsewhere.
    QDir().mkpath(bundle->path);
    RunningApplication self = makeRunningApplication("Pelora", "", bundle->path);
    RunningApplication selfById = app("Pelora copy", kOwnIdentifier, "pelora-copy.desktop");
    running->frontmost = self;
    applicationsMenu(); // starts the history
    activateAt(1, editor);
    activateAt(2, selfById);
    activateAt(3, terminal);
    const QString favoritePath = makeEntry("favorite.desktop");
    favoritesStore(*services, FavoritesCategory::applications)
        .add(QUrl::fromLocalFile(favoritePath));

    const auto menu = applicationsMenu();
    EXPECT_EQ(titlesOf(*menu).join(u'|'),
              QStringList({qtTrId("strip.menu.recentApplications"), "Terminal", "Editor",
                           qtTrId("strip.menu.clearRecents"), "---",
                           qtTrId("strip.menu.favoriteApplications"), "favorite.desktop",
                           qtTrId("strip.menu.editFavorites")})
                  .join(u'|'));
    ASSERT_EQ(controller->recentApps.size(), 2);
    EXPECT_EQ(controller->recentApps[0].displayName, u"Terminal");
    for (const Item& item : itemsOf(*menu)) {
        if (item.title == u"Terminal" || item.title == u"Editor") {
            EXPECT_TRUE(item.hasIcon && item.enabled);
        }
    }

    actionTitled(*menu, "Editor")->trigger();
    actionTitled(*menu, "favorite.desktop")->trigger();
    EXPECT_EQ(workspace->launchedApplications,
              QList<QUrl>({*editor.bundleURL, QUrl::fromLocalFile(favoritePath)}));
    // Launching records nothing itself, and the program itself is never recorded.
    EXPECT_EQ(controller->recentApps.size(), 2);
    EXPECT_EQ(history().persistedRecords().size(), 2);

    // Something that is not a URL launches nothing.
    QAction stray;
    stray.setData(42);
    controller->launchApplication(&stray);
    controller->launchApplication(nullptr);
    EXPECT_EQ(workspace->launchedApplications.size(), 2);
}

TEST_F(ApplicationsMenusTest, ClearingForgetsTheListButKeepsTheActivationDates) {
    const RunningApplication editor = app("Editor", "org.example.Editor", "editor.desktop");
    history().start();
    activateAt(1, editor);
    auto menu = applicationsMenu();
    ASSERT_EQ(controller->recentApps.size(), 1);

    actionTitled(*menu, qtTrId("strip.menu.clearRecents"))->trigger();
    EXPECT_TRUE(controller->recentApps.isEmpty());
    EXPECT_FALSE(
        defaults->objectForKey(RunningApplicationsHistoryService::activationRecordsKey.key()));
    EXPECT_EQ(history().lastActivationDate(editor), kT0.addSecs(60));

    menu = applicationsMenu();
    EXPECT_EQ(titlesOf(*menu)[1], qtTrId("strip.emptyState.noRecentApplications"));
    // The next activation starts a new list.
    activateAt(5, editor);
    menu = applicationsMenu();
    EXPECT_EQ(titlesOf(*menu)[1], u"Editor");
}

TEST_F(ApplicationsMenusTest, OpenApplicationsWithoutUserApplicationsShowTheEmptyState) {
    RunningApplication self = app("Pelora", kOwnIdentifier, "pelora.desktop");
    RunningApplication ownWindows = app("pelora", "", "");
    ownWindows.isCurrentProcess = true;
    running->apps = {self, ownWindows, app("Agent", "org.example.Agent", "agent.desktop", false)};

    const auto menu = openAppsMenu();
    EXPECT_EQ(menu->title(), u"Windows");
    const QList<Item> items = itemsOf(*menu);
    ASSERT_EQ(items.size(), 4) << titlesOf(*menu).join(u'|').toStdString();
    EXPECT_EQ(items[0].title, qtTrId("strip.menu.openApps"));
    EXPECT_FALSE(items[0].enabled);
    EXPECT_EQ(items[1].title, qtTrId("strip.emptyState.noAppsRunning"));
    EXPECT_FALSE(items[1].enabled);
    EXPECT_TRUE(items[2].separator);
    EXPECT_EQ(items[3].title, qtTrId("strip.menu.hideAll"));
    EXPECT_TRUE(items[3].enabled && items[3].hasIcon);

    // Hiding all leaves the program and the agent alone.
    menu->actions()[3]->trigger();
    EXPECT_TRUE(running->hidden.isEmpty());
}

TEST_F(ApplicationsMenusTest, OpenApplicationsByLastActivationThenOrdinalName) {
    RunningApplication zeta = app("Zeta", "org.example.Zeta", "zeta.desktop");
    RunningApplication alpha = app("alpha", "org.example.alpha", "alpha.desktop");
    RunningApplication older = app("Older", "org.example.Older", "older.desktop");
    RunningApplication newer = app("Newer", "org.example.Newer", "newer.desktop");
    RunningApplication nameless = app("", "org.example.Nameless", "nameless.desktop");
    RunningApplication self = app("Pelora", kOwnIdentifier, "pelora.desktop");
    RunningApplication agent = app("Agent", "org.example.Agent", "agent.desktop", false);
    zeta.iconName = QStringLiteral("zeta-icon");
    history().start();
    activateAt(1, older);
    activateAt(2, self);
    activateAt(3, agent);
    activateAt(4, newer);
    running->apps = {alpha, zeta, self, older, agent, nameless, newer};

    const auto menu = openAppsMenu();
    // Without a date: the unnamed one sorts as the empty name, and Zeta before alpha needs the
    // ordinal, case-sensitive comparison (a case-insensitive one puts alpha first).
    EXPECT_EQ(titlesOf(*menu).join(u'|'),
              QStringList({qtTrId("strip.menu.openApps"), "Newer", "Older",
                           qtTrId("strip.app.unknownName"), "Zeta", "alpha", "---",
                           qtTrId("strip.menu.hideAll")})
                  .join(u'|'));
    QAction* zetaItem = actionTitled(*menu, "Zeta");
    ASSERT_TRUE(zetaItem);
    ASSERT_FALSE(zetaItem->icon().isNull());
    EXPECT_EQ(zetaItem->icon().availableSizes(), QList<QSize>({QSize(16, 16)}));
    EXPECT_TRUE(actionTitled(*menu, "alpha")->icon().isNull());
}

TEST_F(ApplicationsMenusTest, OrderOfTwoApplications) {
    const RunningApplication a = makeRunningApplication("b", "", "");
    const RunningApplication b = makeRunningApplication("a", "", "");
    const RunningApplication unnamed = makeRunningApplication("", "x", "");
    const QDateTime early = kT0, late = kT0.addSecs(1);
    EXPECT_TRUE(opensBefore(a, late, b, early));
    EXPECT_FALSE(opensBefore(a, early, b, late));
    EXPECT_TRUE(opensBefore(a, early, b, std::nullopt));
    EXPECT_FALSE(opensBefore(a, std::nullopt, b, early));
    // Equal dates and no dates fall back to the names.
    EXPECT_FALSE(opensBefore(a, early, b, early));
    EXPECT_TRUE(opensBefore(b, early, a, early));
    EXPECT_TRUE(opensBefore(unnamed, std::nullopt, b, std::nullopt));
    EXPECT_FALSE(opensBefore(a, std::nullopt, a, std::nullopt));
}

TEST_F(ApplicationsMenusTest, ChoosingAnApplicationUnhidesAndActivatesIt) {
    RunningApplication hiddenEditor = app("Editor", "org.example.Editor", "editor.desktop");
    hiddenEditor.hidden = true;
    RunningApplication bare = app("xlogo", "", "");
    running->apps = {hiddenEditor, bare};

    const auto menu = openAppsMenu();
    actionTitled(*menu, "Editor")->trigger();
    EXPECT_EQ(running->unhidden, QList<QString>({hiddenEditor.handle}));
    // With a bundle, through the workspace, which brings a running application forward.
    EXPECT_EQ(workspace->launchedApplications, QList<QUrl>({*hiddenEditor.bundleURL}));
    EXPECT_TRUE(running->activated.isEmpty());

    actionTitled(*menu, "xlogo")->trigger();
    EXPECT_EQ(running->activated, QList<QString>({bare.handle}));
    EXPECT_EQ(running->unhidden.size(), 1);
    EXPECT_EQ(workspace->launchedApplications.size(), 1);

    // An item carrying anything else does nothing.
    QAction stray;
    stray.setData(QVariant(*hiddenEditor.bundleURL));
    controller->activateApp(&stray);
    controller->activateApp(nullptr);
    EXPECT_EQ(running->activated.size(), 1);
    EXPECT_EQ(workspace->launchedApplications.size(), 1);
}

TEST_F(ApplicationsMenusTest, HideAllHidesVisibleUserApplicationsInPlatformOrder) {
    RunningApplication second = app("Second", "org.example.Second", "second.desktop");
    RunningApplication first = app("First", "", "");
    RunningApplication alreadyHidden = app("Hidden", "org.example.Hidden", "hidden.desktop");
    alreadyHidden.hidden = true;
    RunningApplication agent = app("Agent", "org.example.Agent", "agent.desktop", false);
    RunningApplication self = app("Pelora", kOwnIdentifier, "pelora.desktop");
    RunningApplication ownWindows = app("pelora", "", "");
    ownWindows.isCurrentProcess = true;
    running->apps = {second, self, agent, alreadyHidden, ownWindows, first};

    const auto menu = openAppsMenu();
    menu->actions().last()->trigger();
    EXPECT_EQ(running->hidden, QList<QString>({second.handle, first.handle}));
}

TEST_F(ApplicationsMenusTest, TheProgramWithoutIdentifierMatchesOnlyUnidentifiedApplications) {
    RunningApplication unidentified = makeRunningApplication("Tool", "", "");
    RunningApplication identified = makeRunningApplication("Editor", "org.example.Editor", "");
    EXPECT_TRUE(isProgramItself(unidentified, std::nullopt));
    EXPECT_FALSE(isProgramItself(identified, std::nullopt));
    EXPECT_FALSE(isProgramItself(unidentified, kOwnIdentifier));
    bundle->info.remove(QStringLiteral("CFBundleIdentifier"));
    EXPECT_EQ(ownBundleIdentifier(*bundle), std::nullopt);
    bundle->info.insert(QStringLiteral("CFBundleIdentifier"), QString());
    EXPECT_EQ(ownBundleIdentifier(*bundle), std::nullopt);
}

TEST_F(ApplicationsMenusTest, LaunchingResolvesTheURLFirst) {
    const QString target = makeEntry("real.desktop");
    const QString link = root + QStringLiteral("/link.desktop");
    ASSERT_TRUE(QFile::link(target, link));
    controller->launchApplicationAt(QUrl::fromLocalFile(link));
    EXPECT_EQ(workspace->launchedApplications, QList<QUrl>({QUrl::fromLocalFile(target)}));
}

} // namespace
