#include "StripTestServices.h"
#include "strip/StripContentView.h"
#include "support/DragDrop.h"
#include "support/TempTree.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QPushButton>
#include <QTableView>
#include <QTest>

namespace {
using Category = FavoritesCategory;

// Favorites added by drops on the strip, and the editor the strip controller opens.
class FavoritesEditorTest : public ::testing::Test, protected StripTestServices {
protected:
    ~FavoritesEditorTest() override {
        controller.reset();
        drainEvents();
    }
    // A favorite as an earlier run stored it, added that many minutes after the first.
    QString storeFavorite(Category category, const QString& entry, int minute) {
        const QString path = tree.add(entry), key = rawValue(category);
        for (const auto& [k, value] :
             {std::pair{key, QVariant(FakeBookmarkService::blobFor(url(path), true))},
              std::pair{key + "AddedAt", QVariant(1e9 + 60 * minute)}})
            fakes.defaults->setObject(k, fakes.defaults->arrayForKey(k).value_or(QVariantList())
                                             << value);
        return path;
    }
    void storeThree() {
        doc = storeFavorite(Category::documents, "Plan.txt", 0);
        app = storeFavorite(Category::applications, "Viewer.app", 5);
        folder = storeFavorite(Category::folders, "Work/", 2);
    }
    // The paths of the category's favorites, sorted.
    QStringList stored(Category category) {
        QStringList paths;
        for (const FavoriteItem& item : favorites.store(category).favorites())
            paths << item.url.toLocalFile();
        paths.sort();
        return paths;
    }
    static QUrl url(const QString& path) { return QUrl::fromLocalFile(path); }

    // The editor's window, as the user finds it on the screen.
    QWidget* open() {
        controller->openFavoritesEditor();
        drainEvents();
        return editor();
    }
    static QWidget* editor() {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->isVisible() && window->windowTitle() == "Edit Favorites")
                return window;
        return nullptr;
    }
    static QTableView* table() { return editor()->findChild<QTableView*>(); }
    // The button with that title or accessible name.
    static QPushButton* button(const QString& name) {
        for (QPushButton* b : editor()->findChildren<QPushButton*>())
            if (b->text() == name || b->accessibleName() == name)
                return b;
        return nullptr;
    }
    // A key pressed in the active editor, where its focus is.
    static void press(Qt::Key key) {
        QWidget* window = editor();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus && focus->window() == window ? focus : window, key);
    }
    QStringList column(int column) const {
        QStringList values;
        for (int row = 0; row < table()->model()->rowCount(); ++row)
            values << table()->model()->index(row, column).data().toString();
        return values;
    }
    void click(int row, Qt::KeyboardModifiers modifiers = {}, bool twice = false) const {
        const QPoint at = table()->visualRect(table()->model()->index(row, 1)).center();
        QTest::mouseClick(table()->viewport(), Qt::LeftButton, modifiers, at);
        if (twice) // as the window system delivers a double click
            QTest::mouseDClick(table()->viewport(), Qt::LeftButton, modifiers, at);
    }

    TempTree tree;
    QString doc, app, folder;
};
using StripDropTest = FavoritesEditorTest;
} // namespace

// Whichever button takes the drop, each item joins the favorites of its own kind, once the
// link it was dropped as is followed (aliases: CommonHelpersTest).
TEST_F(StripDropTest, EachDroppedItemJoinsTheFavoritesOfItsOwnKind) {
    const QString entry = tree.add("editor.desktop", "[Desktop Entry]\nType=Application\n");
    const QString text = tree.add("notes.txt"), bundle = tree.add("Tool.APP/");
    const QString real = tree.add("real/Folder/");
    tree.add("link -> real");
    controller->showStrip();
    const StripContentView* strip = controller->contentView();
    EXPECT_TRUE(dropOnto(strip->button(StripModule::applications),
                         {tree.url("link/Folder"), url(entry), url(text)}));
    EXPECT_TRUE(stored(Category::folders).isEmpty()) << "added later, not inside the drop";
    EXPECT_TRUE(dropOnto(strip->button(StripModule::documents), {url(bundle)}));
    drainEvents();
    EXPECT_EQ(stored(Category::folders), QStringList{real});
    EXPECT_EQ(stored(Category::applications), (QStringList{bundle, entry}));
    EXPECT_EQ(stored(Category::documents), QStringList{text});
}

TEST_F(FavoritesEditorTest, TheEditorListsAllThreeStoresNewestFirstAndOpensEachItsOwnWay) {
    storeThree();
    QPointer<QWidget> first = open();
    ASSERT_NE(open(), first.data());
    drainEvents();
    EXPECT_FALSE(first) << "opening again replaces the editor";
    EXPECT_GE(fakes.running->currentApplicationActivations, 2) << "each comes to the front";
    EXPECT_EQ(column(1), (QStringList{"Viewer", "Work", "Plan.txt"}));
    EXPECT_EQ(column(2), (QStringList{"Application", "Folder", "Document"}));
    EXPECT_FALSE(table()->model()->index(0, 0).data(Qt::DecorationRole).value<QIcon>().isNull());

    // A double click launches the application, opens the others; the document becomes a
    // recent document.
    for (int row : {0, 2, 1})
        click(row, {}, true);
    EXPECT_EQ(fakes.workspace->launchedApplications, QList<QUrl>{url(app)});
    EXPECT_EQ(fakes.workspace->openedURLs, (QList<QUrl>{url(doc), url(folder)}));
    EXPECT_EQ(documents.loadPersistedRecords().value(0).path, doc);
    QTest::mouseClick(button("Add Favorite"), Qt::LeftButton);
    EXPECT_TRUE(fakes.dialogs->panels.value(0).allowsMultipleSelection) << "several at once";
}

