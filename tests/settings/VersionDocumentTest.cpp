#include "settings/VersionDocument.h"

#include <gtest/gtest.h>

namespace {
QString doc(const char* inner) {
    return QStringLiteral("<?xml version=\"1.0\"?>\n<pelora>%1</pelora>")
        .arg(QString::fromUtf8(inner));
}

const char* const kTitles = "<lastversion>2.0</lastversion>"
                            "<titletext><english>New version</english>"
                            "<german>Neue Version</german></titletext>";
} // namespace

TEST(VersionDocument, FindsElementsInAnyCaseWithBlanksAndTrimsTheirContent) {
    const auto info =
        parseVersionDocument(doc("< LastVersion >  2.0 \n</ lastVERSION >"
                                 "<DownloadURL>\n https://example.org/get \n</DownloadURL>"),
                             QStringLiteral("en"));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->value(kInfoLatestVersion), QStringLiteral("2.0"));
    EXPECT_EQ(info->value(kInfoDownloadUrl), QStringLiteral("https://example.org/get"));
    EXPECT_FALSE(info->contains(kInfoTitleText));
    EXPECT_FALSE(info->contains(kInfoInfoText));
}

TEST(VersionDocument, WithoutALatestVersionThereIsNoInformation) {
    EXPECT_FALSE(parseVersionDocument(doc("<downloadurl>https://x.org/</downloadurl>"), "en"));
    EXPECT_FALSE(parseVersionDocument(doc("<lastversion> \n </lastversion>"), "en"));
    EXPECT_FALSE(parseVersionDocument(doc("<lastversion>2.0"), "en"));
    EXPECT_FALSE(parseVersionDocument(QStringLiteral("<html><body>Not Found</body></html>"), "en"));
    // Empty optional elements are left out rather than kept empty.
    const auto info =
        parseVersionDocument(doc("<lastversion>3</lastversion><downloadurl> </downloadurl>"), "en");
    ASSERT_TRUE(info);
    EXPECT_FALSE(info->contains(kInfoDownloadUrl));
}

TEST(VersionDocument, TheFirstElementWinsAndEndsAtItsFirstClosingTag) {
    EXPECT_EQ(extractElement(QStringLiteral("<a>1</a><a>2</a>"), QStringLiteral("a")),
              QStringLiteral("1"));
    EXPECT_EQ(extractElement(QStringLiteral("<a>1 <a>2</a>"), QStringLiteral("a")),
              QStringLiteral("1 <a>2"));
    EXPECT_EQ(extractElement(QStringLiteral("<ab>x</ab><a>y</a>"), QStringLiteral("a")),
              QStringLiteral("y"));
    EXPECT_EQ(extractElement(QStringLiteral("<a></a>"), QStringLiteral("a")), QString());
    EXPECT_FALSE(extractElement(QStringLiteral("</a><a>"), QStringLiteral("a")));
}

TEST(VersionDocument, ManyUnclosedElementsAreReadInOnePass) {
    // Quadratic searching would take hours here; the linear one takes milliseconds.
    QString text = QStringLiteral("<lastversion>").repeated(200000);
    EXPECT_FALSE(extractElement(text, QStringLiteral("lastversion")));
    text += QStringLiteral("</lastversion>");
    EXPECT_TRUE(extractElement(text, QStringLiteral("lastversion")));
}

TEST(VersionDocument, PicksTheTextsOfTheFirstPreferredLanguage) {
    EXPECT_EQ(parseVersionDocument(doc(kTitles), QStringLiteral("de-CH"))->value(kInfoTitleText),
              QStringLiteral("Neue Version"));
    EXPECT_EQ(parseVersionDocument(doc(kTitles), QStringLiteral("DE"))->value(kInfoTitleText),
              QStringLiteral("Neue Version"));
    // No Portuguese element: English stands in.
    EXPECT_EQ(parseVersionDocument(doc(kTitles), QStringLiteral("pt-BR"))->value(kInfoTitleText),
              QStringLiteral("New version"));
    EXPECT_EQ(parseVersionDocument(doc(kTitles), QStringLiteral("fr"))->value(kInfoTitleText),
              QStringLiteral("New version"));

    const char* italian = "<lastversion>2.0</lastversion>"
                          "<infotext><en>Fixes</en><italiano> Correzioni </italiano></infotext>";
    EXPECT_EQ(parseVersionDocument(doc(italian), QStringLiteral("it-IT"))->value(kInfoInfoText),
              QStringLiteral("Correzioni"));
    const char* both = "<lastversion>2.0</lastversion>"
                       "<infotext><it>breve</it><italian>lungo</italian></infotext>";
    EXPECT_EQ(parseVersionDocument(doc(both), QStringLiteral("it"))->value(kInfoInfoText),
              QStringLiteral("lungo"));
    const char* shortNames = "<lastversion>2.0</lastversion>"
                             "<titletext><en>Update</en><ja>更新</ja></titletext>";
    EXPECT_EQ(parseVersionDocument(doc(shortNames), QStringLiteral("ja-JP"))->value(kInfoTitleText),
              QString::fromUtf8("更新"));
}

TEST(VersionDocument, AnEmptyElementOfTheUsersLanguageGivesNoTextAtAll) {
    const char* empty = "<lastversion>2.0</lastversion>"
                        "<titletext><english>New version</english><german>  </german></titletext>";
    const auto info = parseVersionDocument(doc(empty), QStringLiteral("de-AT"));
    ASSERT_TRUE(info);
    EXPECT_FALSE(info->contains(kInfoTitleText));
}

TEST(VersionDocument, LanguageCandidatesFollowTheTable) {
    EXPECT_EQ(languageCandidates(QStringLiteral("it")), QStringList({"italian", "italiano", "it"}));
    EXPECT_EQ(languageCandidates(QStringLiteral("es-419")), QStringList({"spanish", "es"}));
    EXPECT_EQ(languageCandidates(QStringLiteral("zh-Hans-CN")), QStringList({"english", "en"}));
    EXPECT_EQ(languageCandidates(QString()), QStringList({"english", "en"}));
}

TEST(VersionComparison, DigitRunsCompareByTheirValue) {
    EXPECT_GT(compareVersions(QStringLiteral("1.10"), QStringLiteral("1.9")), 0);
    EXPECT_LT(compareVersions(QStringLiteral("1.9"), QStringLiteral("1.10")), 0);
    EXPECT_EQ(compareVersions(QStringLiteral("2.4.1"), QStringLiteral("2.4.1")), 0);
    EXPECT_GT(compareVersions(QStringLiteral("2.4.10"), QStringLiteral("2.4.9")), 0);
    EXPECT_LT(compareVersions(QStringLiteral("1.0"), QStringLiteral("1.0.1")), 0);
    EXPECT_GT(compareVersions(QStringLiteral("10.0"), QStringLiteral("9.99")), 0);
    EXPECT_EQ(compareVersions(QStringLiteral("1.02"), QStringLiteral("1.2")), 0);
    // Longer than any integer type.
    EXPECT_GT(compareVersions(QStringLiteral("1.123456789012345678901234567890"),
                              QStringLiteral("1.99999999999999999999999999999")),
              0);
    EXPECT_GT(compareVersions(QStringLiteral("1.9b"), QStringLiteral("1.9a")), 0);
    EXPECT_LT(compareVersions(QStringLiteral("1.9"), QStringLiteral("1.9b")), 0);
    EXPECT_EQ(compareVersions(QString(), QString()), 0);
    EXPECT_LT(compareVersions(QString(), QStringLiteral("0")), 0);
}
