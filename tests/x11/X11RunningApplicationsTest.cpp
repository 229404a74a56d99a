#include "platform/linux/X11RunningApplications.h"
#include "platform/linux/ProcessInfo.h"
#include "x11/X11Harness.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QWidget>

namespace {

struct Case {
    QString wmClass;
    QByteArray entry;  // the fields of its desktop entry; none when empty
    bool launchedFrom; // its process was started from that entry
    QString name, icon;
};
// Matched by the class its entry names; by the entry it was launched from; by nothing, its pid
// known only to the X server.
const QList<Case> cases = {
    {QStringLiteral("PeloraByClass"),
     "Name=By Class\nIcon=utilities-terminal\nStartupWMClass=PeloraByClass\nExec=true\n", false,
     QStringLiteral("By Class"), QStringLiteral("utilities-terminal")},
    {QStringLiteral("PeloraLaunched"), "Name=Launched\nExec=true\n", true,
     QStringLiteral("Launched"), QStringLiteral("application-x-executable")},
    {QStringLiteral("PeloraAlone"),
     {},
     false,
     QStringLiteral("PeloraAlone"),
     QStringLiteral("peloraalone")},
};

QString entryPath(const Case& c) {
    return c.entry.isEmpty() ? QString()
                             : QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME")) +
                                   QStringLiteral("/applications/x11-") + c.wmClass.toLower() +
                                   QStringLiteral(".desktop");
}

class X11RunningApplicationsTest : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_X11();
        QDir().mkpath(QFileInfo(entryPath(cases[0])).path());
        for (const Case& c : cases) {
            QFile f(entryPath(c));
            if (!c.entry.isEmpty() && f.open(QIODevice::WriteOnly))
                f.write("[Desktop Entry]\nType=Application\n" + c.entry);
        }
    }

    // Starts the case's client and waits until it is listed.
    xcb_window_t start(const Case& c) {
        const qsizetype before = others().size();
        clients << std::make_shared<OtherClient>(c.wmClass, !c.entry.isEmpty(),
                                                 c.launchedFrom ? entryPath(c) : QString());
        EXPECT_TRUE(waitUntil([&] { return others().size() > before; }, 15000))
            << qPrintable(c.wmClass);
        return clients.last()->window;
    }
    QList<RunningApplication> others() {
        QList<RunningApplication> list;
        for (const RunningApplication& app : running.runningApplications())
            if (!app.isCurrentProcess)
                list << app;
        return list;
    }
    RunningApplication named(const QString& name) {
        for (const RunningApplication& app : others())
            if (app.localizedName == name)
                return app;
        return {};
    }

    X11RunningApplications running;
    QList<std::shared_ptr<OtherClient>> clients;
    X11Client x;
};

TEST_F(X11RunningApplicationsTest, ListsWindowsAsTheApplicationsOfTheirEntries) {
    QWidget own;
    own.show();
    for (const Case& c : cases)
        start(c);
    const QList<RunningApplication> listed = others();
    ASSERT_EQ(listed.size(), cases.size());
    const QString self = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
    for (qsizetype i = 0; i < cases.size(); ++i) {
        const RunningApplication& app = listed[i]; // in the window list's order
        SCOPED_TRACE(qPrintable(cases[i].wmClass));
        EXPECT_EQ(app.localizedName, cases[i].name);
        EXPECT_EQ(app.bundleURL.value_or(QUrl()), QUrl::fromLocalFile(entryPath(cases[i])));
        EXPECT_EQ(app.iconName.section(u'\n', 0, 0), cases[i].icon);
        EXPECT_EQ(ProcessInfo::executablePath(app.processIdentifier), self);
        EXPECT_TRUE(app.regular && !app.hidden);
    }
    EXPECT_TRUE(waitUntil([&] {
        const QList<RunningApplication> all = running.runningApplications();
        return std::any_of(all.cbegin(), all.cend(), [](const RunningApplication& app) {
            return app.isCurrentProcess &&
                   app.processIdentifier == QCoreApplication::applicationPid();
        });
    }));
    clients.removeFirst();
    EXPECT_TRUE(waitUntil([&] { return others().size() == cases.size() - 1; }));
}

TEST_F(X11RunningApplicationsTest, FollowsTheFrontmostApplicationHidesAndActivates) {
    QStringList events;
    QObject::connect(&running, &RunningApplications::applicationActivated,
                     [&](const RunningApplication& app) { events << *app.localizedName; });
    const xcb_window_t a = start(cases[0]), b = start(cases[2]);
    // openbox focuses each new window: the last one started is in front.
    ASSERT_TRUE(waitUntil([&] { return events.endsWith(cases[2].name); }));
    events.clear();
    for (xcb_window_t w : {a, b, a}) {
        const qsizetype before = events.size();
        x.activate(w);
        ASSERT_TRUE(waitUntil([&] { return events.size() > before; }));
    }
    // One event per switch, however openbox spells it.
    EXPECT_EQ(events, (QStringList{cases[0].name, cases[2].name, cases[0].name}));
    EXPECT_EQ(running.frontmostApplication().value_or(RunningApplication()).localizedName,
              cases[0].name);

    ASSERT_TRUE(running.hide(named(cases[0].name)));
    EXPECT_TRUE(waitUntil([&] { return x.isIconic(a) && named(cases[0].name).hidden; }));
    EXPECT_FALSE(x.isIconic(b));
    ASSERT_TRUE(running.unhide(named(cases[0].name)));
    EXPECT_TRUE(waitUntil([&] { return !x.isIconic(a) && !named(cases[0].name).hidden; }));
    // Activating a hidden application shows it again.
    ASSERT_TRUE(running.hide(named(cases[2].name)));
    ASSERT_TRUE(waitUntil([&] { return x.isIconic(b); }));
    ASSERT_TRUE(running.activate(named(cases[2].name)));
    EXPECT_TRUE(waitUntil([&] { return x.activeWindow() == b && !x.isIconic(b); }));
    RunningApplication gone = named(cases[0].name);
    gone.handle = QStringLiteral("desktop:/no/such/entry.desktop");
    EXPECT_FALSE(running.activate(gone) || running.hide(gone));
}

} // namespace
