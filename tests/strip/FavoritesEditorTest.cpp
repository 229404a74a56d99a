#include "common/Dates.h"
#include "common/Services.h"
#include "fakes/FakeBookmarkService.h"
#include "fakes/FakeDialogs.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakeRecentItemsIndex.h"
#include "fakes/FakeRunningApplications.h"
#include "fakes/FakeScreens.h"
#include "fakes/FakeWorkspace.h"
#include "favorites/FavoritesService.h"
#include "history/RecentDocumentsService.h"
#include "strip/FavoritesDropTableView.h"
#include "strip/FavoritesEditWindowCoordinator.h"
#include "strip/ModuleMenuItems.h"
#include "strip/StripWindowController.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {
using Category = FavoritesCategory;

QDateTime today(int hour, int minute) {
    return QDateTime(QDate::currentDate(), QTime(hour, minute));
}

// The events of a double click as the window system delivers them.
void doubleClickAt(QAbstractItemView* view, const QPoint& at) {
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at);
}

class FavoritesEditorTest : public ::testing::Test {
protected:
    FavoritesEditorTest() {
        root = QFileInfo(dir.path()).canonicalFilePath();
        platform.defaults = defaults;
        platform.screens = std::make_shared<FakeScreens>();
        platform.fileSystem = std::make_shared<FakeFileSystem>();
        platform.bookmarks = bookmarks;
        platform.workspace = workspace;
        platform.dialogs = dialogs;
        platform.runningApplications = running;
        platform.recentItemsIndex = std::make_shared<FakeRecentItemsIndex>();
        services = std::make_unique<Services>(platform);
    }
    ~FavoritesEditorTest() override {
        owner.reset();
        drainEvents();
    }

    QString makeFile(const QString& name) {
        QFile f(root + u'/' + name);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
        return f.fileName();
    }
    QString makeDir(const QString& name) {
        EXPECT_TRUE(QDir(root).mkpath(name));
        return root + u'/' + name;
    }
    static QUrl url(const QString& path) { return QUrl::fromLocalFile(path); }

    // A favorite stored as an earlier run would have left it, before the stores load.
    void storeFavorite(Category category, const QString& path, const QDateTime& addedAt) {
        const QString key = rawValue(category);
        QVariantList list = defaults->arrayForKey(key).value_or(QVariantList());
        list << FakeBookmarkService::blobFor(url(path), true);
        defaults->setObject(key, list);
        QVariantList times =
            defaults->arrayForKey(key + QStringLiteral("AddedAt")).value_or(QVariantList());
        times << secondsSince1970(addedAt);
        defaults->setObject(key + QStringLiteral("AddedAt"), times);
    }
    QStringList storedPaths(Category category) {
        QStringList paths;
        for (const FavoriteItem& item : favoritesStore(*services, category).favorites())
            paths << item.url.toLocalFile();
        return paths;
    }

    FavoritesEditWindowCoordinator* open() {
        auto* editor =
            FavoritesEditWindowCoordinator::openFavoritesEditor(current, *services, owner.get(),
                                                                {[this](const QUrl& u, Category c) {
                                                                     opened.append({u, c});
                                                                 },
                                                                 [this](const QUrl& u) {
                                                                     launched << u;
                                                                 }});
        drainEvents();
        return editor;
    }
    static QStringList column(const FavoritesEditWindowCoordinator& editor, int column) {
        QStringList values;
        const QAbstractItemModel* model = editor.tableView()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            values << model->index(row, column).data().toString();
        return values;
    }
    static QList<QWidget*> visibleEditors() {
        QList<QWidget*> found;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->windowTitle() == QStringLiteral("Edit Favorites"))
                found << w;
        return found;
    }
    // Sends a drag over the table and then drops it, as the window system would.
    struct DragOutcome {
        bool entered, moved, dropped;
    };
    static DragOutcome drag(FavoritesEditWindowCoordinator& editor, QMimeData& data) {
        QWidget* target = editor.tableView()->viewport();
        const QPoint at = target->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::LinkAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        enter.setAccepted(false);
        QCoreApplication::sendEvent(target, &enter);
        const bool entered = enter.isAccepted() && enter.dropAction() == Qt::CopyAction;
        QDragMoveEvent move(at, Qt::CopyAction | Qt::LinkAction, &data, Qt::LeftButton,
                            Qt::NoModifier);
        move.setAccepted(false);
        QCoreApplication::sendEvent(target, &move);
        const bool moved = move.isAccepted() && move.dropAction() == Qt::CopyAction;
        QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::LinkAction, &data, Qt::LeftButton,
                        Qt::NoModifier);
        drop.setAccepted(false);
        QCoreApplication::sendEvent(target, &drop);
        return {entered, moved, drop.isAccepted()};
    }

    QTemporaryDir dir;
    QString root;
    std::shared_ptr<InMemoryUserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
    std::shared_ptr<FakeBookmarkService> bookmarks = std::make_shared<FakeBookmarkService>();
    std::shared_ptr<FakeWorkspace> workspace = std::make_shared<FakeWorkspace>();
    std::shared_ptr<FakeDialogs> dialogs = std::make_shared<FakeDialogs>();
    std::shared_ptr<FakeRunningApplications> running = std::make_shared<FakeRunningApplications>();
    Platform platform;
    std::unique_ptr<Services> services;
    std::unique_ptr<QObject> owner = std::make_unique<QObject>();
    QPointer<FavoritesEditWindowCoordinator> current;
    QList<std::pair<QUrl, Category>> opened;
    QList<QUrl> launched;
};
} // namespace

