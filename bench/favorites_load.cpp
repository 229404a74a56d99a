// Loading a favorites store resolves every stored reference, normalises it, checks that the
// file exists and asks for its name and icon, on workers. Measured against what the file system
// alone charges: 200 plain stat calls on the same files, timed in the same run.
#include "BenchMain.h"
#include "common/Dates.h"
#include "common/Services.h"
#include "favorites/FavoritesService.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "platform/linux/files/LinuxBookmarkService.h"
#include "platform/linux/files/LinuxFileSystem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <sys/stat.h>
#include <vector>

namespace {
constexpr int kFavorites = 200;

// Icons are the workspace's business and measured with it; here they cost nothing.
class QuietWorkspace : public Workspace {
public:
    bool openURL(const QUrl&) override { return false; }
    std::optional<QUrl> applicationToOpenURL(const QUrl&) override { return std::nullopt; }
    bool launchApplication(const QUrl&, bool) override { return false; }
    QIcon iconForFile(const QString&) override { return icon_; }
    QIcon iconForFileType(const QString&) override { return icon_; }
    QString iconNameForFile(const QString&) override { return {}; }
    QIcon iconForName(const QString&) override { return icon_; }

private:
    QIcon icon_;
};

struct Fixture {
    QTemporaryDir dir;
    std::vector<QByteArray> localPaths;
    std::shared_ptr<InMemoryUserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
    std::unique_ptr<Services> services;

    Fixture() {
        const QString root = QFileInfo(dir.path()).canonicalFilePath();
        auto bookmarks = std::make_shared<LinuxBookmarkService>();
        QVariantList blobs, times;
        for (int i = 0; i < kFavorites; ++i) {
            // Spread over a few folders, as real favorites are.
            const QString folder = root + QStringLiteral("/folder%1").arg(i % 10);
            QDir().mkpath(folder);
            const QString path = folder + QStringLiteral("/document %1.txt").arg(i);
            QFile f(path);
            if (f.open(QIODevice::WriteOnly))
                f.write("x");
            f.close();
            localPaths.push_back(QFile::encodeName(path));
            blobs << *bookmarks->createBookmark(QUrl::fromLocalFile(path), true);
            times << 1.7e9 + i;
        }
        defaults->setObject(rawValue(FavoritesCategory::documents), blobs);
        defaults->setObject(rawValue(FavoritesCategory::documents) + QStringLiteral("AddedAt"),
                            times);
        Platform platform;
        platform.defaults = defaults;
        platform.bookmarks = bookmarks;
        platform.fileSystem = std::make_shared<LinuxFileSystem>();
        platform.workspace = std::make_shared<QuietWorkspace>();
        services = std::make_unique<Services>(platform);
    }

    void stat200() const {
        struct stat st {};
        for (const QByteArray& p : localPaths)
            benchmark::DoNotOptimize(::stat(p.constData(), &st));
    }
};

using Clock = std::chrono::steady_clock;

// The cheapest of several rounds, so that one interruption does not skew the baseline.
double statBaselineSeconds(const Fixture& fixture) {
    double best = 1e9;
    for (int round = 0; round < 50; ++round) {
        const auto start = Clock::now();
        fixture.stat200();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

void BM_Stat200(benchmark::State& state) {
    Fixture fixture;
    for (auto _ : state)
        fixture.stat200();
}
BENCHMARK(BM_Stat200)->Unit(benchmark::kMicrosecond);

// The store lists its favorites at once and checks them on workers: what the main thread pays
// before the list is there, and how long until every check has ended.
void BM_LoadFavorites200(benchmark::State& state) {
    Fixture fixture;
    const double baseline = statBaselineSeconds(fixture);
    double best = 1e9, bestChecked = 1e9;
    for (auto _ : state) {
        const auto start = Clock::now();
        FavoritesService store(fixture.services->defaults(), fixture.services->fileSystem(),
                               fixture.services->bookmarks(), fixture.services->workspace(),
                               FavoritesCategory::documents);
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
        while (store.isChecking())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        bestChecked =
            std::min(bestChecked, std::chrono::duration<double>(Clock::now() - start).count());
        if (store.favorites().size() != kFavorites)
            state.SkipWithError("the store did not load every favorite");
        benchmark::DoNotOptimize(store.favorites().data());
    }
    state.counters["stat200_us"] = baseline * 1e6;
    state.counters["main_thread_us"] = best * 1e6;
    state.counters["checked_us"] = bestChecked * 1e6;
    state.counters["main_thread_per_stat200"] = best / baseline;
    state.counters["checked_per_stat200"] = bestChecked / baseline;
}
BENCHMARK(BM_LoadFavorites200)->Unit(benchmark::kMicrosecond);
// Fifty favorites whose files were deleted, in a home of twenty thousand entries: the first
// press against what resolving them on the spot costs (each searched for by the scoped and
// then the unscoped resolution, as a store that checked on the main thread did).
void BM_FirstPressWithFiftyMissing(benchmark::State& state) {
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    for (int i = 0; i < 20000; ++i)
        QFile(home.filePath(QStringLiteral("entry %1").arg(i))).open(QIODevice::WriteOnly);
    auto bookmarks = std::make_shared<LinuxBookmarkService>();
    QVariantList blobs;
    for (int i = 0; i < 50; ++i) {
        const QString path = home.filePath(QStringLiteral("gone %1.txt").arg(i));
        QFile(path).open(QIODevice::WriteOnly);
        blobs << *bookmarks->createBookmark(QUrl::fromLocalFile(path), true);
    }
    for (const QVariant& blob : std::as_const(blobs))
        QFile::remove(bookmarks->recordedURL(blob.toByteArray())->toLocalFile());
    const auto defaults = std::make_shared<InMemoryUserDefaults>();
    defaults->setObject(rawValue(FavoritesCategory::documents), blobs);
    Platform platform;
    platform.defaults = defaults;
    platform.bookmarks = bookmarks;
    platform.fileSystem = std::make_shared<LinuxFileSystem>();
    platform.workspace = std::make_shared<QuietWorkspace>();
    Services services(platform);
    double press = 0, checked = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        FavoriteStores stores(services.defaults(), services.fileSystem(), services.bookmarks(),
                              services.workspace());
        FavoritesService& store = stores.store(FavoritesCategory::documents);
        benchmark::DoNotOptimize(store.favorites().data());
        press = std::chrono::duration<double>(Clock::now() - start).count();
        while (store.isChecking())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        checked = std::chrono::duration<double>(Clock::now() - start).count();
    }
    const auto start = Clock::now();
    for (const QVariant& blob : std::as_const(blobs)) {
        LinuxBookmarkService fresh;
        if (!fresh.resolveBookmark(blob.toByteArray(), true))
            LinuxBookmarkService().resolveBookmark(blob.toByteArray(), false);
    }
    const double onTheSpot = std::chrono::duration<double>(Clock::now() - start).count();
    state.counters["first_press_ms"] = press * 1e3;
    state.counters["checked_ms"] = checked * 1e3;
    state.counters["resolved_on_the_spot_ms"] = onTheSpot * 1e3;
    state.counters["first_press_vs_on_the_spot"] = press / onTheSpot;
    state.counters["searches"] = bookmarks->searchesMade();
}
BENCHMARK(BM_FirstPressWithFiftyMissing)->Iterations(3)->Unit(benchmark::kMillisecond);
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv); // the checks' results come through its event loop
    return runBenchmarks(argc, argv);
}
