// Building the open-applications menu for 50 running applications, against what any window
// list costs anyway: the bare EWMH query of a real X display (Xvfb with openbox) showing 50
// windows, _NET_CLIENT_LIST and then each window's class, name and pid, measured in the same
// run. Half of the applications have a known last activation, so the order uses both rules.
// On GNOME the list comes from Pelora's shell extension, kept current by its signals: a press
// only groups the windows it holds into applications, measured against the same X11 query.
#include "BenchMain.h"
#include "PrivateDisplay.h"
#include "platform/linux/gnome/GnomeShellWindows.h"
#include "platform/linux/x11/X11Connection.h"
#include "strip/StripTestServices.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QMenu>
#include <QThread>
#include <benchmark/benchmark.h>

#include <memory>
#include <unistd.h>
#include <xcb/xcb.h>

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
    StripTestServices strip{[this](Platform& p) {
        p.workspace = std::make_shared<CachingWorkspace>();
        p.runningApplications = running;
    }};
    std::unique_ptr<StripWindowController>& controller = strip.controller;

    Fixture() {
        auto& history = strip.applications;
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

// A real display with kApplications small windows, one application each, managed by openbox.
struct X11Windows {
    PrivateDisplay display;
    xcb_connection_t* owner = nullptr;  // keeps the windows
    xcb_connection_t* reader = nullptr; // asks for the list, as another client would
    xcb_window_t root = 0;
    xcb_atom_t clientList = 0, wmClass = 0, wmName = 0, utf8 = 0, wmPid = 0;
    bool ready = false;

    xcb_atom_t atom(const char* name) { return internAtom(reader, name); }
    void setProperty(xcb_window_t w, xcb_atom_t property, xcb_atom_t type, int format,
                     const void* data, uint32_t length) {
        xcb_change_property(owner, XCB_PROP_MODE_REPLACE, w, property, type, uint8_t(format),
                            length, data);
    }

    X11Windows() {
        if (display.name.isEmpty())
            return;
        const QByteArray name = display.name.toLatin1();
        owner = xcb_connect(name.constData(), nullptr);
        reader = xcb_connect(name.constData(), nullptr);
        if (xcb_connection_has_error(owner) || xcb_connection_has_error(reader))
            return;
        root = xcb_setup_roots_iterator(xcb_get_setup(reader)).data->root;
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(owner)).data;
        clientList = atom("_NET_CLIENT_LIST");
        wmClass = XCB_ATOM_WM_CLASS;
        wmName = atom("_NET_WM_NAME");
        utf8 = atom("UTF8_STRING");
        wmPid = atom("_NET_WM_PID");
        const uint32_t pid = uint32_t(::getpid());
        for (int i = 0; i < kApplications; ++i) {
            const xcb_window_t w = xcb_generate_id(owner);
            xcb_create_window(owner, XCB_COPY_FROM_PARENT, w, screen->root, int16_t(i * 20), 0, 16,
                              16, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0,
                              nullptr);
            const QByteArray cls =
                "app" + QByteArray::number(i) + '\0' + "App" + QByteArray::number(i) + '\0';
            setProperty(w, wmClass, XCB_ATOM_STRING, 8, cls.constData(), uint32_t(cls.size()));
            const QByteArray title = "Application " + QByteArray::number(i);
            setProperty(w, wmName, utf8, 8, title.constData(), uint32_t(title.size()));
            setProperty(w, wmPid, XCB_ATOM_CARDINAL, 32, &pid, 1);
            xcb_map_window(owner, w);
        }
        xcb_flush(owner);
        QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired() && !ready) {
            ready = query() >= kApplications;
            if (!ready)
                QThread::msleep(20);
        }
    }
    ~X11Windows() {
        if (reader)
            xcb_disconnect(reader);
        if (owner)
            xcb_disconnect(owner);
    }

    // The bare window-list query: the list, then each window's three properties, pipelined.
    // How many windows answered with a class.
    int query() {
        const auto list = takeReply(xcb_get_property_reply(
            reader, xcb_get_property(reader, 0, root, clientList, XCB_ATOM_WINDOW, 0, 4096),
            nullptr));
        if (!list)
            return 0;
        const auto* windows = static_cast<const xcb_window_t*>(xcb_get_property_value(list.get()));
        const int n = xcb_get_property_value_length(list.get()) / int(sizeof(xcb_window_t));
        std::vector<xcb_get_property_cookie_t> cookies;
        cookies.reserve(size_t(n) * 3);
        for (int i = 0; i < n; ++i) {
            cookies.push_back(
                xcb_get_property(reader, 0, windows[i], wmClass, XCB_ATOM_STRING, 0, 256));
            cookies.push_back(xcb_get_property(reader, 0, windows[i], wmName, utf8, 0, 256));
            cookies.push_back(
                xcb_get_property(reader, 0, windows[i], wmPid, XCB_ATOM_CARDINAL, 0, 1));
        }
        int named = 0;
        for (size_t i = 0; i < cookies.size(); ++i) {
            const auto reply = takeReply(xcb_get_property_reply(reader, cookies[i], nullptr));
            if (i % 3 == 0 && reply && xcb_get_property_value_length(reply.get()) > 0)
                ++named;
        }
        return named;
    }
};

