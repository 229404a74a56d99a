#include "common/Texts.h"
#include "common/Translations.h"
#include "support/TestSupport.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTranslator>
#include <gtest/gtest.h>
#include <set>

namespace {

// The argument numbers a text uses, "%1" and "%L2" alike, in order.
QList<int> argumentNumbers(const QString& text) {
    static const QRegularExpression argument(QStringLiteral(R"(%L?(\d{1,2}))"));
    std::set<int> numbers;
    for (const QRegularExpressionMatch& match : argument.globalMatch(text))
        numbers.insert(match.captured(1).toInt());
    return QList<int>(numbers.begin(), numbers.end());
}

} // namespace

// Keys are looked up with L("...") or qtTrId("..."), or marked with QT_TRID_NOOP("...") where
// a table hands them to L() later. A key without text would show itself.
TEST(Texts, EveryKeyTheSourcesUseHasTextsWithTheSameArgumentsInEachLanguage) {
    static const QRegularExpression call(
        QStringLiteral(R"((?<![A-Za-z0-9_])(?:L|qtTrId|QT_TRID_NOOP)\(\s*"((?:[^"\\\n]|\\.)*)\")"));
    QTranslator german;
    ASSERT_TRUE(german.load(":/i18n/pelora_de.qm"));
    int keys = 0;
    QDirIterator it(sourcePath("src"), {"*.cpp", "*.h"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        for (const auto& match : call.globalMatch(QString::fromUtf8(file.readAll()))) {
            const QByteArray key = match.captured(1).toUtf8();
            SCOPED_TRACE(key.toStdString() + " in " + file.fileName().toStdString());
            ++keys;
            const QString english = qtTrId(key.constData());
            ASSERT_NE(english, QString::fromUtf8(key)) << "no English text";
            EXPECT_FALSE(english.trimmed().isEmpty());
            const QList<int> numbers = argumentNumbers(english);
            for (int i = 0; i < numbers.size(); ++i)
                EXPECT_EQ(numbers[i], i + 1) << "arguments numbered from one without gaps";
            const QString translated = german.translate(nullptr, key.constData());
            if (!translated.isEmpty()) {
                EXPECT_FALSE(translated.trimmed().isEmpty());
                EXPECT_EQ(argumentNumbers(translated), numbers) << translated.toStdString();
            }
        }
    }
    EXPECT_GT(keys, 100);
}

TEST(Texts, TranslationPicksTheBestTableForThePreferredLocalizations) {
    const QStringList shipped{"de", "pt_BR"};
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

TEST(Texts, TranslationInstallsTheChosenLanguageOverEnglishOnce) {
    const QString english = L("buttonQuit");
    installTranslations({"de-CH", "en"});
    EXPECT_NE(L("buttonQuit"), english);
    // Again replaces the overlay instead of stacking a second one.
    installTranslations({"pt-BR"});
    EXPECT_EQ(L("buttonQuit"), english);
    installTranslations({});
    EXPECT_EQ(L("buttonQuit"), english);
}
