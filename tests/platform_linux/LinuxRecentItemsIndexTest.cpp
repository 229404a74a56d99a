#include "platform/linux/LinuxRecentItemsIndex.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <optional>
#include <sys/stat.h>

namespace {

QString iso(const QDateTime& date) {
    return date.toUTC().toString(Qt::ISODateWithMs);
}

struct Entry {
    QString href;
    QDateTime added, modified, visited; // invalid: attribute left out
    QList<std::pair<QString, QDateTime>> apps;
};

QByteArray bookmark(const Entry& e) {
    QString s = QStringLiteral("  <bookmark href=\"%1\"").arg(e.href);
    if (e.added.isValid())
        s += QStringLiteral(" added=\"%1\"").arg(iso(e.added));
    if (e.modified.isValid())
        s += QStringLiteral(" modified=\"%1\"").arg(iso(e.modified));
    if (e.visited.isValid())
        s += QStringLiteral(" visited=\"%1\"").arg(iso(e.visited));
    s += QStringLiteral(">\n    <info><metadata owner=\"http://freedesktop.org\">"
                        "<mime:mime-type type=\"text/plain\"/><bookmark:applications>\n");
    for (const auto& [name, modified] : e.apps)
        s += QStringLiteral("      <bookmark:application name=\"%1\" exec=\"&apos;%1 %u&apos;\" "
                            "modified=\"%2\" count=\"1\"/>\n")
                 .arg(name, iso(modified));
    s += QStringLiteral("    </bookmark:applications></metadata></info>\n  </bookmark>\n");
    return s.toUtf8();
}

const QByteArray kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xbel version=\"1.0\"\n"
    "      xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\"\n"
    "      xmlns:mime=\"http://www.freedesktop.org/standards/shared-mime-info\"\n>\n";

QByteArray xbel(const QList<QByteArray>& bookmarks) {
    QByteArray data = kHeader;
    for (const QByteArray& b : bookmarks)
        data += b;
    return data + "</xbel>\n";
}

QString uri(const QString& path) {
    return QString::fromUtf8(QUrl::fromLocalFile(path).toEncoded());
}

// A temporary home folder with a bookmark file beside it.
class RecentIndexTest : public ::testing::Test {
protected:
    QTemporaryDir root;
    QString home, file;
    QDateTime now = QDateTime::currentDateTimeUtc();

    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        home = root.path() + QStringLiteral("/home");
        QDir().mkpath(home);
        file = root.path() + QStringLiteral("/recently-used.xbel");
    }
    QString make(const QString& relative, const QByteArray& content = "x") {
        const QString path = home + u'/' + relative;
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        return path;
    }
    QString makeDir(const QString& relative) {
        const QString path = home + u'/' + relative;
        QDir().mkpath(path);
        return path;
    }
    void write(const QByteArray& data) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(data);
    }
    Entry used(const QString& path, qint64 hoursAgo) {
        const QDateTime t = now.addSecs(-hoursAgo * 3600);
        return {uri(path), t, t, t, {}};
    }
    QList<RecentItemsResult> gather(RecentItemKind kind, qint64 sinceHoursAgo = 24 * 30,
                                    int limit = 0, qint64 maxSize = 1 << 26) {
        RecentItemsPredicate p{kind, now.addSecs(-sinceHoursAgo * 3600), limit};
        return LinuxRecentItemsIndex::gather(file, home, maxSize, p);
    }
    static QStringList paths(const QList<RecentItemsResult>& results) {
        QStringList out;
        for (const auto& r : results)
            out << r.path;
        return out;
    }
};

