#include "strip/ClipboardMenu.h"
#include "clipboard/ClipboardHistoryService.h"
#include "common/Services.h"
#include "fakes/FakeBookmarkService.h"
#include "fakes/FakeBundle.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakePasteboard.h"
#include "fakes/FakeRunningApplications.h"
#include "fakes/FakeScreens.h"
#include "fakes/FakeWorkspace.h"
#include "strip/ModuleMenuItems.h"
#include "strip/StripWindowController.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QBuffer>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <gtest/gtest.h>

#include <memory>

namespace {

QByteArray pngOf(int width, int height, QColor color = Qt::red) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QString shown(const QAction* action) {
    return ModuleMenuItems::displayedText(action->text());
}

// The colour an icon draws in its middle.
QRgb middleColour(const QIcon& icon, int side) {
    const QImage image = icon.pixmap(QSize(side, side)).toImage();
    return image.pixel(image.width() / 2, image.height() / 2);
}

ClipboardItem textItem(const QString& text, std::optional<QString> name,
                       std::optional<QString> identifier) {
    ClipboardItem item;
    item.id = QUuid::createUuid();
    item.content = ClipboardPlainText{text};
    item.sourceAppName = std::move(name);
    item.sourceBundleIdentifier = std::move(identifier);
    return item;
}

class ClipboardMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        Platform p;
        p.bundle = std::make_shared<FakeBundle>();
        p.defaults = std::make_shared<InMemoryUserDefaults>();
        p.fileSystem = std::make_shared<FakeFileSystem>();
        p.bookmarks = std::make_shared<FakeBookmarkService>();
        p.workspace = workspace;
        p.runningApplications = running;
        p.pasteboard = pasteboard;
        p.screens = std::make_shared<FakeScreens>();
        services = std::make_unique<Services>(p);
        controller = std::make_unique<StripWindowController>(*services);
    }
    void TearDown() override {
        controller.reset();
        services.reset();
        drainEvents();
    }

    ClipboardHistoryService& history() { return services->get<ClipboardHistoryService>(); }
    std::unique_ptr<QMenu> clipboardMenu() {
        return controller->menuForModule(StripModule::clipboard);
    }

    // Another program copies while app is in front; the history notices on its next tick.
    void copyFrom(const std::optional<RunningApplication>& app, const PasteboardContents& what) {
        ClipboardHistoryService& watching = history(); // what was there before is not captured
        running->frontmost = app;
        pasteboard->copy(what);
        watching.checkPasteboard();
        ASSERT_TRUE(waitUntil([&] { return !watching.isCapturing(); }));
    }

    std::shared_ptr<FakeWorkspace> workspace = std::make_shared<FakeWorkspace>();
    std::shared_ptr<FakeRunningApplications> running = std::make_shared<FakeRunningApplications>();
    std::shared_ptr<FakePasteboard> pasteboard = std::make_shared<FakePasteboard>();
    std::unique_ptr<Services> services;
    std::unique_ptr<StripWindowController> controller;
};

TEST_F(ClipboardMenuTest, EmptyHistoryShowsOnlyTheHeaderAndTheEmptyState) {
    const auto menu = clipboardMenu();
    EXPECT_EQ(menu->title(), u"Clipboard");
    const QList<QAction*> items = menu->actions();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(shown(items[0]), qtTrId("strip.menu.recentClipboard"));
    EXPECT_EQ(shown(items[1]), qtTrId("strip.emptyState.noClipboardItems"));
    EXPECT_FALSE(items[0]->isEnabled());
    EXPECT_FALSE(items[1]->isEnabled());
}

