// Recent documents from a 50,000-entry recently-used file (about 26 MB), each figure against
// what a reader of the file pays anyway, measured in the same run:
// - a press over a changed file (the index reads and parses it again) against a bare
//   g_bookmark_file_load_from_file of the same file;
// - a press over an unchanged file (the last parse is reused) against a bare stat() of it.

#include "RecentlyUsedFixture.h"
#include "common/Services.h"
#include "history/RecentDocumentsService.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "platform/linux/LinuxFileSystem.h"
#include "platform/linux/LinuxRecentItemsIndex.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <glib.h>
#include <optional>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr int kEntries = 50000;

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

RecentlyUsedFixture* fixture = nullptr;

struct Baseline {
    double wallNs = 0;
    double cpuNs = 0;
};
Baseline glibLoad, bareStat;

qint64 processCpuNs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

// The median wall and process CPU time of runs calls of fn.
template <class Fn> Baseline median(int runs, Fn&& fn) {
    std::vector<qint64> wall, cpu;
    for (int i = 0; i < runs; ++i) {
        const qint64 cpu0 = processCpuNs();
        QElapsedTimer t;
        t.start();
        fn();
        wall.push_back(t.nsecsElapsed());
        cpu.push_back(processCpuNs() - cpu0);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    return {double(wall[wall.size() / 2]), double(cpu[cpu.size() / 2])};
}

void loadWithGLib() {
    GBookmarkFile* file = g_bookmark_file_new();
    if (!g_bookmark_file_load_from_file(file, QFile::encodeName(fixture->file).constData(),
                                        nullptr))
        std::fprintf(stderr, "GLib could not load the fixture\n");
    g_bookmark_file_free(file);
}

void statFile() {
    struct stat st {};
    ::stat(QFile::encodeName(fixture->file).constData(), &st);
    benchmark::DoNotOptimize(st);
}

// A new modification time, as when an application records a use.
void touchFixture() {
    static qint64 bump = 0;
    const timespec when{time_t(QDateTime::currentSecsSinceEpoch() - 100000 + ++bump), 0};
    const timespec times[2] = {when, when};
    ::utimensat(AT_FDCWD, QFile::encodeName(fixture->file).constData(), times, 0);
}

void report(benchmark::State& state, qint64 wallNs, qint64 cpuNs, const Baseline& baseline,
            const char* name) {
    const double n = double(state.iterations());
    state.counters["ms"] = double(wallNs) / n / 1e6;
    state.counters[std::string("x_") + name] = double(wallNs) / n / baseline.wallNs;
    state.counters[std::string("cpu_x_") + name] = double(cpuNs) / n / baseline.cpuNs;
}

void BareGLibLoad(benchmark::State& state) {
    qint64 wall = 0, cpu = 0;
    for (auto _ : state) {
        const qint64 cpu0 = processCpuNs();
        QElapsedTimer t;
        t.start();
        loadWithGLib();
        wall += t.nsecsElapsed();
        cpu += processCpuNs() - cpu0;
    }
    report(state, wall, cpu, glibLoad, "glib_load");
}

void BareStat(benchmark::State& state) {
    for (auto _ : state)
        statFile();
    state.counters["us"] = bareStat.wallNs / 1000;
}

// One index query, started and waited for on the main thread, as the services do it.
std::vector<RecentItemsResult> runQuery(LinuxRecentItemsIndex& index) {
    RecentItemsPredicate predicate{RecentItemKind::document,
                                   QDateTime::currentDateTimeUtc().addDays(-30),
                                   RecentDocumentsService::maxQueryResults};
    auto query = index.makeQuery(predicate);
    std::optional<QList<RecentItemsResult>> results;
    query->start([&](const QList<RecentItemsResult>& r) { results = r; });
    while (!results)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return {results->begin(), results->end()};
}

void PressOverChangedFile(benchmark::State& state) {
    LinuxRecentItemsIndex index(fixture->file, fixture->home);
    qint64 wall = 0, cpu = 0;
    size_t found = 0;
    for (auto _ : state) {
        touchFixture();
        const qint64 cpu0 = processCpuNs();
        QElapsedTimer t;
        t.start();
        found = runQuery(index).size();
        wall += t.nsecsElapsed();
        cpu += processCpuNs() - cpu0;
    }
    if (index.parseCount() != int(state.iterations()))
        state.SkipWithError("a changed file was not parsed again");
    if (found != size_t(RecentDocumentsService::maxQueryResults))
        state.SkipWithError("the query found too few documents");
    report(state, wall, cpu, glibLoad, "glib_load");
}

void PressOverUnchangedFile(benchmark::State& state) {
    LinuxRecentItemsIndex index(fixture->file, fixture->home);
    runQuery(index);
    qint64 wall = 0, cpu = 0;
    for (auto _ : state) {
        const qint64 cpu0 = processCpuNs();
        QElapsedTimer t;
        t.start();
        benchmark::DoNotOptimize(runQuery(index));
        wall += t.nsecsElapsed();
        cpu += processCpuNs() - cpu0;
    }
    if (index.parseCount() != 1)
        state.SkipWithError("an unchanged file was parsed again");
    report(state, wall, cpu, bareStat, "stat");
    state.counters["us"] = double(wall) / double(state.iterations()) / 1000;
}

// The whole road of a documents press over an unchanged file: the index query, record building
// on the service's worker, back to the main thread, then the grouped list.
void DocumentsPressUnchanged(benchmark::State& state) {
    Platform platform;
    platform.defaults = std::make_shared<InMemoryUserDefaults>();
    platform.fileSystem = std::make_shared<LinuxFileSystem>();
    platform.workspace = std::make_shared<QuickWorkspace>();
    auto index = std::make_shared<LinuxRecentItemsIndex>(fixture->file, fixture->home);
    platform.recentItemsIndex = index;
    Services services(platform);
    int updates = 0;
    services.notifications().addObserver(RecentDocumentsService::didUpdateNotification,
                                         [&](const QVariantMap&) { ++updates; });
    auto& documents = services.get<RecentDocumentsService>();
    auto press = [&] {
        const int before = updates;
        documents.refresh();
        while (updates == before)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        return documents.currentGroups();
    };
    press();
    documents.waitForBackgroundWork();
    qint64 wall = 0, cpu = 0;
    int listed = 0;
    for (auto _ : state) {
        const qint64 cpu0 = processCpuNs();
        QElapsedTimer t;
        t.start();
        const auto groups = press();
        wall += t.nsecsElapsed();
        cpu += processCpuNs() - cpu0;
        listed = 0;
        for (const auto& g : groups)
            listed += int(g.items.size());
        documents.waitForBackgroundWork();
    }
    if (listed != RecentDocumentsService::maxResults)
        state.SkipWithError("the list is not full");
    if (index->parseCount() != 1)
        state.SkipWithError("an unchanged file was parsed again");
    report(state, wall, cpu, bareStat, "stat");
    state.counters["us"] = double(wall) / double(state.iterations()) / 1000;
}

BENCHMARK(BareGLibLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(PressOverChangedFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BareStat)->Unit(benchmark::kMicrosecond);
BENCHMARK(PressOverUnchangedFile)->Unit(benchmark::kMicrosecond);
BENCHMARK(DocumentsPressUnchanged)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    QTemporaryDir root;
    RecentlyUsedFixture f =
        makeRecentlyUsedFixture(root.path() + QStringLiteral("/home"),
                                root.path() + QStringLiteral("/recently-used.xbel"), kEntries);
    fixture = &f;
    // The baselines, measured before the benchmarks that compare with them.
    glibLoad = median(5, loadWithGLib);
    bareStat = median(1001, statFile);
    std::printf("recently-used file: %d entries, %lld bytes; bare GLib load %.1f ms (CPU %.1f ms), "
                "bare stat %.2f us; x_NAME: wall time over that baseline, cpu_x_NAME: process "
                "CPU time over the baseline's\n",
                kEntries, static_cast<long long>(f.fileSize), glibLoad.wallNs / 1e6,
                glibLoad.cpuNs / 1e6, bareStat.wallNs / 1000);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
