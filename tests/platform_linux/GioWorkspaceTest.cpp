#include "platform/linux/xdg/GioWorkspace.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

// Opening with the user's default handler is the menus script's; launching entries, and knowing
// a running one by its program, the window tests' and the applications script's.
TEST(GioWorkspace, NothingOpensWithoutAHandlerAndIconsAreNeverNull) {
    TempTree work;
    GioWorkspace workspace;
    for (const QUrl& url : {QUrl(u"pelora-test://thing"_s), work.url(u"missing"_s), QUrl()})
        EXPECT_FALSE(workspace.openURL(url) || workspace.applicationToOpenURL(url))
            << url.toString().toStdString();
    // A full theme even without a desktop session: the folder type shows the theme's folder.
    if (QFileInfo::exists(u"/usr/share/icons/Adwaita/index.theme"_s)) {
        EXPECT_EQ(workspace.iconForFileType(u"public.folder"_s).pixmap(16).toImage(),
                  QIcon::fromTheme(u"folder"_s).pixmap(16).toImage());
    }
    EXPECT_EQ(workspace.iconNameForFile(work.root()), u"folder"_s);
    EXPECT_TRUE(workspace.iconNameForFile(work.add(u"n.txt"_s)).startsWith(u"text-plain\n"_s));
    for (const QString& name : {QString(), u"pelora-no-such-icon"_s, u"/missing/icon.png"_s,
                                work.add(u"fake.png"_s, "not an image"), u"\n\n"_s})
        EXPECT_FALSE(workspace.iconForName(name).pixmap(16).isNull()) << name.toStdString();
    for (const QString& type : {u"txt"_s, u"public.data"_s, u"zzz-unknown"_s, u"app"_s, QString()})
        EXPECT_FALSE(workspace.iconForFileType(type).pixmap(16).isNull()) << type.toStdString();
    EXPECT_FALSE(workspace.iconForFile(work.path(u"missing"_s)).isNull());
}