TEST_F(RecentIndexTest, SelectsDocumentsOrFoldersUnderHomeNewestFirst) {
    QTemporaryDir elsewhere;
    const QString notes = make(QStringLiteral("notes.txt"));
    const QString report = make(QStringLiteral("work/report with space.pdf"));
    const QString script = make(QStringLiteral("bin/build.sh"));
    QFile::setPermissions(script, QFile::permissions(script) | QFileDevice::ExeOwner);
    const QString tool = make(QStringLiteral("bin/tool"));
    QFile::setPermissions(tool, QFile::permissions(tool) | QFileDevice::ExeOwner);
    const QString entry = make(QStringLiteral("apps/editor.desktop"));
    const QString projects = makeDir(QStringLiteral("Projects"));
    const QString music = makeDir(QStringLiteral("Music"));
    const QString old = make(QStringLiteral("old.txt"));
    const QString outside = elsewhere.path() + QStringLiteral("/outside.txt");
    QFile(outside).open(QIODevice::WriteOnly);

    Entry latestByApp = used(report, 50);
    latestByApp.apps = {{QStringLiteral("viewer"), now.addSecs(-3600)},
                        {QStringLiteral("other"), now.addSecs(-7200)}};
    write(xbel({bookmark(used(notes, 5)), bookmark(latestByApp), bookmark(used(script, 3)),
                bookmark(used(tool, 2)), bookmark(used(entry, 2)), bookmark(used(projects, 4)),
                bookmark(used(music, 6)), bookmark(used(old, 24 * 40)),
                bookmark(used(home + QStringLiteral("/gone.txt"), 1)), bookmark(used(outside, 1)),
                bookmark(used(home, 1)),
                bookmark({QStringLiteral("https://example.org/page"), now, now, now, {}}),
                bookmark({QStringLiteral("file://otherhost") + notes, now, now, now, {}})}));

    const auto docs = gather(RecentItemKind::document);
    EXPECT_EQ(paths(docs), (QStringList{report, script, notes}));
    // The latest of the entry's own dates and every application's.
    EXPECT_EQ(docs[0].lastUsedDate.toMSecsSinceEpoch(), now.addSecs(-3600).toMSecsSinceEpoch());

    EXPECT_EQ(paths(gather(RecentItemKind::folder)), (QStringList{projects, music}));
    EXPECT_EQ(paths(gather(RecentItemKind::document, 24 * 30, 2)), (QStringList{report, script}));
    // A cut-off at the epoch keeps old entries too.
    RecentItemsPredicate all{RecentItemKind::document, QDateTime::fromSecsSinceEpoch(0, Qt::UTC)};
    EXPECT_TRUE(paths(LinuxRecentItemsIndex::gather(file, home, 1 << 20, all)).contains(old));
}

TEST_F(RecentIndexTest, MergesEntriesNamingTheSamePathAndIgnoresUndatedOnes) {
    const QString a = make(QStringLiteral("a.txt"));
    const QString b = make(QStringLiteral("b.txt"));
    Entry viaLocalhost = used(a, 1);
    viaLocalhost.href = QStringLiteral("file://localhost") + a;
    Entry dotted = used(a, 9);
    dotted.href = uri(home + QStringLiteral("/sub/../a.txt"));
    // No dates at all: GLib would call it new, but nobody said when it was used.
    Entry undated{uri(b), {}, {}, {}, {}};
    write(
        xbel({bookmark(used(a, 10)), bookmark(viaLocalhost), bookmark(dotted), bookmark(undated)}));
    const auto docs = gather(RecentItemKind::document);
    ASSERT_EQ(paths(docs), QStringList{a});
    EXPECT_EQ(docs[0].lastUsedDate.toMSecsSinceEpoch(), now.addSecs(-3600).toMSecsSinceEpoch());
}

TEST_F(RecentIndexTest, BrokenEntriesCostOnlyThemselves) {
    const QString a = make(QStringLiteral("a.txt"));
    const QString b = make(QStringLiteral("b.txt"));
    const QString c = make(QStringLiteral("c.txt"));
    const QString d = make(QStringLiteral("d.txt"));
    QByteArray badDate = bookmark(used(b, 2));
    badDate.replace(iso(now.addSecs(-7200)).toUtf8().left(10), "2024-13-45");
    QByteArray noHref = bookmark(used(c, 3));
    noHref.replace("href=", "hrof=");
    QByteArray badUtf8 = bookmark(used(c, 3));
    badUtf8.replace("text/plain", "text/\xff\xfe");
    QByteArray badAppDate = bookmark(used(d, 4));
    badAppDate.replace("count=\"1\"", "count=\"1\" modified=\"yesterday\"");
    Entry withApp = used(d, 5);
    withApp.apps = {{QStringLiteral("ed"), now.addSecs(-5 * 3600)}};
    QByteArray badApp = bookmark(withApp);
    badApp.replace(iso(now.addSecs(-5 * 3600)).toUtf8(), "never");

    write(xbel({bookmark(used(a, 1)), badDate, noHref, badUtf8, badApp, bookmark(used(d, 6))}));
    EXPECT_EQ(paths(gather(RecentItemKind::document)), (QStringList{a, d}));

    // A file cut off in the middle of an entry keeps the complete entries.
    QByteArray whole = xbel({bookmark(used(a, 1)), bookmark(used(b, 2)), bookmark(used(c, 3))});
    write(whole.left(whole.indexOf(uri(c).toUtf8()) + 10));
    EXPECT_EQ(paths(gather(RecentItemKind::document)), (QStringList{a, b}));
}

