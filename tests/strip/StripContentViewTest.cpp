#include "strip/StripContentView.h"
#include "strip/StripLayoutItem.h"
#include "support/DragDrop.h"
#include "support/TestSupport.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {
class StripContentViewTest : public ::testing::Test {
protected:
    InMemoryUserDefaults defaults;
    QList<StripModule> taps;
    QList<std::pair<StripModule, QList<QUrl>>> drops;
    int settingsOpened = 0;
    StripContentView view{defaults, [this](StripModule m) { taps << m; },
                          [this](StripModule m, const QList<QUrl>& urls) {
                              drops.append({m, urls});
                          },
                          [this] {
                              ++settingsOpened;
                          }};
};
} // namespace

// Menus open at fixed anchors; these must stay the middles of the buttons as laid out.
TEST_F(StripContentViewTest, MenuAnchorsAreTheButtonsMiddlesInBothOrientations) {
    view.show();
    for (const char* orientation : {"vertical", "horizontal"}) {
        stripOrientationKey.write(defaults, orientation);
        EXPECT_EQ(view.isHorizontal(), orientation == std::string("horizontal"));
        for (StripModule m : stripModuleAllCases) {
            SCOPED_TRACE(qPrintable(QString::fromLatin1(orientation) + u' ' + rawValue(m)));
            if (!hasButton(m)) {
                EXPECT_EQ(view.button(m), nullptr);
                EXPECT_FALSE(moduleAnchor(m, defaults));
                continue;
            }
            ASSERT_NE(view.button(m), nullptr);
            EXPECT_EQ(QRectF(view.button(m)->geometry()).center(), *moduleAnchor(m, defaults));
        }
    }
}

TEST_F(StripContentViewTest, EachButtonReportsItsOwnModuleOnALeftClickOnly) {
    view.show();
    for (StripModule m : {StripModule::windows, StripModule::applications, StripModule::clipboard,
                          StripModule::documents, StripModule::folders})
        QTest::mouseClick(view.button(m), Qt::LeftButton);
    QTest::mouseClick(view.button(StripModule::documents), Qt::RightButton);
    EXPECT_EQ(taps, (QList<StripModule>{StripModule::windows, StripModule::applications,
                                        StripModule::clipboard, StripModule::documents,
                                        StripModule::folders}));
    EXPECT_EQ(settingsOpened, 0);
    QTest::mouseClick(view.settingsButton(), Qt::LeftButton);
    EXPECT_EQ(settingsOpened, 1);
    EXPECT_EQ(taps.size(), 5);
}

TEST_F(StripContentViewTest, OnlyTheFavoritesButtonsTakeDroppedFilesAndOnlyTheFiles) {
    view.show();
    const QUrl file = QUrl::fromLocalFile("/tmp/a.txt");
    const QUrl web("https://example.org/");
    const struct {
        QWidget* target;
        QList<QUrl> urls;
        bool taken;
    } cases[] = {
        {view.button(StripModule::clipboard), {file}, false},
        {view.button(StripModule::windows), {file}, false},
        {view.settingsButton(), {file}, false},
        {view.button(StripModule::documents), {web}, false},
        {view.button(StripModule::folders), {web, file}, true},
        {view.button(StripModule::applications), {file, file}, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(dropOnto(c.target, c.urls), c.taken) << qPrintable(c.target->objectName());
    ASSERT_EQ(drops.size(), 2);
    EXPECT_EQ(drops[0], std::make_pair(StripModule::folders, QList<QUrl>{file}));
    EXPECT_EQ(drops[1], std::make_pair(StripModule::applications, QList<QUrl>{file, file}));
    EXPECT_TRUE(taps.isEmpty());
}

// A missing symbol would leave a blank button.
TEST_F(StripContentViewTest, EveryButtonDrawsItsSymbol) {
    view.show();
    const QImage strip = view.grab().toImage();
    for (QWidget* item : view.stackItems()) {
        if (!qobject_cast<StripSymbolButton*>(item))
            continue;
        const QImage image = strip.copy(item->geometry());
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                colours.insert(image.pixel(x, y));
        EXPECT_GT(colours.size(), 2) << qPrintable(item->objectName());
    }
}
