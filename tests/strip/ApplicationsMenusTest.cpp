#include "strip/ApplicationsMenus.h"
#include "strip/ModuleMenusFixture.h"

using ApplicationsMenusTest = ModuleMenusTest;

TEST_F(ApplicationsMenusTest, RecentAndFavoriteApplicationsLaunchAndClearingKeepsActivationDates) {
    const RunningApplication editor = app("Editor", "org.example.Editor");
    controller->menuForModule(StripModule::applications); // starts the history
    activateAt(1, editor);
    activateAt(3, app("Terminal", ""));
    addFavorites(FavoritesCategory::applications, {"player.desktop", "viewer.desktop"});

    const auto apps = controller->menuForModule(StripModule::applications);
    EXPECT_EQ(menuText(*apps), "Recent Applications (disabled)\nTerminal\nEditor\nClear History\n"
                               "----\nFavorite Applications (disabled)\nviewer.desktop\n"
                               "player.desktop\nEdit Favorites…\n");
    choose(*apps, "Editor");
    choose(*apps, "player.desktop");
    EXPECT_EQ(fakes.workspace->launchedApplications,
              (QList<QUrl>{*editor.bundleURL, tree.url("player.desktop")}));
    EXPECT_EQ(applications.persistedRecords().size(), 2); // launching records nothing itself

    choose(*apps, "Clear History");
    EXPECT_TRUE(applications.persistedRecords().isEmpty());
    EXPECT_EQ(applications.lastActivationDate(editor), start.addSecs(60));
    EXPECT_EQ(menu(StripModule::applications).section(u'\n', 1, 1),
              "No Recent Applications (disabled)");
    activateAt(5, editor); // starts a new list
    EXPECT_EQ(menu(StripModule::applications).section(u'\n', 1, 2), "Editor\nClear History");
}

TEST_F(ApplicationsMenusTest, OpenApplicationsByLastActivationThenOrdinalName) {
    const RunningApplication zeta = app("Zeta", "org.example.Zeta");
    const RunningApplication alpha = app("alpha", "org.example.alpha");
    const RunningApplication older = app("Older", "org.example.Older");
    const RunningApplication newer = app("Newer", "org.example.Newer");
    const RunningApplication same = app("Same", "org.example.Same");
    const RunningApplication nameless = app("", "org.example.Nameless");
    // No desktop entry: dated under the window list's key for it.
    RunningApplication terminal = makeRunningApplication("XTerm", "", "");
    terminal.handle = QStringLiteral("class:XTerm");
    applications.start();
    activateAt(1, older);
    activateAt(2, terminal);
    activateAt(4, same);
    activateAt(4, newer); // the same date: by name
    fakes.running->apps = {alpha, zeta, same, terminal, older, nameless, newer};
    // Without a date: the unnamed one sorts as the empty name, and Zeta before alpha needs the
    // ordinal, case-sensitive comparison (a case-insensitive one puts alpha first).
    EXPECT_EQ(menu(StripModule::windows),
              "Open Applications (disabled)\nNewer\nSame\nXTerm\nOlder\nUnknown Application\nZeta\n"
              "alpha\n----\nHide All Applications\n");
}
