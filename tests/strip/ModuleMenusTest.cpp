#include "common/Services.h"
#include "common/Symbols.h"
#include "common/Texts.h"
#include "fakes/FakeBookmarkService.h"
#include "fakes/FakeBundle.h"
#include "fakes/FakeDialogs.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakePasteboard.h"
#include "fakes/FakeRecentItemsIndex.h"
#include "fakes/FakeRunningApplications.h"
#include "fakes/FakeScreens.h"
#include "fakes/FakeWindowDecorations.h"
#include "fakes/FakeWorkspace.h"
#include "favorites/FavoritesService.h"
#include "history/RecentAccessService.h"
#include "history/RecentDocumentsService.h"
#include "history/RecentFoldersService.h"
#include "platform/linux/LinuxBookmarkService.h"
#include "strip/ModuleMenuItems.h"
#include "strip/StripContentView.h"
#include "strip/StripLayoutItem.h"
#include "strip/StripWindowController.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {
using ModuleMenuItems::displayedText;

class MenusController : public StripWindowController {
public:
    using StripWindowController::StripWindowController;
    int editorOpenings = 0;
    void openFavoritesEditor() override { ++editorOpenings; }
};

// One line per item as a user reads it: "title", "title (disabled)", "title >" for a submenu,
// "----" for a separator.
QStringList outline(const QMenu& menu) {
    QStringList lines;
    for (const QAction* a : menu.actions()) {
        if (a->isSeparator()) {
            lines << QStringLiteral("----");
            continue;
        }
        QString line = displayedText(a->text());
        if (a->menu())
            line += QStringLiteral(" >");
        if (!a->isEnabled())
            line += QStringLiteral(" (disabled)");
        lines << line;
    }
    return lines;
}

bool sameIcon(const QIcon& a, const QIcon& b) {
    return !a.isNull() && a.pixmap(16).toImage() == b.pixmap(16).toImage();
}

// The user grants access by choosing in the panel; whatever that makes reachable becomes
// reachable while the panel is up.
class PanelDialogs : public FakeDialogs {
public:
    std::function<void()> whileShown;
    void beginOpenPanel(const OpenPanelOptions& panel, OpenPanelCompletion completion) override {
        if (whileShown)
            whileShown();
        FakeDialogs::beginOpenPanel(panel, std::move(completion));
    }
};

QAction* itemTitled(const QMenu& menu, const QString& title) {
    for (QAction* a : menu.actions()) {
        if (displayedText(a->text()) == title)
            return a;
        if (a->menu())
            if (QAction* inner = itemTitled(*a->menu(), title))
                return inner;
    }
    return nullptr;
}

// Real files and folders under a temporary home; the operating system faked around them.
class ModuleMenusTest : public ::testing::Test {
protected:
    ModuleMenusTest() {
        home = QFileInfo(dir.path()).canonicalFilePath();
        services = std::make_unique<Services>(makePlatform(bookmarks));
        controller = std::make_unique<MenusController>(*services);
        workspace->setDefaultApplication(QStringLiteral("txt"), QUrl::fromLocalFile(editorPath()));
        fileSystem->displayNames.insert(editorPath(), QStringLiteral("Text Editor"));
    }
    ~ModuleMenusTest() override {
        controller.reset();
        drainEvents();
    }

    Platform makePlatform(std::shared_ptr<BookmarkService> bookmarkService) {
        Platform p;
        p.bundle = std::make_shared<FakeBundle>();
        p.defaults = defaults;
        p.screens = screens;
        p.windowDecorations = std::make_shared<FakeWindowDecorations>();
        p.fileSystem = fileSystem;
        p.bookmarks = std::move(bookmarkService);
        p.workspace = workspace;
        p.pasteboard = std::make_shared<FakePasteboard>();
        p.recentItemsIndex = index;
        p.runningApplications = running;
        p.dialogs = dialogs;
        return p;
    }

    QString editorPath() const { return home + QStringLiteral("/apps/editor.desktop"); }
    QString file(const QString& relative) {
        const QString path = home + u'/' + relative;
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        return path;
    }
    QString folder(const QString& relative) {
        const QString path = home + u'/' + relative;
        QDir().mkpath(path);
        return path;
    }
    static QUrl url(const QString& path) { return QUrl::fromLocalFile(path); }