TEST_F(FavoritesEditorTest, EqualTimesKeepTheCategoryOrderThenTheStoredOrder) {
    // Enough rows that an unstable sort would reorder them.
    storeFavorite(Category::folders, "Newest/", 60);
    QStringList expected{"Newest"};
    for (Category category : {Category::applications, Category::folders, Category::documents})
        for (int i = 0; i < 16; ++i)
            storeFavorite(category, rawValue(category) + QString::number(i), 0);
    for (Category category : allFavoritesCategories)
        for (int i = 0; i < 16; ++i)
            expected << rawValue(category) + QString::number(i);
    open();
    EXPECT_EQ(column(1), expected);
}

TEST_F(FavoritesEditorTest, RemovingSelectedRowsTakesEachFromItsOwnStore) {
    storeThree();
    open();
    QPushButton* remove = button("Remove Favorite");
    EXPECT_FALSE(remove->isEnabled());
    click(0);
    EXPECT_TRUE(remove->isEnabled());
    click(2, Qt::ControlModifier);
    QTest::mouseClick(remove, Qt::LeftButton);
    EXPECT_TRUE(stored(Category::documents).isEmpty());
    EXPECT_TRUE(stored(Category::applications).isEmpty());
    EXPECT_EQ(stored(Category::folders), QStringList{folder});
    EXPECT_EQ(column(1), QStringList{"Work"});
}

TEST_F(FavoritesEditorTest, FilesDroppedOnTheEditorJoinTheirOwnStoresAndOtherDragsAreRefused) {
    const QString dropped = tree.add("Drop Folder/"), text = tree.add("notes.txt");
    tree.add("folder-link -> Drop Folder");
    open();
    QMimeData plain; // even text that reads as a file's address
    plain.setText(url(text).toString());
    EXPECT_FALSE(dropOnto(table()->viewport(), plain));
    EXPECT_FALSE(dropOnto(table()->viewport(), {QUrl("https://example.org/a.txt")}));
    const QList<QUrl> files{tree.url("folder-link"), url(text), QUrl("https://example.org/")};
    EXPECT_TRUE(dropOnto(table()->viewport(), files));
    EXPECT_EQ(stored(Category::folders), QStringList{dropped});
    EXPECT_EQ(stored(Category::documents), QStringList{text});
    EXPECT_EQ(table()->model()->rowCount(), 2) << "listed at once";
}

// Return (the default button's key) is checked through the real program (tests/e2e).
TEST_F(FavoritesEditorTest, DoneEscapeTheCloseButtonOrTheControllerGoingReleaseTheEditor) {
    const std::function<void()> closers[] = {
        [&] { QTest::mouseClick(button("Done"), Qt::LeftButton); },
        [&] { press(Qt::Key_Escape); },
        [&] { editor()->close(); },
        [&] { controller.reset(); },
    };
    for (const auto& close : closers) {
        QPointer<QWidget> opened = open();
        ASSERT_TRUE(opened);
        close();
        drainEvents();
        EXPECT_FALSE(opened) << "released, and its window with it";
    }
}

TEST_F(FavoritesEditorTest, DeleteAndBackspaceRemoveTheSelectedRowsAsMinusDoes) {
    storeThree();
    open();
    press(Qt::Key_Delete); // nothing selected: nothing goes
    EXPECT_EQ(column(1).size(), 3);
    click(0);
    press(Qt::Key_Delete);
    EXPECT_TRUE(stored(Category::applications).isEmpty());
    click(1);
    press(Qt::Key_Backspace);
    EXPECT_TRUE(stored(Category::documents).isEmpty());
    EXPECT_EQ(column(1), QStringList{"Work"});
}

// The panel starts at home, never where the program was started from, then where the last
// pick was made, also in an editor opened later.
TEST_F(FavoritesEditorTest, ThePanelStartsAtHomeThenInTheFolderOfTheLastPick) {
    const QString picked = tree.add("Picked/Inner/"), file = tree.add("Picked/notes.txt");
    const EnvOverride home("HOME", tree.add("Home/"));
    open();
    fakes.dialogs->panelAnswers << std::nullopt << QList<QUrl>{url(picked), url(file)};
    for (int i = 0; i < 3; ++i) {
        if (i == 2)
            open();
        QTest::mouseClick(button("Add Favorite"), Qt::LeftButton);
    }
    QStringList starts;
    for (const OpenPanelOptions& panel : fakes.dialogs->panels)
        starts << panel.directory;
    EXPECT_EQ(starts, (QStringList{tree.path("Home"), tree.path("Home"), tree.path("Picked")}));
    EXPECT_EQ(stored(Category::folders), QStringList{picked});
    EXPECT_EQ(stored(Category::documents), QStringList{file});
}
