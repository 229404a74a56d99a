#include "platform/linux/xdg/XbelRecentItemsIndex.h"
#include "support/TempTree.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QThread>
#include <fcntl.h>
#include <glib.h>

using namespace Qt::StringLiterals;

namespace {

const QByteArray kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xbel version=\"1.0\"\n"
    " xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\""
    "\n xmlns:mime=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";

QByteArray uri(const QString& path) {
    return QUrl::fromLocalFile(path).toEncoded();
}

// One bookmark as GLib writes it: used at `when` (no dates when invalid), and by an application
// at `byApp` when that is valid.
QByteArray bookmark(const QByteArray& href, const QDateTime& when, const QDateTime& byApp = {}) {
    const QByteArray at = when.toUTC().toString(Qt::ISODateWithMs).toUtf8();
    const QByteArray dates = " added=\"" + at + "\" modified=\"" + at + "\" visited=\"" + at + '"';
    const QByteArray app =
        "<bookmark:application name=\"ed\" exec=\"&apos;ed %u&apos;\" modified=\"" +
        byApp.toUTC().toString(Qt::ISODateWithMs).toUtf8() + "\" count=\"1\"/>";
    return "<bookmark href=\"" + href + '"' + (when.isValid() ? dates : "") +
           "><info><metadata owner=\"http://freedesktop.org\"><mime:mime-type type=\"text/plain\"/>"
           "<bookmark:applications>" +
           (byApp.isValid() ? app : "") + "</bookmark:applications></metadata></info></bookmark>\n";
}

QByteArray xbel(const QList<QByteArray>& bookmarks) {
    return kHeader + bookmarks.join() + "</xbel>\n";
}

QStringList paths(const QList<RecentItemsResult>& results) {
    QStringList out;
    for (const auto& r : results)
        out << r.path;
    return out;
}

// A home folder with a bookmark file beside it.
class XbelRecentItemsIndexTest : public ::testing::Test {
protected:
    TempTree tree;
    const QString home = tree.add(u"home/"_s), file = tree.path(u"recently-used.xbel"_s);
    const QDateTime now = QDateTime::currentDateTimeUtc();

