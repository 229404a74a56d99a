// Building the open-applications menu for 50 running applications, against the window-list
// query alone (the same 50 applications from the same window system), measured in one run.
// Half of the applications have a known last activation, so the order uses both rules.
#include "common/Services.h"
#include "fakes/FakeBundle.h"
#include "fakes/FakeRunningApplications.h"
#include "fakes/FakeWorkspace.h"
#include "history/RunningApplicationsHistoryService.h"
#include "strip/StripWindowController.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QMenu>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kApplications = 50;

// Icons come from a theme, which Qt caches by name; so does this workspace.
class CachingWorkspace : public FakeWorkspace {
public:
    QIcon iconForName(const QString& iconName) override {
        auto it = icons_.constFind(iconName);
        if (it == icons_.constEnd())
            it = icons_.insert(iconName, FakeWorkspace::iconForName(iconName));
        return *it;
    }

private:
    QHash<QString, QIcon> icons_;
};

struct Fixture {
    std::shared_ptr<FakeRunningApplications> running = std::make_shared<FakeRunningApplications>();
    std::unique_ptr<Services> services;
    std::unique_ptr<StripWindowController> controller;

    Fixture() {
        Platform p;
        p.bundle = std::make_shared<FakeBundle>();
        p.defaults = std::make_shared<InMemoryUserDefaults>();
        p.workspace = std::make_shared<CachingWorkspace>();
        p.runningApplications = running;
        services = std::make_unique<Services>(p);
        controller = std::make_unique<StripWindowController>(*services);

        auto& history = services->get<RunningApplicationsHistoryService>();
        QDateTime clock = QDateTime::currentDateTimeUtc();
        history.setClock([&clock] { return clock; });
        history.start();
        for (int i = 0; i < kApplications; ++i) {
            const QString n = QString::number(i);
            RunningApplication app = makeRunningApplication(
                QStringLiteral("Application ") + n, QStringLiteral("org.example.app") + n,
                QStringLiteral("/usr/share/applications/app") + n + QStringLiteral(".desktop"));
            app.iconName = QStringLiteral("icon-") + n;
            running->apps << app;
            if (i % 2 == 0) {
                clock = clock.addSecs(1);
                running->bringToFront(app);
            }
        }
        history.setClock([] { return QDateTime::currentDateTimeUtc(); });
    }
};

// Nanoseconds per call of fn, averaged over enough calls to fill about 0.2 s.
template <class Fn> double nanosecondsPerCall(Fn&& fn) {
    QElapsedTimer timer;
    qint64 calls = 0;
    timer.start();
    while (timer.nsecsElapsed() < 200'000'000) {
        fn();
        ++calls;
    }
    return double(timer.nsecsElapsed()) / double(calls);
}

void BM_WindowListQuery(benchmark::State& state) {
    Fixture f;
    for (auto _ : state)
        benchmark::DoNotOptimize(f.running->runningApplications());
}
BENCHMARK(BM_WindowListQuery);

void BM_OpenAppsMenu(benchmark::State& state) {
    Fixture f;
    // The menu goes away at once, as it does once it closes.
    auto build = [&] {
        f.controller->makeOpenAppsMenu();
    };
    for (auto _ : state)
        build();
    const std::unique_ptr<QMenu> menu = f.controller->makeOpenAppsMenu();
    // Header, the 50 applications, separator, hide-all.
    state.counters["items"] = double(menu->actions().size());
    const double menuNs = nanosecondsPerCall(build);
    const double queryNs =
        nanosecondsPerCall([&] { benchmark::DoNotOptimize(f.running->runningApplications()); });
    state.counters["menu_us"] = menuNs / 1000.0;
    state.counters["query_us"] = queryNs / 1000.0;
    state.counters["menu_vs_query"] = menuNs / queryNs;
    state.counters["menu_us_per_app"] = menuNs / 1000.0 / kApplications;
}
BENCHMARK(BM_OpenAppsMenu)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
