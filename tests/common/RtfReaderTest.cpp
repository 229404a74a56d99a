#include "common/RtfReader.h"
#include "support/QtPrinters.h"

#include <QTextBlock>
#include <QTextDocument>
#include <gtest/gtest.h>

TEST(RtfReader, PlainTextOfEscapesCodePagesAndSkippedGroups) {
    const std::pair<const char*, QString> cases[] = {
        // \uN stands for the next \ucN characters (one by default); \'hh and a control word
        // count as one; negative N are UTF-16 units above 0x7FFF; a brace ends the fallback.
        {"{\\rtf1 caf\\u233\\'e9!}", "caf\u00e9!"},
        {"{\\rtf1 \\uc2 \\u8364 EUR}", "\u20acR"},
        {"{\\rtf1 \\uc0\\u8364 EUR}", QStringLiteral("\u20ac") + "EUR"},
        {"{\\rtf1 {\\uc3\\u8364}abc}", QStringLiteral("\u20ac") + "abc"},
        {"{\\rtf1 \\u8220\\ldblquote x}", "\u201cx"},
        {"{\\rtf1 {\\uc2 x}\\u233 ab}", QStringLiteral("x\u00e9") + "b"}, // \uc is scoped
        // A surrogate pair as two escapes, and a lone half that must not survive.
        {"{\\rtf1 \\u-10179?\\u-8704?}", "\U0001F600"},
        {"{\\rtf1 a\\u-10179?b}", QStringLiteral("a\ufffd") + "b"},
        // Hex escapes and raw high bytes follow the code page, or the font's charset.
        {"{\\rtf1\\ansi \\'80 \\'93q\\'94 \\'e9}", "\u20ac \u201cq\u201d \u00e9"},
        {"{\\rtf1\\ansi\\ansicpg1251 \\'c0\\'e1}", "\u0410\u0431"},
        {"{\\rtf1\\mac \\'8e}", "\u00e9"},
        {"{\\rtf1\\ansi caf\xe9}", "caf\u00e9"},
        {"{\\rtf1\\ansi{\\fonttbl{\\f0\\fnil Arial;}{\\f1\\fnil\\fcharset128 MS Gothic;}}"
         "\\f0 \\'e9 \\f1 \\'82\\'a0\\f0 \\'e9}",
         "\u00e9 \u3042\u00e9"},
        // Unknown destinations after \* are skipped; an unknown word alone keeps its text.
        {"{\\rtf1 a{\\*\\unknowndest secret {\\b nested}}b}", "ab"},
        {"{\\rtf1 a{\\unknownword kept}b}", "akeptb"},
        {"{\\rtf1 \\{braces\\} and \\\\ slash\\~nb\\_hy\\-phen}",
         "{braces} and \\ slash\u00a0nb\u2011hyphen"},
        {"{\\rtf1 a{\\pict\\bin5 }}}{}}b}", "ab"}, // binary skipped by length
        {"{\\rtf1 \\emdash\\endash\\bullet\\lquote\\rquote}", "\u2014\u2013\u2022\u2018\u2019"},
        {"{\\rtf1 in}out", "in"},
        // What macOS editors and word processors write: tables and pictures to skip.
        {"{\\rtf1\\ansi\\ansicpg1252\\cocoartf2639\n\\cocoatextscaling0{\\fonttbl\\f0\\fswiss "
         "Helvetica;}\n{\\colortbl;\\red255\\green255\\blue255;}\n{\\*\\expandedcolortbl;;}\n"
         "\\pard\\tx566\\pardirnatural\n\n\\f0\\fs24 \\cf0 Hello \\b world\\b0 !\\\nSecond line}",
         "Hello world!\nSecond line"},
        {"{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\froman Times;}}{\\stylesheet{\\s1 Heading 1;}}"
         "{\\info{\\author Someone}{\\title T}}{\\*\\generator Writer;}{\\header Page header}"
         "\\pard\\plain {\\i italic}\\tab {\\ul under}{\\ulnone  plain}\\par\n"
         "{\\pict\\pngblip 89504e470d0a}after\\line end\\cell x\\row}",
         "italic\tunder plain\nafter\nend\tx\n"},
    };
    for (const auto& [rtf, text] : cases)
        EXPECT_EQ(parseRtf(QByteArray(rtf)).plainText(), text) << rtf;
}

TEST(RtfReader, StylesAndLinksReachTextDocuments) {
    const RtfDocument doc = parseRtf(QByteArray(
        "{\\rtf1 {\\b Title}\\par <plain> & {\\i more} {\\ul under}{\\ulnone  not}\\par\\fs36 "
        "See {\\field{\\*\\fldinst{HYPERLINK \"https://example.org/a\"}}{\\fldrslt{\\ul site}}}}"));
    ASSERT_TRUE(doc.valid);
    QStringList styled;
    for (const RtfRun& run : doc.runs)
        styled << QStringLiteral("%1%2%3%4%5")
                      .arg(run.text.trimmed(), run.bold ? "/b" : "", run.italic ? "/i" : "",
                           run.underline ? "/u" : "", run.link.isEmpty() ? "" : "/" + run.link);
    // The last is how the About credits carry their links.
    for (const char* run : {"Title/b", "more/i", "under/u", "not", "site/u/https://example.org/a"})
        EXPECT_TRUE(styled.contains(QLatin1String(run))) << run;
    EXPECT_EQ(doc.runs.last().pointSize, 18.0);

    QTextDocument rich;
    fillTextDocument(rich, doc);
    EXPECT_EQ(rich.toPlainText(), "Title\n<plain> & more under not\nSee site");
    EXPECT_EQ(rich.firstBlock().begin().fragment().charFormat().fontWeight(), QFont::Bold);
    EXPECT_EQ(rich.lastBlock().begin().fragment().charFormat().fontPointSize(), 18.0);
}

TEST(RtfReader, BrokenInputNeverCrashesAndKeepsWhatItCan) {
    EXPECT_FALSE(parseRtf(QByteArray("plain text")).valid);
    EXPECT_FALSE(parseRtf(QByteArray()).valid);
    EXPECT_TRUE(parseRtf(QByteArray("  {\\rtf")).valid);
    // Cut in every possible place: escapes, words, parameters, groups.
    const QByteArray full("{\\rtf1\\ansi{\\fonttbl{\\f0 A;}}\\f0\\fs24 a\\'e9\\u8364? "
                          "{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt b}}\\bin3 xyz c}");
    for (int n = 0; n <= full.size(); ++n)
        EXPECT_LE(parseRtf(full.left(n)).plainText().size(), n);
    EXPECT_EQ(parseRtf(full).plainText(), "a\u00e9\u20ac b c");
    // Unbalanced braces, deep nesting, absurd parameters and counts.
    const QByteArray deep =
        "{\\rtf1 x" + QByteArray(100000, '{') + "deep" + QByteArray(100000, '}') + "y}";
    const std::pair<QByteArray, QString> cases[] = {
        {"{\\rtf1 a}}}}b", "a"},
        {deep, "xy"},
        {"{\\rtf1 x" + QByteArray(100000, '{'), "x"},
        {"{\\rtf1 \\u99999999999999999 \\uc-5 \\fs-4 a\\bin-7 b\\bin99999999999 c}",
         QStringLiteral("\ufffd") + "ab"},
        {"{\\rtf1 \\ansicpg99999 \\'e9\\'zz\\'e}", "\u00e9zz"},
    };
    for (const auto& [rtf, text] : cases)
        EXPECT_EQ(parseRtf(rtf).plainText(), text) << rtf.left(40).toStdString();
}
