#include "app/PeloraStatusItemController.h"
#include "about/AboutWindow.h"
#include "app/StatusItemTestSupport.h"
#include "common/StripVisibility.h"
#include "common/Symbols.h"
#include "common/Texts.h"
#include "favorites/FavoritesService.h"
#include "history/RunningApplicationsHistoryService.h"
#include "settings/SettingsWindowController.h"
#include "strip/StripWindowController.h"
#include "support/MenuText.h"
#include "support/TempTree.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPointer>
#include <QSet>
#include <QSignalSpy>
#include <QSystemTrayIcon>

namespace {

class StatusItemTest : public WholeProgramTest {
protected:
    StatusItemTest()
        : services(platform), strip(std::make_shared<StripWindowController>(services)) {}

    // Opens the menu as a click on the icon does, and closes it again.
    static void openAndClose(QMenu& menu) {
        menu.popup(QPoint(200, 200));
        drainEvents();
        menu.hide();
        drainEvents();
    }

    static QAction* entry(const QMenu& menu, const char* key) {
        for (QAction* action : menu.actions())
            if (action->objectName() == QLatin1String(key))
                return action;
        return nullptr;
    }

    int frameWrites(const QSignalSpy& spy) const {
        int count = 0;
        for (const QList<QVariant>& args : spy)
            count += args.value(0).toString() == stripWindowFrameKey.key();
        return count;
    }

    Services services;
    std::shared_ptr<StripWindowController> strip;
};

} // namespace

TEST_F(StatusItemTest, EachOpeningBuildsAFreshMenuOfTenEntries) {
    PeloraStatusItemController controller(services, strip);
    QMenu& menu = controller.menu();
    EXPECT_EQ(controller.statusItem().contextMenu(), &menu);
    EXPECT_TRUE(menu.actions().isEmpty()) << "filled only when it opens";
    openAndClose(menu);

    // The module entries with the submenu each embeds, then the other commands, with icons.
    const std::pair<const char*, const char*> entries[] = {
        {"strip.menuBar.apps", "app"},
        {"strip.menuBar.folders", "folder"},
        {"strip.menuBar.documents", "doc"},
        {"strip.menuBar.clipboard", "clipboard"},
        {"strip.menu.openApps", "square.grid.2x2"},
        {"strip.menuBar.settings", "slider.horizontal.3"},
        {"menu.about", "info.circle"}};
    QStringList topLevel;
    for (const QString& line : menuText(menu).split(u'\n', Qt::SkipEmptyParts))
        if (!line.startsWith(u' '))
            topLevel << line;
    QStringList expected;
    for (int i = 0; i < 5; ++i)
        expected << L(entries[i].first) + QStringLiteral(" >");
    expected << QStringLiteral("----") << L("strip.menuBar.settings") << L("menu.about")
             << QStringLiteral("----") << L("strip.menuBar.quitPelora");
    EXPECT_EQ(topLevel, expected);
    for (const auto& [key, symbol] : entries)
        EXPECT_EQ(entry(menu, key)->icon().pixmap(16).toImage(),
                  symbolIcon(QLatin1String(symbol)).pixmap(16).toImage())
            << key;

    // What changed since shows at the next opening.
    TempTree tree{"Projects/"};
    EXPECT_FALSE(menuText(menu).contains(QStringLiteral("Projects")));
    favoritesStore(services, FavoritesCategory::folders).add(tree.url(QStringLiteral("Projects")));
    openAndClose(menu);
    EXPECT_TRUE(menuText(menu).contains(QStringLiteral("  Projects\n")));
    EXPECT_EQ(menu.actions().size(), 10);
}

TEST_F(StatusItemTest, WithTheStripHiddenTheSubmenusAreTheStripsOwnMenus) {
    stripVisibleKey.write(*defaults, false);
    PeloraStatusItemController controller(services, strip);
    strip->startServices();
    openAndClose(controller.menu());
    EXPECT_EQ(strip->window(), nullptr) << "opening the tray menu does not bring the strip";

    const struct {
        const char* key;
        StripModule module;
    } modules[] = {{"strip.menuBar.apps", StripModule::applications},
                   {"strip.menuBar.folders", StripModule::folders},
                   {"strip.menuBar.documents", StripModule::documents},
                   {"strip.menuBar.clipboard", StripModule::clipboard},
                   {"strip.menu.openApps", StripModule::windows}};
    for (const auto& m : modules) {
        QAction* action = entry(controller.menu(), m.key);
        ASSERT_TRUE(action && action->menu()) << m.key;
        const std::unique_ptr<QMenu> own = strip->menuForModule(m.module);
        ASSERT_NE(own, nullptr);
        // The entry lends the submenu its title; what is listed must be the same.
        EXPECT_EQ(menuText(*action->menu()), menuText(*own)) << m.key;
    }
}

TEST_F(StatusItemTest, TheApplicationsSubmenuLeavesOutTheProgramAndListsAtMostTen) {
    TempTree folder{"Pelora.app/"};
    bundle->path = folder.path(QStringLiteral("Pelora.app"));
    auto& history = services.get<RunningApplicationsHistoryService>();
    QDateTime now = QDateTime::currentDateTimeUtc();
    history.setClock([&now] { return now; });
    QStringList names;
    for (int i = 0; i < 12; ++i) {
        const QString id = QStringLiteral("app%1.desktop").arg(i);
        const QString path = folder.add(id);
        names << QStringLiteral("Application %1").arg(i);
        history.recordActivation(makeRunningApplication(names.last(), id, path));
        now = now.addSecs(1);
    }
    // The program itself is the most recent one.
    RunningApplication self = makeRunningApplication(
        QStringLiteral("Pelora"), bundle->info.value(QStringLiteral("CFBundleIdentifier")),
        bundle->path);
    self.isCurrentProcess = true;
    history.recordActivation(self);

    PeloraStatusItemController controller(services, strip);
    openAndClose(controller.menu());
    QAction* apps = entry(controller.menu(), "strip.menuBar.apps");
    ASSERT_TRUE(apps && apps->menu());
    // The ten most recent: applications 11 down to 2.
    QStringList listed;
    for (const QString& line : menuText(*apps->menu()).split(u'\n'))
        listed << line.trimmed();
    EXPECT_FALSE(listed.contains(QStringLiteral("Pelora")));
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(listed.contains(names[i]), i >= 2) << i;
}