TEST_F(RecentIndexTest, HostileFilesGiveNoResultsQuickly) {
    const QString a = make(QStringLiteral("a.txt"));
    QByteArray good = bookmark(used(a, 1));
    const QList<QByteArray> hostile{
        // Entity expansion: GLib's parser knows no declared entities.
        "<?xml version=\"1.0\"?><!DOCTYPE x [<!ENTITY l \"lollollol\"><!ENTITY m "
        "\"&l;&l;&l;&l;&l;&l;&l;&l;\">]>" +
            kHeader.mid(kHeader.indexOf("<xbel")) + good.replace(uri(a).toUtf8(), "&m;") +
            "</xbel>",
        // Deep nesting inside an entry, and outside.
        xbel({"<bookmark href=\"" + uri(a).toUtf8() + "\"><info>" +
              QByteArray("<x>").repeated(200000) + QByteArray("</x>").repeated(200000) +
              "</info></bookmark>"}),
        kHeader + QByteArray("<bookmark>").repeated(300000),
        kHeader + QByteArray("<bookmark href=\"").repeated(300000),
        QByteArray(1 << 20, '\0'),
        QByteArray("\xef\xbb\xbf\xff\xfe<xbel>"),
        QByteArray(),
    };
    for (const QByteArray& data : hostile) {
        write(data);
        EXPECT_TRUE(gather(RecentItemKind::document).isEmpty()) << data.left(80).toStdString();
    }
}

TEST_F(RecentIndexTest, ReadsOnlyUpToTheSizeCapAndNeverBlocksOnAPipe) {
    const QString a = make(QStringLiteral("a.txt"));
    const QString b = make(QStringLiteral("b.txt"));
    QByteArray data = xbel({bookmark(used(a, 1)), bookmark(used(b, 2))});
    data.insert(data.indexOf("</xbel>"), QByteArray(4096, ' '));
    write(data);
    EXPECT_EQ(paths(gather(RecentItemKind::document, 720, 0, data.indexOf(uri(b).toUtf8()))),
              QStringList{a});
    EXPECT_EQ(paths(gather(RecentItemKind::document, 720, 0, 1 << 20)), (QStringList{a, b}));

    QFile::remove(file);
    ASSERT_EQ(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
    EXPECT_TRUE(gather(RecentItemKind::document).isEmpty());
    QFile::remove(file);
    QDir().mkpath(file);
    EXPECT_TRUE(gather(RecentItemKind::document).isEmpty());
}

TEST_F(RecentIndexTest, QueriesReportOnTheMainThreadOnceAndNotAfterStop) {
    const QString a = make(QStringLiteral("a.txt"));
    write(xbel({bookmark(used(a, 1))}));
    LinuxRecentItemsIndex index(file, home);
    EXPECT_EQ(index.bookmarkFilePath(), file);

    auto query = index.makeQuery({RecentItemKind::document, now.addDays(-1)});
    int reports = 0;
    QList<RecentItemsResult> got;
    bool onMain = false;
    query->start([&](const QList<RecentItemsResult>& results) {
        ++reports;
        got = results;
        onMain = QThread::currentThread() == qApp->thread();
    });
    EXPECT_TRUE(query->isGathering());
    ASSERT_TRUE(waitUntil([&] { return reports > 0; }));
    EXPECT_TRUE(onMain);
    EXPECT_FALSE(query->isGathering());
    EXPECT_EQ(paths(got), QStringList{a});

    // Restarting twice: only the newest start reports. Stopping: nothing reports.
    int first = 0, second = 0;
    query->start([&](const QList<RecentItemsResult>&) { ++first; });
    query->start([&](const QList<RecentItemsResult>&) { ++second; });
    ASSERT_TRUE(waitUntil([&] { return second > 0; }));
    query->start([&](const QList<RecentItemsResult>&) { ++first; });
    query->stop();
    EXPECT_FALSE(query->isGathering());
    // A query destroyed while gathering never reports either.
    auto other = index.makeQuery({RecentItemKind::document, now.addDays(-1)});
    other->start([&](const QList<RecentItemsResult>&) { ++first; });
    other.reset();
    // The worker is serial: once a later query reported, the earlier ones are done.
    auto later = index.makeQuery({RecentItemKind::document, now.addDays(-1)});
    bool laterReported = false;
    later->start([&](const QList<RecentItemsResult>&) { laterReported = true; });
    ASSERT_TRUE(waitUntil([&] { return laterReported; }));
    drainEvents(5);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);

    // A query may be destroyed from inside its own report.
    auto self = index.makeQuery({RecentItemKind::document, now.addDays(-1)});
    bool destroyed = false;
    self->start([&](const QList<RecentItemsResult>&) {
        self.reset();
        destroyed = true;
    });
    EXPECT_TRUE(waitUntil([&] { return destroyed; }));
}

