#include "platform/linux/WaylandDataControl.h"
#include "platform/linux/DesktopColorScheme.h"
#include "platform/linux/WaylandPasteboard.h"

#include <QDBusVariant>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using Ids = QList<DataControlSelection::OfferId>;

// What the compositor announces, in order; the end-to-end Wayland script copies for real.
TEST(WaylandDataControl, CountsEveryChangeAndKeepsOnlyTheCurrentOffer) {
    DataControlSelection selection;
    selection.offerAnnounced(1);
    for (const char* type : {"text/plain", "text/plain", "", "image/png"})
        selection.offerType(1, QString::fromLatin1(type));
    selection.offerType(9, u"text/html"_s); // never announced
    EXPECT_EQ(selection.selectionChanged(1), Ids{});
    EXPECT_EQ(selection.types(), (QStringList{"text/plain", "image/png"}));
    // An offer for the primary selection is let go at once and changes nothing.
    selection.offerAnnounced(2);
    EXPECT_EQ(selection.otherSelectionChanged(2), Ids{2});
    EXPECT_EQ(selection.changeCount(), 1);
    // A superseded offer and the previous selection are both given back.
    selection.offerAnnounced(3);
    selection.offerAnnounced(4);
    Ids unused = selection.selectionChanged(4);
    std::sort(unused.begin(), unused.end());
    EXPECT_EQ(unused, (Ids{1, 3}));
    // Cleared (the owner quit): a change with nothing offered.
    EXPECT_EQ(selection.selectionChanged(0), Ids{4});
    EXPECT_EQ(selection.changeCount(), 3);
    EXPECT_TRUE(selection.types().isEmpty());
    // A client cannot make the list grow without bound.
    selection.offerAnnounced(5);
    for (int i = 0; i < 1000; ++i)
        selection.offerType(5, u"type/%1"_s.arg(i));
    selection.selectionChanged(5);
    EXPECT_EQ(selection.types().size(), DataControlSelection::maxTypes);
}

TEST(WaylandDataControl, OffersTextUnderEveryNameAndFilesForFileManagers) {
    const auto offered = [](const PasteboardContents& contents) {
        QStringList text;
        for (const auto& [type, bytes] : dataControlRepresentations(contents))
            text << type + u'=' + QString::fromUtf8(bytes);
        return text;
    };
    // Text as UTF-8 whatever the name it is asked for by.
    const QStringList text = offered({u"grüße"_s, {}, {}});
    for (const char* name : {"text/plain;charset=utf-8", "text/plain", "UTF8_STRING"})
        EXPECT_TRUE(text.contains(QLatin1String(name) + u"=grüße"_s)) << name;
    EXPECT_EQ(text.filter(u"=grüße"_s).size(), text.size());
    const QUrl file = QUrl::fromLocalFile(u"/tmp/a b"_s), web(u"https://x.org/"_s);
    EXPECT_EQ(
        offered({std::nullopt, {file, file}, {}}),
        (QStringList{"text/uri-list=file:///tmp/a%20b\r\nfile:///tmp/a%20b\r\n",
                     "x-special/gnome-copied-files=copy\nfile:///tmp/a%20b\nfile:///tmp/a%20b"}));
    // Only local files go to file managers.
    EXPECT_EQ(offered({std::nullopt, {web}, {{"image/png", "png"}}}),
              (QStringList{"text/uri-list=https://x.org/\r\n", "image/png=png"}));
    EXPECT_TRUE(dataControlRepresentations({}).isEmpty());

    // Without a compositor: unavailable and harmless. libwayland would otherwise try a default
    // socket that may be another session's.
    qunsetenv("WAYLAND_DISPLAY");
    WaylandDataControl control;
    EXPECT_FALSE(control.isAvailable());
    EXPECT_EQ(control.receive(u"text/plain"_s), -1);
    EXPECT_FALSE(control.setSelection({{u"text/plain"_s, "x"}}));
}

TEST(DesktopColorScheme, ReadsThePortalsValueHoweverWrapped) {
    using Scheme = DesktopColorScheme::Scheme;
    const auto wrap = [](const QVariant& v) {
        return QVariant::fromValue(QDBusVariant(v));
    };
    const std::pair<QVariant, Scheme> cases[] = {{QVariant(1u), Scheme::dark},
                                                 {wrap(QVariant(2u)), Scheme::light},
                                                 {wrap(wrap(QVariant(1u))), Scheme::dark},
                                                 {QVariant(0u), Scheme::noPreference},
                                                 {QVariant(7u), Scheme::noPreference},
                                                 {QVariant(u"1"_s), Scheme::noPreference},
                                                 {QVariant(), Scheme::noPreference}};
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(DesktopColorScheme::schemeFromValue(value), expected) << value.typeName();
}
