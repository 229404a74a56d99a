#include "platform/linux/gnome/GnomeShellWindows.h"
#include "ToplevelsText.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;

// A window as the extension describes it: "id app wm-class title [fms]" (focused, minimized,
// skip-taskbar), "-" for an empty text.
QVariantMap window(const QString& text) {
    const QStringList f = text.split(u' ');
    auto value = [&](int i) {
        return f.value(i) == u"-" ? QString() : f.value(i);
    };
    const QString flags = f.value(4);
    return {{u"id"_s, QVariant::fromValue(f[0].toULongLong())},
            {u"app"_s, value(1)},
            {u"wm-class"_s, value(2)},
            {u"title"_s, value(3)},
            {u"pid"_s, QVariant::fromValue(42u)},
            {u"focused"_s, flags.contains(u'f')},
            {u"minimized"_s, flags.contains(u'm')},
            {u"skip-taskbar"_s, flags.contains(u's')}};
}

// Replays the extension's list and signals, each "<kind>[<window>|<id>]": L list of windows
// separated by ",", o opened, c changed, x closed, f focus moved. Returns the listed windows,
// each "id appId title [ams] activation", and per event whether a window became focused.
std::pair<QString, QString> replay(const QStringList& events) {
    ToplevelList toplevels;
    GnomeShellWindowList list(toplevels);
    QString activations;
    for (const QString& e : events) {
        const QString rest = e.mid(1);
        bool active = false;
        switch (e.at(0).toLatin1()) {
        case 'L': {
            QList<QVariantMap> windows;
            for (const QString& w : rest.split(u',', Qt::SkipEmptyParts))
                windows << window(w);
            active = list.reset(windows);
            break;
        }
        case 'o':
            active = list.opened(window(rest));
            break;
        case 'c':
            active = list.changed(window(rest));
            break;
        case 'x':
            list.closed(rest.toULongLong());
            break;
        default:
            active = list.focusChanged(rest.toULongLong());
        }
        activations += active ? u'A' : u'.';
    }
    return {listedText(toplevels), activations};
}

const struct {
    const char* name;
    QStringList events;
    QString listed, activations;
} kCases[] = {
    {"the tracker's desktop id wins over the class; without one the class counts",
     {"L1 org.gnome.Nautilus.desktop org.gnome.Nautilus Home f,2 - XTerm ~"},
     "1 org.gnome.Nautilus Home a-- 1, 2 XTerm ~ --- 0",
     "A"},
    {"opened windows follow in order; a change keeps the place; a closed one leaves",
     {"L1 a.desktop A x", "o2 b.desktop B y", "c1 a.desktop A z m", "o3 - C w s", "x2"},
     "1 a z -m- 0, 3 C w --s 0",
     "....."},
    {"the focus moves from window to window, each move numbered; none is focus on no window",
     {"L1 - A x,2 - B y", "f2", "f1", "f0", "f2", "c2 - B y2 f"},
     "1 A x --- 2, 2 B y2 a-- 3",
     ".AA.A."},
    {"a new list replaces the old one", {"L1 - A x f", "L7 - G g"}, "7 G g --- 0", "A."},
    {"a window without an id is not taken in", {"L0 - A x f", "o- - B y"}, "", ".."},
};

TEST(GnomeShellWindows, FollowsTheExtensionsWindowsAndFocus) {
    for (const auto& c : kCases)
        EXPECT_EQ(replay(c.events), std::pair(c.listed, c.activations)) << c.name;
}

// Values of the wrong type, as another version of the extension might send, count as empty.
TEST(GnomeShellWindows, ValuesOfAnotherTypeCountAsEmpty) {
    ToplevelList toplevels;
    GnomeShellWindowList list(toplevels);
    EXPECT_FALSE(list.opened({{u"id"_s, 5},
                              {u"app"_s, QStringList{u"x"_s}},
                              {u"wm-class"_s, 3},
                              {u"title"_s, QString(5000, u'x')},
                              {u"focused"_s, u"yes"_s}}));
    ASSERT_EQ(toplevels.listed().size(), 1);
    const WaylandToplevel& t = toplevels.listed().first();
    EXPECT_EQ(t.appId, QString());
    EXPECT_EQ(t.title.size(), 1024);
    EXPECT_FALSE(t.activated);
    EXPECT_EQ(list.pid(5), 0);
}

} // namespace
