#include "common/Dates.h"
#include "favorites/FavoritesService.h"
#include "history/RecentDocumentsService.h"
#include "strip/FavoritesDropTableView.h"
#include "strip/FavoritesEditWindowCoordinator.h"
#include "strip/StripWindowController.h"
#include "support/DragDrop.h"
#include "support/FakePlatform.h"
#include "support/TempTree.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

namespace {
using Category = FavoritesCategory;

QDateTime today(int hour, int minute) {
    return QDateTime(QDate::currentDate(), QTime(hour, minute));
}

// The editor as the strip controller opens it from the menus' edit items.
class FavoritesEditorTest : public ::testing::Test {
protected:
    ~FavoritesEditorTest() override {
        controller.reset();
        drainEvents();
    }

    // A favorite stored as an earlier run would have left it, before the stores load.
    QString storeFavorite(Category category, const QString& entry, const QDateTime& addedAt) {
        const QString path = tree.add(entry);
        for (const QString& key : {rawValue(category), rawValue(category) + "AddedAt"}) {
            QVariantList list = fakes.defaults->arrayForKey(key).value_or(QVariantList());
            list << (key.endsWith("AddedAt")
                         ? QVariant(secondsSince1970(addedAt))
                         : QVariant(FakeBookmarkService::blobFor(url(path), true)));
            fakes.defaults->setObject(key, list);
        }
        return path;
    }
    // Plan.txt at 10:00, the Viewer application at 10:05, the Work folder at 10:02.
    void storeThree() {
        doc = storeFavorite(Category::documents, "Plan.txt", today(10, 0));
        app = storeFavorite(Category::applications, "Viewer.app", today(10, 5));
        folder = storeFavorite(Category::folders, "Work/", today(10, 2));
    }
    QStringList storedPaths(Category category) {
        QStringList paths;
        for (const FavoriteItem& item : favoritesStore(*services, category).favorites())
            paths << item.url.toLocalFile();
        return paths;
    }
    static QUrl url(const QString& path) { return QUrl::fromLocalFile(path); }

