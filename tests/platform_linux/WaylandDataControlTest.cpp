#include "platform/linux/wayland/WaylandDataControl.h"
#include "platform/linux/wayland/SwayIpc.h"
#include "platform/linux/xdg/DesktopColorScheme.h"

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

TEST(WaylandDataControl, SwayCriteriaNeverCarryAnAppIdsSyntax) {
    EXPECT_EQ(SwayIpc::appIdCriteria(u"org.gnome.Nautilus"_s),
              "[app_id=\"^org[.]gnome[.]Nautilus$\"]");
    for (const char* hostile : {"", "a\"] exec rm -rf ~; [app_id=\"b", "a b", "a*", "x\\y", "a;b"})
        EXPECT_TRUE(SwayIpc::appIdCriteria(QString::fromUtf8(hostile)).isEmpty()) << hostile;
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
