#include "platform/linux/WaylandPlasmaWindows.h"

#include <gtest/gtest.h>

namespace {

using S = PlasmaWindowList::State;
constexpr uint32_t kMaximized = 1u << 2; // a state bit the list does not follow

// One event from KWin about window `id`: app id, title, state, initial state, unmapped.
struct Event {
    char kind;
    quintptr id;
    const char* text = "";
    uint32_t flags = 0;
};

// Feeds the events; returns the listed windows as "id app title [ams] activation" and, per
// event, whether it made its window the active one ('A') or not ('.').
std::pair<QStringList, QString> replay(const QList<Event>& events) {
    ToplevelList toplevels;
    PlasmaWindowList list(toplevels);
    QString activations;
    for (const Event& e : events) {
        bool active = false;
        switch (e.kind) {
        case 'a':
            active = list.appId(e.id, QString::fromUtf8(e.text));
            break;
        case 't':
            active = list.title(e.id, QString::fromUtf8(e.text));
            break;
        case 's':
            active = list.state(e.id, e.flags);
            break;
        case 'p':
            active = list.parent(e.id, e.flags != 0);
            break;
        case 'i':
            active = list.initialState(e.id);
            break;
        case 'u':
            list.unmapped(e.id);
            break;
        }
        activations += active ? u'A' : u'.';
    }
    QStringList listed;
    for (const WaylandToplevel& t : toplevels.listed()) {
        QString state;
        state += t.activated ? u'a' : u'-';
        state += t.minimized ? u'm' : u'-';
        state += t.skipTaskbar ? u's' : u'-';
        listed << QStringLiteral("%1 %2 %3 %4 %5")
                      .arg(t.id)
                      .arg(t.appId, t.title, state)
                      .arg(t.lastActivation);
    }
    return {listed, activations};
}

struct Case {
    const char* name;
    QList<Event> events;
    QStringList listed;
    QString activations;
};

const QList<Case> kCases = {
    {"listed only once its initial state is complete",
     {{'a', 1, "org.kde.konsole"}, {'t', 1, "~"}, {'s', 1, "", S::Active}},
     {},
     "..."},
    {"the first state counts from the initial state on",
     {{'a', 1, "org.kde.konsole"}, {'t', 1, "~"}, {'s', 1, "", S::Active}, {'i', 1}},
     {"1 org.kde.konsole ~ a-- 1"},
     "...A"},
    {"changes after the initial state apply at once",
     {{'a', 1, "foot"}, {'i', 1}, {'t', 1, "vim"}, {'s', 1, "", S::Minimized | S::SkipTaskbar}},
     {"1 foot vim -ms 0"},
     "...."},
    {"unmapped before its initial state, a window is never listed",
     {{'a', 1, "foot"}, {'u', 1}, {'i', 1}},
     {},
     "..."},
    {"an unmapped window leaves the list, the others keep their order",
     {{'a', 1, "a"}, {'i', 1}, {'a', 2, "b"}, {'i', 2}, {'a', 3, "c"}, {'i', 3}, {'u', 2}},
     {"1 a  --- 0", "3 c  --- 0"},
     "......."},
    {"each activation is numbered; staying active, or other bits, is no new one",
     {{'a', 1, "a"},
      {'s', 1, "", S::Active},
      {'i', 1},
      {'a', 2, "b"},
      {'i', 2},
      {'s', 1, "", 0},
      {'s', 2, "", S::Active},
      {'s', 2, "", S::Active | kMaximized},
      {'s', 2, "", 0},
      {'s', 1, "", S::Active}},
     {"1 a  a-- 3", "2 b  --- 2"},
     "..A...A..A"},
};

TEST(WaylandPlasmaWindows, FollowsKWinsWindowEvents) {
    for (const Case& c : kCases) {
        const auto [listed, activations] = replay(c.events);
        EXPECT_EQ(listed, c.listed) << c.name;
        EXPECT_EQ(activations, c.activations) << c.name;
    }
}

// Panels, the desktop and Pelora's own strip skip the task bar: listed, but no application of
// the windows menu unless another of its windows is a normal one.
TEST(WaylandPlasmaWindows, WindowsThatSkipTheTaskBarMakeNoRegularApplication) {
    const QList<WaylandToplevel> toplevels = {
        {1, "org.kde.plasmashell", "Panel", false, false, false, 0, true},
        {2, "org.kde.konsole", "~", false, true, false, 1, false},
        {3, "org.kde.konsole", "Find", false, false, false, 0, true},
    };
    const auto groups = groupToplevels(toplevels, [](const QString&) { return std::nullopt; }, {});
    ASSERT_EQ(groups.size(), 2);
    EXPECT_FALSE(groups[0].app.regular);
    EXPECT_TRUE(groups[1].app.regular);
    EXPECT_TRUE(groups[1].frontmost);
}

} // namespace
