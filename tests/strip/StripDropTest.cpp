#include "favorites/FavoritesService.h"
#include "strip/StripContentView.h"
#include "strip/StripWindowController.h"
#include "support/DragDrop.h"
#include "support/FakePlatform.h"
#include "support/TempTree.h"
#include "support/TestSupport.h"

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
    void dropOn(StripModule module, const QStringList& paths) {
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls << QUrl::fromLocalFile(path);
        EXPECT_TRUE(dropOnto(controller->contentView()->button(module), urls));
    }

    TempTree tree;
    const QString root = tree.root();
    FakePlatform fakes;
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
    dropOn(StripModule::applications, {folder, entry, text});
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
    fakes.fileSystem->aliases.insert(root + "/alias-of-folder", folder);
    fakes.fileSystem->unresolvable.insert(tree.add("broken-alias"), {});
    controller->showStrip();

    dropOn(StripModule::documents, {root + "/link/Folder", bundle});
    dropOn(StripModule::folders, {root + "/alias-of-folder", root + "/broken-alias"});
    drainEvents();
    // The link and the alias lead to the same folder: one favorite.
    EXPECT_EQ(paths(FavoritesCategory::folders), QStringList{folder});
    EXPECT_EQ(paths(FavoritesCategory::applications), QStringList{bundle});
    EXPECT_EQ(paths(FavoritesCategory::documents), QStringList{root + "/broken-alias"});
}
