#include "favorites/FavoritesService.h"
#include "strip/StripContentView.h"
#include "strip/StripWindowController.h"
#include "support/FakePlatform.h"
#include "support/TempTree.h"
#include "support/TestSupport.h"

#include <QDropEvent>
#include <QMimeData>
#include <gtest/gtest.h>

namespace {
class StripDropTest : public ::testing::Test {
protected:
    QStringList paths(FavoritesCategory category) {
        QStringList result;
        for (const FavoriteItem& item : favoritesStore(*services, category).favorites())
            result << item.url.toLocalFile();
        return result;
    }
    // Drops the URLs on the module's button of the shown strip, as the window system would.
    void dropOn(StripModule module, const QList<QUrl>& urls) {
        StripButton* button = controller->contentView()->button(module);
        QMimeData data;
        data.setUrls(urls);
        const QPointF centre = QRectF(button->rect()).center();
        QDragEnterEvent enter(centre.toPoint(), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(button, &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent drop(centre, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(button, &drop);
    }

    TempTree tree;
    const QString root = tree.root();
    FakePlatform fakes;
    std::shared_ptr<FakeFileSystem> fileSystem = fakes.fileSystem;
    std::unique_ptr<Services> services = fakes.makeServices();
    std::unique_ptr<StripWindowController> controller =
        std::make_unique<StripWindowController>(*services);
};
} // namespace

TEST_F(StripDropTest, EachDroppedItemJoinsTheFavoritesOfItsOwnKind) {
    const QString folder = tree.add("Projects/");
    const QString entry = tree.add("editor.desktop", "[Desktop Entry]\nType=Application\n"
                                                     "Name=Editor\nExec=true\n");
    const QString text = tree.add("notes.txt");
    controller->showStrip();
    dropOn(StripModule::applications,
           {QUrl::fromLocalFile(folder), QUrl::fromLocalFile(entry), QUrl::fromLocalFile(text)});
    // Added by a later task, not from inside the drop.
    EXPECT_TRUE(paths(FavoritesCategory::folders).isEmpty());
    drainEvents();
    EXPECT_EQ(paths(FavoritesCategory::folders), QStringList{folder});
    EXPECT_EQ(paths(FavoritesCategory::applications), QStringList{entry});
    EXPECT_EQ(paths(FavoritesCategory::documents), QStringList{text});
}

TEST_F(StripDropTest, DroppedItemsAreNormalisedBeforeTheyAreClassified) {
    const QString folder = tree.add("real/Folder/");
    const QString bundle = tree.add("Tool.APP/");
    tree.add("link -> real");
    fileSystem->aliases.insert(root + "/alias-of-folder", folder);
    fileSystem->unresolvable.insert(tree.add("broken-alias"), {});
    controller->showStrip();

    dropOn(StripModule::documents,
           {QUrl::fromLocalFile(root + "/link/Folder"), QUrl::fromLocalFile(bundle)});
    dropOn(StripModule::folders, {QUrl::fromLocalFile(root + "/alias-of-folder"),
                                  QUrl::fromLocalFile(root + "/broken-alias")});
    drainEvents();
    // The link and the alias lead to the same folder: one favorite.
    EXPECT_EQ(paths(FavoritesCategory::folders), QStringList{folder});
    EXPECT_EQ(paths(FavoritesCategory::applications), QStringList{bundle});
    EXPECT_EQ(paths(FavoritesCategory::documents), QStringList{root + "/broken-alias"});
}

TEST_F(StripDropTest, OnlyTheThreeFavoritesModulesAddAnything) {
    const QString text = tree.add("notes.txt");
    for (StripModule m : {StripModule::clipboard, StripModule::windows, StripModule::shortcuts})
        controller->addDroppedFavorites(m, {QUrl::fromLocalFile(text)});
    for (FavoritesCategory c : allFavoritesCategories)
        EXPECT_TRUE(paths(c).isEmpty());
    controller->addDroppedFavorites(StripModule::folders, {QUrl::fromLocalFile(text)});
    EXPECT_EQ(paths(FavoritesCategory::documents), QStringList{text});
}
