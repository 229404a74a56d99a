#include "platform/linux/x11/X11RunningApplications.h"
#include "platform/linux/files/ProcessInfo.h"
#include "support/TempTree.h"
#include "x11/X11Harness.h"

#include <QFileInfo>
#include <QWidget>

using namespace Qt::StringLiterals;

// Activating, hiding and the frontmost application are the end-to-end apps script's, through
// the real program's menus and its stored history.
TEST(X11RunningApplications, ListsWindowsAsTheApplicationsOfTheirEntries) {
    REQUIRE_X11();
    const QString folder = qEnvironmentVariable("XDG_DATA_HOME") + u"/applications/"_s;
    const QByteArray head = "[Desktop Entry]\nType=Application\nExec=true\n";
    const QString byClass = writeFile(folder + u"x11-byclass.desktop"_s,
                                      head + "Name=By Class\nIcon=utilities-terminal\n"
                                             "StartupWMClass=PeloraByClass\n");
    const QString launched =
        writeFile(folder + u"x11-launched.desktop"_s, head + "Name=Launched\n");
    // Matched by the class its entry names; by the entry it was launched from; by nothing, its
    // pid known only to the X server; by nothing, with a class too long to be copied into every
    // list and menu. Each as "name|entry|icon|its program|shown".
    const QString longClass(3000, u'K');
    const std::pair<QString, QString> cases[] = {
        {u"PeloraByClass"_s, u"By Class|%1|utilities-terminal|self|shown"_s.arg(byClass)},
        {u"PeloraLaunched"_s, u"Launched|%1|application-x-executable|self|shown"_s.arg(launched)},
        {u"PeloraAlone"_s, u"PeloraAlone||peloraalone|self|shown"_s},
        {longClass,
         longClass.left(256) + u"||"_s + longClass.left(256).toLower() + u"|self|shown"_s}};
    X11RunningApplications running;
    auto others = [&] {
        QList<RunningApplication> list = running.runningApplications();
        list.removeIf([](const RunningApplication& app) { return app.isPelora; });
        return list;
    };
    QWidget own;
    own.show();
    std::list<OtherClient> clients;
    QStringList expected;
    for (const auto& [wmClass, listed] : cases) {
        // One at a time, so that the window list has them in this order.
        clients.emplace_back(wmClass,
                             wmClass.startsWith(u"PeloraBy") || wmClass.startsWith(u"PeloraL"),
                             wmClass == u"PeloraLaunched" ? launched : QString());
        ASSERT_TRUE(waitUntil([&] { return others().size() == qsizetype(clients.size()); }, 15000))
            << qPrintable(wmClass);
        expected << listed;
    }
    const QString self = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
    QStringList got;
    for (const RunningApplication& app : others())
        got << QStringList{app.localizedName.value_or(u"-"_s),
                           app.bundleURL.value_or(QUrl()).toLocalFile(),
                           app.iconName.section(u'\n', 0, 0),
                           ProcessInfo::executablePath(app.processIdentifier) == self ? u"self"_s
                                                                                      : u"other"_s,
                           app.regular && !app.hidden ? u"shown"_s : u"hidden"_s}
                   .join(u'|');
    EXPECT_EQ(got, expected);
    // And this program's own window, as the current process.
    EXPECT_EQ(running.runningApplications().size(), got.size() + 1);
    clients.pop_front();
    EXPECT_TRUE(waitUntil([&] { return others().size() == got.size() - 1; }));
}

// weston keeps no client list, yet names the active window: a copy made there is credited to it.
TEST(X11RunningApplications, FrontmostIsTheActiveWindowsAlsoWhenNoListHoldsIt) {
    REQUIRE_X11();
    X11RunningApplications running;
    X11Client client;
    const xcb_window_t unlisted = client.window("PeloraUnlisted"); // unmapped: not listed
    client.set(client.root, "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW, 32, 1, &unlisted);
    client.sync();
    const std::optional<RunningApplication> frontmost = running.frontmostApplication();
    ASSERT_TRUE(frontmost);
    EXPECT_EQ(frontmost->localizedName.value_or(QString()), u"PeloraUnlisted"_s);
}