TEST_F(StatusItemTest, TheVisibilityNotificationShowsOrHidesTheStripByThePreference) {
    PeloraStatusItemController controller(services, strip);
    EXPECT_TRUE(controller.isStripVisible());
    EXPECT_FALSE(defaults->contains(stripVisibleKey.key()));

    // Absent means shown.
    services.notifications().post(stripVisibilityDidChangeNotification);
    ASSERT_NE(strip->window(), nullptr);
    QPointer<QWidget> shown = strip->window();
    services.notifications().post(stripVisibilityDidChangeNotification);
    EXPECT_EQ(strip->window(), shown.data()) << "showing a shown strip keeps its window";

    QSignalSpy writes(defaults.get(), &UserDefaults::valueChanged);
    stripVisibleKey.write(*defaults, false);
    EXPECT_FALSE(controller.isStripVisible());
    services.notifications().post(stripVisibilityDidChangeNotification);
    services.notifications().post(stripVisibilityDidChangeNotification);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(strip->window(), nullptr);
    EXPECT_TRUE(shown.isNull());
    EXPECT_EQ(frameWrites(writes), 1) << "the second hide finds no window";
    EXPECT_FALSE(stripWindowFrameKey.read(*defaults).isEmpty());

    stripVisibleKey.write(*defaults, true);
    services.notifications().post(stripVisibilityDidChangeNotification);
    EXPECT_NE(strip->window(), nullptr);
}

TEST_F(StatusItemTest, SettingsAndAboutEntriesOpenTheirWindows) {
    PeloraStatusItemController controller(services, strip);
    openAndClose(controller.menu());
    entry(controller.menu(), "strip.menuBar.settings")->trigger();
    auto& settings = services.get<SettingsWindowController>();
    ASSERT_TRUE(waitUntil([&] {
        return settings.existingSettingsWindow() && settings.existingSettingsWindow()->isVisible();
    }));
    EXPECT_GE(running->currentApplicationActivations, 1) << "the program comes to the front";

    entry(controller.menu(), "menu.about")->trigger();
    auto& about = services.get<AboutWindowKeeper>();
    ASSERT_TRUE(
        waitUntil([&] { return about.existingWindow() && about.existingWindow()->isVisible(); }));
    about.existingWindow()->close();
    settings.existingSettingsWindow()->close();
}

TEST_F(StatusItemTest, TheGlyphTakesThePanelsColourElseThePalettesAndStaysSharp) {
    std::optional<QColor> panel = QColor(Qt::white);
    PeloraStatusItemController controller(services, strip, [&panel] { return panel; });
    // The colour of the fully covered pixels, and how many there are.
    auto inked = [](const QImage& image) {
        QSet<QRgb> colors;
        int count = 0;
        const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < argb.height(); ++y)
            for (int x = 0; x < argb.width(); ++x)
                if (qAlpha(argb.pixel(x, y)) == 255) {
                    colors.insert(argb.pixel(x, y));
                    ++count;
                }
        return std::pair(colors, count);
    };

    QIcon icon = controller.statusItem().icon();
    ASSERT_FALSE(icon.isNull());
    EXPECT_TRUE(icon.isMask());
    auto [colors, count] = inked(icon.pixmap(QSize(22, 22)).toImage());
    EXPECT_EQ(colors, QSet<QRgb>{qRgb(255, 255, 255)});
    EXPECT_GT(count, 20);

    // A tray that says nothing: the palette's text colour.
    panel.reset();
    const QColor text = QGuiApplication::palette().color(QPalette::Active, QPalette::WindowText);
    std::tie(colors, count) = inked(controller.statusItem().icon().pixmap(QSize(22, 22)).toImage());
    EXPECT_EQ(colors, QSet<QRgb>{text.rgb()});

    // A theme switch recolours it.
    const QPalette before = QGuiApplication::palette();
    QPalette dark = before;
    dark.setColor(QPalette::WindowText, QColor(230, 230, 10));
    QApplication::setPalette(dark);
    drainEvents();
    std::tie(colors, count) = inked(controller.statusItem().icon().pixmap(QSize(22, 22)).toImage());
    QApplication::setPalette(before);
    EXPECT_EQ(colors, QSet<QRgb>{qRgb(230, 230, 10)});

    // At twice the density it is drawn anew from the vector, not enlarged: it has finer edges
    // than the single-density picture blown up.
    const QPixmap one = controller.statusItem().icon().pixmap(QSize(22, 22), 1.0);
    const QPixmap two = controller.statusItem().icon().pixmap(QSize(22, 22), 2.0);
    EXPECT_EQ(two.size(), QSize(44, 44));
    EXPECT_EQ(two.devicePixelRatio(), 2.0);
    const QImage blownUp =
        one.toImage().scaled(44, 44, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    EXPECT_NE(two.toImage().convertToFormat(QImage::Format_ARGB32),
              blownUp.convertToFormat(QImage::Format_ARGB32));
    EXPECT_GT(inked(two.toImage()).second, 3 * inked(one.toImage()).second);
}
