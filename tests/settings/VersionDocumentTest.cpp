#include "settings/VersionDocument.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {
std::optional<VersionInfo> parse(const QByteArray& inner, const char* language = "en") {
    return parseVersionDocument(QStringLiteral("<?xml version=\"1.0\"?>\n<pelora>%1</pelora>")
                                    .arg(QString::fromUtf8(inner)),
                                QString::fromLatin1(language));
}
} // namespace

TEST(VersionDocument, ReadsTheLatestVersionAndLeavesOutWhatIsEmptyOrMissing) {
    // Elements in any case, with blanks in their tags, their content trimmed.
    const auto info = parse("< LastVersion >  2.0 \n</ lastVERSION >"
                            "<DownloadURL>\n https://example.org/get \n</DownloadURL>");
    ASSERT_TRUE(info);
    EXPECT_EQ(*info, (VersionInfo{{kInfoLatestVersion, QStringLiteral("2.0")},
                                  {kInfoDownloadUrl, QStringLiteral("https://example.org/get")}}));
    EXPECT_EQ(*parse("<lastversion>3</lastversion><downloadurl> </downloadurl>"),
              (VersionInfo{{kInfoLatestVersion, QStringLiteral("3")}}));
    // Without a latest version there is no information at all.
    for (const char* text :
         {"<downloadurl>https://x.org/</downloadurl>", "<lastversion> \n </lastversion>",
          "<lastversion>2.0", "</lastversion>2.0<lastversion>",
          "<html><body>Not Found</body></html>"})
        EXPECT_FALSE(parse(text)) << text;
}

TEST(VersionDocument, TheFirstElementWinsAndEndsAtItsFirstClosingTag) {
    const std::pair<const char*, std::optional<QString>> cases[] = {
        {"<a>1</a><a>2</a>", QStringLiteral("1")},
        {"<a>1 <a>2</a>", QStringLiteral("1 <a>2")},
        {"<ab>x</ab><a>y</a>", QStringLiteral("y")},
        {"<a></a>", QString()},
        {"</a><a>", std::nullopt},
    };
    for (const auto& [text, element] : cases)
        EXPECT_EQ(extractElement(QString::fromLatin1(text), QStringLiteral("a")), element) << text;
    // Quadratic searching would take hours here; the linear one takes milliseconds.
    QString many = QStringLiteral("<lastversion>").repeated(200000);
    EXPECT_FALSE(extractElement(many, QStringLiteral("lastversion")));
    many += QStringLiteral("</lastversion>");
    EXPECT_TRUE(extractElement(many, QStringLiteral("lastversion")));
}

TEST(VersionDocument, TextsFollowTheFirstPreferredLanguage) {
    const char* titles = "<titletext><english>New version</english>"
                         "<german>Neue Version</german></titletext>";
    const struct {
        const char* language;
        const char* texts;
        std::optional<QString> text;
    } cases[] = {
        {"de-CH", titles, QStringLiteral("Neue Version")},
        // No element of the language: English stands in.
        {"pt-BR", titles, QStringLiteral("New version")},
        {"zh-Hans-CN", titles, QStringLiteral("New version")},
        {"it-IT", "<titletext><en>Fixes</en><italiano> Correzioni </italiano></titletext>",
         QStringLiteral("Correzioni")},
        {"es-419", "<titletext><english>Update</english><es>Nueva</es></titletext>",
         QStringLiteral("Nueva")},
        // An empty element of the user's language gives no text at all.
        {"de-AT", "<titletext><english>New version</english><german>  </german></titletext>",
         std::nullopt},
    };
    for (const auto& c : cases) {
        const auto info = parse(QByteArray("<lastversion>2.0</lastversion>") + c.texts, c.language);
        ASSERT_TRUE(info) << c.language;
        EXPECT_EQ(info->contains(kInfoTitleText) ? std::optional(info->value(kInfoTitleText))
                                                 : std::nullopt,
                  c.text)
            << c.language;
    }
}

TEST(VersionComparison, DigitRunsCompareByTheirValue) {
    // The first of each pair is newer; the last digit run is longer than any integer type.
    const std::pair<const char*, const char*> newer[] = {
        {"1.10", "1.9"},  {"2.4.10", "2.4.9"},
        {"1.0.1", "1.0"}, {"10.0", "9.99"},
        {"1.9b", "1.9a"}, {"1.9b", "1.9"},
        {"0", ""},        {"1.123456789012345678901234567890", "1.99999999999999999999999999999"}};
    for (const auto& [a, b] : newer) {
        EXPECT_GT(compareVersions(QString::fromLatin1(a), QString::fromLatin1(b)), 0) << a << b;
        EXPECT_LT(compareVersions(QString::fromLatin1(b), QString::fromLatin1(a)), 0) << a << b;
    }
    for (const auto& [a, b] : {std::pair{"2.4.1", "2.4.1"}, {"1.02", "1.2"}, {"", ""}})
        EXPECT_EQ(compareVersions(QString::fromLatin1(a), QString::fromLatin1(b)), 0) << a << b;
}
