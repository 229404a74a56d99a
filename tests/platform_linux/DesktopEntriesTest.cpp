#include "platform/linux/DesktopEntries.h"
#include "platform/linux/ProcessInfo.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void writeFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
}

QByteArray entryText(const QByteArray& name, const QByteArray& extra = {}) {
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=true\n" + extra;
}

QString canonicalProgram(const QString& name) {
    return QFileInfo(QStandardPaths::findExecutable(name)).canonicalFilePath();
}

// A user folder and a system folder of desktop entries; the system one stands in for
// $XDG_DATA_DIRS for the length of a test.
class DesktopEntriesTest : public ::testing::Test {
protected:
    void SetUp() override {
        hadDataDirs = qEnvironmentVariableIsSet("XDG_DATA_DIRS");
        savedDataDirs = qgetenv("XDG_DATA_DIRS");
        userApps = QDir::cleanPath(QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME")) +
                                   QStringLiteral("/applications/desktop-entries-test"));
        // Entries live in a subfolder so other tests' entries never interfere; their ids
        // carry the "desktop-entries-test-" prefix.
        systemRoot = system.path();
        qputenv("XDG_DATA_DIRS", systemRoot.toLocal8Bit());
        systemApps = systemRoot + QStringLiteral("/applications/desktop-entries-test");
    }
    void TearDown() override {
        QDir(userApps).removeRecursively();
        // An empty value is not the same as none to every reader (GIO's MIME lookup).
        if (hadDataDirs)
            qputenv("XDG_DATA_DIRS", savedDataDirs);
        else
            qunsetenv("XDG_DATA_DIRS");
    }

    bool hadDataDirs = false;
    QByteArray savedDataDirs;
    QTemporaryDir system;
    QString systemRoot, systemApps, userApps;
};

TEST_F(DesktopEntriesTest, UserEntriesWinAndHiddenDeletesTheSystemCopy) {
    writeFile(systemApps + QStringLiteral("/editor.desktop"), entryText("System Editor"));
    writeFile(userApps + QStringLiteral("/editor.desktop"), entryText("User Editor"));
    writeFile(systemApps + QStringLiteral("/gone.desktop"), entryText("Gone"));
    writeFile(userApps + QStringLiteral("/gone.desktop"), entryText("Gone", "Hidden=true\n"));
    writeFile(systemApps + QStringLiteral("/quiet.desktop"),
              entryText("Quiet", "NoDisplay=true\n"));
    writeFile(systemApps + QStringLiteral("/vendor/tool.desktop"), entryText("Vendor Tool"));
    writeFile(systemApps + QStringLiteral("/link.desktop"),
              "[Desktop Entry]\nType=Link\nName=Link\nURL=https://example.org\n");
    writeFile(systemApps + QStringLiteral("/tryexec.desktop"),
              entryText("Needs Program", "TryExec=pelora-no-such-program\n"));
    writeFile(systemApps + QStringLiteral("/broken.desktop"), QByteArray("\x00\xff[[[garbage", 13));

    const QString prefix = QStringLiteral("desktop-entries-test-");
    const auto editor = DesktopEntries::findById(prefix + QStringLiteral("editor.desktop"));
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->name, QStringLiteral("User Editor"));
    EXPECT_EQ(editor->path, userApps + QStringLiteral("/editor.desktop"));

    EXPECT_FALSE(DesktopEntries::findById(prefix + QStringLiteral("gone.desktop")));
    const auto quiet = DesktopEntries::findById(prefix + QStringLiteral("quiet.desktop"));
    ASSERT_TRUE(quiet);
    EXPECT_TRUE(quiet->noDisplay);

    const QString vendorId = prefix + QStringLiteral("vendor-tool.desktop");
    const auto vendor = DesktopEntries::findById(vendorId);
    ASSERT_TRUE(vendor);
    EXPECT_EQ(vendor->name, QStringLiteral("Vendor Tool"));
    EXPECT_EQ(DesktopEntries::idForPath(vendor->path), vendorId);
    EXPECT_TRUE(DesktopEntries::isInApplicationDirectory(vendor->path));
    EXPECT_EQ(DesktopEntries::idForPath(QStringLiteral("/elsewhere/x.desktop")),
              QStringLiteral("x.desktop"));

    EXPECT_FALSE(DesktopEntries::findById(prefix + QStringLiteral("broken.desktop")));
    EXPECT_FALSE(DesktopEntries::findById(QStringLiteral("../escape.desktop")));
    EXPECT_FALSE(DesktopEntries::findById(QString()));

    QStringList ids;
    for (const DesktopEntry& e : DesktopEntries::allApplications()) {
        if (e.id.startsWith(prefix))
            ids << e.id.mid(prefix.size());
    }
    ids.sort();
    EXPECT_EQ(ids, (QStringList{QStringLiteral("editor.desktop"), QStringLiteral("quiet.desktop"),
                                QStringLiteral("vendor-tool.desktop")}));
}

