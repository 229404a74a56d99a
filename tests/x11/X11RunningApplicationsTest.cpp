#include "platform/linux/X11RunningApplications.h"
#include "platform/linux/ProcessInfo.h"
#include "x11/X11Harness.h"

#include <QDir>
#include <QFileInfo>
#include <QWidget>

namespace {

struct Case {
    QString wmClass;
    QByteArray entry;  // the fields of its desktop entry; none when empty
    bool launchedFrom; // its process says it was started from that entry
    QString name, icon;
};

QString entryPath(const Case& c) {
    return c.entry.isEmpty() ? QString()
                             : QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME")) +
                                   QStringLiteral("/applications/x11-") + c.wmClass.toLower() +
                                   QStringLiteral(".desktop");
}

// Activating, hiding and the frontmost application are the end-to-end apps script's, through
// the real program's menus and its stored history.
TEST(X11RunningApplications, ListsWindowsAsTheApplicationsOfTheirEntries) {
    REQUIRE_X11();
    // Matched by the class its entry names; by the entry it was launched from; by nothing, its
    // pid known only to the X server.
    const QList<Case> cases = {
        {QStringLiteral("PeloraByClass"),
         "Name=By Class\nIcon=utilities-terminal\nStartupWMClass=PeloraByClass\nExec=true\n", false,
         QStringLiteral("By Class"), QStringLiteral("utilities-terminal")},
        {QStringLiteral("PeloraLaunched"), "Name=Launched\nExec=true\n", true,
         QStringLiteral("Launched"), QStringLiteral("application-x-executable")},
        {QStringLiteral("PeloraAlone"), QByteArray(), false, QStringLiteral("PeloraAlone"),
         QStringLiteral("peloraalone")},
    };
    QDir().mkpath(QFileInfo(entryPath(cases[0])).path());
    for (const Case& c : cases) {
        QFile entry(entryPath(c));
        if (!c.entry.isEmpty() && entry.open(QIODevice::WriteOnly))
            entry.write("[Desktop Entry]\nType=Application\n" + c.entry);
    }
    X11RunningApplications running;
    auto others = [&] {
        QList<RunningApplication> list = running.runningApplications();
        list.removeIf([](const RunningApplication& app) { return app.isCurrentProcess; });
        return list;
    };
    QWidget own;
    own.show();
    std::list<OtherClient> clients;
    for (const Case& c : cases) {
        // One at a time, so that the window list has them in this order.
        clients.emplace_back(c.wmClass, !c.entry.isEmpty(),
                             c.launchedFrom ? entryPath(c) : QString());
        ASSERT_TRUE(waitUntil([&] { return others().size() == qsizetype(clients.size()); }, 15000))
            << qPrintable(c.wmClass);
    }
    const QList<RunningApplication> listed = others();
    const QString self = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
    for (qsizetype i = 0; i < cases.size(); ++i) {
        const RunningApplication& app = listed[i];
        SCOPED_TRACE(qPrintable(cases[i].wmClass));
        EXPECT_EQ(app.localizedName, cases[i].name);
        EXPECT_EQ(app.bundleURL.value_or(QUrl()), QUrl::fromLocalFile(entryPath(cases[i])));
        EXPECT_EQ(app.iconName.section(u'\n', 0, 0), cases[i].icon);
        EXPECT_EQ(ProcessInfo::executablePath(app.processIdentifier), self);
        EXPECT_TRUE(app.regular && !app.hidden);
    }
    // And this program's own window, as the current process.
    EXPECT_EQ(running.runningApplications().size(), cases.size() + 1);
    clients.pop_front();
    EXPECT_TRUE(waitUntil([&] { return others().size() == cases.size() - 1; }));
}

} // namespace
