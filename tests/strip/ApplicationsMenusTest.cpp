#include "strip/ApplicationsMenus.h"
#include "favorites/FavoritesService.h"
#include "history/RunningApplicationsHistoryService.h"
#include "strip/ModuleMenuItems.h"
#include "strip/StripWindowController.h"
#include "support/FakePlatform.h"
#include "support/MenuText.h"
#include "support/TempTree.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

const QDateTime kT0 = QDateTime(QDate(2024, 5, 1), QTime(12, 0), Qt::UTC);
const QString kOwnIdentifier = QStringLiteral("org.pelora.Pelora");

class CountingController : public StripWindowController {
public:
    using StripWindowController::StripWindowController;
    int editorOpenings = 0;
    void openFavoritesEditor() override { ++editorOpenings; }
};

QAction* actionTitled(const QMenu& menu, const QString& title) {
    for (QAction* action : menu.actions())
        if (ModuleMenuItems::displayedText(action->text()) == title)
            return action;
    return nullptr;
}
// A menu's text as menuText() gives it, from lines; a key stands for its English text.
QString lines(std::initializer_list<const char*> entries) {
    QString text;
    for (const char* entry : entries) {
        QString line = QString::fromUtf8(entry);
        const qsizetype mark = line.indexOf(QStringLiteral(" ("));
        const QString head = mark < 0 ? line : line.left(mark);
        if (head.contains(u'.'))
            line = qtTrId(head.toUtf8().constData()) + (mark < 0 ? QString() : line.mid(mark));
        text += line + u'\n';
    }
    return text;
}

class ApplicationsMenusTest : public ::testing::Test {
protected:
    ApplicationsMenusTest() {
        bundle->path = tree.path(QStringLiteral("Pelora.app"));
        history().setClock([this] { return clock; });
    }
    ~ApplicationsMenusTest() override {
        controller.reset();
        services.reset();
        drainEvents();
    }

    RunningApplicationsHistoryService& history() {
        return services->get<RunningApplicationsHistoryService>();
    }
    // A desktop entry on disk: the bundle of an application.
    QString makeEntry(const QString& fileName) {
        return tree.add(fileName, "[Desktop Entry]\nType=Application\nName=X\nExec=true\n");
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

    TempTree tree; // launches go through the resolved path
    QDateTime clock = kT0;
    FakePlatform fakes;
    std::shared_ptr<FakeBundle> bundle = fakes.bundle;
    std::shared_ptr<InMemoryUserDefaults> defaults = fakes.defaults;
    std::shared_ptr<FakeWorkspace> workspace = fakes.workspace;
    std::shared_ptr<FakeRunningApplications> running = fakes.running;
    std::unique_ptr<Services> services = fakes.makeServices();
    std::unique_ptr<CountingController> controller =
        std::make_unique<CountingController>(*services);
};

TEST_F(ApplicationsMenusTest, EmptyMenusShowTheirHeadersEmptyStateAndCommand) {
    // Neither the program itself, its own windows nor an agent count as open applications.
    RunningApplication ownWindows = app("pelora", "", "");
    ownWindows.isCurrentProcess = true;
    running->apps = {app("Pelora", kOwnIdentifier, "pelora.desktop"), ownWindows,
                     app("Agent", "org.example.Agent", "agent.desktop", false)};
    const struct {
        StripModule module;
        const char* title;
        QString text;
    } cases[] = {
        {StripModule::applications, "Apps",
         lines({"strip.menu.recentApplications (disabled)",
                "strip.emptyState.noRecentApplications (disabled)",
                "strip.menu.favoriteApplications (disabled)", "strip.menu.editFavorites"})},
        {StripModule::windows, "Windows",
         lines({"strip.menu.openApps (disabled)", "strip.emptyState.noAppsRunning (disabled)",
                "----", "strip.menu.hideAll"})},
    };
    for (const auto& c : cases) {
        const auto menu = controller->menuForModule(c.module);
        EXPECT_EQ(menu->title(), QLatin1String(c.title));
        EXPECT_EQ(menuText(*menu), c.text) << c.title;
        EXPECT_FALSE(menu->actions().last()->icon().isNull()) << c.title;
        menu->actions().last()->trigger();
    }
    EXPECT_EQ(controller->editorOpenings, 1);
    EXPECT_TRUE(running->hidden.isEmpty()) << "hiding all leaves the program and the agent alone";
    // Building the menu starts the history, which records what is in front.
    EXPECT_TRUE(history().isStarted());
}

TEST_F(ApplicationsMenusTest, RecentAndFavoriteApplicationsLaunchTheirBundles) {
    const RunningApplication editor = app("Editor", "org.example.Editor", "editor.desktop");
    const RunningApplication terminal = app("Terminal", "", "terminal.desktop");
    // The program itself, by its bundle path and by its identifier elsewhere.
    tree.add(QStringLiteral("Pelora.app/"));
    running->frontmost = makeRunningApplication("Pelora", "", bundle->path);
    RunningApplication selfById = app("Pelora copy", kOwnIdentifier, "pelora-copy.desktop");
    applicationsMenu(); // starts the history
    activateAt(1, editor);
    activateAt(2, selfById);
    activateAt(3, terminal);
    auto& favorites = favoritesStore(*services, FavoritesCategory::applications);
    const QString viewer = makeEntry("viewer.desktop");
    favorites.add(QUrl::fromLocalFile(makeEntry("player.desktop")));
    favorites.add(QUrl::fromLocalFile(viewer));

    // Both favorites, in the store's order.
    ASSERT_EQ(favorites.favorites().size(), 2);
    const QByteArray first = favorites.favorites()[0].displayName.toUtf8();
    const QByteArray second = favorites.favorites()[1].displayName.toUtf8();
    const auto menu = applicationsMenu();
    EXPECT_EQ(
        menuText(*menu),
        lines({"strip.menu.recentApplications (disabled)", "Terminal", "Editor",
               "strip.menu.clearRecents", "----", "strip.menu.favoriteApplications (disabled)",
               first.constData(), second.constData(), "strip.menu.editFavorites"}));
    EXPECT_FALSE(actionTitled(*menu, "Terminal")->icon().isNull());

    for (const char* title : {"Editor", "viewer.desktop"}) {
        QAction* action = actionTitled(*menu, QString::fromUtf8(title));
        ASSERT_NE(action, nullptr) << title;
        action->trigger();
    }
    EXPECT_EQ(workspace->launchedApplications,
              QList<QUrl>({*editor.bundleURL, QUrl::fromLocalFile(viewer)}));
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
    EXPECT_EQ(menuText(*applicationsMenu()).section(u'\n', 1, 1),
              lines({"strip.emptyState.noRecentApplications (disabled)"}).trimmed());
    // The next activation starts a new list.
    activateAt(5, editor);
    EXPECT_EQ(menuText(*applicationsMenu()).section(u'\n', 1, 1), QStringLiteral("Editor"));
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
    EXPECT_EQ(menuText(*menu),
              lines({"strip.menu.openApps (disabled)", "Newer", "Older", "strip.app.unknownName",
                     "Zeta", "alpha", "----", "strip.menu.hideAll"}));
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
    const QString link = tree.add(QStringLiteral("link.desktop -> real.desktop"));
    controller->launchApplicationAt(QUrl::fromLocalFile(link));
    EXPECT_EQ(workspace->launchedApplications, QList<QUrl>({QUrl::fromLocalFile(target)}));
}

} // namespace