TEST_F(RecentIndexTest, ParsesOnceForBothKindsAndAgainOnlyForANewVersionOfTheFile) {
    const QString a = make(QStringLiteral("a.txt"));
    const QString b = make(QStringLiteral("b.txt"));
    const QString dir = makeDir(QStringLiteral("Projects"));
    const QByteArray withA = xbel({bookmark(used(a, 1)), bookmark(used(dir, 2))});
    QByteArray withB = withA;
    withB.replace(uri(a).toUtf8(), uri(b).toUtf8());
    write(withA);
    LinuxRecentItemsIndex index(file, home);
    const RecentItemsPredicate documents{RecentItemKind::document, now.addDays(-1)};
    const RecentItemsPredicate folders{RecentItemKind::folder, now.addDays(-1)};

    // As at start-up: both kinds asked at once, one parse between them.
    auto folderQuery = index.makeQuery(folders);
    auto documentQuery = index.makeQuery(documents);
    QStringList gotFolders, gotDocuments;
    int reports = 0;
    folderQuery->start(
        [&](const QList<RecentItemsResult>& r) { gotFolders = paths(r), ++reports; });
    documentQuery->start(
        [&](const QList<RecentItemsResult>& r) { gotDocuments = paths(r), ++reports; });
    ASSERT_TRUE(waitUntil([&] { return reports == 2; }));
    EXPECT_EQ(gotFolders, QStringList{dir});
    EXPECT_EQ(gotDocuments, QStringList{a});
    EXPECT_EQ(index.parseCount(), 1);

    auto ask = [&](const RecentItemsPredicate& predicate) {
        auto query = index.makeQuery(predicate);
        std::optional<QStringList> got;
        query->start([&](const QList<RecentItemsResult>& r) { got = paths(r); });
        EXPECT_TRUE(waitUntil([&] { return got.has_value(); }));
        return got.value_or(QStringList{QStringLiteral("no report")});
    };
    EXPECT_EQ(ask(documents), QStringList{a});
    EXPECT_EQ(ask(folders), QStringList{dir});
    EXPECT_EQ(index.parseCount(), 1);

    auto modified = [&] {
        struct stat st {};
        EXPECT_EQ(::stat(QFile::encodeName(file).constData(), &st), 0);
        return st.st_mtim;
    };
    auto setModified = [](const QString& path, timespec when) {
        const timespec times[2] = {when, when};
        EXPECT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
    };
    // Each change alone is a new version: the other two marks are put back as they were.
    struct Change {
        const char* what;
        std::function<void(timespec before)> apply;
        QStringList documents;
    };
    const QList<Change> changes{
        {"same size, new modification time",
         [&](timespec before) {
             write(withB);
             setModified(file, {before.tv_sec + 1, before.tv_nsec});
         },
         {b}},
        {"same modification time, new size",
         [&](timespec before) {
             write(withA + '\n');
             setModified(file, before);
         },
         {a}},
        {"replaced by a rename, same size and time",
         [&](timespec before) {
             const QString next = file + QStringLiteral(".new");
             QFile out(next);
             ASSERT_TRUE(out.open(QIODevice::WriteOnly));
             out.write(withB + '\n');
             out.close();
             setModified(next, before);
             ASSERT_EQ(
                 ::rename(QFile::encodeName(next).constData(), QFile::encodeName(file).constData()),
                 0);
         },
         {b}},
        {"removed", [&](timespec) { QFile::remove(file); }, {}},
    };
    int parses = index.parseCount();
    for (const Change& change : changes) {
        SCOPED_TRACE(change.what);
        change.apply(modified());
        EXPECT_EQ(ask(documents), change.documents);
        EXPECT_EQ(index.parseCount(), ++parses);
        EXPECT_EQ(ask(documents), change.documents);
        EXPECT_EQ(index.parseCount(), parses);
    }
}

