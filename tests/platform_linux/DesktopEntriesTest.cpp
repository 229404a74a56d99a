#include "platform/linux/xdg/DesktopEntries.h"
#include "support/TempTree.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray entryText(const QByteArray& name, const QByteArray& extra = {}) {
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=true\n" + extra;
}

QString describe(const std::optional<DesktopEntry>& e) {
    if (!e)
        return u"none"_s;
    return e->name + (e->isApplication ? ""_L1 : " Link"_L1) +
           (e->noDisplay ? " NoDisplay"_L1 : ""_L1) + (e->terminal ? " Terminal"_L1 : ""_L1);
}

QString program(const QString& name) {
    return QFileInfo(QStandardPaths::findExecutable(name)).canonicalFilePath();
}

} // namespace

TEST(DesktopEntries, UserEntriesWinHiddenDeletesAndBrokenOrForeignEntriesAreLeftOut) {
    TempTree tree;
    const EnvOverride user("XDG_DATA_HOME", tree.path(u"user"_s));
    const EnvOverride system("XDG_DATA_DIRS", tree.path(u"system"_s));
    const std::pair<const char*, QByteArray> files[] = {
        {"system/applications/editor.desktop", entryText("System Editor")},
        {"user/applications/editor.desktop", entryText("User Editor")},
        {"system/applications/gone.desktop", entryText("Gone")},
        {"user/applications/gone.desktop", entryText("Gone", "Hidden=true\n")},
        {"system/applications/quiet.desktop", entryText("Quiet", "NoDisplay=true\n")},
        {"system/applications/vendor/tool.desktop", entryText("Tool")},
        {"system/applications/link.desktop", "[Desktop Entry]\nType=Link\nName=Site\nURL=x:\n"},
        {"system/applications/try.desktop", entryText("Try", "TryExec=pelora-no-such\n")},
        {"system/applications/broken.desktop", QByteArray("\x00\xff[[[garbage", 13)}};
    for (const auto& [path, text] : files)
        tree.add(QString::fromUtf8(path), text);
    const std::pair<const char*, const char*> cases[] = {
        {"editor.desktop", "User Editor"},    {"gone.desktop", "none"},
        {"quiet.desktop", "Quiet NoDisplay"}, {"vendor-tool.desktop", "Tool"},
        {"link.desktop", "Site Link"},        {"broken.desktop", "none"},
        {"../escape.desktop", "none"},        {"", "none"}};
    for (const auto& [id, expected] : cases)
        EXPECT_EQ(describe(DesktopEntries::findById(QString::fromUtf8(id))),
                  QString::fromUtf8(expected))
            << id;
    EXPECT_EQ(DesktopEntries::idForPath(tree.path(u"system/applications/vendor/tool.desktop"_s)),
              u"vendor-tool.desktop"_s);
    QStringList listed;
    for (const DesktopEntry& e : DesktopEntries::allApplications())
        listed << e.id + u' ' + describe(e);
    EXPECT_EQ(listed, (QStringList{"editor.desktop User Editor", "quiet.desktop Quiet NoDisplay",
                                   "vendor-tool.desktop Tool"}));
}

TEST(DesktopEntries, ReadsTheFieldsAndFindsTheProgram) {
    TempTree tree{"fifo.desktop|"};
    const QString script = writeFile(tree.path(u"my-program"_s), "#!/bin/sh\n", true);
    const auto entry = DesktopEntries::read(tree.add(
        u"fields.desktop"_s, "[Desktop Entry]\n# a comment; with a semicolon\nType=Application\n"
                             "Name=Fields\nIcon=fields-icon\nTryExec=sh\nStartupWMClass=FieldsWin\n"
                             "Terminal=true\nExec=" +
                                 script.toUtf8() + " --open %U\n"));
    EXPECT_EQ(describe(entry) + u' ' + entry->icon + u' ' + entry->startupWMClass + u' ' +
                  entry->tryExec + u' ' + entry->executablePath(),
              u"Fields Terminal fields-icon FieldsWin sh "_s + script);
    // Any process may name a FIFO as the entry it was launched from: it is no entry.
    EXPECT_FALSE(DesktopEntries::read(tree.path(u"fifo.desktop"_s)));
    EXPECT_FALSE(DesktopEntries::read(tree.path(u"none.desktop"_s)));

    const std::pair<QString, QString> execs[] = {
        {u"env LANG=C FOO=\"a b\" sh -c 'exit 0'"_s, program(u"sh"_s)},
        {u"pelora-no-such-program %f"_s, {}},
        {u"unbalanced 'quote"_s, {}}};
    for (const auto& [exec, expected] : execs) {
        DesktopEntry e;
        e.exec = exec;
        EXPECT_EQ(e.executablePath(), expected) << exec.toStdString();
    }
}

TEST(DesktopEntryIndex, MatchesWindowsInTheDocumentedOrder) {
    const QString self = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
    TempTree tree;
    const QString loose = tree.add(u"loose.desktop"_s, entryText("Loose"));
    // "id|Exec|StartupWMClass"; the helper is NoDisplay, the terminal one runs in a terminal.
    QList<DesktopEntry> entries;
    for (const QString& line :
         {u"zed|true|"_s, u"org.example.Editor|true|Zed"_s, u"org.example.Viewer|true|"_s,
          u"term|%1|"_s.arg(self), u"python-app|python3 /opt/app.py|"_s,
          u"by-program|%1 --flag %U|"_s.arg(self), u"helper|true|Shared"_s, u"shared|true|Shared"_s,
          u"owner|true|WinClass"_s}) {
        const QStringList fields = line.split(u'|');
        DesktopEntry& e = entries.emplace_back();
        e.id = e.name = fields[0] + u".desktop"_s;
        e.path = u"/apps/"_s + e.id;
        e.exec = fields[1];
        e.startupWMClass = fields[2];
        e.isApplication = true;
        e.terminal = fields[0] == u"term";
        e.noDisplay = fields[0] == u"helper";
    }
    const DesktopEntryIndex index(entries);
    const struct {
        const char* why;
        QString wmClass, wmInstance, program, launchedFrom;
        const char* expected;
    } cases[] = {
        {"StartupWMClass before the id", "Zed", "zed", {}, {}, "org.example.Editor.desktop"},
        {"the id as instance", "Other", "org.example.viewer", {}, {}, "org.example.Viewer.desktop"},
        {"the id's last part, any case", "VIEWER", {}, {}, {}, "org.example.Viewer.desktop"},
        {"then the program", "Unknown", "unknown", self, {}, "by-program.desktop"},
        {"no interpreter, nor a terminal's", {}, {}, program(u"python3"_s), {}, ""},
        {"then the launching entry", {}, {}, {}, "/apps/zed.desktop", "zed.desktop"},
        {"one outside the folders", {}, {}, {}, loose, "loose.desktop"},
        {"a missing launching entry", {}, {}, {}, "/no/such/file.desktop", ""},
        {"an instance like a class", "Renamed", "winclass", self, {}, "by-program.desktop"},
        {"a class in another case", "winclass", {}, {}, {}, "owner.desktop"},
        {"visible before NoDisplay", "Shared", {}, {}, {}, "shared.desktop"},
        {"nothing", "Nothing", "nothing", {}, {}, ""}};
    for (const auto& c : cases) {
        const auto found =
            index.entryForWindow({c.wmClass, c.wmInstance, c.program, c.launchedFrom});
        EXPECT_EQ(found ? found->id : QString(), QString::fromUtf8(c.expected)) << c.why;
    }
}
