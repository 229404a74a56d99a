#include "strip/StripContentView.h"
#include "strip/StripLayoutItem.h"
#include "support/TestSupport.h"

#include <QMimeData>
#include <QTest>
#include <gtest/gtest.h>

namespace {
struct Recorder {
    QList<StripModule> taps;
    QList<std::pair<StripModule, QList<QUrl>>> drops;
    int settingsOpened = 0;
};

std::unique_ptr<StripContentView> makeView(UserDefaults& defaults, Recorder& r) {
    auto view = std::make_unique<StripContentView>(
        defaults, [&r](StripModule m) { r.taps << m; },
        [&r](StripModule m, const QList<QUrl>& urls) {
            r.drops.append({m, urls});
        },
        [&r] { ++r.settingsOpened; });
    view->show();
    return view;
}

QStringList names(const QList<QWidget*>& items) {
    QStringList result;
    for (QWidget* w : items)
        result << w->objectName();
    return result;
}

const QStringList stackOrder{"handle",    "applications",      "folders",
                             "documents", "favorites-divider", "clipboard",
                             "windows",   "settings-divider",  "settings"};

// Sends a drag of the given URLs onto the widget; whether it was accepted, then dropped.
bool dragOnto(QWidget* target, const QList<QUrl>& urls, bool drop) {
    QMimeData data;
    data.setUrls(urls);
    const QPointF centre = QRectF(target->rect()).center();
    QDragEnterEvent enter(centre.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    if (drop) {
        QDropEvent dropEvent(centre, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &dropEvent);
    }
    return true;
}
} // namespace

TEST(StripContentView, VerticalGeometryMatchesTheAnchors) {
    InMemoryUserDefaults defaults;
    Recorder r;
    auto view = makeView(defaults, r);
    EXPECT_EQ(view->size(), QSize(32, 240));
    const QList<QWidget*> items = view->stackItems();
    EXPECT_EQ(names(items), stackOrder);

    const QList<QRect> expected{{2, 8, 28, 22},   {2, 34, 28, 28}, {2, 66, 28, 28},
                                {2, 98, 28, 28},  {2, 130, 28, 1}, {2, 135, 28, 28},
                                {2, 167, 28, 28}, {2, 199, 28, 1}, {2, 204, 28, 28}};
    ASSERT_EQ(items.size(), expected.size());
    for (int i = 0; i < items.size(); ++i)
        EXPECT_EQ(items[i]->geometry(), expected[i]) << qPrintable(items[i]->objectName());

    // The menu anchors are fixed numbers; they must stay the centres of the laid-out buttons.
    for (StripModule m : stripModuleAllCases) {
        if (!hasButton(m)) {
            EXPECT_EQ(view->button(m), nullptr);
            continue;
        }
        ASSERT_NE(view->button(m), nullptr);
        EXPECT_EQ(QRectF(view->button(m)->geometry()).center(), *moduleAnchor(m, defaults))
            << qPrintable(rawValue(m));
    }
}

TEST(StripContentView, FollowsTheOrientationDefaultLive) {
    InMemoryUserDefaults defaults;
    stripOrientationKey.write(defaults, "horizontal");
    Recorder r;
    auto view = makeView(defaults, r);
    EXPECT_TRUE(view->isHorizontal());
    EXPECT_EQ(view->size(), QSize(240, 32));
    EXPECT_EQ(names(view->stackItems()), stackOrder);
    EXPECT_EQ(view->dragHandle()->geometry(), QRect(8, 2, 22, 28));
    EXPECT_EQ(view->stackItems()[4]->geometry(), QRect(130, 2, 1, 28));
    EXPECT_EQ(view->settingsButton()->geometry(), QRect(204, 2, 28, 28));
    for (StripModule m : stripModuleAllCases) {
        if (hasButton(m)) {
            EXPECT_EQ(QRectF(view->button(m)->geometry()).center(), *moduleAnchor(m, defaults));
        }
    }

    // Only exactly "horizontal" is horizontal; a change from outside is picked up at once.
    stripOrientationKey.write(defaults, "Horizontal");
    EXPECT_FALSE(view->isHorizontal());
    EXPECT_EQ(view->size(), QSize(32, 240));
    EXPECT_EQ(view->dragHandle()->geometry(), QRect(2, 8, 28, 22));
    defaults.setObject(stripOrientationKey.key(), QStringLiteral("horizontal"));
    EXPECT_EQ(view->size(), QSize(240, 32));
    defaults.removeObject(stripOrientationKey.key());
    EXPECT_EQ(view->size(), QSize(32, 240));
}

TEST(StripContentView, PressesReportTheirModuleAndSettingsOpensSettings) {
    InMemoryUserDefaults defaults;
    Recorder r;
    auto view = makeView(defaults, r);
    for (const char* name : {"windows", "applications", "clipboard"})
        QTest::mouseClick(view->button(*stripModuleFromRawValue(name)), Qt::LeftButton);
    EXPECT_EQ(r.taps, (QList<StripModule>{StripModule::windows, StripModule::applications,
                                          StripModule::clipboard}));
    EXPECT_EQ(r.settingsOpened, 0);
    QTest::mouseClick(view->settingsButton(), Qt::LeftButton);
    EXPECT_EQ(r.settingsOpened, 1);
    EXPECT_EQ(r.taps.size(), 3);
    // A right click is not a press of the button.
    QTest::mouseClick(view->button(StripModule::documents), Qt::RightButton);
    EXPECT_EQ(r.taps.size(), 3);
}

TEST(StripContentView, FileDropsOnlyOnTheThreeFavoritesButtons) {
    InMemoryUserDefaults defaults;
    Recorder r;
    auto view = makeView(defaults, r);
    const QUrl file = QUrl::fromLocalFile("/tmp/a.txt");
    const QUrl web("https://example.org/");

    EXPECT_FALSE(dragOnto(view->button(StripModule::clipboard), {file}, true));
    EXPECT_FALSE(dragOnto(view->button(StripModule::windows), {file}, true));
    EXPECT_FALSE(dragOnto(view->settingsButton(), {file}, true));
    // Only file URLs are offered; a drag of web addresses alone is refused.
    EXPECT_FALSE(dragOnto(view->button(StripModule::documents), {web}, true));
    EXPECT_TRUE(r.drops.isEmpty());

    EXPECT_TRUE(dragOnto(view->button(StripModule::folders), {web, file}, true));
    EXPECT_TRUE(dragOnto(view->button(StripModule::applications), {file, file}, true));
    ASSERT_EQ(r.drops.size(), 2);
    EXPECT_EQ(r.drops[0].first, StripModule::folders);
    EXPECT_EQ(r.drops[0].second, QList<QUrl>{file});
    EXPECT_EQ(r.drops[1].first, StripModule::applications);
    EXPECT_EQ(r.drops[1].second, (QList<QUrl>{file, file}));
    EXPECT_TRUE(r.taps.isEmpty());
}

TEST(StripContentView, OnlyTheHandleDragsAndOnlyPastTheDragDistance) {
    InMemoryUserDefaults defaults;
    Recorder r;
    auto view = makeView(defaults, r);
    view->move(500, 300);
    QWidget* handle = view->dragHandle();
    const QPoint start = QRect(handle->rect()).center();
    auto send = [](QWidget* w, QEvent::Type type, QPoint local, Qt::MouseButton button,
                   Qt::MouseButtons buttons) {
        QMouseEvent e(type, QPointF(local), QPointF(w->mapToGlobal(local)), button, buttons,
                      Qt::NoModifier);
        QCoreApplication::sendEvent(w, &e);
    };

    // A press and release without travel leaves the window where it is.
    send(handle, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    send(handle, QEvent::MouseMove, start + QPoint(1, 0), Qt::NoButton, Qt::LeftButton);
    send(handle, QEvent::MouseButtonRelease, start + QPoint(1, 0), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(view->pos(), QPoint(500, 300));

    // Past the drag distance the window follows the pointer (no system move offscreen).
    const QPoint travel(-40, 25);
    send(handle, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    send(handle, QEvent::MouseMove, start + travel, Qt::NoButton, Qt::LeftButton);
    send(handle, QEvent::MouseButtonRelease, start + travel, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(view->pos(), QPoint(460, 325));

    // A button is no handle.
    QWidget* button = view->button(StripModule::folders);
    const QPoint b = QRect(button->rect()).center();
    send(button, QEvent::MouseButtonPress, b, Qt::LeftButton, Qt::LeftButton);
    send(button, QEvent::MouseMove, b + travel, Qt::NoButton, Qt::LeftButton);
    send(button, QEvent::MouseButtonRelease, b + travel, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(view->pos(), QPoint(460, 325));
    EXPECT_TRUE(r.taps.isEmpty()); // released outside the button
}

namespace {
// Runs of "ink" (dark, drawn) pixels inside a rectangle of the image, counted along x (each
// column that holds ink) or along y.
int inkRuns(const QImage& image, const QRect& area, Qt::Orientation along) {
    int runs = 0;
    bool inRun = false;
    const int outer = along == Qt::Horizontal ? area.width() : area.height();
    const int inner = along == Qt::Horizontal ? area.height() : area.width();
    for (int i = 0; i < outer; ++i) {
        bool ink = false;
        for (int j = 0; j < inner && !ink; ++j) {
            const QPoint p = along == Qt::Horizontal ? area.topLeft() + QPoint(i, j)
                                                     : area.topLeft() + QPoint(j, i);
            const QColor c = image.pixelColor(p);
            ink = c.alpha() > 128 && c.lightness() < 200;
        }
        runs += ink && !inRun;
        inRun = ink;
    }
    return runs;
}
} // namespace

TEST(StripContentView, TheHandlesThreeLinesRunAcrossTheStrip) {
    InMemoryUserDefaults defaults;
    Recorder r;
    auto view = makeView(defaults, r);
    QImage vertical = view->grab().toImage();
    const QRect handle = view->dragHandle()->geometry();
    EXPECT_EQ(inkRuns(vertical, handle, Qt::Vertical), 3);
    EXPECT_EQ(inkRuns(vertical, handle, Qt::Horizontal), 1);
    // Every module and the settings button show a symbol, and draw it the same under the
    // pointer and while pressed: plain buttons, no highlight.
    for (QWidget* item : view->stackItems()) {
        if (auto* button = qobject_cast<StripSymbolButton*>(item)) {
            EXPECT_GT(inkRuns(vertical, item->geometry(), Qt::Vertical), 0)
                << qPrintable(item->objectName());
            const QImage idle = button->grab().toImage();
            button->setAttribute(Qt::WA_UnderMouse);
            EXPECT_EQ(button->grab().toImage(), idle) << qPrintable(item->objectName());
            button->setDown(true);
            EXPECT_EQ(button->grab().toImage(), idle) << qPrintable(item->objectName());
            button->setDown(false);
            button->setAttribute(Qt::WA_UnderMouse, false);
        }
    }

    stripOrientationKey.write(defaults, "horizontal");
    QImage horizontal = view->grab().toImage();
    const QRect turned = view->dragHandle()->geometry();
    EXPECT_EQ(inkRuns(horizontal, turned, Qt::Horizontal), 3);
    EXPECT_EQ(inkRuns(horizontal, turned, Qt::Vertical), 1);
    if (qEnvironmentVariableIsSet("PELORA_SAVE_STRIP_IMAGES")) {
        vertical.save(buildPath("strip-vertical.png"));
        horizontal.save(buildPath("strip-horizontal.png"));
    }
}