TEST_F(FavoritesEditorTest, OpeningAgainLeavesOneEditorListingAllThreeCategories) {
    const QString doc = makeFile(QStringLiteral("Plan.txt"));
    const QString folder = makeDir(QStringLiteral("Projects"));
    const QString app = makeFile(QStringLiteral("Viewer.app"));
    storeFavorite(Category::documents, doc, today(9, 0));
    storeFavorite(Category::folders, folder, today(9, 1));
    storeFavorite(Category::applications, app, today(9, 2));

    // From the folders menu, then from the documents menu.
    QPointer<FavoritesEditWindowCoordinator> first = open();
    ASSERT_TRUE(first);
    QPointer<QWidget> firstWindow = first->editorWindow();
    EXPECT_TRUE(firstWindow->isVisible());
    QPointer<FavoritesEditWindowCoordinator> second = open();
    drainEvents();
    EXPECT_FALSE(first) << "the first editor was not released";
    EXPECT_FALSE(firstWindow);
    ASSERT_TRUE(second);
    EXPECT_EQ(current, second);
    EXPECT_EQ(visibleEditors(), QList<QWidget*>{second->editorWindow()});
    EXPECT_EQ(column(*second, 2),
              (QStringList{QStringLiteral("Application"), QStringLiteral("Folder"),
                           QStringLiteral("Document")}));
    EXPECT_EQ(column(*second, 1), (QStringList{QStringLiteral("Viewer"), QStringLiteral("Projects"),
                                               QStringLiteral("Plan.txt")}));
    // Each opening brings the program to the front, before the window and again with it.
    EXPECT_EQ(running->currentApplicationActivations, 4);

    // The window: fixed 560 by 440, titled, closable, minimisable, above the strip, centred
    // on the main screen's visible area (875 high below a 25-point bar, in a 900-high screen).
    QWidget* window = second->editorWindow();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Edit Favorites"));
    EXPECT_EQ(window->size(), QSize(560, 440));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(window->testAttribute(Qt::WA_DeleteOnClose));
    // (Within the frame the platform may draw around it.)
    EXPECT_LE((window->geometry().center() - QPoint(719, 462)).manhattanLength(), 4);

    // The content from top to bottom: the hint, the table, the button row.
    QLabel* hint = second->hintLabel();
    EXPECT_EQ(hint->text(), QStringLiteral("Drag documents, folders or applications here, or "
                                           "click + to add them. Double-click an item to "
                                           "open it."));
    EXPECT_TRUE(hint->wordWrap());
    EXPECT_LT(hint->font().pointSizeF(), QApplication::font().pointSizeF());
    EXPECT_EQ(hint->geometry().top(), 12);
    EXPECT_EQ(hint->contentsRect().translated(hint->pos()).left(), 16);
    FavoritesDropTableView* table = second->tableView();
    EXPECT_EQ(table->geometry().left(), 12);
    EXPECT_EQ(table->geometry().right(), 560 - 12 - 1);
    EXPECT_EQ(table->geometry().top(), hint->geometry().bottom() + 1 + 8);
    EXPECT_EQ(second->doneButton()->geometry().right(), 560 - 12 - 1);
    EXPECT_EQ(second->addButton()->geometry().left(), 12);
    EXPECT_EQ(second->removeButton()->geometry().left(),
              second->addButton()->geometry().right() + 1 + 10);
    EXPECT_LE(second->doneButton()->geometry().bottom(), 440 - 12 - 1);
    EXPECT_GE(second->doneButton()->height(), 28);
    EXPECT_EQ(table->geometry().bottom() + 1 + 10, second->doneButton()->geometry().top());

    // The table: three columns with their identifiers and widths, rows 28 high.
    QHeaderView* header = table->horizontalHeader();
    ASSERT_EQ(table->model()->columnCount(), 3);
    QStringList identifiers, titles;
    for (int c = 0; c < 3; ++c) {
        identifiers << table->model()
                           ->headerData(c, Qt::Horizontal, FavoritesTableModel::identifierRole)
                           .toString();
        titles << table->model()->headerData(c, Qt::Horizontal).toString();
    }
    EXPECT_EQ(identifiers, (QStringList{QStringLiteral("icon"), QStringLiteral("name"),
                                        QStringLiteral("type")}));
    EXPECT_EQ(titles, (QStringList{QString(), QStringLiteral("Name"), QStringLiteral("Type")}));
    EXPECT_EQ(header->sectionSize(0), 40);
    EXPECT_EQ(header->sectionSize(2), 110);
    EXPECT_EQ(header->sectionSize(1), table->viewport()->width() - 150);
    EXPECT_GE(header->sectionSize(1), 200);
    EXPECT_EQ(table->rowHeight(0), 28);
    EXPECT_TRUE(table->alternatingRowColors());
    EXPECT_EQ(table->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(table->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(table->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    EXPECT_FALSE(table->model()->index(0, 0).data(Qt::DecorationRole).value<QIcon>().isNull());

    // Only the last column gives way when the name column is widened, down to its minimum.
    header->resizeSection(1, 10'000);
    drainEvents();
    EXPECT_EQ(header->sectionSize(2), 88);
    header->resizeSection(1, 50);
    drainEvents();
    EXPECT_EQ(header->sectionSize(1), 200);
    EXPECT_EQ(header->sectionSize(2), table->viewport()->width() - 240);

    // The buttons: symbols with their accessibility texts and tooltips, and Done.
    EXPECT_FALSE(second->addButton()->icon().isNull());
    EXPECT_TRUE(second->addButton()->text().isEmpty());
    EXPECT_EQ(second->addButton()->accessibleName(), QStringLiteral("Add Favorite"));
    EXPECT_EQ(second->addButton()->toolTip(), QStringLiteral("Add favorites…"));
    EXPECT_FALSE(second->removeButton()->icon().isNull());
    EXPECT_EQ(second->removeButton()->accessibleName(), QStringLiteral("Remove Favorite"));
    EXPECT_EQ(second->removeButton()->toolTip(), QStringLiteral("Remove the selected favorites"));
    EXPECT_EQ(second->doneButton()->text(), QStringLiteral("Done"));
}

TEST_F(FavoritesEditorTest, RowsAreNewestFirstAndEqualTimesKeepTheCategoryOrder) {
    const QString doc = makeFile(QStringLiteral("a.txt"));
    const QString app = makeFile(QStringLiteral("Viewer.app"));
    const QString folder = makeDir(QStringLiteral("Work"));
    const QString sameTime = makeFile(QStringLiteral("b.txt"));
    storeFavorite(Category::documents, doc, today(10, 0));
    storeFavorite(Category::applications, app, today(10, 5));
    storeFavorite(Category::folders, folder, today(10, 2));
    open();
    ASSERT_TRUE(current);
    EXPECT_EQ(column(*current, 1), (QStringList{QStringLiteral("Viewer"), QStringLiteral("Work"),
                                                QStringLiteral("a.txt")}));
    ASSERT_EQ(current->unifiedRows().size(), 3);
    EXPECT_EQ(current->unifiedRows()[0].category, Category::applications);
    EXPECT_EQ(current->unifiedRows()[0].item.addedAt, today(10, 5));

    // A document added at the folder's time is listed before it: documents come first.
    services = std::make_unique<Services>(platform);
    storeFavorite(Category::documents, sameTime, today(10, 2));
    open();
    EXPECT_EQ(column(*current, 1), (QStringList{QStringLiteral("Viewer"), QStringLiteral("b.txt"),
                                                QStringLiteral("Work"), QStringLiteral("a.txt")}));
}

TEST_F(FavoritesEditorTest, RemovingSelectedRowsTakesEachFromItsOwnStore) {
    const QString doc = makeFile(QStringLiteral("a.txt"));
    const QString app = makeFile(QStringLiteral("Viewer.app"));
    const QString folder = makeDir(QStringLiteral("Work"));
    storeFavorite(Category::documents, doc, today(10, 0));
    storeFavorite(Category::applications, app, today(10, 5));
    storeFavorite(Category::folders, folder, today(10, 2));
    open();
    ASSERT_TRUE(current);
    FavoritesDropTableView* table = current->tableView();
    EXPECT_FALSE(current->removeButton()->isEnabled());

    // Select the application and then, with Ctrl, the document.
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                      table->visualRect(table->model()->index(0, 1)).center());
    EXPECT_TRUE(current->removeButton()->isEnabled());
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      table->visualRect(table->model()->index(2, 1)).center());
    ASSERT_EQ(table->selectionModel()->selectedRows().size(), 2);
    QTest::mouseClick(current->removeButton(), Qt::LeftButton);

    EXPECT_TRUE(storedPaths(Category::documents).isEmpty());
    EXPECT_TRUE(storedPaths(Category::applications).isEmpty());
    EXPECT_EQ(storedPaths(Category::folders), QStringList{folder});
    EXPECT_EQ(defaults->arrayForKey(rawValue(Category::documents))->size(), 0);
    EXPECT_EQ(column(*current, 1), QStringList{QStringLiteral("Work")});
    EXPECT_FALSE(current->removeButton()->isEnabled());

    // Nothing selected: nothing happens.
    current->handleRemove();
    EXPECT_EQ(storedPaths(Category::folders), QStringList{folder});
}

TEST_F(FavoritesEditorTest, DroppedFilesJoinTheirOwnStoresAndOtherDragsAreRefused) {
    const QString folder = makeDir(QStringLiteral("Drop Folder"));
    const QString text = makeFile(QStringLiteral("notes.txt"));
    ASSERT_TRUE(QFile::link(folder, root + QStringLiteral("/folder-link")));
    open();
    ASSERT_TRUE(current);
    ASSERT_EQ(current->tableView()->model()->rowCount(), 0);

    // Plain text, even text that looks like a file URL, and web links are refused.
    QMimeData plain;
    plain.setText(url(text).toString());
    DragOutcome outcome = drag(*current, plain);
    EXPECT_FALSE(outcome.entered);
    EXPECT_FALSE(outcome.moved);
    EXPECT_FALSE(outcome.dropped);
    QMimeData web;
    web.setUrls({QUrl(QStringLiteral("https://example.org/a.txt"))});
    outcome = drag(*current, web);
    EXPECT_FALSE(outcome.entered || outcome.moved || outcome.dropped);
    EXPECT_EQ(current->tableView()->model()->rowCount(), 0);
    EXPECT_TRUE(bookmarks->creations.isEmpty());

    // A folder through a link and a text file: one folder and one document favorite.
    QMimeData files;
    files.setUrls({url(root + QStringLiteral("/folder-link")), url(text),
                   QUrl(QStringLiteral("https://example.org/"))});
    outcome = drag(*current, files);
    EXPECT_TRUE(outcome.entered);
    EXPECT_TRUE(outcome.moved);
    EXPECT_TRUE(outcome.dropped);
    EXPECT_EQ(storedPaths(Category::folders), QStringList{folder});
    EXPECT_EQ(storedPaths(Category::documents), QStringList{text});
    EXPECT_TRUE(storedPaths(Category::applications).isEmpty());
    // Listed at once; access to each dropped item was held around its adding.
    EXPECT_EQ(current->tableView()->model()->rowCount(), 2);
    EXPECT_EQ(bookmarks->starts,
              (QList<QUrl>{url(root + QStringLiteral("/folder-link")), url(text)}));
    EXPECT_EQ(bookmarks->stops, bookmarks->starts);
}

TEST_F(FavoritesEditorTest, TheAddPanelIsASheetAndReloadsWhetherConfirmedOrCancelled) {
    const QString early = makeFile(QStringLiteral("early.txt"));
    const QString later = makeFile(QStringLiteral("later.txt"));
    const QString picked = makeDir(QStringLiteral("Picked"));
    open();
    ASSERT_TRUE(current);
    const int activations = running->currentApplicationActivations;

    // Changed elsewhere (a drop on the strip) while the editor is open: seen at the next reload.
    favoritesStore(*services, Category::documents).add(url(early));
    EXPECT_EQ(current->tableView()->model()->rowCount(), 0);
    QTest::mouseClick(current->addButton(), Qt::LeftButton);
    ASSERT_EQ(dialogs->panels.size(), 1);
    const OpenPanelOptions& panel = dialogs->panels[0];
    EXPECT_TRUE(panel.canChooseFiles);
    EXPECT_TRUE(panel.canChooseDirectories);
    EXPECT_TRUE(panel.allowsMultipleSelection);
    EXPECT_FALSE(panel.canCreateDirectories);
    EXPECT_EQ(panel.parentWindow, current->editorWindow());
    EXPECT_EQ(running->currentApplicationActivations, activations + 1);
    EXPECT_EQ(column(*current, 1), QStringList{QStringLiteral("early.txt")});

    // Confirmed: every chosen item goes to its own store.
    dialogs->panelAnswers.enqueue(QList<QUrl>{url(picked), url(later)});
    current->handleAdd();
    EXPECT_EQ(storedPaths(Category::folders), QStringList{picked});
    EXPECT_EQ(current->tableView()->model()->rowCount(), 3);

    // Enough rows for a scroll bar: the type column gives it the room, the name column keeps
    // its width.
    FavoritesDropTableView* table = current->tableView();
    QHeaderView* header = table->horizontalHeader();
    const int nameWidth = header->sectionSize(1);
    QList<QUrl> many;
    for (int i = 0; i < 20; ++i)
        many << url(makeFile(QStringLiteral("file %1.txt").arg(i)));
    dialogs->panelAnswers.enqueue(many);
    current->handleAdd();
    drainEvents();
    EXPECT_EQ(table->model()->rowCount(), 23);
    ASSERT_TRUE(table->verticalScrollBar()->isVisible());
    EXPECT_EQ(header->sectionSize(1), nameWidth);
    EXPECT_EQ(header->sectionSize(0) + header->sectionSize(1) + header->sectionSize(2),
              table->viewport()->width());
    EXPECT_GE(header->sectionSize(2), 88);
    EXPECT_LT(header->sectionSize(2), 110);
}

TEST_F(FavoritesEditorTest, ReturnOrDoneOrTheCloseButtonClosesAndReleasesTheEditor) {
    open();
    ASSERT_TRUE(current);
    QPointer<QWidget> window = current->editorWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    current->tableView()->setFocus();
    QTest::keyClick(current->tableView(), Qt::Key_Return);
    drainEvents();
    EXPECT_FALSE(current);
    EXPECT_FALSE(window);
    EXPECT_TRUE(visibleEditors().isEmpty());

    open();
    ASSERT_TRUE(current);
    QTest::mouseClick(current->doneButton(), Qt::LeftButton);
    drainEvents();
    EXPECT_FALSE(current);

    open();
    ASSERT_TRUE(current);
    current->editorWindow()->close();
    drainEvents();
    EXPECT_FALSE(current);

    // The editor goes with the strip controller that owns it.
    open();
    ASSERT_TRUE(current);
    owner.reset();
    EXPECT_FALSE(current);
    EXPECT_TRUE(visibleEditors().isEmpty());
}

TEST_F(FavoritesEditorTest, DoubleClickingLaunchesAnApplicationAndOpensADocument) {
    const QString doc = makeFile(QStringLiteral("Plan.txt"));
    const QString app = makeFile(QStringLiteral("Viewer.app"));
    const QString folder = makeDir(QStringLiteral("Work"));
    storeFavorite(Category::documents, doc, today(10, 0));
    storeFavorite(Category::applications, app, today(10, 5));
    storeFavorite(Category::folders, folder, today(10, 2));
    open();
    ASSERT_TRUE(current);
    FavoritesDropTableView* table = current->tableView();
    auto doubleClick = [&](int row) {
        doubleClickAt(table, table->visualRect(table->model()->index(row, 1)).center());
    };

    doubleClick(0);
    EXPECT_EQ(launched, QList<QUrl>{url(app)});
    EXPECT_TRUE(opened.isEmpty());
    doubleClick(2);
    doubleClick(1);
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened[0], std::make_pair(url(doc), Category::documents));
    EXPECT_EQ(opened[1], std::make_pair(url(folder), Category::folders));
    EXPECT_EQ(launched.size(), 1);

    // Below the last row, or a row that no longer exists: nothing.
    doubleClickAt(table, QPoint(table->viewport()->width() / 2, table->viewport()->height() - 4));
    current->handleDoubleClick(3);
    current->handleDoubleClick(-1);
    EXPECT_EQ(opened.size() + launched.size(), 3);
}

// The strip controller's edit items, and what a double click opens through it.
TEST_F(FavoritesEditorTest, TheMenusEditItemsOpenOneEditorThatOpensThroughTheController) {
    const QString doc = makeFile(QStringLiteral("Plan.txt"));
    const QString app = makeFile(QStringLiteral("Viewer.app"));
    const QString folder = makeDir(QStringLiteral("Work"));
    storeFavorite(Category::documents, doc, today(10, 0));
    storeFavorite(Category::applications, app, today(10, 5));
    storeFavorite(Category::folders, folder, today(10, 2));
    StripWindowController controller(*services);
    auto chooseEditItem = [&](StripModule module) {
        const std::unique_ptr<QMenu> menu = controller.menuForModule(module);
        QAction* edit = menu->actions().isEmpty() ? nullptr : menu->actions().last();
        ASSERT_TRUE(edit);
        ASSERT_EQ(ModuleMenuItems::displayedText(edit->text()), QStringLiteral("Edit Favorites…"));
        edit->trigger();
        drainEvents();
    };

    chooseEditItem(StripModule::folders);
    QPointer<FavoritesEditWindowCoordinator> first = controller.favoritesEditWindowCoordinator;
    ASSERT_TRUE(first);
    chooseEditItem(StripModule::documents);
    drainEvents();
    EXPECT_FALSE(first);
    FavoritesEditWindowCoordinator* editor = controller.favoritesEditWindowCoordinator;
    ASSERT_TRUE(editor);
    EXPECT_EQ(visibleEditors(), QList<QWidget*>{editor->editorWindow()});
    EXPECT_EQ(column(*editor, 2),
              (QStringList{QStringLiteral("Application"), QStringLiteral("Folder"),
                           QStringLiteral("Document")}));

    // The application launches; the document opens with its default handler and becomes a
    // recent document.
    FavoritesDropTableView* table = editor->tableView();
    doubleClickAt(table, table->visualRect(table->model()->index(0, 1)).center());
    EXPECT_EQ(workspace->launchedApplications, QList<QUrl>{url(app)});
    doubleClickAt(table, table->visualRect(table->model()->index(2, 1)).center());
    EXPECT_EQ(workspace->openedURLs, QList<QUrl>{url(doc)});
    const auto records = services->get<RecentDocumentsService>().loadPersistedRecords();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].path, doc);

    // Closing releases it, and the controller's field with it.
    editor->handleDone();
    drainEvents();
    EXPECT_FALSE(controller.favoritesEditWindowCoordinator);
    EXPECT_TRUE(visibleEditors().isEmpty());
}

TEST_F(FavoritesEditorTest, WithNoFavoritesTheTableIsEmptyAndRemoveDisabled) {
    open();
    ASSERT_TRUE(current);
    EXPECT_EQ(current->tableView()->model()->rowCount(), 0);
    EXPECT_TRUE(current->unifiedRows().isEmpty());
    EXPECT_FALSE(current->removeButton()->isEnabled());
    QTest::mouseClick(current->removeButton(), Qt::LeftButton);
    EXPECT_EQ(current->tableView()->model()->rowCount(), 0);
    // The model answers nothing outside its rows.
    EXPECT_FALSE(current->tableView()->model()->index(0, 1).isValid());
    EXPECT_FALSE(current->tableView()->model()->headerData(3, Qt::Horizontal).isValid());
}
