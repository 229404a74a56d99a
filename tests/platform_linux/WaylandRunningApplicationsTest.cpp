#include "platform/linux/WaylandRunningApplications.h"
#include "platform/linux/SwayIpc.h"

#include <gtest/gtest.h>

TEST(WaylandRunningApplications, GroupsToplevelsByDesktopEntryOrAppId) {
    DesktopEntry foot;
    foot.id = QStringLiteral("foot.desktop");
    foot.path = QStringLiteral("/usr/share/applications/foot.desktop");
    foot.name = QStringLiteral("Foot");
    foot.icon = QStringLiteral("foot");
    const auto entryFor = [&](const QString& appId) -> std::optional<DesktopEntry> {
        if (appId == u"foot")
            return foot;
        return std::nullopt;
    };
    // id, app id, title, minimized, activated, has parent, last activation
    const QList<WaylandToplevel> toplevels = {
        {1, "foot", "~", false, false, false, 2},
        {2, "org.example.Tool", "Tool", true, false, false, 0},
        {3, "foot", "vim", true, true, false, 5},
        {4, "", "Untitled", false, false, true, 0},
        {5, "pelora", "Pelora", false, false, false, 0},
        {6, "org.example.Tool", "Tool 2", true, false, false, 0},
    };
    const QList<ToplevelGroup> groups =
        groupToplevels(toplevels, entryFor, {QStringLiteral("pelora")});
    ASSERT_EQ(groups.size(), 4);

    const ToplevelGroup& first = groups[0];
    EXPECT_EQ(first.app.handle, "desktop:/usr/share/applications/foot.desktop");
    EXPECT_EQ(first.app.bundleIdentifier, "foot.desktop");
    EXPECT_EQ(first.app.bundleURL, QUrl::fromLocalFile(foot.path));
    EXPECT_EQ(first.app.localizedName, "Foot");
    EXPECT_EQ(first.toplevels, (QList<quintptr>{1, 3}));
    EXPECT_EQ(first.preferred, 3u); // active last
    EXPECT_TRUE(first.frontmost);
    EXPECT_TRUE(first.app.regular);
    EXPECT_FALSE(first.app.hidden); // one of its windows is shown

    const ToplevelGroup& tool = groups[1];
    EXPECT_EQ(tool.app.handle, "appid:org.example.Tool");
    EXPECT_EQ(tool.app.localizedName, "org.example.Tool");
    EXPECT_FALSE(tool.app.bundleIdentifier);
    EXPECT_TRUE(tool.app.hidden);
    EXPECT_EQ(tool.preferred, 6u); // never active: the newest
    EXPECT_FALSE(tool.frontmost);

    const ToplevelGroup& dialog = groups[2];
    EXPECT_EQ(dialog.app.handle, "toplevel:4");
    EXPECT_EQ(dialog.app.localizedName, "Untitled");
    EXPECT_FALSE(dialog.app.regular);

    EXPECT_TRUE(groups[3].app.isCurrentProcess);
    EXPECT_FALSE(first.app.isCurrentProcess);
}

TEST(WaylandRunningApplications, SwayCriteriaNeverCarryAnAppIdsSyntax) {
    EXPECT_EQ(SwayIpc::appIdCriteria("org.gnome.Nautilus"),
              "[app_id=\"^org[.]gnome[.]Nautilus$\"]");
    EXPECT_EQ(SwayIpc::appIdCriteria("foot"), "[app_id=\"^foot$\"]");
    for (const char* hostile : {"", "a\"] exec rm -rf ~; [app_id=\"b", "a b", "a*", "x\\y", "a;b"})
        EXPECT_TRUE(SwayIpc::appIdCriteria(QString::fromUtf8(hostile)).isEmpty()) << hostile;
}
