#include "strip/StripContentView.h"
#include "fakes/FakeWindowDecorations.h"
#include "strip/StripLayoutItem.h"
#include "support/DragDrop.h"
#include "support/TestSupport.h"

#include <QtTest>
#include <gtest/gtest.h>

namespace {
struct StripContentViewTest : ::testing::Test {
    StripContentViewTest() {
        QObject::connect(&view, &StripContentView::filesDropped, [this](auto m, auto urls) {
            drops.append({m, urls});
        });
        view.show();
    }

    InMemoryUserDefaults defaults;
    FakeWindowDecorations decorations;
    QList<std::pair<StripModule, QList<QUrl>>> drops;
    StripContentView view{defaults, decorations};
    QSignalSpy taps{&view, &StripContentView::moduleTapped};
};
} // namespace

// Menus open at fixed anchors, which must stay the middles of the buttons as laid out. Only the
// exact word "horizontal" turns the strip, and a change from outside is followed at once.
TEST_F(StripContentViewTest, MenuAnchorsAreTheButtonsMiddlesInEitherOrientation) {
    const std::pair<QVariant, bool> values[] = {
        {"horizontal", true}, {"HORIZONTAL", false}, {"horizontal", true},
        {"diagonal", false},  {true, false},         {QStringList{"horizontal"}, false}};
    for (const auto& [value, horizontal] : values) {
        defaults.setObject(stripOrientationKey.key(), value);
        ASSERT_EQ(view.isHorizontal(), horizontal) << qPrintable(value.toString());
        for (StripModule m : stripModuleAllCases) {
            SCOPED_TRACE(qPrintable(value.toString() + u' ' + rawValue(m)));
            ASSERT_EQ(view.button(m) != nullptr, hasButton(m));
            if (hasButton(m))
                EXPECT_EQ(QRectF(view.button(m)->geometry()).center(), *moduleAnchor(m, defaults));
            else
                EXPECT_FALSE(moduleAnchor(m, defaults));
        }
    }
}

// Which module each button opens, and the settings button, are checked through the real
// program (tests/e2e); a right click presses nothing.
TEST_F(StripContentViewTest, OnlyTheFavoritesButtonsTakeDroppedFilesAndOnlyTheFiles) {
    QTest::mouseClick(view.button(StripModule::documents), Qt::RightButton);
    const QUrl file = QUrl::fromLocalFile("/tmp/a.txt"), web("https://example.org/");
    const std::tuple<QWidget*, QList<QUrl>, bool> cases[] = {
        {view.button(StripModule::clipboard), {file}, false},
        {view.settingsButton(), {file}, false},
        {view.button(StripModule::documents), {web}, false},
        {view.button(StripModule::folders), {web, file}, true},
        {view.button(StripModule::applications), {file, file}, true},
    };
    for (const auto& [target, urls, taken] : cases)
        EXPECT_EQ(dropOnto(target, urls), taken) << qPrintable(target->objectName());
    EXPECT_EQ(drops,
              (QList<std::pair<StripModule, QList<QUrl>>>{
                  {StripModule::folders, {file}}, {StripModule::applications, {file, file}}}));
    EXPECT_TRUE(taps.isEmpty());
}

// A missing symbol would leave a blank button.
TEST_F(StripContentViewTest, EveryButtonDrawsItsSymbol) {
    for (auto* button : view.findChildren<StripSymbolButton*>()) {
        const QImage image = button->grab().toImage();
        QSet<QRgb> colours;
        for (int i = 0; i < image.width() * image.height(); ++i)
            colours.insert(image.pixel(i % image.width(), i / image.width()));
        EXPECT_GT(colours.size(), 2) << qPrintable(button->objectName());
    }
}
