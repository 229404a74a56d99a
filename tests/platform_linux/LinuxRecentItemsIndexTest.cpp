#include "platform/linux/LinuxRecentItemsIndex.h"
#include "support/TempTree.h"
#include "support/TestSupport.h"

#include <QThread>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <optional>

namespace {

const QByteArray kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xbel version=\"1.0\"\n"
    "      xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\"\n"
    "      xmlns:mime=\"http://www.freedesktop.org/standards/shared-mime-info\"\n>\n";

QString iso(const QDateTime& date) {
    return date.toUTC().toString(Qt::ISODateWithMs);
}

// One bookmark as GLib writes it, used at `when` (left out when invalid), and by an
// application at `byApp` when that is valid.
QByteArray bookmark(const QString& href, const QDateTime& when, const QDateTime& byApp = {}) {
    const QString dates = when.isValid() ? QStringLiteral(" added=\"%1\" modified=\"%1\" "
                                                          "visited=\"%1\"")
                                               .arg(iso(when))
                                         : QString();
    const QString app = byApp.isValid() ? QStringLiteral("<bookmark:application name=\"ed\" exec="
                                                         "\"&apos;ed %u&apos;\" modified=\"%1\" "
                                                         "count=\"1\"/>")
                                              .arg(iso(byApp))
                                        : QString();
    return QStringLiteral("  <bookmark href=\"%1\"%2>\n    <info><metadata "
                          "owner=\"http://freedesktop.org\"><mime:mime-type type=\"text/plain\"/>"
                          "<bookmark:applications>%3</bookmark:applications></metadata></info>\n"
                          "  </bookmark>\n")
        .arg(href, dates, app)
        .toUtf8();
}

QByteArray xbel(const QList<QByteArray>& bookmarks) {
    return kHeader + bookmarks.join() + "</xbel>\n";
}

QString uri(const QString& path) {
    return QString::fromUtf8(QUrl::fromLocalFile(path).toEncoded());
}

QStringList paths(const QList<RecentItemsResult>& results) {
    QStringList out;
    for (const auto& r : results)
        out << r.path;
    return out;
}

// A home folder with a bookmark file beside it.
class LinuxRecentItemsIndexTest : public ::testing::Test {
protected:
    TempTree tree;
    const QString home = tree.add(QStringLiteral("home/"));
    QString file = tree.path(QStringLiteral("recently-used.xbel"));
    const QDateTime now = QDateTime::currentDateTimeUtc();

