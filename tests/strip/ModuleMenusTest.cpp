#include "common/Texts.h"
#include "history/RecentDocumentsService.h"
#include "history/RecentFoldersService.h"
#include "strip/ModuleMenusFixture.h"

using MenuEntryOpenerTest = ModuleMenusTest;

TEST_F(ModuleMenusTest, EmptyMenusShowTheirHeadersAndEmptyStates) {
    // Neither the program itself, its own windows nor an agent count as open applications.
    RunningApplication ownWindows = makeRunningApplication("pelora", "", "");
    ownWindows.isPelora = true;
    fakes.running->apps = {makeRunningApplication("Pelora", "org.pelora.Pelora", ""), ownWindows,
                           makeRunningApplication("Agent", "org.example.Agent", "", false)};
    const char* const favorites = "Recent %1 (disabled)\nNo Recent %1 (disabled)\n"
                                  "Favorite %1 (disabled)\nEdit Favorites…\n";
    const std::pair<StripModule, QString> cases[] = {
        {StripModule::documents, QString::fromUtf8(favorites).arg("Documents")},
        {StripModule::folders, QString::fromUtf8(favorites).arg("Folders")},
        {StripModule::applications, QString::fromUtf8(favorites).arg("Applications")},
        {StripModule::clipboard, "Clipboard History (disabled)\nNothing Copied Yet (disabled)\n"},
        {StripModule::windows, "Open Applications (disabled)\nNo Applications Running (disabled)\n"
                               "----\nHide All Applications\n"},
        {StripModule::tasks, ""},
    };
    for (const auto& [module, text] : cases)
        EXPECT_EQ(menu(module), text) << qPrintable(rawValue(module));
}

TEST_F(ModuleMenusTest, DocumentsMenuGroupsRecentDocumentsByApplication) {
    QList<PersistedRecentDocumentRecord> records;
    const QDateTime earlier = QDateTime::currentDateTimeUtc().addDays(-1);
    for (const char* name : {"Plan.txt", "R&D.txt", "Notes.txt"})
        records.append({tree.add(QStringLiteral("Work/") + name), name, "Text Editor", editor,
                        earlier.addSecs(60 * records.size())});
    documents.savePersistedRecords(records);
    // Documents of another application make a second group, in order of first appearance.
    documents.recordOpened(QUrl::fromLocalFile(tree.add("Photos/Beach.png")));
    // Favorites listed newest first, opening and becoming recent: tests/e2e/test_strip.sh.
    addFavorites(FavoritesCategory::documents, {"Letters/Offer.pdf"});
    EXPECT_EQ(menu(StripModule::documents),
              "Recent Documents (disabled)\nOther >\n  Beach.png\nText Editor >\n  Notes.txt\n"
              "  R&D.txt\n  Plan.txt\nClear History\n----\nFavorite Documents (disabled)\n"
              "Offer.pdf\nEdit Favorites…\n");
}

TEST_F(ModuleMenusTest, ALongNameIsCutInTheMiddleToAMenusWidthAndShownWholeAsATooltip) {
    const QString name = QString(230, u'a').replace(7, 1, u'&') + QStringLiteral(".pdf");
    addFavorites(FavoritesCategory::documents, {"Short.pdf", qPrintable(name)});
    const auto menu = controller->menuForModule(StripModule::documents);
    const QList<QAction*> items = menu->actions();
    const QAction* longOne = items.value(items.size() - 3);
    ASSERT_NE(longOne, nullptr);
    const QFontMetrics metrics(menu->font());
    const QString shown = displayedMenuText(longOne->text());
    EXPECT_LE(metrics.horizontalAdvance(shown), ModuleMenuItems::maximumTitleWidth(metrics));
    EXPECT_LT(metrics.horizontalAdvance(shown), 400);
    EXPECT_TRUE(shown.startsWith(name.left(10))) << qPrintable(shown);
    EXPECT_TRUE(shown.endsWith(QStringLiteral("aaa.pdf"))) << qPrintable(shown);
    EXPECT_EQ(longOne->toolTip(), name);
    EXPECT_TRUE(menu->toolTipsVisible());
    EXPECT_EQ(items.value(items.size() - 2)->text(), QStringLiteral("Short.pdf"));
}

