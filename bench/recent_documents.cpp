// Recent documents from a 50,000-entry recently-used file (about 26 MB), each figure against
// what a reader of the file pays anyway, measured in the same run:
// - a press over a changed file (the index reads and parses it again) against a bare
//   g_bookmark_file_load_from_file of the same file;
// - a press over an unchanged file (the last parse is reused) against a bare stat() of it.

#include "RecentlyUsedFixture.h"
#include "common/Services.h"
#include "history/RecentDocumentsService.h"
#include "platform/RunningApplications.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "platform/linux/files/LinuxFileSystem.h"
#include "platform/linux/xdg/XbelRecentItemsIndex.h"

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

// Nothing running: the press's icons then come from the workspace alone.
class NoRunningApplications : public RunningApplications {
public:
    QList<RunningApplication> runningApplications() override { return {}; }
    std::optional<RunningApplication> frontmostApplication() override { return std::nullopt; }
    bool hide(const RunningApplication&) override { return false; }
    bool unhide(const RunningApplication&) override { return false; }
    bool activate(const RunningApplication&) override { return false; }
    void activateCurrentApplication() override {}
};

RecentlyUsedFixture* fixture = nullptr;

qint64 processCpuNs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
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

// One index query, started and waited for on the main thread, as the services do it.
std::vector<RecentItemsResult> runQuery(XbelRecentItemsIndex& index) {
    RecentItemsPredicate predicate{RecentItemKind::document,
                                   QDateTime::currentDateTimeUtc().addDays(-30),
                                   RecentDocumentsService::maxQueryResults};
    auto query = index.makeQuery(predicate);
    std::optional<QList<RecentItemsResult>> results;
    query->start([&](const QList<RecentItemsResult>& r) { results = r; });
    while (!results)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return {results->begin(), results->end()};
}

// Wall and process CPU time of fn, added to the totals.
template <class Fn> void timed(qint64& wall, qint64& cpu, Fn&& fn) {
    const qint64 cpu0 = processCpuNs();
    QElapsedTimer t;
    t.start();
    fn();
    wall += t.nsecsElapsed();
    cpu += processCpuNs() - cpu0;
}

// Each iteration also measures its baseline right before, so both see the same load.
void reportAgainst(benchmark::State& state, qint64 wall, qint64 cpu, qint64 baseWall,
                   qint64 baseCpu, const char* name) {
    const double n = double(state.iterations());
    state.counters["ms"] = double(wall) / n / 1e6;
    state.counters[std::string("base_ms")] = double(baseWall) / n / 1e6;
    state.counters[std::string("x_") + name] = double(wall) / double(baseWall);
    state.counters[std::string("cpu_x_") + name] = double(cpu) / double(baseCpu);
}

void PressOverChangedFile(benchmark::State& state) {
    XbelRecentItemsIndex index(fixture->file, fixture->home);
    qint64 wall = 0, cpu = 0, baseWall = 0, baseCpu = 0;
    size_t found = 0;
    for (auto _ : state) {
        timed(baseWall, baseCpu, loadWithGLib);
        touchFixture();
        timed(wall, cpu, [&] { found = runQuery(index).size(); });
    }
    if (index.parseCount() != int(state.iterations()))
        state.SkipWithError("a changed file was not parsed again");
    if (found != size_t(RecentDocumentsService::maxQueryResults))
        state.SkipWithError("the query found too few documents");
    reportAgainst(state, wall, cpu, baseWall, baseCpu, "glib_load");
}

void PressOverUnchangedFile(benchmark::State& state) {
    XbelRecentItemsIndex index(fixture->file, fixture->home);
    runQuery(index);
    qint64 wall = 0, cpu = 0, baseWall = 0, baseCpu = 0;
    for (auto _ : state) {
        timed(baseWall, baseCpu, statFile);
        timed(wall, cpu, [&] { benchmark::DoNotOptimize(runQuery(index)); });
    }
    if (index.parseCount() != 1)
        state.SkipWithError("an unchanged file was parsed again");
    reportAgainst(state, wall, cpu, baseWall, baseCpu, "stat");
    state.counters["us"] = double(wall) / double(state.iterations()) / 1000;
    state.counters["cpu_us"] = double(cpu) / double(state.iterations()) / 1000;
}

// The whole road of a documents press over an unchanged file: the index query, record building
// on the service's worker, back to the main thread, then the grouped list.
void DocumentsPressUnchanged(benchmark::State& state) {
    Platform platform;
    platform.defaults = std::make_shared<InMemoryUserDefaults>();
    platform.fileSystem = std::make_shared<LinuxFileSystem>();
    platform.workspace = std::make_shared<QuickWorkspace>();
    platform.runningApplications = std::make_shared<NoRunningApplications>();
    auto index = std::make_shared<XbelRecentItemsIndex>(fixture->file, fixture->home);
    platform.recentItemsIndex = index;
    Services services(platform);
    RecentDocumentsService documents(services.defaults(), services.fileSystem(),
                                     services.recentItemsIndex(), services.runningApplications(),
                                     services.workspace());
    int updates = 0;
    QObject::connect(&documents, &RecentDocumentsService::didUpdate, [&] { ++updates; });
    auto press = [&] {
        const int before = updates;
        documents.refresh();
        while (updates == before)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return documents.currentGroups();
    };
    press();
    documents.waitForBackgroundWork();
    qint64 wall = 0, cpu = 0, baseWall = 0, baseCpu = 0;
    int listed = 0;
    for (auto _ : state) {
        timed(baseWall, baseCpu, statFile);
        QList<RecentDocumentGroup> groups;
        timed(wall, cpu, [&] { groups = press(); });
        listed = 0;
        for (const auto& g : groups)
            listed += int(g.items.size());
        documents.waitForBackgroundWork();
    }
    if (listed != RecentDocumentsService::maxResults)
        state.SkipWithError("the list is not full");
    if (index->parseCount() != 1)
        state.SkipWithError("an unchanged file was parsed again");
    reportAgainst(state, wall, cpu, baseWall, baseCpu, "stat");
    state.counters["us"] = double(wall) / double(state.iterations()) / 1000;
}

BENCHMARK(PressOverChangedFile)->Unit(benchmark::kMillisecond);
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
    std::printf("recently-used file: %d entries, %lld bytes; x_NAME: wall time over that of the "
                "baseline measured beside it in each iteration, cpu_x_NAME: the same for the "
                "process CPU time\n",
                kEntries, static_cast<long long>(f.fileSize));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