TEST_F(DesktopEntriesTest, ReadsTheFieldsAndFindsTheProgram) {
    QTemporaryDir bin;
    const QString script = bin.path() + QStringLiteral("/my-program");
    writeFile(script, "#!/bin/sh\n");
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString path = userApps + QStringLiteral("/fields.desktop");
    writeFile(path, "[Desktop Entry]\n# a comment; with a semicolon\nType=Application\n"
                    "Name=Fields\nIcon=fields-icon\nExec=" +
                        script.toUtf8() +
                        " --open %U\nTryExec=sh\nStartupWMClass=FieldsWin\nTerminal=false\n"
                        "Categories=Utility;Development;\n");
    const auto entry = DesktopEntries::read(path);
    ASSERT_TRUE(entry);
    EXPECT_TRUE(entry->isApplication);
    EXPECT_EQ(entry->name, QStringLiteral("Fields"));
    EXPECT_EQ(entry->icon, QStringLiteral("fields-icon"));
    EXPECT_EQ(entry->startupWMClass, QStringLiteral("FieldsWin"));
    EXPECT_EQ(entry->tryExec, QStringLiteral("sh"));
    EXPECT_FALSE(entry->hidden || entry->noDisplay || entry->terminal);
    EXPECT_EQ(entry->executablePath(), QFileInfo(script).canonicalFilePath());

    DesktopEntry e;
    e.exec = QStringLiteral("env LANG=C FOO=\"a b\" sh -c 'exit 0'");
    EXPECT_EQ(e.executablePath(), canonicalProgram(QStringLiteral("sh")));
    e.exec = QStringLiteral("pelora-no-such-program %f");
    EXPECT_TRUE(e.executablePath().isEmpty());
    e.exec = QStringLiteral("unbalanced 'quote");
    EXPECT_TRUE(e.executablePath().isEmpty());

    EXPECT_FALSE(DesktopEntries::read(bin.path() + QStringLiteral("/none.desktop")));
}

TEST(DesktopEntryIcons, IconNamesEndWithTheGenericApplicationIcon) {
    QTemporaryDir dir;
    const QString png = dir.path() + QStringLiteral("/icon.png");
    writeFile(png, "png");
    EXPECT_EQ(DesktopEntries::applicationIconName(png), png);
    EXPECT_EQ(DesktopEntries::applicationIconName(dir.path() + QStringLiteral("/missing.png")),
              QStringLiteral("application-x-executable"));
    EXPECT_EQ(DesktopEntries::applicationIconName(QStringLiteral("utilities-terminal.png")),
              QStringLiteral("utilities-terminal\napplication-x-executable"));
    EXPECT_EQ(DesktopEntries::applicationIconName(QString()),
              QStringLiteral("application-x-executable"));
}

DesktopEntry entry(const QString& id, const QString& exec, const QString& wmClass = {}) {
    DesktopEntry e;
    e.id = id;
    e.path = QStringLiteral("/apps/") + id;
    e.name = id;
    e.exec = exec;
    e.startupWMClass = wmClass;
    e.isApplication = true;
    return e;
}

