#include "platform/linux/X11RunningApplications.h"
#include "common/Services.h"
#include "fakes/FakeBundle.h"
#include "history/RunningApplicationsHistoryService.h"
#include "platform/UserDefaults.h"
#include "platform/linux/LinuxWorkspace.h"
#include "platform/linux/ProcessInfo.h"
#include "support/TestSupport.h"
#include "x11/X11TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>
#include <gtest/gtest.h>

#include <csignal>

namespace {

QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(10000))
        return {};
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

// What the window system says, asked with its own tools rather than through the code under test.
QStringList windowsOfClass(const QString& wmClass) {
    return run(QStringLiteral("xdotool"),
               {QStringLiteral("search"), QStringLiteral("--class"), u'^' + wmClass + u'$'})
        .split(u'\n', Qt::SkipEmptyParts);
}
quint32 activeWindow() {
    return run(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")}).toUInt();
}
bool isIconic(quint32 window) {
    return run(QStringLiteral("xprop"),
               {QStringLiteral("-id"), QString::number(window), QStringLiteral("WM_STATE")})
        .contains(QStringLiteral("Iconic"));
}
void activateWithXdotool(quint32 window) {
    run(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QString::number(window)});
}
QString classOf(quint32 window) {
    // WM_CLASS(STRING) = "instance", "Class"
    const QString out =
        run(QStringLiteral("xprop"),
            {QStringLiteral("-id"), QString::number(window), QStringLiteral("WM_CLASS")});
    return out.section(u'"', 3, 3);
}
QList<quint32> clientList() {
    const QString out =
        run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST")});
    QList<quint32> list;
    static const QRegularExpression hex(QStringLiteral("0x[0-9a-fA-F]+"));
    for (auto it = hex.globalMatch(out); it.hasNext();)
        list << it.next().captured().toUInt(nullptr, 16);
    return list;
}

class X11RunningApplicationsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!x11TestDisplayAvailable())
            GTEST_SKIP() << "needs Xvfb and openbox";
        for (const char* tool : {"xdotool", "xprop", "xterm", "xlogo", "xcalc", "xeyes"}) {
            if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
                GTEST_SKIP() << "needs " << tool;
        }
        apps = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME")) + QStringLiteral("/applications");
        // xterm is matched by its program, xlogo by StartupWMClass, xcalc (started through a
        // script) by the entry it was launched from.
        termEntry = writeEntry(QStringLiteral("pelora-x11-term.desktop"),
                               "Name=Pelora Terminal\nIcon=utilities-terminal\n"
                               "Exec=xterm -class PeloraTerm -geometry 40x8\n");
        logoEntry = writeEntry(QStringLiteral("pelora-x11-logo.desktop"),
                               "Name=Pelora Logo\nExec=xlogo\nStartupWMClass=XLogo\n");
        const QString script = work.path() + QStringLiteral("/calc.sh");
        QFile f(script);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\nexec xcalc\n");
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        calcEntry = writeEntry(QStringLiteral("pelora-x11-calc.desktop"),
                               "Name=Pelora Calc\nExec=" + script.toUtf8() + "\n");
    }

    void TearDown() override {
        for (qint64 pid : started)
            kill(pid_t(pid), SIGTERM);
    }

    QString writeEntry(const QString& id, const QByteArray& body) {
        const QString path = apps + u'/' + id;
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Desktop Entry]\nType=Application\n" + body);
        return path;
    }

    std::optional<RunningApplication>
    find(X11RunningApplications& running,
         const std::function<bool(const RunningApplication&)>& pred) {
        for (const RunningApplication& app : running.runningApplications()) {
            if (pred(app))
                return app;
        }
        return std::nullopt;
    }
    std::optional<RunningApplication> byId(X11RunningApplications& running, const QString& id) {
        return find(running, [&](const RunningApplication& a) { return a.bundleIdentifier == id; });
    }

    // Launches through the desktop entry and waits for the window to be listed.
    RunningApplication launch(LinuxWorkspace& workspace, X11RunningApplications& running,
                              const QString& entry) {
        EXPECT_TRUE(workspace.launchApplication(QUrl::fromLocalFile(entry), true));
        const QString id = QFileInfo(entry).fileName();
        std::optional<RunningApplication> app;
        EXPECT_TRUE(waitUntil([&] { return (app = byId(running, id)).has_value(); }, 15000))
            << qPrintable(id);
        if (app && app->processIdentifier)
            started << app->processIdentifier;
        return app.value_or(RunningApplication{});
    }

    QTemporaryDir work;
    QString apps, termEntry, logoEntry, calcEntry;
    QList<qint64> started;
};

