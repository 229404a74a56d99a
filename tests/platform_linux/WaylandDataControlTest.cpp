#include "platform/linux/wayland/WaylandDataControl.h"
#include "fakes/FakePasteboard.h"
#include "platform/linux/BridgedPasteboard.h"
#include "platform/linux/xdg/DesktopColorScheme.h"
#include "support/TestSupport.h"

#include <QDBusVariant>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using Ids = QList<DataControlSelection::OfferId>;

// What a compositor announces, in order. Copying and pasting through a real one, and the
// windows it lists, are the end-to-end Wayland script's.
TEST(WaylandDataControl, KeepsOnlyTheClipboardsOfferWithinLimits) {
    DataControlSelection selection;
    // An offer for the primary selection is let go at once and changes nothing.
    selection.offerAnnounced(1);
    EXPECT_EQ(selection.otherSelectionChanged(1), Ids{1});
    EXPECT_EQ(selection.changeCount(), 0);
    // A client cannot make the list of types grow without bound.
    selection.offerAnnounced(2);
    for (int i = 0; i < 1000; ++i)
        selection.offerType(2, u"type/%1"_s.arg(i));
    EXPECT_EQ(selection.selectionChanged(2), Ids{});
    EXPECT_EQ(selection.types().size(), DataControlSelection::maxTypes);
}

// sway passes a Wayland copy on to X11 at once, an X11 one to Wayland only while an X11 window
// has the focus; either way one copy is one change, read where it was made.
TEST(BridgedPasteboard, CountsACopyOnceWhicheverSelectionsItReaches) {
    auto wayland = std::make_shared<FakePasteboard>();
    auto x11 = std::make_shared<FakePasteboard>();
    BridgedPasteboard pasteboard(wayland, x11);
    const auto newest = [&] {
        QString text;
        pasteboard.readSnapshot({{{PasteboardType::plainText, 100}}},
                                [&](const PasteboardSnapshot& snapshot) {
                                    text = QString::fromUtf8(snapshot.data.value(u"text/plain"_s));
                                });
        waitUntil([&] { return !text.isEmpty(); });
        return text;
    };
    x11->copyText(u"xclip"_s);
    EXPECT_EQ(pasteboard.changeCount(), 1);
    EXPECT_EQ(newest(), u"xclip"_s);
    wayland->copyText(u"wl-copy"_s);
    x11->copyText(u"wl-copy"_s);
    EXPECT_EQ(pasteboard.changeCount(), 2);
    EXPECT_EQ(newest(), u"wl-copy"_s);
    // This program's own write, and the compositor giving it to X11 programs: no copy.
    pasteboard.clearAndWrite({u"chosen"_s, {}, {}});
    const qint64 written = pasteboard.changeCount();
    x11->copyText(u"chosen"_s);
    EXPECT_EQ(pasteboard.changeCount(), written);
    EXPECT_EQ(wayland->writes.size(), 1);
    EXPECT_EQ(x11->contentReads, 1);
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