// The file GTK itself writes, through Gtk.RecentManager under a private X display.
TEST_F(RecentIndexTest, ReadsTheFileGtkWrites) {
    const QString python = QStringLiteral("/usr/bin/python3");
    QProcess probe;
    probe.start(python, {QStringLiteral("-c"),
                         QStringLiteral("import gi; gi.require_version('Gtk', '3.0'); "
                                        "from gi.repository import Gtk")});
    if (!probe.waitForFinished(20000) || probe.exitCode() != 0)
        GTEST_SKIP() << "python3-gi with GTK 3 is not installed";

    QProcess xvfb;
    xvfb.start(QStringLiteral("Xvfb"),
               {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                QStringLiteral("0"), QStringLiteral("640x480x24"), QStringLiteral("-nolisten"),
                QStringLiteral("tcp")});
    if (!xvfb.waitForStarted(5000))
        GTEST_SKIP() << "Xvfb is not available";
    QByteArray display;
    QDeadlineTimer deadline(10000);
    while (!display.contains('\n') && !deadline.hasExpired() && xvfb.state() == QProcess::Running) {
        xvfb.waitForReadyRead(100);
        display += xvfb.readAllStandardOutput();
    }
    if (!display.contains('\n')) {
        xvfb.kill();
        xvfb.waitForFinished();
        GTEST_SKIP() << "Xvfb did not start";
    }

    const QString notes = make(QStringLiteral("Documents/notes été.txt"));
    const QString folder = makeDir(QStringLiteral("Documents/Projects"));
    const QString dataHome = root.path() + QStringLiteral("/data");
    QDir().mkpath(dataHome);
    const QString script = QStringLiteral(R"(
import sys, gi
gi.require_version('Gtk', '3.0')
from gi.repository import Gtk, GLib
if not Gtk.init_check(sys.argv)[0]:
    sys.exit(3)
manager = Gtk.RecentManager.get_default()
uris = [GLib.filename_to_uri(p, None) for p in sys.argv[1:]]
for u in uris:
    manager.add_item(u)
def written():
    try:
        data = open(manager.props.filename, encoding='utf-8').read()
    except OSError:
        return True
    if all(('href="%s"' % u) in data for u in uris):
        Gtk.main_quit()
        return False
    return True
GLib.timeout_add(50, written)
GLib.timeout_add(15000, Gtk.main_quit)
Gtk.main()
)");
    QProcess gtk;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), u':' + QString::fromLatin1(display.trimmed()));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    env.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
    gtk.setProcessEnvironment(env);
    gtk.start(python, {QStringLiteral("-c"), script, notes, folder});
    const bool finished = gtk.waitForFinished(30000);
    xvfb.terminate();
    xvfb.waitForFinished(5000);
    ASSERT_TRUE(finished);
    ASSERT_EQ(gtk.exitCode(), 0) << gtk.readAllStandardError().toStdString();

    file = dataHome + QStringLiteral("/recently-used.xbel");
    ASSERT_TRUE(QFileInfo::exists(file));
    const auto docs = gather(RecentItemKind::document, 1);
    ASSERT_EQ(paths(docs), QStringList{notes});
    EXPECT_LE(qAbs(docs[0].lastUsedDate.secsTo(QDateTime::currentDateTimeUtc())), 120);
    EXPECT_EQ(paths(gather(RecentItemKind::folder, 1)), QStringList{folder});

    // And through the default location, as the program reads it.
    const QByteArray savedDataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome));
    LinuxRecentItemsIndex index({}, home);
    qputenv("XDG_DATA_HOME", savedDataHome);
    EXPECT_EQ(index.bookmarkFilePath(), file);
}

} // namespace