TEST_F(X11RunningApplicationsTest, ListsWindowsAsApplicationsOfTheirDesktopEntries) {
    auto running = std::make_shared<X11RunningApplications>();
    ASSERT_TRUE(running->isAvailable());
    LinuxWorkspace workspace(running);
    QWidget own;
    own.setWindowTitle(QStringLiteral("Pelora test window"));
    own.resize(200, 100);
    own.show();

    const RunningApplication term = launch(workspace, *running, termEntry);
    const RunningApplication logo = launch(workspace, *running, logoEntry);
    const RunningApplication calc = launch(workspace, *running, calcEntry);
    QProcess eyes;
    eyes.start(QStringLiteral("xeyes"), {});
    ASSERT_TRUE(eyes.waitForStarted());
    std::optional<RunningApplication> eyesApp;
    ASSERT_TRUE(waitUntil(
        [&] {
            eyesApp = find(*running, [](const RunningApplication& a) {
                return a.localizedName == QStringLiteral("XEyes");
            });
            return eyesApp.has_value();
        },
        15000));

    EXPECT_EQ(term.localizedName, QStringLiteral("Pelora Terminal"));
    EXPECT_EQ(term.bundleURL, QUrl::fromLocalFile(termEntry));
    EXPECT_EQ(term.iconName, QStringLiteral("utilities-terminal\napplication-x-executable"));
    EXPECT_TRUE(term.regular);
    EXPECT_FALSE(term.hidden);
    EXPECT_FALSE(term.isCurrentProcess);
    EXPECT_EQ(
        ProcessInfo::executablePath(term.processIdentifier),
        QFileInfo(QStandardPaths::findExecutable(QStringLiteral("xterm"))).canonicalFilePath());
    EXPECT_EQ(logo.localizedName, QStringLiteral("Pelora Logo"));
    EXPECT_EQ(calc.localizedName, QStringLiteral("Pelora Calc"));
    EXPECT_EQ(calc.bundleURL, QUrl::fromLocalFile(calcEntry));

    // No entry: named by its class, no bundle, the pid from the X server (xeyes sets none).
    EXPECT_FALSE(eyesApp->bundleIdentifier);
    EXPECT_FALSE(eyesApp->bundleURL);
    EXPECT_EQ(eyesApp->processIdentifier, eyes.processId());
    EXPECT_TRUE(eyesApp->regular);

    std::optional<RunningApplication> self;
    ASSERT_TRUE(waitUntil([&] {
        self = find(*running, [](const RunningApplication& a) { return a.isCurrentProcess; });
        return self.has_value();
    }));
    EXPECT_EQ(self->processIdentifier, QCoreApplication::applicationPid());

    // The window system's order: by each application's first window in _NET_CLIENT_LIST.
    const QHash<QString, QString> handleOfClass{{QStringLiteral("PeloraTerm"), term.handle},
                                                {QStringLiteral("XLogo"), logo.handle},
                                                {QStringLiteral("XCalc"), calc.handle},
                                                {QStringLiteral("XEyes"), eyesApp->handle}};
    QStringList listedHandles, expectedHandles;
    for (const RunningApplication& a : running->runningApplications())
        listedHandles << a.handle;
    for (quint32 w : clientList()) {
        const QString handle =
            w == quint32(own.winId()) ? self->handle : handleOfClass.value(classOf(w));
        if (!handle.isEmpty() && !expectedHandles.contains(handle))
            expectedHandles << handle;
    }
    EXPECT_EQ(listedHandles, expectedHandles);
    eyes.kill();
    eyes.waitForFinished();
    EXPECT_TRUE(waitUntil([&] {
        return !find(*running,
                     [&](const RunningApplication& a) { return a.handle == eyesApp->handle; });
    }));
}