    QString make(const char* relative) { return tree.add(QStringLiteral("home/") + relative); }
    QByteArray used(const QString& path, qint64 hoursAgo) {
        return bookmark(uri(path), now.addSecs(-hoursAgo * 3600));
    }
    void write(const QByteArray& data) { writeFile(file, data); }
    QStringList gather(RecentItemKind kind, int limit = 0, qint64 maxSize = 1 << 26) {
        return paths(
            LinuxRecentItemsIndex::gather(file, home, maxSize, {kind, now.addDays(-30), limit}));
    }
};

TEST_F(LinuxRecentItemsIndexTest, SelectsDocumentsOrFoldersUnderHomeNewestFirst) {
    TempTree elsewhere{"outside.txt"};
    const QString script = make("bin/build.sh"), tool = make("bin/tool");
    for (const QString& program : {script, tool})
        QFile::setPermissions(program, QFile::permissions(program) | QFileDevice::ExeOwner);
    const QString report = make("work/report with space.pdf"), notes = make("notes.txt");
    const QString projects = make("Projects/"), music = make("Music/");
    // Each with the hours since its use, in the order they are expected.
    const QList<std::pair<QString, int>> shown{
        {report, 1}, {script, 3}, {projects, 4}, {notes, 5}, {music, 6}};
    const QList<std::pair<QString, int>> hidden{
        {tool, 2}, // a program without a document's name
        {make("apps/editor.desktop"), 2},
        {make("old.txt"), 24 * 40}, // before the cut-off
        {home + QStringLiteral("/gone.txt"), 1},
        {elsewhere.path("outside.txt"), 1},
        {home, 1},
    };
    QList<QByteArray> entries{bookmark(QStringLiteral("https://example.org/page"), now),
                              bookmark(QStringLiteral("file://otherhost") + notes, now)};
    for (const auto& [path, hours] : shown + hidden)
        entries.prepend(used(path, hours));
    write(xbel(entries));

    EXPECT_EQ(gather(RecentItemKind::document), (QStringList{report, script, notes}));
    EXPECT_EQ(gather(RecentItemKind::folder), (QStringList{projects, music}));
    EXPECT_EQ(gather(RecentItemKind::document, 2), (QStringList{report, script}));
}

TEST_F(LinuxRecentItemsIndexTest, MergesEntriesNamingTheSamePathAtTheirLatestDate) {
    const QString a = make("a.txt"), b = make("b.txt");
    write(xbel({used(a, 10), bookmark(QStringLiteral("file://localhost") + a, now.addSecs(-7200)),
                used(home + QStringLiteral("/sub/../a.txt"), 9),
                bookmark(uri(a), now.addDays(-3), now.addSecs(-3600)),
                // No dates at all: nobody said when it was used.
                bookmark(uri(b), {})}));
    const auto docs = LinuxRecentItemsIndex::gather(
        file, home, 1 << 20, {RecentItemKind::document, QDateTime::fromSecsSinceEpoch(0)});
    ASSERT_EQ(paths(docs), QStringList{a});
    EXPECT_EQ(docs[0].lastUsedDate.toMSecsSinceEpoch(), now.addSecs(-3600).toMSecsSinceEpoch());
}

TEST_F(LinuxRecentItemsIndexTest, BrokenEntriesCostOnlyThemselves) {
    const QString a = make("a.txt"), b = make("b.txt"), c = make("c.txt"), d = make("d.txt");
    const auto broken = [&](const QString& path, const QByteArray& from, const QByteArray& to) {
        return bookmark(uri(path), now.addSecs(-7200), now.addSecs(-7200)).replace(from, to);
    };
    const QByteArray date = iso(now.addSecs(-7200)).toUtf8();
    write(xbel({used(a, 1), broken(b, date.left(10), "2024-13-45"), broken(c, "href=", "hrof="),
                broken(c, "text/plain", "text/\xff\xfe"),
                broken(d, "count=\"1\"", "count=\"1\" modified=\"yesterday\""), used(d, 6)}));
    EXPECT_EQ(gather(RecentItemKind::document), (QStringList{a, d}));

    // A file cut off in the middle of an entry keeps the complete entries.
    const QByteArray whole = xbel({used(a, 1), used(b, 2), used(c, 3)});
    write(whole.left(whole.indexOf(uri(c).toUtf8()) + 10));
    EXPECT_EQ(gather(RecentItemKind::document), (QStringList{a, b}));
}

TEST_F(LinuxRecentItemsIndexTest, HostileFilesGiveNoResultsQuickly) {
    const QString a = make("a.txt");
    const QByteArray aUri = uri(a).toUtf8();
    const QList<QByteArray> hostile{
        // Entity expansion: GLib's parser knows no declared entities.
        "<?xml version=\"1.0\"?><!DOCTYPE x [<!ENTITY l \"lollollol\"><!ENTITY m "
        "\"&l;&l;&l;&l;&l;&l;&l;&l;\">]>" +
            kHeader.mid(kHeader.indexOf("<xbel")) + used(a, 1).replace(aUri, "&m;") + "</xbel>",
        // Deep nesting inside an entry, and outside.
        xbel({"<bookmark href=\"" + aUri + "\"><info>" + QByteArray("<x>").repeated(200000) +
              QByteArray("</x>").repeated(200000) + "</info></bookmark>"}),
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

TEST_F(LinuxRecentItemsIndexTest, ReadsOnlyUpToTheSizeCapAndNeverBlocksOnAPipe) {
    const QString a = make("a.txt"), b = make("b.txt");
    QByteArray data = xbel({used(a, 1), used(b, 2)});
    data.insert(data.indexOf("</xbel>"), QByteArray(4096, ' '));
    write(data);
    EXPECT_EQ(gather(RecentItemKind::document, 0, data.indexOf(uri(b).toUtf8())), QStringList{a});
    EXPECT_EQ(gather(RecentItemKind::document, 0, 1 << 20), (QStringList{a, b}));

    QFile::remove(file);
    ASSERT_TRUE(makeFifo(file));
    EXPECT_TRUE(gather(RecentItemKind::document).isEmpty());
    QFile::remove(file);
    QDir().mkpath(file);
    EXPECT_TRUE(gather(RecentItemKind::document).isEmpty());
}

TEST_F(LinuxRecentItemsIndexTest, QueriesReportOnTheMainThreadOnceAndNotAfterStop) {
    write(xbel({used(make("a.txt"), 1)}));
    LinuxRecentItemsIndex index(file, home);
    const RecentItemsPredicate documents{RecentItemKind::document, now.addDays(-1)};
    auto query = index.makeQuery(documents);
    int stale = 0, reports = 0;
    query->start([&](const QList<RecentItemsResult>& results) {
        EXPECT_EQ(results.size(), 1);
        EXPECT_EQ(QThread::currentThread(), qApp->thread());
        ++reports;
    });
    EXPECT_TRUE(query->isGathering());
    ASSERT_TRUE(waitUntil([&] { return reports == 1; }));
    EXPECT_FALSE(query->isGathering());

    // Restarted, only the newest start reports; stopped or destroyed, nothing does.
    query->start([&](const QList<RecentItemsResult>&) { ++stale; });
    query->start([&](const QList<RecentItemsResult>&) { ++reports; });
    ASSERT_TRUE(waitUntil([&] { return reports == 2; }));
    query->start([&](const QList<RecentItemsResult>&) { ++stale; });
    query->stop();
    EXPECT_FALSE(query->isGathering());
    index.makeQuery(documents)->start([&](const QList<RecentItemsResult>&) { ++stale; });
    // The worker is serial: once a later query reported, the earlier ones are done. This one
    // is destroyed from inside its own report.
    auto later = index.makeQuery(documents);
    later->start([&](const QList<RecentItemsResult>&) { later.reset(); });
    ASSERT_TRUE(waitUntil([&] { return !later; }));
    drainEvents(5);
    EXPECT_EQ(stale, 0);
    EXPECT_EQ(reports, 2);
}

TEST_F(LinuxRecentItemsIndexTest, ParsesOnceForBothKindsAndAgainOnlyForANewVersionOfTheFile) {
    const QString a = make("a.txt"), b = make("b.txt"), dir = make("Projects/");
    const QByteArray withA = xbel({used(a, 1), used(dir, 2)});
    const QByteArray withB = QByteArray(withA).replace(uri(a).toUtf8(), uri(b).toUtf8());
    write(withA);
    LinuxRecentItemsIndex index(file, home);
    const auto ask = [&](RecentItemKind kind) {
        auto query = index.makeQuery({kind, now.addDays(-1)});
        std::optional<QStringList> got;
        query->start([&](const QList<RecentItemsResult>& r) { got = paths(r); });
        EXPECT_TRUE(waitUntil([&] { return got.has_value(); }));
        return got.value_or(QStringList{QStringLiteral("no report")});
    };
    EXPECT_EQ(ask(RecentItemKind::document), QStringList{a});
    EXPECT_EQ(ask(RecentItemKind::folder), QStringList{dir});
    EXPECT_EQ(index.parseCount(), 1);

    // Each change alone is a new version: the other marks are put back as they were.
    const struct {
        const char* what;
        QByteArray data; // written in place, or renamed over the file when `renamed`
        bool renamed, sameTime;
        QStringList documents;
    } changes[] = {
        {"same size, new modification time", withB, false, false, {b}},
        {"same modification time, new size", withA + '\n', false, true, {a}},
        {"replaced by a rename, same size and time", withB + '\n', true, true, {b}},
        {"removed", {}, false, false, {}},
    };
    int parses = index.parseCount();
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
        EXPECT_EQ(ask(RecentItemKind::document), change.documents);
        EXPECT_EQ(index.parseCount(), ++parses);
        EXPECT_EQ(ask(RecentItemKind::folder).isEmpty(), change.data.isEmpty());
        EXPECT_EQ(index.parseCount(), parses);
    }
}

} // namespace