TEST_F(ClipboardMenuTest, GroupsBySourceInHistoryOrderWithIndexTags) {
    RunningApplication a = makeRunningApplication("Editor", "org.example.Editor", "");
    a.iconName = QStringLiteral("editor-icon");
    const RunningApplication b = makeRunningApplication("Paint", "org.example.Paint", "");
    // Oldest first: the history puts the newest on top.
    copyFrom(std::nullopt, {std::nullopt, {QUrl::fromLocalFile("/tmp/report.pdf")}, {}});
    copyFrom(a, {QStringLiteral("second words"), {}, {}});
    copyFrom(b, {std::nullopt, {}, {{PasteboardType::png, pngOf(720, 360)}}});
    copyFrom(a, {QStringLiteral("first words"), {}, {}});
    ASSERT_EQ(history().items().size(), 4);

    const auto menu = clipboardMenu();
    const QList<QAction*> items = menu->actions();
    ASSERT_EQ(items.size(), 6);
    EXPECT_EQ(shown(items[0]), qtTrId("strip.menu.recentClipboard"));
    struct Expected {
        QString title;
        QList<int> tags;
        QStringList entries;
    };
    const QList<Expected> groups{
        {"Editor", {0, 2}, {"first words", "second words"}},
        {"Paint", {1}, {qtTrId("strip.clipboard.imagePreview").arg("720", "360")}},
        {qtTrId("strip.clipboard.otherSource"), {3}, {"report.pdf"}},
    };
    for (int g = 0; g < 3; ++g) {
        QAction* groupItem = items[1 + g];
        SCOPED_TRACE(groups[g].title.toStdString());
        EXPECT_EQ(shown(groupItem), groups[g].title);
        ASSERT_TRUE(groupItem->menu());
        EXPECT_EQ(groupItem->menu()->title(), groups[g].title);
        QList<int> tags;
        QStringList entries;
        for (QAction* entry : groupItem->menu()->actions()) {
            tags << clipboardItemTag(entry).value_or(-1);
            entries << shown(entry);
            EXPECT_TRUE(entry->isEnabled());
        }
        EXPECT_EQ(tags, groups[g].tags);
        EXPECT_EQ(entries, groups[g].entries);
    }
    // The group's image is its first item's application icon, at 16; none without one.
    ASSERT_FALSE(items[1]->icon().isNull());
    EXPECT_EQ(items[1]->icon().availableSizes(), QList<QSize>({QSize(16, 16)}));
    EXPECT_EQ(middleColour(items[1]->icon(), 16),
              middleColour(workspace->iconForName("editor-icon"), 16));
    EXPECT_TRUE(items[2]->icon().isNull());
    EXPECT_TRUE(items[4]->isSeparator());
    EXPECT_EQ(shown(items[5]), qtTrId("strip.menu.clearRecents"));
    EXPECT_FALSE(items[5]->icon().isNull());

    // Text has no preview; the picture fits 72 by 72 keeping its proportions.
    EXPECT_TRUE(items[1]->menu()->actions()[0]->icon().isNull());
    const QIcon thumbnail = items[2]->menu()->actions()[0]->icon();
    EXPECT_EQ(thumbnail.availableSizes(), QList<QSize>({QSize(72, 36)}));
    EXPECT_EQ(QColor(middleColour(thumbnail, 72)), QColor(Qt::red));
    // The submenu draws it at that size rather than at the usual 16.
    QMenu* pictures = items[2]->menu();
    pictures->ensurePolished();
    EXPECT_GE(pictures->actionGeometry(pictures->actions()[0]).height(), 36);
}

TEST_F(ClipboardMenuTest, GroupKeysAndTitlesComeFromTheFirstItem) {
    QList<ClipboardItem> items{
        textItem("1", std::nullopt, QStringLiteral("org.example.A")),
        textItem("2", QStringLiteral("Named later"), QStringLiteral("org.example.A")),
        textItem("3", QStringLiteral("Twin"), QStringLiteral("org.example.Twin1")),
        textItem("4", QStringLiteral("Twin"), QStringLiteral("org.example.Twin2")),
        textItem("5", QStringLiteral("Twin"), std::nullopt),
        textItem("6", std::nullopt, std::nullopt),
        textItem("7", QStringLiteral("Twin"), std::nullopt),
    };
    const QList<ClipboardMenuGroup> groups = groupClipboardItems(items, QStringLiteral("Other"));
    QStringList seen;
    for (const ClipboardMenuGroup& group : groups) {
        QStringList indexes;
        for (const auto& [index, item] : group.entries)
            indexes << QString::number(index);
        seen << group.key + u'=' + group.title + u':' + indexes.join(u',');
    }
    EXPECT_EQ(seen,
              QStringList({"org.example.A=Other:0,1", "org.example.Twin1=Twin:2",
                           "org.example.Twin2=Twin:3", "Twin=Twin:4,6", "__other__=Other:5"}));
}