TEST_F(X11RunningApplicationsTest, ActivationsReachTheHistoryInOrder) {
    auto running = std::make_shared<X11RunningApplications>();
    auto workspace = std::make_shared<LinuxWorkspace>(running);
    Platform platform;
    platform.bundle = std::make_shared<FakeBundle>();
    platform.defaults = std::make_shared<InMemoryUserDefaults>();
    platform.workspace = workspace;
    platform.runningApplications = running;
    Services services(platform);
    auto& history = services.get<RunningApplicationsHistoryService>();
    history.start();

    QStringList events;
    QObject::connect(
        running.get(), &RunningApplications::applicationActivated,
        [&](const RunningApplication& app) { events << app.localizedName.value_or(QString()); });
    const RunningApplication term = launch(*workspace, *running, termEntry);
    const RunningApplication logo = launch(*workspace, *running, logoEntry);
    const quint32 termWindow = windowsOfClass(QStringLiteral("PeloraTerm")).value(0).toUInt();
    const quint32 logoWindow = windowsOfClass(QStringLiteral("XLogo")).value(0).toUInt();
    ASSERT_TRUE(termWindow && logoWindow);
    // openbox focuses a new window: let that activation arrive before counting.
    ASSERT_TRUE(waitUntil([&] { return events.endsWith(QStringLiteral("Pelora Logo")); }));
    QThread::msleep(150);
    drainEvents();

    for (quint32 window : {termWindow, logoWindow, termWindow}) {
        const qsizetype before = events.size();
        activateWithXdotool(window);
        ASSERT_TRUE(waitUntil([&] { return events.size() > before; }))
            << events.join(u',').toStdString();
        // Switching produces exactly one event per change, however openbox spells it.
        drainEvents();
        QThread::msleep(150);
        drainEvents();
        EXPECT_EQ(events.size(), before + 1) << events.join(u',').toStdString();
    }
    EXPECT_EQ(events.mid(events.size() - 3),
              (QStringList{QStringLiteral("Pelora Terminal"), QStringLiteral("Pelora Logo"),
                           QStringLiteral("Pelora Terminal")}));
    ASSERT_TRUE(running->frontmostApplication());
    EXPECT_EQ(running->frontmostApplication()->handle, term.handle);

    QStringList recent;
    for (const RecentAppItem& item : history.recentApplications(10, std::nullopt))
        recent << item.displayName;
    EXPECT_EQ(recent.mid(0, 2),
              (QStringList{QStringLiteral("Pelora Terminal"), QStringLiteral("Pelora Logo")}));
    EXPECT_TRUE(history.lastActivationDate(logo));
    EXPECT_GT(*history.lastActivationDate(term), *history.lastActivationDate(logo));
}

TEST_F(X11RunningApplicationsTest, HidesUnhidesAndActivates) {
    auto running = std::make_shared<X11RunningApplications>();
    LinuxWorkspace workspace(running);
    QWidget own;
    own.setWindowTitle(QStringLiteral("Pelora test window"));
    own.resize(200, 100);
    own.show();
    const RunningApplication term = launch(workspace, *running, termEntry);
    const RunningApplication logo = launch(workspace, *running, logoEntry);
    const quint32 termWindow = windowsOfClass(QStringLiteral("PeloraTerm")).value(0).toUInt();
    const quint32 logoWindow = windowsOfClass(QStringLiteral("XLogo")).value(0).toUInt();
    ASSERT_TRUE(termWindow && logoWindow);

    ASSERT_TRUE(running->hide(term));
    EXPECT_TRUE(waitUntil([&] { return isIconic(termWindow); }));
    EXPECT_TRUE(waitUntil([&] { return byId(*running, term.bundleIdentifier.value())->hidden; }));
    EXPECT_FALSE(isIconic(logoWindow));

    ASSERT_TRUE(running->unhide(term));
    EXPECT_TRUE(waitUntil([&] { return !isIconic(termWindow); }));
    EXPECT_TRUE(waitUntil([&] { return !byId(*running, term.bundleIdentifier.value())->hidden; }));

    ASSERT_TRUE(running->activate(logo));
    EXPECT_TRUE(waitUntil([&] { return activeWindow() == logoWindow; }));
    // Activating a hidden application shows it again.
    ASSERT_TRUE(running->hide(term));
    ASSERT_TRUE(waitUntil([&] { return isIconic(termWindow); }));
    ASSERT_TRUE(running->activate(term));
    EXPECT_TRUE(waitUntil([&] { return activeWindow() == termWindow && !isIconic(termWindow); }));

    // Launching what runs brings it to the front rather than starting a second copy.
    ASSERT_TRUE(running->activate(logo));
    ASSERT_TRUE(waitUntil([&] { return activeWindow() == logoWindow; }));
    EXPECT_TRUE(workspace.launchApplication(QUrl::fromLocalFile(termEntry), true));
    EXPECT_TRUE(waitUntil([&] { return activeWindow() == termWindow; }));
    QThread::msleep(300);
    EXPECT_EQ(windowsOfClass(QStringLiteral("PeloraTerm")).size(), 1);

    // Hiding every other regular application leaves this program's window alone.
    for (const RunningApplication& app : running->runningApplications()) {
        if (app.regular && !app.isCurrentProcess && !app.hidden)
            running->hide(app);
    }
    EXPECT_TRUE(waitUntil([&] { return isIconic(termWindow) && isIconic(logoWindow); }));
    EXPECT_FALSE(isIconic(quint32(own.winId())));

    running->activateCurrentApplication();
    EXPECT_TRUE(waitUntil([&] { return activeWindow() == quint32(own.winId()); }));

    RunningApplication gone = term;
    gone.handle = QStringLiteral("desktop:/no/such/entry.desktop");
    EXPECT_FALSE(running->activate(gone));
    EXPECT_FALSE(running->hide(gone));
}

} // namespace