    QStringList recordedDocuments() {
        QStringList paths;
        for (const auto& r : services->get<RecentDocumentsService>().loadPersistedRecords())
            paths << r.path;
        return paths;
    }
    QStringList recordedFolders() {
        QStringList paths;
        for (const auto& r : services->get<RecentFoldersService>().loadPersistedRecords())
            paths << r.path;
        return paths;
    }
    void trigger(const QMenu& menu, const QString& title) {
        QAction* item = itemTitled(menu, title);
        ASSERT_NE(item, nullptr) << qPrintable(title);
        item->trigger();
    }

    QTemporaryDir dir;
    QString home;
    std::shared_ptr<InMemoryUserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
    std::shared_ptr<FakeScreens> screens = std::make_shared<FakeScreens>();
    std::shared_ptr<FakeFileSystem> fileSystem = std::make_shared<FakeFileSystem>();
    std::shared_ptr<FakeBookmarkService> bookmarks = std::make_shared<FakeBookmarkService>();
    std::shared_ptr<FakeWorkspace> workspace = std::make_shared<FakeWorkspace>();
    std::shared_ptr<FakeRecentItemsIndex> index = std::make_shared<FakeRecentItemsIndex>();
    std::shared_ptr<FakeRunningApplications> running = std::make_shared<FakeRunningApplications>();
    std::shared_ptr<PanelDialogs> dialogs = std::make_shared<PanelDialogs>();
    std::unique_ptr<Services> services;
    std::unique_ptr<MenusController> controller;
};
} // namespace

TEST_F(ModuleMenusTest, EmptyMenusHoldTheHeadersTheEmptyStateAndTheEditItem) {
    auto documents = controller->menuForModule(StripModule::documents);
    EXPECT_EQ(displayedText(documents->title()), "Recent Documents");
    EXPECT_EQ(outline(*documents),
              QStringList({"Recent Documents (disabled)", "No Recent Documents (disabled)",
                           "Favorite Documents (disabled)", "Edit Favorites…"}));
    auto folders = controller->menuForModule(StripModule::folders);
    EXPECT_EQ(displayedText(folders->title()), "Recent Folders");
    EXPECT_EQ(outline(*folders),
              QStringList({"Recent Folders (disabled)", "No Recent Folders (disabled)",
                           "Favorite Folders (disabled)", "Edit Favorites…"}));

    // Both edit items open the one editor; headers and empty states do nothing.
    for (QMenu* menu : {documents.get(), folders.get()}) {
        const QList<QAction*> items = menu->actions();
        items.last()->trigger();
        EXPECT_TRUE(sameIcon(items.last()->icon(), symbolIcon("square.and.pencil")));
        for (const QAction* a : items)
            EXPECT_TRUE(a->shortcut().isEmpty());
    }
    EXPECT_EQ(controller->editorOpenings, 2);
    EXPECT_TRUE(workspace->openedURLs.isEmpty());
    EXPECT_TRUE(dialogs->panels.isEmpty());

    // Building the menus asked for fresh data for the next press.
    EXPECT_EQ(index->predicates.size(), 2);
    // Modules without a menu of their own get an empty one; the others carry their titles.
    EXPECT_TRUE(controller->menuForModule(StripModule::tasks)->actions().isEmpty());
    EXPECT_EQ(controller->menuForModule(StripModule::clipboard)->title(), "Clipboard");
    EXPECT_EQ(controller->menuForModule(StripModule::applications)->title(), "Apps");
    EXPECT_EQ(controller->menuForModule(StripModule::windows)->title(), "Windows");
}

