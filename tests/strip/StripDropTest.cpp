#include "common/Services.h"
#include "fakes/FakeBookmarkService.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakePasteboard.h"
#include "fakes/FakeRecentItemsIndex.h"
#include "fakes/FakeRunningApplications.h"
#include "fakes/FakeScreens.h"
#include "fakes/FakeWindowDecorations.h"
#include "fakes/FakeWorkspace.h"
#include "favorites/FavoritesService.h"
#include "strip/StripContentView.h"
#include "strip/StripWindowController.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
class StripDropTest : public ::testing::Test {
protected:
    StripDropTest() {
        root = QFileInfo(dir.path()).canonicalFilePath();
        Platform p;
        p.defaults = std::make_shared<InMemoryUserDefaults>();
        p.screens = std::make_shared<FakeScreens>();
        p.windowDecorations = std::make_shared<FakeWindowDecorations>();
        p.fileSystem = fileSystem;
        p.bookmarks = std::make_shared<FakeBookmarkService>();
        p.workspace = std::make_shared<FakeWorkspace>();
        p.pasteboard = std::make_shared<FakePasteboard>();
        p.recentItemsIndex = std::make_shared<FakeRecentItemsIndex>();
        p.runningApplications = std::make_shared<FakeRunningApplications>();
        services = std::make_unique<Services>(p);
        controller = std::make_unique<StripWindowController>(*services);
    }

    QString makeFile(const QString& name, const QByteArray& content = "x") {
        QFile f(root + u'/' + name);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        return f.fileName();
    }
    QString makeDir(const QString& name) {
        EXPECT_TRUE(QDir(root).mkpath(name));
        return root + u'/' + name;
    }
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

    QTemporaryDir dir;
    QString root;
    std::shared_ptr<FakeFileSystem> fileSystem = std::make_shared<FakeFileSystem>();
    std::unique_ptr<Services> services;
    std::unique_ptr<StripWindowController> controller;
};
} // namespace

TEST_F(StripDropTest, EachDroppedItemJoinsTheFavoritesOfItsOwnKind) {
    const QString folder = makeDir("Projects");
    const QString entry = makeFile("editor.desktop", "[Desktop Entry]\nType=Application\n"
                                                     "Name=Editor\nExec=true\n");
    const QString text = makeFile("notes.txt");
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
    const QString folder = makeDir("real/Folder");
    const QString bundle = makeDir("Tool.APP");
    ASSERT_TRUE(QFile::link(root + "/real", root + "/link"));
    fileSystem->aliases.insert(root + "/alias-of-folder", folder);
    fileSystem->unresolvable.insert(makeFile("broken-alias"), {});
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
    const QString text = makeFile("notes.txt");
    for (StripModule m : {StripModule::clipboard, StripModule::windows, StripModule::shortcuts})
        controller->addDroppedFavorites(m, {QUrl::fromLocalFile(text)});
    for (FavoritesCategory c : allFavoritesCategories)
        EXPECT_TRUE(paths(c).isEmpty());
    controller->addDroppedFavorites(StripModule::folders, {QUrl::fromLocalFile(text)});
    EXPECT_EQ(paths(FavoritesCategory::documents), QStringList{text});
}
