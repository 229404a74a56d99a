#include "platform/linux/wayland/WaylandPlasmaWindows.h"
#include "ToplevelsText.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;
using S = PlasmaWindowList::State;

// Feeds KWin's events about windows 1-9, each "<kind><id>[=<text>]": a app id, t title, s state
// (A active, M minimized, S skip task bar, X maximized, which the list does not follow),
// i initial state complete, u unmapped. Returns the listed windows, each "id app title [ams]
// activation", and per event whether it made its window the active one ('A') or not ('.').
std::pair<QString, QString> replay(const QString& events, ToplevelList& toplevels) {
    PlasmaWindowList list(toplevels);
    QString activations;
    for (const QString& e : events.split(u' ')) {
        const quintptr id = e.at(1).digitValue();
        const QString text = e.mid(3);
        uint32_t flags = 0;
        for (const QChar f : text)
            flags |= f == u'A'   ? S::Active
                     : f == u'M' ? S::Minimized
                     : f == u'S' ? S::SkipTaskbar
                                 : 1u << 2;
        const char kind = e.at(0).toLatin1();
        const bool active = kind == 'a'   ? list.appId(id, text)
                            : kind == 't' ? list.title(id, text)
                            : kind == 's' ? list.state(id, flags)
                            : kind == 'i' ? list.initialState(id)
                                          : (list.unmapped(id), false);
        activations += active ? u'A' : u'.';
    }
    return {listedText(toplevels), activations};
}

std::pair<QString, QString> replay(const QString& events) {
    ToplevelList toplevels;
    return replay(events, toplevels);
}

const struct {
    const char* name;
    QString events;
    QString listed, activations;
} kCases[] = {
    {"listed only once its initial state is complete", "a1=org.kde.konsole t1=~ s1=A", "", "..."},
    {"the first state counts from the initial state on", "a1=org.kde.konsole t1=~ s1=A i1",
     "1 org.kde.konsole ~ a-- 1", "...A"},
    {"changes after the initial state apply at once", "a1=foot i1 t1=vim s1=MS", "1 foot vim -ms 0",
     "...."},
    {"unmapped before its initial state, a window is never listed", "a1=foot u1 i1", "", "..."},
    {"an unmapped window leaves the list, the others keep their order",
     "a1=a i1 a2=b i2 a3=c i3 u2", "1 a  --- 0, 3 c  --- 0", "......."},
    {"each activation is numbered; staying active, or other bits, is no new one",
     "a1=a s1=A i1 a2=b i2 s1= s2=A s2=AX s2= s1=A", "1 a  a-- 3, 2 b  --- 2", "..A...A..A"},
};

TEST(WaylandPlasmaWindows, FollowsKWinsWindowEvents) {
    for (const auto& c : kCases)
        EXPECT_EQ(replay(c.events), std::pair(c.listed, c.activations)) << c.name;
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

// Choosing an application brings forward its most recently active window, else its newest.
TEST(WaylandPlasmaWindows, AnApplicationIsBroughtForwardByItsLastActiveWindowElseItsNewest) {
    ToplevelList toplevels;
    replay(
        u"a1=konsole i1 a2=konsole i2 a3=konsole i3 s1=A s1= s2=A s2= s1=M a4=foot i4 a5=foot i5"_s,
        toplevels);
    const auto groups =
        groupToplevels(toplevels.listed(), [](const QString&) { return std::nullopt; }, {});
    ASSERT_EQ(groups.size(), 2);
    EXPECT_EQ(groups[0].preferred, 2u);
    EXPECT_EQ(groups[1].preferred, 5u);
}

} // namespace