TEST_F(ClipboardMenuTest, PreviewsOfSmallPicturesAndFileLists) {
    copyFrom(std::nullopt,
             {std::nullopt,
              {QUrl::fromLocalFile("/tmp/first.txt"), QUrl::fromLocalFile("/tmp/second.png")},
              {}});
    copyFrom(std::nullopt, {std::nullopt, {}, {{PasteboardType::png, pngOf(40, 30)}}});
    const auto menu = clipboardMenu();
    QMenu* other = menu->actions()[1]->menu();
    ASSERT_TRUE(other);
    ASSERT_EQ(other->actions().size(), 2);
    EXPECT_EQ(other->actions()[0]->icon().availableSizes(), QList<QSize>({QSize(40, 30)}));
    const QIcon files = other->actions()[1]->icon();
    EXPECT_EQ(shown(other->actions()[1]), qtTrId("strip.clipboard.filesPreview").arg("2"));
    EXPECT_EQ(files.availableSizes(), QList<QSize>({QSize(32, 32)}));
    EXPECT_EQ(middleColour(files, 32), middleColour(workspace->iconForFile("/tmp/first.txt"), 32));
}

TEST_F(ClipboardMenuTest, ThumbnailsKeepThePaletteColours) {
    // Two-colour pictures are often stored as one-bit palette PNGs.
    QImage twoColours(720, 360, QImage::Format_Mono);
    twoColours.setColorTable({QColor(255, 165, 0).rgb(), QColor(Qt::black).rgb()});
    twoColours.fill(0);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(twoColours.save(&buffer, "PNG"));
    copyFrom(std::nullopt, {std::nullopt, {}, {{PasteboardType::png, png}}});

    const auto menu = clipboardMenu();
    const QIcon thumbnail = menu->actions()[1]->menu()->actions()[0]->icon();
    EXPECT_EQ(thumbnail.availableSizes(), QList<QSize>({QSize(72, 36)}));
    EXPECT_EQ(QColor(middleColour(thumbnail, 72)), QColor(255, 165, 0));
}

TEST_F(ClipboardMenuTest, PastingUsesTheHistoryAsItIsWhenChosen) {
    copyFrom(std::nullopt, {QStringLiteral("older"), {}, {}});
    copyFrom(std::nullopt, {QStringLiteral("newer"), {}, {}});
    auto menu = clipboardMenu();
    QMenu* entries = menu->actions()[1]->menu();
    ASSERT_EQ(entries->actions().size(), 2);
    const QList<QUuid> before{history().items()[0].id, history().items()[1].id};

    entries->actions()[1]->trigger();
    ASSERT_EQ(pasteboard->writes.size(), 1);
    EXPECT_EQ(pasteboard->writes.last().text, u"older");
    // The paste is not a new copy and moves nothing.
    history().checkPasteboard();
    drainEvents();
    EXPECT_EQ(QList<QUuid>({history().items()[0].id, history().items()[1].id}), before);

    // The history shrank after the menu was built: the stale entry pastes nothing.
    history().setItems({history().items()[0]});
    entries->actions()[1]->trigger();
    EXPECT_EQ(pasteboard->writes.size(), 1);
    entries->actions()[0]->trigger();
    EXPECT_EQ(pasteboard->writes.size(), 2);
    EXPECT_EQ(pasteboard->writes.last().text, u"newer");

    // An item without a tag pastes nothing either.
    QAction stray;
    stray.setData(QStringLiteral("0"));
    controller->pasteClipboardItem(&stray);
    controller->pasteClipboardItem(nullptr);
    EXPECT_EQ(pasteboard->writes.size(), 2);
}

TEST_F(ClipboardMenuTest, ClearingEmptiesTheHistoryOnly) {
    copyFrom(std::nullopt, {QStringLiteral("words"), {}, {}});
    const auto menu = clipboardMenu();
    menu->actions().last()->trigger();
    EXPECT_TRUE(history().items().isEmpty());
    EXPECT_EQ(clipboardMenu()->actions().size(), 2);
    EXPECT_TRUE(pasteboard->writes.isEmpty());
    // What comes next is captured as usual.
    copyFrom(std::nullopt, {QStringLiteral("again"), {}, {}});
    EXPECT_EQ(history().items().size(), 1);
}

} // namespace