TEST_F(ModuleMenusTest, DocumentsMenuGroupsRecentDocumentsByApplicationAndListsFavorites) {
    auto& history = services->get<RecentDocumentsService>();
    QList<PersistedRecentDocumentRecord> records;
    const QDateTime earlier = QDateTime::currentDateTimeUtc().addDays(-1);
    int minutes = 0;
    for (const char* name : {"Plan.txt", "R&D.txt", "Notes.txt"})
        records.append({file(QStringLiteral("Work/") + QString::fromUtf8(name)),
                        QString::fromUtf8(name), QStringLiteral("Text Editor"), editorPath(),
                        earlier.addSecs(60 * ++minutes)});
    history.savePersistedRecords(records);
    const QString favorite = file(QStringLiteral("Letters/Offer.pdf"));
    favoritesStore(*services, FavoritesCategory::documents).add(url(favorite));

    auto menu = controller->menuForModule(StripModule::documents);
    EXPECT_EQ(outline(*menu),
              QStringList({"Recent Documents (disabled)", "Text Editor >", "Clear History", "----",
                           "Favorite Documents (disabled)", "Offer.pdf", "Edit Favorites…"}));
    QMenu* group = menu->actions().at(1)->menu();
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(displayedText(group->title()), "Text Editor");
    // Newest first; an ampersand in a name is shown, not taken for a mnemonic.
    EXPECT_EQ(outline(*group), QStringList({"Notes.txt", "R&D.txt", "Plan.txt"}));
    EXPECT_EQ(group->actions().at(2)->data().toUrl(), url(home + "/Work/Plan.txt"));
    EXPECT_TRUE(sameIcon(menu->actions().at(2)->icon(), symbolIcon("trash")));
    EXPECT_FALSE(group->actions().at(0)->icon().isNull());
    // The cache holds what the menu shows.
    ASSERT_EQ(controller->recentGroups.size(), 1);
    EXPECT_EQ(controller->recentGroups.first().items.size(), 3);

    // Documents of another application make a second group, in order of first appearance.
    history.recordOpened(url(file("Photos/Beach.png")));
    menu = controller->menuForModule(StripModule::documents);
    EXPECT_EQ(outline(*menu).mid(0, 4), QStringList({"Recent Documents (disabled)", "Other >",
                                                     "Text Editor >", "Clear History"}));
}

TEST_F(ModuleMenusTest, FoldersMenuIsFlatAndOpensWhatItShowed) {
    const QString projects = folder("Projects");
    const QString music = folder("Music");
    services->get<RecentFoldersService>().recordOpened(url(projects));
    index->folders = {{music, QDateTime::currentDateTimeUtc()}};
    // The first press starts the query; its result serves the next press.
    controller->menuForModule(StripModule::folders);
    ASSERT_TRUE(waitUntil([&] { return !services->get<RecentFoldersService>().isGathering(); }));
    favoritesStore(*services, FavoritesCategory::folders).add(url(folder("Shared")));

    auto menu = controller->menuForModule(StripModule::folders);
    EXPECT_EQ(outline(*menu),
              QStringList({"Recent Folders (disabled)", "Projects", "Music", "Clear History",
                           "----", "Favorite Folders (disabled)", "Shared", "Edit Favorites…"}));
    for (const QAction* a : menu->actions())
        EXPECT_EQ(a->menu(), nullptr);
    EXPECT_EQ(controller->recentFolders.size(), 2);

    // The entry acts on the folder it was built for, even after that left the history.
    services->get<RecentFoldersService>().recordOpened(url(music));
    trigger(*menu, "Projects");
    trigger(*menu, "Shared");
    EXPECT_EQ(workspace->openedURLs, QList<QUrl>({url(projects), url(home + "/Shared")}));
    EXPECT_EQ(recordedFolders(), QStringList({music, projects, home + "/Shared"}));
    EXPECT_TRUE(recordedDocuments().isEmpty());
}