TEST(DesktopEntryIndex, MatchesWindowsInTheDocumentedOrder) {
    const QString self = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
    DesktopEntry terminalEntry = entry(QStringLiteral("term-helper.desktop"), self);
    terminalEntry.terminal = true;
    DesktopEntry hiddenHelper =
        entry(QStringLiteral("helper.desktop"), QStringLiteral("true"), QStringLiteral("Shared"));
    hiddenHelper.noDisplay = true;
    const DesktopEntryIndex index({
        entry(QStringLiteral("zed.desktop"), QStringLiteral("true")),
        entry(QStringLiteral("org.example.Editor.desktop"), QStringLiteral("true"),
              QStringLiteral("Zed")),
        entry(QStringLiteral("org.example.Viewer.desktop"), QStringLiteral("true")),
        terminalEntry,
        entry(QStringLiteral("python-app.desktop"), QStringLiteral("python3 /opt/app.py")),
        entry(QStringLiteral("by-program.desktop"), self + QStringLiteral(" --flag %U")),
        hiddenHelper,
        entry(QStringLiteral("shared.desktop"), QStringLiteral("true"), QStringLiteral("Shared")),
        entry(QStringLiteral("owner.desktop"), QStringLiteral("true"), QStringLiteral("WinClass")),
    });
    auto idFor = [&](const DesktopEntryIndex::WindowFacts& facts) {
        const auto e = index.entryForWindow(facts);
        return e ? e->id : QString();
    };
    // StartupWMClass before the desktop id, even though "zed.desktop" names the class.
    EXPECT_EQ(idFor({QStringLiteral("Zed"), QStringLiteral("zed"), {}, {}}),
              QStringLiteral("org.example.Editor.desktop"));
    // The desktop id against class or instance, ignoring case, also by its last part.
    EXPECT_EQ(idFor({QStringLiteral("Other"), QStringLiteral("org.example.viewer"), {}, {}}),
              QStringLiteral("org.example.Viewer.desktop"));
    EXPECT_EQ(idFor({QStringLiteral("VIEWER"), {}, {}, {}}),
              QStringLiteral("org.example.Viewer.desktop"));
    // Then the program; entries that run in a terminal or start an interpreter do not count.
    EXPECT_EQ(idFor({QStringLiteral("Unknown"), QStringLiteral("unknown"), self, {}}),
              QStringLiteral("by-program.desktop"));
    EXPECT_EQ(idFor({{}, {}, canonicalProgram(QStringLiteral("python3")), {}}), QString());
    // Then the entry the process was launched from.
    EXPECT_EQ(idFor({{}, {}, {}, QStringLiteral("/apps/zed.desktop")}),
              QStringLiteral("zed.desktop"));
    EXPECT_EQ(idFor({{}, {}, {}, QStringLiteral("/no/such/file.desktop")}), QString());
    // A renamed class whose instance only resembles another entry's class by case falls
    // through to the program.
    EXPECT_EQ(idFor({QStringLiteral("Renamed"), QStringLiteral("winclass"), self, {}}),
              QStringLiteral("by-program.desktop"));
    EXPECT_EQ(idFor({QStringLiteral("winclass"), {}, {}, {}}), QStringLiteral("owner.desktop"));
    // Visible entries are preferred over NoDisplay helpers with the same class.
    EXPECT_EQ(idFor({QStringLiteral("Shared"), {}, {}, {}}), QStringLiteral("shared.desktop"));
    EXPECT_EQ(idFor({QStringLiteral("Nothing"), QStringLiteral("nothing"), {}, {}}), QString());
}

TEST(DesktopEntryIndex, ReadsAnEntryLaunchedFromOutsideTheApplicationFolders) {
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/loose.desktop");
    writeFile(path, entryText("Loose"));
    const auto e = DesktopEntryIndex().entryForWindow({{}, {}, {}, path});
    ASSERT_TRUE(e);
    EXPECT_EQ(e->name, QStringLiteral("Loose"));
}

TEST(ProcessInfo, ReadsProgramAndEnvironmentOfAProcess) {
    EXPECT_EQ(ProcessInfo::executablePath(QCoreApplication::applicationPid()),
              QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath());

    // Any process may name a FIFO as the desktop file it was launched from.
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("launched.desktop"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PELORA_PROBE"), QStringLiteral("probe value"));
    env.insert(QStringLiteral("GIO_LAUNCHED_DESKTOP_FILE"), fifo);
    child.setProcessEnvironment(env);
    child.start(QStringLiteral("sleep"), {QStringLiteral("30")});
    ASSERT_TRUE(child.waitForStarted());
    const qint64 pid = child.processId();
    // The child runs the test's own image until its exec; /proc shows the new program before
    // the kernel has laid out its arguments and environment.
    ASSERT_TRUE(waitUntil([&] {
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        return ProcessInfo::executablePath(pid) == canonicalProgram(QStringLiteral("sleep")) &&
               cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().split('\0').value(1) == "30";
    }));
    auto lookup = std::async(std::launch::async, [pid] {
        return DesktopEntryIndex().entryForWindow(
            {QStringLiteral("Sleepy"), QStringLiteral("sleepy"), QString(),
             ProcessInfo::environmentValue(pid, "GIO_LAUNCHED_DESKTOP_FILE")});
    });
    const bool prompt = lookup.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    if (!prompt) // a writer lets the blocked reader go, so the test ends
        ::close(::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK));
    EXPECT_TRUE(prompt) << "the lookup waits on the FIFO";
    EXPECT_FALSE(lookup.get().has_value());
    EXPECT_EQ(ProcessInfo::environmentValue(pid, "PELORA_PROBE"), QStringLiteral("probe value"));
    EXPECT_TRUE(ProcessInfo::environmentValue(pid, "PELORA_PROBE_MISSING").isEmpty());
    EXPECT_TRUE(ProcessInfo::environmentValue(pid, "PELORA_PROB").isEmpty())
        << "a prefix of a name is not the name";
    EXPECT_EQ(ProcessInfo::executablePath(pid), canonicalProgram(QStringLiteral("sleep")));
    child.kill();
    child.waitForFinished();
    EXPECT_TRUE(ProcessInfo::executablePath(pid).isEmpty());
    EXPECT_TRUE(ProcessInfo::environmentValue(pid, "PELORA_PROBE").isEmpty());
    EXPECT_TRUE(ProcessInfo::executablePath(0).isEmpty());
    EXPECT_TRUE(ProcessInfo::environmentValue(-1, "PATH").isEmpty());
}

} // namespace
