#include "platform/linux/WaylandDataControl.h"
#include "platform/linux/DesktopColorScheme.h"
#include "platform/linux/WaylandPasteboard.h"

#include <QDBusVariant>
#include <gtest/gtest.h>

using Ids = QList<DataControlSelection::OfferId>;

TEST(DataControlSelection, CountsEveryChangeAndKeepsOnlyTheCurrentOffer) {
    DataControlSelection selection;
    selection.offerAnnounced(1);
    for (const char* type : {"text/plain", "text/plain", "", "image/png"})
        selection.offerType(1, QString::fromLatin1(type));
    selection.offerType(9, QStringLiteral("text/html")); // never announced
    EXPECT_EQ(selection.selectionChanged(1), Ids{});
    EXPECT_EQ(selection.changeCount(), 1);
    EXPECT_EQ(selection.types(), (QStringList{"text/plain", "image/png"}));

    // An offer for the primary selection is let go at once and changes nothing.
    selection.offerAnnounced(2);
    EXPECT_EQ(selection.otherSelectionChanged(2), Ids{2});
    EXPECT_EQ(selection.changeCount(), 1);

    // A superseded offer and the previous selection are both given back.
    selection.offerAnnounced(3);
    selection.offerAnnounced(4);
    selection.offerType(4, QStringLiteral("text/uri-list"));
    Ids unused = selection.selectionChanged(4);
    std::sort(unused.begin(), unused.end());
    EXPECT_EQ(unused, (Ids{1, 3}));
    EXPECT_EQ(selection.changeCount(), 2);
    EXPECT_EQ(selection.types(), QStringList{"text/uri-list"});

    // Cleared (the owner quit): a change with nothing offered.
    EXPECT_EQ(selection.selectionChanged(0), Ids{4});
    EXPECT_EQ(selection.changeCount(), 3);
    EXPECT_TRUE(selection.types().isEmpty());

    // A client cannot make the list grow without bound.
    selection.offerAnnounced(5);
    for (int i = 0; i < 1000; ++i)
        selection.offerType(5, QStringLiteral("type/%1").arg(i));
    selection.offerType(5, QString(1000, u'x'));
    selection.selectionChanged(5);
    EXPECT_EQ(selection.types().size(), DataControlSelection::maxTypes);
}

TEST(DataControlSelection, WriteOffersTextUnderEveryNameAndFilesForFileManagers) {
    const auto types = [](const PasteboardContents& contents) {
        QStringList names;
        for (const auto& [type, bytes] : dataControlRepresentations(contents))
            names << type;
        return names;
    };
    const auto text = dataControlRepresentations({QStringLiteral("grüße"), {}, {}});
    ASSERT_FALSE(text.isEmpty());
    for (const auto& [type, bytes] : text)
        EXPECT_EQ(bytes, QStringLiteral("grüße").toUtf8()) << type.toStdString();
    for (const char* name : {"text/plain;charset=utf-8", "text/plain", "UTF8_STRING"})
        EXPECT_TRUE(types({QStringLiteral("x"), {}, {}}).contains(QLatin1String(name))) << name;

    const PasteboardContents files{
        std::nullopt, {QUrl::fromLocalFile("/tmp/a b"), QUrl::fromLocalFile("/tmp/c")}, {}};
    const auto fileReps = dataControlRepresentations(files);
    EXPECT_EQ(fileReps.value(0).first, "text/uri-list");
    EXPECT_EQ(fileReps.value(0).second, "file:///tmp/a%20b\r\nfile:///tmp/c\r\n");
    EXPECT_EQ(fileReps.value(1).second, "copy\nfile:///tmp/a%20b\nfile:///tmp/c");
    EXPECT_EQ(types({std::nullopt, {QUrl("https://example.org/")}, {{"image/png", "png"}}}),
              (QStringList{"text/uri-list", "image/png"}));
    EXPECT_TRUE(dataControlRepresentations({}).isEmpty());
}

TEST(WaylandDataControl, WithoutACompositorIsUnavailableAndHarmless) {
    // libwayland would otherwise try a default socket that may be another session's.
    qunsetenv("WAYLAND_DISPLAY");
    WaylandDataControl control;
    EXPECT_FALSE(control.isAvailable());
    EXPECT_EQ(control.receive(QStringLiteral("text/plain")), -1);
    EXPECT_FALSE(control.setSelection({{QStringLiteral("text/plain"), "x"}}));
    EXPECT_TRUE(control.types().isEmpty());
}

TEST(DesktopColorScheme, ReadsThePortalsValueHoweverWrapped) {
    using Scheme = DesktopColorScheme::Scheme;
    const auto wrap = [](const QVariant& v) {
        return QVariant::fromValue(QDBusVariant(v));
    };
    const std::pair<QVariant, Scheme> cases[] = {
        {QVariant(1u), Scheme::dark},
        {wrap(QVariant(2u)), Scheme::light},
        {wrap(wrap(QVariant(1u))), Scheme::dark},
        {QVariant(0u), Scheme::noPreference},
        {QVariant(7u), Scheme::noPreference},
        {QVariant(QStringLiteral("1")), Scheme::noPreference},
        {QVariant(), Scheme::noPreference},
    };
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(DesktopColorScheme::schemeFromValue(value), expected) << value.typeName();
}