TEST_F(ModuleMenusTest, MenusPopUpBesideTheirButton) {
    // Without a strip, the screen's corner.
    EXPECT_EQ(controller->moduleMenuLocation(StripModule::folders), QPointF(0, 0));

    controller->showStrip();
    StripPanel* panel = controller->window();
    // Top-left corner at (1000, 800) with y upward on a 900-high screen.
    panel->move(1000, 100);
    EXPECT_EQ(controller->moduleMenuLocation(StripModule::folders), QPointF(996, 720));
    EXPECT_EQ(controller->moduleMenuLocation(StripModule::documents), QPointF(996, 688));
    EXPECT_EQ(controller->moduleMenuLocation(StripModule::tasks), QPointF(0, 0));

    stripOrientationKey.write(*defaults, QStringLiteral("horizontal"));
    ASSERT_TRUE(waitUntil([&] { return panel->width() > panel->height(); }));
    panel->move(1000, 100);
    EXPECT_EQ(controller->moduleMenuLocation(StripModule::folders), QPointF(1080, 784));
    EXPECT_EQ(controller->moduleMenuLocation(StripModule::clipboard), QPointF(1149, 784));

    // A real pop-up where the screen has room for it: the menu's top-left corner is there.
    const QRect available = QGuiApplication::primaryScreen()->geometry();
    screens->list = {
        {QRectF(QPointF(0, 0), available.size()), QRectF(QPointF(0, 0), available.size())}};
    panel->move(100, 100);
    const QPointF location = controller->moduleMenuLocation(StripModule::documents);
    EXPECT_EQ(location, QPointF(212, available.height() - 116));

    QTest::mouseClick(controller->contentView()->button(StripModule::documents), Qt::LeftButton);
    QPointer<QMenu> shown;
    ASSERT_TRUE(waitUntil([&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* menu = qobject_cast<QMenu*>(w); menu && menu->isVisible())
                shown = menu;
        return !shown.isNull();
    }));
    EXPECT_EQ(displayedText(shown->title()), "Recent Documents");
    EXPECT_EQ(shown->pos(), QPoint(212, 116));
    // Gone once closed: the next press builds a new one.
    shown->hide();
    ASSERT_TRUE(waitUntil([&] { return shown.isNull(); }));
}

TEST_F(ModuleMenusTest, AccessPanelOpensTheDocumentOnlyForItsOwnFolderOrAnAncestor) {
    const QString plan = file("Users/u/Work/Plan.txt");
    const QString work = home + "/Users/u/Work";
    const QString workshop = folder("Users/u/Workshop");
    // The program cannot reach the document by itself, so it has to ask.
    bookmarks->uncreatable.insert(url(plan));

    auto ask = [&](const std::optional<QString>& choice) {
        defaults->removeObject(RecentAccessService::storageKey.key());
        dialogs->panelAnswers.enqueue(choice ? std::optional<QList<QUrl>>({url(*choice)})
                                             : std::nullopt);
        controller->openRecentTarget(url(plan), OpenTargetKind::document);
    };

    ask(work);
    ASSERT_EQ(dialogs->panels.size(), 1);
    const OpenPanelOptions& panel = dialogs->panels.first();
    EXPECT_TRUE(panel.canChooseDirectories);
    EXPECT_FALSE(panel.canChooseFiles);
    EXPECT_FALSE(panel.allowsMultipleSelection);
    EXPECT_FALSE(panel.canCreateDirectories);
    EXPECT_EQ(panel.parentWindow, nullptr);
    EXPECT_EQ(panel.directory, home + "/Users/u");
    EXPECT_EQ(panel.message, L("recentAccessPanelDocumentFolderMessage").arg("Plan.txt"));
    EXPECT_EQ(panel.prompt, "Grant Access");
    EXPECT_EQ(running->currentApplicationActivations, 1);
    EXPECT_EQ(workspace->openedURLs, QList<QUrl>{url(plan)});
    // Access on the chosen folder was held just around the open.
    EXPECT_EQ(bookmarks->starts, QList<QUrl>{url(work)});
    EXPECT_EQ(bookmarks->stops, QList<QUrl>{url(work)});
    EXPECT_EQ(recordedDocuments(), QStringList{plan});

    ask(home + "/Users/u");
    EXPECT_EQ(workspace->openedURLs.size(), 2);
    EXPECT_TRUE(dialogs->alerts.isEmpty());

    // A sibling whose name merely begins alike, a cancelled panel, and a folder that fits but
    // cannot be granted: nothing opens or is recorded; only the wrong choices are told.
    ask(workshop);
    ASSERT_EQ(dialogs->alerts.size(), 1);
    const AlertOptions& alert = dialogs->alerts.first();
    EXPECT_EQ(alert.style, AlertStyle::warning);
    EXPECT_EQ(alert.messageText, L("recentAccessWrongSelectionTitle"));
    EXPECT_EQ(alert.informativeText, L("recentAccessWrongSelectionMessage").arg("Plan.txt"));
    EXPECT_EQ(alert.buttons, QStringList{"OK"});
    ask(std::nullopt);
    EXPECT_EQ(dialogs->alerts.size(), 1);
    // Nor does a folder whose name begins the target's folder name contain the target.
    const QString budget = file("Users/u/Workshop/Budget.txt");
    bookmarks->uncreatable.insert(url(budget));
    defaults->removeObject(RecentAccessService::storageKey.key());
    dialogs->panelAnswers.enqueue(QList<QUrl>{url(work)});
    controller->openRecentTarget(url(budget), OpenTargetKind::document);
    ASSERT_EQ(dialogs->alerts.size(), 2);
    // A wrong choice is not kept as a grant.
    EXPECT_TRUE(services->get<RecentAccessService>().loadGrants().isEmpty());
    EXPECT_EQ(dialogs->alerts.last().informativeText,
              L("recentAccessWrongSelectionMessage").arg("Budget.txt"));
    bookmarks->uncreatable.insert(url(work));
    ask(work);
    EXPECT_EQ(dialogs->alerts.size(), 3);
    EXPECT_EQ(workspace->openedURLs.size(), 2);
    EXPECT_EQ(recordedDocuments(), QStringList{plan});
    EXPECT_EQ(dialogs->panels.size(), 6);
}