    FavoritesEditWindowCoordinator* open() {
        controller->openFavoritesEditor();
        drainEvents();
        return controller->favoritesEditWindowCoordinator;
    }
    FavoritesDropTableView* table() const { return editor()->tableView(); }
    FavoritesEditWindowCoordinator* editor() const {
        return controller->favoritesEditWindowCoordinator;
    }
    QStringList column(int column) const {
        QStringList values;
        for (int row = 0; row < table()->model()->rowCount(); ++row)
            values << table()->model()->index(row, column).data().toString();
        return values;
    }
    QPoint rowCentre(int row) const {
        return table()->visualRect(table()->model()->index(row, 1)).center();
    }
    // The events of a double click as the window system delivers them.
    void doubleClickAt(const QPoint& at) const {
        QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(table()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(table()->viewport(), Qt::LeftButton, {}, at);
    }
    static int visibleEditors() {
        int n = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            n += w->isVisible() && w->windowTitle() == QStringLiteral("Edit Favorites");
        return n;
    }

    TempTree tree;
    FakePlatform fakes;
    std::unique_ptr<Services> services = fakes.makeServices();
    std::unique_ptr<StripWindowController> controller =
        std::make_unique<StripWindowController>(*services);
    QString doc, app, folder;
};
} // namespace

TEST_F(FavoritesEditorTest, OpeningAgainReplacesTheEditorListingAllThreeStoresNewestFirst) {
    storeThree();
    QPointer<FavoritesEditWindowCoordinator> first = open();
    ASSERT_TRUE(first);
    const int activations = fakes.running->currentApplicationActivations;
    EXPECT_GT(activations, 0) << "the program comes to the front";
    QPointer<QWidget> firstWindow = first->editorWindow();
    ASSERT_NE(open(), first.data());
    drainEvents();
    EXPECT_FALSE(first) << "the first editor was not released";
    EXPECT_FALSE(firstWindow);
    EXPECT_EQ(visibleEditors(), 1);
    EXPECT_GT(fakes.running->currentApplicationActivations, activations);
    EXPECT_EQ(column(1), (QStringList{"Viewer", "Work", "Plan.txt"}));
    EXPECT_EQ(column(2), (QStringList{"Application", "Folder", "Document"}));
    EXPECT_FALSE(table()->model()->index(0, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
}

TEST_F(FavoritesEditorTest, EqualTimesKeepTheCategoryOrderThenTheStoredOrder) {
    // Enough rows that an unstable sort would reorder them.
    QStringList expected{"Newest"};
    storeFavorite(Category::folders, "Newest/", today(11, 0));
    for (Category category : {Category::applications, Category::folders, Category::documents})
        for (int i = 0; i < 16; ++i)
            storeFavorite(category, QStringLiteral("%1-%2").arg(rawValue(category)).arg(i),
                          today(10, 0));
    for (Category category : allFavoritesCategories)
        for (int i = 0; i < 16; ++i)
            expected << QStringLiteral("%1-%2").arg(rawValue(category)).arg(i);
    open();
    EXPECT_EQ(column(1), expected);
}

TEST_F(FavoritesEditorTest, RemovingSelectedRowsTakesEachFromItsOwnStore) {
    storeThree();
    open();
    EXPECT_FALSE(editor()->removeButton()->isEnabled());
    QTest::mouseClick(editor()->removeButton(), Qt::LeftButton);
    EXPECT_EQ(table()->model()->rowCount(), 3) << "nothing selected, nothing removed";

    // The application and then, with Ctrl, the document.
    QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, rowCentre(0));
    EXPECT_TRUE(editor()->removeButton()->isEnabled());
    QTest::mouseClick(table()->viewport(), Qt::LeftButton, Qt::ControlModifier, rowCentre(2));
    QTest::mouseClick(editor()->removeButton(), Qt::LeftButton);
    EXPECT_TRUE(storedPaths(Category::documents).isEmpty());
    EXPECT_TRUE(storedPaths(Category::applications).isEmpty());
    EXPECT_EQ(storedPaths(Category::folders), QStringList{folder});
    EXPECT_EQ(fakes.defaults->arrayForKey(rawValue(Category::documents))->size(), 0);
    EXPECT_EQ(column(1), QStringList{"Work"});
    EXPECT_FALSE(editor()->removeButton()->isEnabled());
}

TEST_F(FavoritesEditorTest, DroppedFilesJoinTheirOwnStoresAndOtherDragsAreRefused) {
    const QString dropped = tree.add("Drop Folder/");
    const QString text = tree.add("notes.txt");
    tree.add("folder-link -> Drop Folder");
    open();
    QMimeData plain; // even text that reads as a file's address
    plain.setText(url(text).toString());
    EXPECT_FALSE(dropOnto(table()->viewport(), plain));
    EXPECT_FALSE(dropOnto(table()->viewport(), {QUrl("https://example.org/a.txt")}));
    EXPECT_TRUE(fakes.bookmarks->creations.isEmpty());

    const QList<QUrl> files{tree.url("folder-link"), url(text), QUrl("https://example.org/")};
    EXPECT_TRUE(dropOnto(table()->viewport(), files));
    EXPECT_EQ(storedPaths(Category::folders), QStringList{dropped});
    EXPECT_EQ(storedPaths(Category::documents), QStringList{text});
    EXPECT_TRUE(storedPaths(Category::applications).isEmpty());
    EXPECT_EQ(table()->model()->rowCount(), 2) << "listed at once";
    // Access to each dropped item is held around its adding.
    EXPECT_EQ(fakes.bookmarks->starts, files.first(2));
    EXPECT_EQ(fakes.bookmarks->stops, files.first(2));
}

TEST_F(FavoritesEditorTest, TheAddPanelChoosesSeveralOfAnyKindAndReloadsEvenWhenCancelled) {
    const QString picked = tree.add("Picked/"), later = tree.add("later.txt");
    open();
    // Changed elsewhere (a drop on the strip) while the editor is open: seen at the reload.
    favoritesStore(*services, Category::documents).add(url(tree.add("early.txt")));
    QTest::mouseClick(editor()->addButton(), Qt::LeftButton);
    ASSERT_EQ(fakes.dialogs->panels.size(), 1);
    const OpenPanelOptions& panel = fakes.dialogs->panels[0];
    EXPECT_TRUE(panel.canChooseFiles && panel.canChooseDirectories);
    EXPECT_TRUE(panel.allowsMultipleSelection);
    EXPECT_EQ(panel.parentWindow, editor()->editorWindow());
    EXPECT_EQ(column(1), QStringList{"early.txt"});

    fakes.dialogs->panelAnswers.enqueue(QList<QUrl>{url(picked), url(later)});
    editor()->handleAdd();
    EXPECT_EQ(storedPaths(Category::folders), QStringList{picked});
    EXPECT_EQ(table()->model()->rowCount(), 3);
}

// The name column can be dragged; the type column gives way, and the three always fill the
// table's width, with or without a scroll bar.
TEST_F(FavoritesEditorTest, TheColumnsFillTheTableWhateverTheNameColumnsWidth) {
    for (int i = 0; i < 20; ++i)
        storeFavorite(Category::documents, QStringLiteral("file %1.txt").arg(i), today(9, i));
    open();
    QHeaderView* header = table()->horizontalHeader();
    ASSERT_TRUE(table()->verticalScrollBar()->isVisible());
    for (int requested : {0, 10'000, 50}) {
        if (requested)
            header->resizeSection(1, requested);
        drainEvents();
        SCOPED_TRACE(requested);
        EXPECT_EQ(header->sectionSize(0) + header->sectionSize(1) + header->sectionSize(2),
                  table()->viewport()->width());
        EXPECT_GE(header->sectionSize(2), favoritesEditorColumns[2].minimumWidth);
        EXPECT_GE(header->sectionSize(1), favoritesEditorColumns[1].minimumWidth);
    }
}

TEST_F(FavoritesEditorTest, DoneTheCloseButtonOrTheControllerGoingReleasesTheEditor) {
    const std::function<void()> closers[] = {
        [&] { QTest::mouseClick(editor()->doneButton(), Qt::LeftButton); },
        [&] { editor()->editorWindow()->close(); },
        [&] { controller.reset(); },
    };
    for (const auto& close : closers) {
        QPointer<FavoritesEditWindowCoordinator> opened = open();
        ASSERT_TRUE(opened);
        close();
        drainEvents();
        EXPECT_FALSE(opened);
        EXPECT_EQ(visibleEditors(), 0);
    }
}

TEST_F(FavoritesEditorTest, DoubleClickingLaunchesAnApplicationAndOpensDocumentsAndFolders) {
    storeThree();
    open();
    doubleClickAt(rowCentre(0));
    EXPECT_EQ(fakes.workspace->launchedApplications, QList<QUrl>{url(app)});
    EXPECT_TRUE(fakes.workspace->openedURLs.isEmpty());
    doubleClickAt(rowCentre(2));
    doubleClickAt(rowCentre(1));
    EXPECT_EQ(fakes.workspace->openedURLs, (QList<QUrl>{url(doc), url(folder)}));
    const auto records = services->get<RecentDocumentsService>().loadPersistedRecords();
    ASSERT_EQ(records.size(), 1) << "the document becomes a recent document";
    EXPECT_EQ(records[0].path, doc);

    // Below the last row, or a row that no longer exists: nothing.
    doubleClickAt(QPoint(table()->viewport()->width() / 2, table()->viewport()->height() - 4));
    editor()->handleDoubleClick(3);
    editor()->handleDoubleClick(-1);
    EXPECT_EQ(fakes.workspace->openedURLs.size() + fakes.workspace->launchedApplications.size(), 3);
}
