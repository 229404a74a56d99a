#include "common/Texts.h"
#include "common/Translations.h"
#include "support/TestSupport.h"

#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QTranslator>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

namespace {

// Keys looked up with L("...") or qtTrId("..."), or marked with QT_TRID_NOOP("...") where a
// table hands the key to L() later.
QSet<QString> textKeysIn(const QString& source) {
    static const QRegularExpression call(
        QStringLiteral(R"((?<![A-Za-z0-9_])(?:L|qtTrId|QT_TRID_NOOP)\(\s*"((?:[^"\\\n]|\\.)*)\")"));
    QSet<QString> keys;
    for (const QRegularExpressionMatch& match : call.globalMatch(source))
        keys.insert(match.captured(1));
    return keys;
}

// id -> translation of one .ts file.
QMap<QString, QString> readTable(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QMap<QString, QString> table;
    QXmlStreamReader xml(&file);
    QString id;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("message"))
            id = xml.attributes().value(QLatin1String("id")).toString();
        else if (xml.name() == QLatin1String("translation") && !id.isEmpty())
            table.insert(id, xml.readElementText());
    }
    EXPECT_FALSE(xml.hasError()) << path.toStdString() << ": " << xml.errorString().toStdString();
    return table;
}

// The argument numbers a text uses, "%1" and "%L2" alike.
QList<int> argumentNumbers(const QString& text) {
    static const QRegularExpression argument(QStringLiteral(R"(%L?(\d{1,2}))"));
    QSet<int> numbers;
    for (const QRegularExpressionMatch& match : argument.globalMatch(text))
        numbers.insert(match.captured(1).toInt());
    QList<int> sorted(numbers.begin(), numbers.end());
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

const QString kEnglishTable = QStringLiteral("resources/translations/pelora_en.ts");
const QString kGermanTable = QStringLiteral("resources/translations/pelora_de.ts");

} // namespace

TEST(Texts, ScannerFindsKeysInEveryCallForm) {
    const QString sample = QStringLiteral(
        "menu->addAction(L(\"strip.menu.hideAll\"));\n"
        "const QString t = qtTrId( \"updates.window.versionLine\" ).arg(a, b);\n"
        "static const char* const keys[] = {QT_TRID_NOOP(\"strip.menuBar.apps\")};\n"
        "QUrl URL(\"https://example.org\"); setObjectName(QStringLiteral(\"strip\"));\n");
    EXPECT_EQ(textKeysIn(sample), (QSet<QString>{QStringLiteral("strip.menu.hideAll"),
                                                 QStringLiteral("updates.window.versionLine"),
                                                 QStringLiteral("strip.menuBar.apps")}));
}

TEST(Texts, EveryKeyUsedInTheSourcesHasAnEnglishText) {
    // A key without text shows itself, which is how a missing entry is recognised.
    ASSERT_EQ(L("pelora.test.noSuchKey"), QStringLiteral("pelora.test.noSuchKey"));

    QMap<QString, QStringList> missing;
    int filesScanned = 0;
    QDirIterator it(sourcePath(QStringLiteral("src")), {"*.cpp", "*.h"}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        ++filesScanned;
        for (const QString& key : textKeysIn(QString::fromUtf8(file.readAll()))) {
            if (qtTrId(key.toUtf8().constData()) == key)
                missing[key].append(QDir(sourcePath({})).relativeFilePath(path));
        }
    }
    EXPECT_GT(filesScanned, 0);
    for (auto entry = missing.cbegin(); entry != missing.cend(); ++entry)
        ADD_FAILURE() << "no English text for \"" << entry.key().toStdString() << "\" (used in "
                      << entry.value().join(QStringLiteral(", ")).toStdString() << ")";
}

TEST(Texts, CompiledEnglishTableMatchesItsSourceAndHasNoBlankText) {
    const QMap<QString, QString> english = readTable(sourcePath(kEnglishTable));
    ASSERT_FALSE(english.isEmpty());
    QTranslator translator;
    ASSERT_TRUE(translator.load(QStringLiteral(":/i18n/pelora_en.qm")));
    for (auto it = english.cbegin(); it != english.cend(); ++it) {
        EXPECT_FALSE(it.value().trimmed().isEmpty()) << it.key().toStdString();
        EXPECT_EQ(translator.translate(nullptr, it.key().toUtf8().constData()), it.value())
            << it.key().toStdString();
    }
}

TEST(Texts, EnglishArgumentsAreNumberedFromOneWithoutGaps) {
    const QMap<QString, QString> english = readTable(sourcePath(kEnglishTable));
    for (auto it = english.cbegin(); it != english.cend(); ++it) {
        const QList<int> numbers = argumentNumbers(it.value());
        for (int i = 0; i < numbers.size(); ++i)
            EXPECT_EQ(numbers.at(i), i + 1)
                << it.key().toStdString() << ": " << it.value().toStdString();
    }
}

TEST(Texts, GermanTextsTakeTheSameArgumentsAsEnglish) {
    const QMap<QString, QString> english = readTable(sourcePath(kEnglishTable));
    const QMap<QString, QString> german = readTable(sourcePath(kGermanTable));
    ASSERT_FALSE(german.isEmpty());
    QTranslator compiled;
    ASSERT_TRUE(compiled.load(QStringLiteral(":/i18n/pelora_de.qm")));
    for (auto it = german.cbegin(); it != german.cend(); ++it) {
        const std::string key = it.key().toStdString();
        ASSERT_TRUE(english.contains(it.key())) << "German text for unknown key " << key;
        EXPECT_FALSE(it.value().trimmed().isEmpty()) << key;
        EXPECT_EQ(argumentNumbers(it.value()), argumentNumbers(english.value(it.key())))
            << key << ": \"" << it.value().toStdString() << "\" vs \""
            << english.value(it.key()).toStdString() << "\"";
        EXPECT_EQ(compiled.translate(nullptr, it.key().toUtf8().constData()), it.value()) << key;
    }
}

TEST(Translations, PicksTheBestTableForThePreferredLocalizations) {
    const QStringList shipped{QStringLiteral("de"), QStringLiteral("pt_BR")};
    const std::pair<QStringList, QString> cases[] = {
        {{"de-CH", "en"}, "de"},
        {{"de_at"}, "de"},
        {{"DE"}, "de"},
        // English first means English only, even when German follows.
        {{"en-GB", "de"}, ""},
        // Unshipped languages are passed over in favour of a later preference.
        {{"fr-FR", "de-DE"}, "de"},
        {{"fr-FR", "it"}, ""},
        {{"pt-BR"}, "pt_BR"},
        {{"pt"}, "pt_BR"},
        {{}, ""},
        {{"", " "}, ""},
    };
    for (const auto& [preferred, language] : cases)
        EXPECT_EQ(bestTranslationLanguage(preferred, shipped), language)
            << preferred.join(u',').toStdString();
}

TEST(Translations, InstallsEnglishUnderTheChosenLanguage) {
    EXPECT_TRUE(availableTranslationLanguages().contains(QStringLiteral("en")));
    EXPECT_TRUE(availableTranslationLanguages().contains(QStringLiteral("de")));

    installTranslations({QStringLiteral("de-CH"), QStringLiteral("en")});
    EXPECT_EQ(L("buttonQuit"), QStringLiteral("Beenden"));
    EXPECT_EQ(L("updates.window.versionLine").arg(QStringLiteral("2.0"), QStringLiteral("1.9")),
              QStringLiteral("Pelora 2.0 ist verfügbar – Sie verwenden 1.9."));

    // Calling again replaces the overlay instead of stacking a second one.
    installTranslations({QStringLiteral("pt-BR")});
    EXPECT_EQ(L("buttonQuit"), QStringLiteral("Quit"));
    EXPECT_EQ(L("strip.clipboard.imagePreview").arg(QStringLiteral("72"), QStringLiteral("36")),
              QStringLiteral("Image (72 × 36)"));

    installTranslations({});
    EXPECT_EQ(L("buttonQuit"), QStringLiteral("Quit"));
}