TEST_F(ModuleMenusTest, RecentFoldersOpenThroughStoredGrantsOrAskForTheFolderItself) {
    const QString parent = folder("Archive");
    const QString year = folder("Archive/2024");
    bookmarks->uncreatable.insert(url(year));
    services->get<RecentFoldersService>().recordOpened(url(year));

    // The parent's grant covers the folder: no panel.
    ASSERT_TRUE(services->get<RecentAccessService>().storeGrant(url(parent)));
    auto menu = controller->menuForModule(StripModule::folders);
    trigger(*menu, "2024");
    EXPECT_TRUE(dialogs->panels.isEmpty());
    EXPECT_EQ(workspace->openedURLs, QList<QUrl>{url(year)});
    EXPECT_EQ(bookmarks->starts, QList<QUrl>{url(parent)});

    // Without it the user is asked for the folder itself, starting in its parent.
    defaults->removeObject(RecentAccessService::storageKey.key());
    dialogs->panelAnswers.enqueue(QList<QUrl>{url(year + "/")});
    dialogs->whileShown = [&] {
        bookmarks->uncreatable.clear();
    };
    trigger(*menu, "2024");
    ASSERT_EQ(dialogs->panels.size(), 1);
    EXPECT_EQ(dialogs->panels.first().directory, parent);
    EXPECT_EQ(dialogs->panels.first().message, L("recentAccessPanelMessage").arg("2024"));
    EXPECT_TRUE(dialogs->alerts.isEmpty());
    EXPECT_EQ(workspace->openedURLs.size(), 2);
    EXPECT_EQ(recordedFolders(), QStringList{year});

    // With the real references, a folder the user can read needs no question at all.
    auto realServices =
        std::make_unique<Services>(makePlatform(std::make_shared<LinuxBookmarkService>()));
    MenusController real(*realServices);
    real.openRecentTarget(url(parent), OpenTargetKind::folder);
    EXPECT_EQ(dialogs->panels.size(), 1);
    EXPECT_EQ(workspace->openedURLs.last(), url(parent));
    EXPECT_EQ(realServices->get<RecentAccessService>().loadGrants().size(), 1);
}