    QString make(const char* relative) { return tree.add("home/"_L1 + relative); }
    QByteArray used(const QString& path, qint64 hoursAgo) {
        return bookmark(uri(path), now.addSecs(-hoursAgo * 3600));
    }
    QStringList gather(RecentItemKind kind, int limit = 0, qint64 maxSize = 1 << 26) {
        return paths(
            XbelRecentItemsIndex::gather(file, home, maxSize, {kind, now.addDays(-30), limit}));
    }
};

TEST_F(XbelRecentItemsIndexTest, SelectsDocumentsOrFoldersUnderHomeNewestFirstOnceEach) {
    TempTree elsewhere{"outside.txt"};
    const QString script = writeFile(tree.path(u"home/bin/build.sh"_s), "x", true);
    const QString tool = writeFile(tree.path(u"home/bin/tool"_s), "x", true);
    const QString report = make("work/report with space.pdf"), notes = make("notes.txt");
    const QString projects = make("Projects/"), music = make("Music/");
    // Used that many hours ago: those shown first, in the order expected; then a
    // program without a document's name, an entry, one used before the cut-off, one gone, one
    // outside the home folder and the home folder itself.
    const QStringList order = QStringList{report, script, projects, notes, music, tool}
                              << make("apps/editor.desktop") << make("old.txt")
                              << home + u"/gone.txt"_s << elsewhere.path(u"outside.txt"_s) << home;
    const int hours[] = {1, 3, 4, 5, 6, 2, 2, 24 * 40, 1, 1, 1};
    QList<QByteArray> bookmarks{bookmark("https://example.org/page", now),
                                bookmark("file://otherhost" + notes.toUtf8(), now)};
    for (int i = 0; i < order.size(); ++i)
        bookmarks.prepend(used(order[i], hours[i]));
    writeFile(file, xbel(bookmarks));
    EXPECT_EQ(gather(RecentItemKind::document), (QStringList{report, script, notes}));
    EXPECT_EQ(gather(RecentItemKind::folder), (QStringList{projects, music}));
    EXPECT_EQ(gather(RecentItemKind::document, 2), (QStringList{report, script}));

    // Entries naming the same path are one, at the latest of their dates and their
    // applications'; one without dates was never said to be used.
    const QString b = make("b.txt");
    writeFile(
        file,
        xbel({used(notes, 10), bookmark("file://localhost" + notes.toUtf8(), now.addSecs(-7200)),
              used(home + u"/sub/../notes.txt"_s, 9),
              bookmark(uri(notes), now.addDays(-3), now.addSecs(-60)), bookmark(uri(b), {})}));
    const auto docs = XbelRecentItemsIndex::gather(
        file, home, 1 << 20, {RecentItemKind::document, QDateTime::fromSecsSinceEpoch(0)});
    ASSERT_EQ(paths(docs), QStringList{notes});
    EXPECT_EQ(docs[0].lastUsedDate.toMSecsSinceEpoch(), now.addSecs(-60).toMSecsSinceEpoch());
}

// The file as GLib's own writer makes it (GTK's recent manager writes through it): groups,
// applications with stamps, every date with microseconds, names outside ASCII.
TEST_F(XbelRecentItemsIndexTest, ReadsTheFileGLibWrites) {
    const QString notes = make("Documents/notes été.txt"), projects = make("Documents/Projects/");
    GBookmarkFile* written = g_bookmark_file_new();
    const struct {
        QString path;
        qint64 visitedSecsAgo, appSecsAgo;
    } entries[] = {{notes, 7200, 60}, {projects, 600, 3600}};
    for (const auto& e : entries) {
        const QByteArray href = uri(e.path);
        GDateTime* visited =
            g_date_time_new_from_unix_utc(now.toSecsSinceEpoch() - e.visitedSecsAgo);
        GDateTime* stamp =
            g_date_time_add(visited, (e.visitedSecsAgo - e.appSecsAgo) * G_USEC_PER_SEC + 123456);
        g_bookmark_file_set_visited_date_time(written, href, visited);
        g_bookmark_file_add_group(written, href, "Pelora");
        g_bookmark_file_set_application_info(written, href, "ed", "ed %u", 2, stamp, nullptr);
        // Each change above dated the item "now"; the last word is the test's.
        g_bookmark_file_set_added_date_time(written, href, visited);
        g_bookmark_file_set_modified_date_time(written, href, visited);
        g_date_time_unref(stamp);
        g_date_time_unref(visited);
    }
    ASSERT_TRUE(g_bookmark_file_to_file(written, QFile::encodeName(file), nullptr));
    g_bookmark_file_free(written);
    const auto docs =
        XbelRecentItemsIndex::gather(file, home, 1 << 20, {RecentItemKind::document, {}, 0});
    ASSERT_EQ(paths(docs), QStringList{notes});
    EXPECT_EQ(docs[0].lastUsedDate.toMSecsSinceEpoch() / 1000, now.toSecsSinceEpoch() - 60);
    EXPECT_EQ(docs[0].lastUsedDate.toMSecsSinceEpoch() % 1000, 123);
    EXPECT_EQ(gather(RecentItemKind::folder), QStringList{projects});
}

TEST_F(XbelRecentItemsIndexTest, BadInputCostsOnlyTheBrokenEntriesAndNeverHangs) {
    const QString a = make("a.txt"), b = make("b.txt"), c = make("c.txt"), d = make("d.txt"),
                  e = make("e.txt");
    const auto broken = [&](const QString& path, const QByteArray& from, const QByteArray& to) {
        return bookmark(uri(path), now.addSecs(-7200), now.addSecs(-7200)).replace(from, to);
    };
    const QByteArray whole = xbel({used(a, 1), used(b, 2), used(c, 3)});
    const QByteArray deep = "<bookmark href=\"" + uri(a) + "\"><info>" +
                            QByteArray("<x>").repeated(200000) +
                            QByteArray("</x>").repeated(200000);
    // Salvaged below a root start tag of 2 MB, under the prefix it declares.
    const QByteArray wideRoot =
        "<xbel xmlns:bm=\"http://www.freedesktop.org/standards/desktop-bookmarks\" junk=\"" +
        QByteArray(2 << 20, 'j') + "\">";
    const QByteArray stampedOnly =
        "<bookmark href=\"" + uri(b) +
        "\"><info><metadata><bm:applications><bm:application name=\"ed\" exec=\"ed\" timestamp=\"" +
        QByteArray::number(now.toSecsSinceEpoch() - 60) +
        "\"/></bm:applications></metadata></info></bookmark>\n";
    const struct {
        const char* what;
        QByteArray data;
        QStringList documents;
        qint64 maxSize = 1 << 26;
    } cases[] = {
        {"broken entries",
         xbel({used(a, 1),
               broken(b, now.addSecs(-7200).toString(Qt::ISODate).left(10).toUtf8(), "2024-13-45"),
               broken(c, "href=", "hrof="), broken(c, "text/plain", "text/\xff\xfe"),
               broken(d, "count=", "modified=\"yesterday\" count="), used(d, 6),
               broken(e, "count=", "timestamp=\"-9223372036854775808\" count=")}),
         {a, d, e}}, // an application's stamp out of any clock's reach is no date
        {"cut off in the middle of an entry", whole.left(whole.indexOf(uri(c)) + 10), {a, b}},
        {"read only up to the size cap", whole, {a}, whole.indexOf(uri(b))},
        // Entity expansion: GLib's parser knows no declared entities.
        {"entities",
         "<?xml version=\"1.0\"?><!DOCTYPE x [<!ENTITY l \"lollollol\"><!ENTITY m "
         "\"&l;&l;&l;&l;&l;&l;&l;&l;\">]>" +
             kHeader.mid(kHeader.indexOf("<xbel")) + used(a, 1).replace(uri(a), "&m;") + "</xbel>",
         {}},
        {"deep inside an entry", xbel({deep + "</info></bookmark>"}), {}},
        {"nested deeper than any real file",
         xbel({used(a, 1), used(b, 2)
                               .replace("<info>", "<info>" + QByteArray("<x>").repeated(12))
                               .replace("</info>", QByteArray("</x>").repeated(12) + "</info>")}),
         {a}},
        {"broken below a huge root tag", wideRoot + stampedOnly.repeated(10000) + "<broken", {b}},
        {"deep outside", kHeader + QByteArray("<bookmark>").repeated(300000), {}},
        {"open attributes", kHeader + QByteArray("<bookmark href=\"").repeated(300000), {}},
        {"zeros", QByteArray(1 << 20, '\0'), {}},
        {"not UTF-8", "\xef\xbb\xbf\xff\xfe<xbel>", {}},
        {"empty", "", {}},
        {"a FIFO", "|", {}}, // a blocking open would wait for a writer
        {"a folder", "/", {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (!QFile::remove(file))
            QDir(file).removeRecursively();
        c.data == "|" || c.data == "/" ? void(tree.add(u"recently-used.xbel"_s + c.data))
                                       : void(writeFile(file, c.data));
        EXPECT_EQ(gather(RecentItemKind::document, 0, c.maxSize), c.documents);
    }
}

// A query reports once, on the main thread; a restarted, stopped or destroyed one never reports
// what it gathered before. The file is parsed once for both kinds, again only when it changed.
TEST_F(XbelRecentItemsIndexTest,
       QueriesReportTheirNewestStartFromOneParsePerVersionOfTheFileAndChangesAreTold) {
    const QString a = make("a.txt"), b = make("b.txt"), dir = make("Projects/");
    const QByteArray withA = xbel({used(a, 1), used(dir, 2)});
    const QByteArray withB = QByteArray(withA).replace(uri(a), uri(b));
    writeFile(file, withA);
    XbelRecentItemsIndex index(file, home);
    const RecentItemsPredicate documents{RecentItemKind::document, now.addDays(-1), 0};
    int stale = 0, newest = 0;
    const auto ignored = [&](const QList<RecentItemsResult>&) {
        ++stale;
    };
    auto query = index.makeQuery(documents);
    query->start(ignored);
    query->start([&](const QList<RecentItemsResult>& results) {
        ++newest;
        EXPECT_EQ(paths(results), QStringList{a});
        EXPECT_EQ(QThread::currentThread(), qApp->thread());
    });
    ASSERT_TRUE(waitUntil([&] { return newest > 0; }));
    query->start(ignored);
    query->stop();
    index.makeQuery(documents)->start(ignored); // and destroyed at once
    const auto ask = [&](RecentItemKind kind) {
        auto asked = index.makeQuery({kind, now.addDays(-1)});
        std::optional<QStringList> got;
        asked->start([&](const QList<RecentItemsResult>& r) { got = paths(r); });
        EXPECT_TRUE(waitUntil([&] { return got.has_value(); }));
        return got.value_or(QStringList{u"no report"_s});
    };
    // The worker is serial: once a later query reported, the earlier ones are done.
    EXPECT_EQ(ask(RecentItemKind::document), QStringList{a});
    EXPECT_EQ(ask(RecentItemKind::folder), QStringList{dir});
    drainEvents();
    EXPECT_EQ(stale, 0);
    EXPECT_EQ(newest, 1);
    EXPECT_EQ(index.parseCount(), 1);
    // Each change alone is a new version: the other marks are put back as they were.
    const struct {
        const char* what;
        QByteArray data; // written in place, or renamed over the file when `renamed`
        bool renamed, sameTime;
        QStringList documents;
    } changes[] = {{"same size, new modification time", withB, false, false, {b}},
                   {"same modification time, new size", withA + '\n', false, true, {a}},
                   {"replaced by a rename, same size and time", withB + '\n', true, true, {b}},
                   {"removed", {}, false, false, {}}};
    int parses = index.parseCount();
    // Every change is also told without a query, so that users of the index can ask again.
    int told = 0;
    QObject::connect(&index, &RecentItemsIndex::changed, [&] { ++told; });
    for (const auto& change : changes) {
        SCOPED_TRACE(change.what);
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &st), 0);
        const timespec when[2] = {st.st_mtim,
                                  {st.st_mtim.tv_sec + !change.sameTime, st.st_mtim.tv_nsec}};
        const QByteArray target = QFile::encodeName(file) + (change.renamed ? ".new" : "");
        if (change.data.isEmpty()) {
            QFile::remove(file);
        } else {
            writeFile(QFile::decodeName(target), change.data);
            ASSERT_EQ(::utimensat(AT_FDCWD, target.constData(), when, 0), 0);
            ASSERT_EQ(::rename(target.constData(), QFile::encodeName(file).constData()), 0);
        }
        const int before = told;
        EXPECT_TRUE(waitUntil([&] { return told > before; }));
        EXPECT_EQ(ask(RecentItemKind::document), change.documents);
        EXPECT_EQ(index.parseCount(), ++parses);
        EXPECT_EQ(ask(RecentItemKind::folder).isEmpty(), change.data.isEmpty());
        EXPECT_EQ(index.parseCount(), parses);
    }
}

} // namespace
