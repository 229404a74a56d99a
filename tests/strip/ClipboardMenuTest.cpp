#include "strip/ClipboardMenu.h"
#include "strip/ModuleMenusFixture.h"

#include <QBuffer>

namespace {
using ClipboardMenuTest = ModuleMenusTest;

PasteboardContents picture(const QImage& image) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return {std::nullopt, {}, {{PasteboardType::png, png}}};
}
} // namespace

TEST_F(ClipboardMenuTest, GroupsBySourceInHistoryOrderTitledByTheirNewestItem) {
    RunningApplication editor = makeRunningApplication("Editor", "org.example.Editor", "");
    editor.iconName = QStringLiteral("editor-icon");
    const RunningApplication paint = makeRunningApplication("Paint", "org.example.Paint", "");
    const auto copyText = [&](const char* name, const char* id, const char* words) {
        copyFrom(makeRunningApplication(name, id, ""), {QString::fromUtf8(words), {}, {}});
    };
    // Two-colour pictures are often stored as one-bit palette PNGs.
    QImage twoColours(720, 360, QImage::Format_Mono);
    twoColours.setColorTable({QColor(255, 165, 0).rgb(), QColor(Qt::black).rgb()});
    twoColours.fill(0);
    QImage small(40, 30, QImage::Format_RGB32);
    small.fill(Qt::red);
    // Oldest first: the history puts the newest on top.
    copyFrom(std::nullopt, {std::nullopt, {url("first.txt"), url("second.png")}, {}});
    copyFrom(editor, {QStringLiteral("second words"), {}, {}});
    copyFrom(paint, picture(twoColours));
    copyFrom(paint, picture(small));
    copyFrom(editor, {QStringLiteral("first words"), {}, {}});
    // An identifier groups whatever the name; without one, the name does.
    copyText("Named", "org.example.A", "named words");
    copyText("", "org.example.A", "unnamed words");
    copyText("Twin", "org.example.Twin1", "twin one");
    copyText("Twin", "org.example.Twin2", "twin two");
    copyText("Twin", "", "no identifier");

    const auto menu = controller->menuForModule(StripModule::clipboard);
    EXPECT_EQ(menuText(*menu),
              "Clipboard History (disabled)\nTwin >\n  no identifier\nTwin >\n  twin two\n"
              "Twin >\n  twin one\nOther Sources >\n  unnamed words\n  named words\nEditor >\n"
              "  first words\n  second words\nPaint >\n  Image (40 × 30)\n  Image (720 × 360)\n"
              "Other Sources >\n  2 Files\n----\nClear History\n");
    const QList<QAction*> groups = menu->actions();
    EXPECT_FALSE(groups[5]->icon().isNull()); // its application's icon
    EXPECT_TRUE(groups[6]->icon().isNull());
    // A picture fits 72 by 72 keeping its proportions and colours, and is never enlarged; its
    // submenu draws it that size. A file list shows its first file's icon.
    QMenu* pictures = groups[6]->menu();
    EXPECT_EQ(pictures->actions()[0]->icon().availableSizes(), QList<QSize>{QSize(40, 30)});
    const QIcon thumbnail = pictures->actions()[1]->icon();
    EXPECT_EQ(thumbnail.availableSizes(), QList<QSize>{QSize(72, 36)});
    EXPECT_EQ(thumbnail.pixmap(72, 36).toImage().pixelColor(36, 18), QColor(255, 165, 0));
    pictures->ensurePolished();
    EXPECT_GE(pictures->actionGeometry(pictures->actions()[1]).height(), 36);
    const QIcon files = groups[7]->menu()->actions()[0]->icon();
    EXPECT_EQ(files.availableSizes(), QList<QSize>{QSize(32, 32)});
    const QIcon first = fakes.workspace->iconForFile(tree.path("first.txt"));
    EXPECT_EQ(files.pixmap(32).toImage().pixelColor(16, 16),
              first.pixmap(16).toImage().pixelColor(8, 8));
}

TEST_F(ClipboardMenuTest, AnEntryPastesFromTheHistoryAsItIsWhenChosenAndClearingEmptiesIt) {
    copyFrom(std::nullopt, {QStringLiteral("older"), {}, {}});
    copyFrom(std::nullopt, {QStringLiteral("newer"), {}, {}});
    const auto menu = controller->menuForModule(StripModule::clipboard);
    const QList<QAction*> entries = menu->actions()[1]->menu()->actions();
    // The history shrank after the menu was built: the stale entry pastes nothing. Pasting a
    // live entry is checked through the real program (tests/e2e/test_apps.sh).
    clipboard.setItems({clipboard.items()[0]});
    entries[1]->trigger();
    menu->actions().last()->trigger();
    EXPECT_TRUE(clipboard.items().isEmpty());
    EXPECT_TRUE(fakes.pasteboard->writes.isEmpty()); // clearing leaves the clipboard alone
}