TEST_F(ModuleMenusTest, FoldersMenuIsFlatAndOpensTheFolderItShowed) {
    const QString projects = tree.add("Projects/");
    const QString music = tree.add("Music/");
    folders.recordOpened(url("Projects"));
    fakes.recentItemsIndex->folders = {{music, QDateTime::currentDateTimeUtc()}};
    // The first press starts the query; its result serves the next press.
    controller->menuForModule(StripModule::folders);
    ASSERT_TRUE(waitUntil([&] { return !folders.isGathering(); }));
    const auto menu = controller->menuForModule(StripModule::folders);
    EXPECT_EQ(menuText(*menu), "Recent Folders (disabled)\nProjects\nMusic\nClear History\n----\n"
                               "Favorite Folders (disabled)\nEdit Favorites…\n");
    // What the desktop records while the menu is closed is there at the next press.
    const QString photos = tree.add("Photos/");
    fakes.recentItemsIndex->folders.prepend({photos, QDateTime::currentDateTimeUtc()});
    Q_EMIT fakes.recentItemsIndex->changed();
    ASSERT_TRUE(waitUntil([&] { return !folders.isGathering(); }));
    EXPECT_EQ(menuText(*controller->menuForModule(StripModule::folders)),
              "Recent Folders (disabled)\nProjects\nPhotos\nMusic\n"
              "Clear History\n----\nFavorite Folders (disabled)\n"
              "Edit Favorites…\n");
    // The entry acts on the folder it was built for, even after that left the history.
    folders.recordOpened(url("Music"));
    choose(*menu, "Projects");
    EXPECT_EQ(fakes.workspace->openedURLs, QList<QUrl>{url("Projects")});
    EXPECT_EQ(recorded(folders), (QStringList{music, projects}));
}

TEST_F(ModuleMenusTest, ClearingDropsTheStoredHistoryAndKeepsWhatTheIndexFound) {
    folders.recordOpened(QUrl::fromLocalFile(tree.add("Kept/")));
    fakes.recentItemsIndex->folders = {{tree.add("Found/"), QDateTime::currentDateTimeUtc()}};
    documents.recordOpened(QUrl::fromLocalFile(tree.add("Draft.txt")));
    fakes.recentItemsIndex->documents = {{tree.add("Report.txt"), QDateTime::currentDateTimeUtc()}};
    controller->menuForModule(StripModule::folders);
    controller->menuForModule(StripModule::documents);
    ASSERT_TRUE(waitUntil(
        [&] { return !folders.isGathering() && documents.systemRecentDocuments().size() == 1; }));
    controller->menuForModule(StripModule::documents);
    documents.waitForBackgroundWork();
    ASSERT_GT(documents.iconCache().count(), 0);

    choose(*controller->menuForModule(StripModule::folders), "Clear History");
    choose(*controller->menuForModule(StripModule::documents), "Clear History");
    EXPECT_EQ(documents.iconCache().count(), 0);
    EXPECT_EQ(menu(StripModule::folders).section(u'\n', 1, 2), "Found\nClear History");
    EXPECT_EQ(menu(StripModule::documents).section(u'\n', 1, 3),
              "Text Editor >\n  Report.txt\nClear History");
}

