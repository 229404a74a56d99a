#include "platform/linux/WaylandRunningApplications.h"
#include "platform/linux/SwayIpc.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

// The windows menu through a real compositor is the end-to-end Wayland script's.
TEST(WaylandRunningApplications, GroupsToplevelsByDesktopEntryOrAppId) {
    DesktopEntry foot;
    foot.id = u"foot.desktop"_s;
    foot.path = u"/usr/share/applications/foot.desktop"_s;
    foot.name = u"Foot"_s;
    const auto entryFor = [&](const QString& appId) {
        return appId == u"foot" ? std::optional(foot) : std::nullopt;
    };
    // id, app id, title, minimized, activated, has parent, last activation
    const QList<WaylandToplevel> toplevels = {
        {1, "foot", "~", false, false, false, 2},
        {2, "org.example.Tool", "Tool", true, false, false, 0},
        {3, "foot", "vim", true, true, false, 5},
        {4, "", "Untitled", false, false, true, 0},
        {5, "pelora", "Pelora", false, false, false, 0},
        {6, "org.example.Tool", "Tool 2", true, false, false, 0}};
    QStringList groups;
    for (const ToplevelGroup& g : groupToplevels(toplevels, entryFor, {u"pelora"_s})) {
        QStringList ids;
        for (quintptr id : g.toplevels)
            ids << QString::number(id);
        groups << u"%1 %2 %3 [%4] %5%6%7%8%9"_s.arg(
            g.app.handle, g.app.localizedName.value_or(u"-"_s),
            g.app.bundleIdentifier.value_or(u"-"_s), ids.join(u' '), QString::number(g.preferred),
            g.frontmost ? u" front"_s : QString(), g.app.regular ? QString() : u" irregular"_s,
            g.app.hidden ? u" hidden"_s : QString(),
            g.app.isCurrentProcess ? u" self"_s : QString());
    }
    // The preferred window is the one active last, else the newest; hidden when all are.
    EXPECT_EQ(
        groups,
        (QStringList{"desktop:/usr/share/applications/foot.desktop Foot foot.desktop [1 3] 3 front",
                     "appid:org.example.Tool org.example.Tool - [2 6] 6 hidden",
                     "toplevel:4 Untitled - [4] 4 irregular", "appid:pelora pelora - [5] 5 self"}));
}

TEST(WaylandRunningApplications, SwayCriteriaNeverCarryAnAppIdsSyntax) {
    EXPECT_EQ(SwayIpc::appIdCriteria(u"org.gnome.Nautilus"_s),
              "[app_id=\"^org[.]gnome[.]Nautilus$\"]");
    for (const char* hostile : {"", "a\"] exec rm -rf ~; [app_id=\"b", "a b", "a*", "x\\y", "a;b"})
        EXPECT_TRUE(SwayIpc::appIdCriteria(QString::fromUtf8(hostile)).isEmpty()) << hostile;
}
