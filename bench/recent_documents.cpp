// Recent documents from a 5,000-entry recently-used file: parsing, the index query, and the
// grouped list the documents menu shows, per entry, against a plain read of the same file
// measured in the same run.

#include "common/Services.h"
#include "history/RecentDocumentsService.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "platform/linux/LinuxFileSystem.h"
#include "platform/linux/LinuxRecentItemsIndex.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kEntries = 5000;

// A workspace that answers at once, so that the numbers are this program's own work.
class QuickWorkspace : public Workspace {
public:
    bool openURL(const QUrl&) override { return true; }
    std::optional<QUrl> applicationToOpenURL(const QUrl& url) override {
        if (url.path().endsWith(QLatin1String(".txt")))
            return QUrl::fromLocalFile(QStringLiteral("/usr/share/applications/editor.desktop"));
        return std::nullopt;
    }
    bool launchApplication(const QUrl&, bool) override { return true; }
    QIcon iconForFile(const QString&) override { return {}; }
    QIcon iconForFileType(const QString&) override { return {}; }
    QString iconNameForFile(const QString&) override { return QStringLiteral("text-x-generic"); }
    QIcon iconForName(const QString&) override { return {}; }
};

struct Fixture {
    QTemporaryDir root;
    QString home;
    QString file;
    qint64 fileSize = 0;
};
Fixture* fixture = nullptr;
double plainReadNsPerEntry = 0;

QString iso(const QDateTime& d) {
    return d.toString(Qt::ISODateWithMs);
}

// Entries like GTK writes them: mostly documents that exist, some folders, some files that
// are gone, some outside the home folder, dates spread over two months.
void generate(Fixture& f) {
    f.home = f.root.path() + QStringLiteral("/home");
    QDir().mkpath(f.home + QStringLiteral("/docs"));
    QDir().mkpath(f.home + QStringLiteral("/folders"));
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const char* extensions[] = {"txt", "pdf", "odt", "png", "c"};
    QByteArray xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xbel version=\"1.0\"\n"
        "      xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\"\n"
        "      xmlns:mime=\"http://www.freedesktop.org/standards/shared-mime-info\"\n>\n";
    for (int i = 0; i < kEntries; ++i) {
        QString path;
        if (i % 10 == 9) {
            path = f.home + QStringLiteral("/folders/f%1").arg(i);
            QDir().mkpath(path);
        } else if (i % 10 == 8) {
            path = f.home + QStringLiteral("/docs/gone%1.txt").arg(i);
        } else if (i % 10 == 7) {
            path = QStringLiteral("/usr/share/doc/x%1.txt").arg(i);
        } else {
            path =
                f.home +
                QStringLiteral("/docs/document %1.%2").arg(i).arg(QLatin1String(extensions[i % 5]));
            QFile(path).open(QIODevice::WriteOnly);
        }
        const QDateTime added = now.addSecs(-qint64(i) * 1037 % (60 * 24 * 3600));
        const QDateTime modified = added.addSecs(60);
        xml +=
            QStringLiteral("  <bookmark href=\"%1\" added=\"%2\" modified=\"%3\" visited=\"%2\">\n"
                           "    <info>\n      <metadata owner=\"http://freedesktop.org\">\n"
                           "        <mime:mime-type type=\"text/plain\"/>\n"
                           "        <bookmark:applications>\n"
                           "          <bookmark:application name=\"Editor\" "
                           "exec=\"&apos;editor %u&apos;\" modified=\"%3\" count=\"%4\"/>\n"
                           "        </bookmark:applications>\n      </metadata>\n"
                           "    </info>\n  </bookmark>\n")
                .arg(QString::fromUtf8(QUrl::fromLocalFile(path).toEncoded()), iso(added),
                     iso(modified), QString::number(i % 7 + 1))
                .toUtf8();
    }
    xml += "</xbel>\n";
    f.file = f.root.path() + QStringLiteral("/recently-used.xbel");
    QFile out(f.file);
    out.open(QIODevice::WriteOnly);
    out.write(xml);
    f.fileSize = xml.size();
}

QByteArray plainRead() {
    QFile f(fixture->file);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

// The median of several plain reads, in nanoseconds per entry: the baseline until the
// PlainRead benchmark measures it again.
double measurePlainRead() {
    std::vector<qint64> samples;
    for (int i = 0; i < 31; ++i) {
        QElapsedTimer t;
        t.start();
        benchmark::DoNotOptimize(plainRead());
        samples.push_back(t.nsecsElapsed());
    }
    std::sort(samples.begin(), samples.end());
    return double(samples[samples.size() / 2]) / kEntries;
}

void report(benchmark::State& state, qint64 totalNs) {
    const double perEntry = double(totalNs) / double(state.iterations()) / kEntries;
    state.counters["ns_per_entry"] = perEntry;
    state.counters["x_plain_read"] = perEntry / plainReadNsPerEntry;
}

void PlainRead(benchmark::State& state) {
    qint64 total = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        benchmark::DoNotOptimize(plainRead());
        total += t.nsecsElapsed();
    }
    // The baseline of the benchmarks that follow.
    plainReadNsPerEntry = double(total) / double(state.iterations()) / kEntries;
    report(state, total);
}

void ParseEntries(benchmark::State& state) {
    qint64 total = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        auto entries = parseRecentlyUsedFile(
            readRecentlyUsedFile(fixture->file, LinuxRecentItemsIndex::defaultMaxFileSize));
        total += t.nsecsElapsed();
        if (entries.size() != kEntries)
            state.SkipWithError("not every entry parsed");
    }
    report(state, total);
}

// The whole road: the index query in the background, record building on the service's worker,
// back to the main thread, then the grouped list.
void QueryAndGroup(benchmark::State& state) {
    Platform platform;
    platform.defaults = std::make_shared<InMemoryUserDefaults>();
    platform.fileSystem = std::make_shared<LinuxFileSystem>();
    platform.workspace = std::make_shared<QuickWorkspace>();
    platform.recentItemsIndex =
        std::make_shared<LinuxRecentItemsIndex>(fixture->file, fixture->home);
    Services services(platform);
    int updates = 0;
    services.notifications().addObserver(RecentDocumentsService::didUpdateNotification,
                                         [&](const QVariantMap&) { ++updates; });
    auto& documents = services.get<RecentDocumentsService>();
    qint64 total = 0;
    int listed = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        const int before = updates;
        documents.refresh();
        while (updates == before)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        const auto groups = documents.currentGroups();
        total += t.nsecsElapsed();
        listed = 0;
        for (const auto& g : groups)
            listed += int(g.items.size());
        documents.waitForBackgroundWork();
    }
    if (listed != RecentDocumentsService::maxResults)
        state.SkipWithError("the list is not full");
    report(state, total);
}

BENCHMARK(PlainRead)->Unit(benchmark::kMillisecond);
BENCHMARK(ParseEntries)->Unit(benchmark::kMillisecond);
BENCHMARK(QueryAndGroup)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    Fixture f;
    fixture = &f;
    generate(f);
    plainReadNsPerEntry = measurePlainRead();
    std::printf("recently-used file: %d entries, %lld bytes; x_plain_read is the time per entry "
                "over that of a plain read of the file\n",
                kEntries, static_cast<long long>(f.fileSize));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