void BM_X11WindowListQuery(benchmark::State& state) {
    X11Windows x11;
    if (!x11.ready) {
        state.SkipWithError("no X display with the windows (Xvfb and openbox needed)");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(x11.query());
}
BENCHMARK(BM_X11WindowListQuery)->Unit(benchmark::kMicrosecond);

void BM_OpenAppsMenu(benchmark::State& state) {
    Fixture f;
    // The menu goes away at once, as it does once it closes.
    auto build = [&] {
        f.controller->menuForModule(StripModule::windows);
    };
    for (auto _ : state)
        build();
    const std::unique_ptr<QMenu> menu = f.controller->menuForModule(StripModule::windows);
    // Header, the 50 applications, separator, hide-all.
    state.counters["items"] = double(menu->actions().size());
    const double menuNs = nanosecondsPerCall(build);
    X11Windows x11;
    if (!x11.ready) {
        state.SkipWithError("no X display with the windows (Xvfb and openbox needed)");
        return;
    }
    const double queryNs = nanosecondsPerCall([&] { benchmark::DoNotOptimize(x11.query()); });
    state.counters["menu_us"] = menuNs / 1000.0;
    state.counters["x11_query_us"] = queryNs / 1000.0;
    state.counters["menu_vs_x11_query"] = menuNs / queryNs;
    state.counters["menu_us_per_app"] = menuNs / 1000.0 / kApplications;
}
BENCHMARK(BM_OpenAppsMenu)->Unit(benchmark::kMicrosecond);

// 50 windows as the extension lists them, each of its own application with a desktop entry.
void BM_GnomeShellWindowList(benchmark::State& state) {
    ToplevelList toplevels;
    GnomeShellWindowList list(toplevels);
    QList<QVariantMap> windows;
    QHash<QString, std::optional<DesktopEntry>> entries; // looked up once, as the client does
    for (int i = 0; i < kApplications; ++i) {
        const QString n = QString::number(i);
        windows << QVariantMap{
            {QStringLiteral("id"), QVariant::fromValue(quint64(i + 1))},
            {QStringLiteral("app"), QStringLiteral("org.example.app%1.desktop").arg(n)},
            {QStringLiteral("wm-class"), QStringLiteral("App") + n},
            {QStringLiteral("title"), QStringLiteral("Application ") + n},
            {QStringLiteral("pid"), QVariant::fromValue(1000u + uint(i))},
            {QStringLiteral("focused"), i == 7}};
        DesktopEntry entry;
        entry.path = QStringLiteral("/usr/share/applications/org.example.app%1.desktop").arg(n);
        entry.name = QStringLiteral("Application ") + n;
        entries.insert(QStringLiteral("org.example.app") + n, entry);
    }
    list.reset(windows);
    auto group = [&] {
        return groupToplevels(toplevels.listed(),
                              [&](const QString& appId) { return entries.value(appId); }, {});
    };
    for (auto _ : state)
        benchmark::DoNotOptimize(group());
    state.counters["applications"] = double(group().size());
    const double listNs = nanosecondsPerCall([&] { benchmark::DoNotOptimize(group()); });
    X11Windows x11;
    if (!x11.ready) {
        state.SkipWithError("no X display with the windows (Xvfb and openbox needed)");
        return;
    }
    const double queryNs = nanosecondsPerCall([&] { benchmark::DoNotOptimize(x11.query()); });
    state.counters["gnome_list_us"] = listNs / 1000.0;
    state.counters["x11_query_us"] = queryNs / 1000.0;
    state.counters["gnome_list_vs_x11_query"] = listNs / queryNs;
}
BENCHMARK(BM_GnomeShellWindowList)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return runBenchmarks(argc, argv);
}