TEST_F(MenuEntryOpenerTest, TheAccessPanelOpensADocumentOnlyForAFolderThatHoldsIt) {
    const QString plan = tree.add("Users/u/Work/Plan.txt");
    tree.add("Users/u/Workshop/Budget.txt");
    // The program cannot reach the documents by itself, so it has to ask.
    fakes.bookmarks->uncreatable << url("Users/u/Work/Plan.txt")
                                 << url("Users/u/Workshop/Budget.txt") << url("Users");
    const struct {
        const char* target;
        std::optional<QString> choice;
        bool opens;
        bool told;
    } cases[] = {
        {"Users/u/Work/Plan.txt", "Users/u/Work", true, false},
        {"Users/u/Work/Plan.txt", "Users/u", true, false},          // an ancestor
        {"Users/u/Work/Plan.txt", "Users/u/Workshop", false, true}, // a sibling named alike
        {"Users/u/Work/Plan.txt", "Users", false, true},            // fits, cannot be granted
        {"Users/u/Work/Plan.txt", std::nullopt, false, false},      // cancelled
        {"Users/u/Workshop/Budget.txt", "Users/u/Work", false, true},
    };
    for (const auto& c : cases) {
        const qsizetype opened = fakes.workspace->openedURLs.size();
        const qsizetype alerts = fakes.dialogs->alerts.size();
        askForAccess(c.target, c.choice);
        EXPECT_EQ(fakes.workspace->openedURLs.size(), opened + c.opens) << c.target;
        EXPECT_EQ(fakes.dialogs->alerts.size(), alerts + c.told) << c.target;
    }
    // The panel starts in the folder that holds the document's folder.
    const OpenPanelOptions& panel = fakes.dialogs->panels.first();
    EXPECT_EQ(panel.directory, tree.path("Users/u"));
    EXPECT_EQ(panel.message, L("recentAccessPanelDocumentFolderMessage").arg("Plan.txt"));
    EXPECT_EQ(fakes.dialogs->alerts.last().informativeText,
              L("recentAccessWrongSelectionMessage").arg("Budget.txt"));
    EXPECT_TRUE(access.loadGrants().isEmpty()); // none wrong
    EXPECT_EQ(recorded(documents), QStringList{plan});
}

TEST_F(MenuEntryOpenerTest, RecentFoldersOpenThroughStoredGrantsOrAskForTheFolderItself) {
    const QString year = tree.add("Archive/2024/");
    fakes.bookmarks->uncreatable << url("Archive/2024");
    // The parent's grant covers the folder: no panel.
    ASSERT_TRUE(access.storeGrant(url("Archive")));
    opener.openRecentTarget(url("Archive/2024"), OpenTargetKind::folder);
    EXPECT_TRUE(fakes.dialogs->panels.isEmpty());
    // Without it the user is asked for the folder itself, starting in its parent.
    askForAccess("Archive/2024", "Archive", OpenTargetKind::folder);
    ASSERT_EQ(fakes.dialogs->panels.size(), 1);
    EXPECT_EQ(fakes.dialogs->panels.first().directory, tree.path("Archive"));
    EXPECT_EQ(fakes.dialogs->panels.first().message, L("recentAccessPanelMessage").arg("2024"));
    EXPECT_EQ(fakes.workspace->openedURLs, (QList<QUrl>{url("Archive/2024"), url("Archive/2024")}));
    EXPECT_EQ(recorded(folders), QStringList{year});
}

TEST_F(MenuEntryOpenerTest, AFavoriteOpensWhatItLeadsToAndBecomesRecentEvenWhenItsHandlerFails) {
    const QUrl offer = QUrl::fromLocalFile(tree.add("Letters/Offer.pdf"));
    const QUrl link = QUrl::fromLocalFile(tree.add("Offer link.pdf -> Letters/Offer.pdf"));
    fakes.workspace->openSucceeds = false;
    opener.openFavoriteTarget(link, OpenTargetKind::document);
    EXPECT_EQ(fakes.workspace->openedURLs, QList<QUrl>{offer});
    EXPECT_EQ(recorded(documents), QStringList{offer.toLocalFile()});
    EXPECT_TRUE(fakes.dialogs->panels.isEmpty()); // no grant is looked up

    // An application is launched through what its link leads to, and enters no history.
    const QString app = tree.add("editor link.desktop -> apps/editor.desktop");
    opener.openFavoriteTarget(QUrl::fromLocalFile(app), OpenTargetKind::application);
    EXPECT_EQ(fakes.workspace->launchedApplications, QList<QUrl>{QUrl::fromLocalFile(editor)});
    EXPECT_EQ(fakes.workspace->openedURLs.size(), 1);
    EXPECT_EQ(recorded(documents).size(), 1);
}