TEST_F(ModuleMenusTest, OpeningAFavoriteMakesItRecentWhetherOrNotItsHandlerStarted) {
    const QString offer = file("Letters/Offer.pdf");
    favoritesStore(*services, FavoritesCategory::documents).add(url(offer));
    workspace->openSucceeds = false;
    trigger(*controller->menuForModule(StripModule::documents), "Offer.pdf");
    EXPECT_EQ(workspace->openedURLs, QList<QUrl>{url(offer)});
    EXPECT_EQ(recordedDocuments(), QStringList{offer});
    // No grant is looked up for a favorite; access is held on the favorite itself.
    EXPECT_TRUE(dialogs->panels.isEmpty());
    EXPECT_EQ(bookmarks->starts, QList<QUrl>{url(offer)});
    EXPECT_EQ(outline(*controller->menuForModule(StripModule::documents)).mid(1, 1),
              QStringList{"Other >"});

    // A favorite reached through a link opens and records its target, with access held on
    // both and let go in reverse order.
    const QString link = home + "/Offer link.pdf";
    ASSERT_TRUE(QFile::link(offer, link));
    bookmarks->starts.clear();
    bookmarks->stops.clear();
    controller->openFavoriteTarget(url(link), OpenTargetKind::document);
    EXPECT_EQ(workspace->openedURLs.last(), url(offer));
    EXPECT_EQ(bookmarks->starts, QList<QUrl>({url(link), url(offer), url(offer)}));
    EXPECT_EQ(bookmarks->stops, QList<QUrl>({url(offer), url(offer), url(link)}));
    EXPECT_EQ(recordedDocuments(), QStringList{offer});

    // An application is launched, not opened, and enters no history.
    controller->openFavoriteTarget(url(editorPath()), OpenTargetKind::application);
    EXPECT_EQ(workspace->launchedApplications, QList<QUrl>{url(editorPath())});
    EXPECT_EQ(workspace->openedURLs.size(), 2);
    EXPECT_EQ(recordedDocuments(), QStringList{offer});
}

TEST_F(ModuleMenusTest, ClearingDropsTheStoredHistoryAndKeepsWhatTheIndexFound) {
    const QString kept = folder("Kept");
    const QString found = folder("Found");
    services->get<RecentFoldersService>().recordOpened(url(kept));
    index->folders = {{found, QDateTime::currentDateTimeUtc()}};
    controller->menuForModule(StripModule::folders);
    ASSERT_TRUE(waitUntil([&] { return !services->get<RecentFoldersService>().isGathering(); }));
    auto menu = controller->menuForModule(StripModule::folders);
    trigger(*menu, "Clear History");
    EXPECT_FALSE(defaults->contains(RecentFoldersService::storageKey.key()));
    EXPECT_TRUE(controller->recentFolders.isEmpty());
    EXPECT_EQ(outline(*controller->menuForModule(StripModule::folders)).mid(0, 3),
              QStringList({"Recent Folders (disabled)", "Found", "Clear History"}));

    const QString draft = file("Draft.txt");
    const QString report = file("Report.txt");
    auto& documents = services->get<RecentDocumentsService>();
    documents.recordOpened(url(draft));
    index->documents = {{report, QDateTime::currentDateTimeUtc()}};
    controller->menuForModule(StripModule::documents);
    ASSERT_TRUE(waitUntil([&] { return documents.systemRecentDocuments().size() == 1; }));
    auto documentsMenu = controller->menuForModule(StripModule::documents);
    documents.waitForBackgroundWork();
    ASSERT_GT(documents.iconCache().count(), 0);
    trigger(*documentsMenu, "Clear History");
    EXPECT_FALSE(defaults->contains(RecentDocumentsService::storageKey.key()));
    EXPECT_EQ(documents.iconCache().count(), 0);
    ASSERT_EQ(controller->recentGroups.size(), 1);
    ASSERT_EQ(controller->recentGroups.first().items.size(), 1);
    EXPECT_EQ(controller->recentGroups.first().items.first().url, url(report));
}

TEST_F(ModuleMenusTest, ItemsWithoutAUrlDoNothing) {
    QMenu menu;
    for (auto action :
         {&StripWindowController::openRecentDocument, &StripWindowController::openRecentFolder,
          &StripWindowController::openFavorite, &StripWindowController::openFolder})
        ModuleMenuItems::addEntryItem(menu, "x", QIcon(), QVariant(home + "/Draft.txt"),
                                      static_cast<StripWindowController*>(controller.get()), action)
            ->trigger();
    EXPECT_TRUE(workspace->openedURLs.isEmpty());
    EXPECT_TRUE(dialogs->panels.isEmpty());
    // An item's handler ends with its target.
    QAction* orphan =
        ModuleMenuItems::addEntryItem(menu, "y", QIcon(), QVariant(url(file("Draft.txt"))),
                                      static_cast<StripWindowController*>(controller.get()),
                                      &StripWindowController::openRecentDocument);
    EXPECT_TRUE(orphan->icon().isNull());
    controller.reset();
    orphan->trigger();
    EXPECT_TRUE(workspace->openedURLs.isEmpty());
}
