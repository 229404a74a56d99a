#include "common/RtfReader.h"

#include <QTextBlock>
#include <QTextDocument>
#include <gtest/gtest.h>

namespace {
QString text(const char* rtf) {
    return parseRtf(QByteArray(rtf)).plainText();
}
} // namespace

TEST(RtfReader, ReadsWhatCocoaAndWordWrite) {
    // As a macOS editor writes it: tables to skip, a backslash-newline paragraph break.
    const char* cocoa =
        "{\\rtf1\\ansi\\ansicpg1252\\cocoartf2639\n"
        "\\cocoatextscaling0\\cocoaplatform0{\\fonttbl\\f0\\fswiss\\fcharset0 "
        "Helvetica;}\n{\\colortbl;\\red255\\green255\\blue255;}\n"
        "{\\*\\expandedcolortbl;;}\n\\pard\\tx566\\pardirnatural\\partightenfactor0\n"
        "\n\\f0\\fs24 \\cf0 Hello \\b world\\b0 !\\\nSecond line}";
    const RtfDocument doc = parseRtf(QByteArray(cocoa));
    ASSERT_TRUE(doc.valid);
    EXPECT_EQ(doc.plainText(), QStringLiteral("Hello world!\nSecond line"));
    ASSERT_EQ(doc.runs.size(), 3);
    EXPECT_FALSE(doc.runs[0].bold);
    EXPECT_TRUE(doc.runs[1].bold);
    EXPECT_EQ(doc.runs[1].text, QStringLiteral("world"));
    EXPECT_EQ(doc.runs[1].pointSize, 12.0);

    const char* word = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\froman Times;}}"
                       "{\\stylesheet{\\s1 Heading 1;}}{\\info{\\author Someone}{\\title T}}"
                       "{\\*\\generator Writer;}{\\header Page header}"
                       "\\pard\\plain {\\i italic}\\tab {\\ul under}{\\ulnone  plain}\\par\n"
                       "{\\pict\\pngblip 89504e470d0a}after\\line end\\cell x\\row}";
    const RtfDocument wd = parseRtf(QByteArray(word));
    EXPECT_EQ(wd.plainText(), QStringLiteral("italic\tunder plain\nafter\nend\tx\n"));
    EXPECT_TRUE(wd.runs[0].italic);
    EXPECT_TRUE(wd.runs[2].underline);
    EXPECT_FALSE(wd.runs[3].underline);
}

TEST(RtfReader, UnicodeEscapesSkipTheirFallback) {
    // \uN replaces the next \ucN characters (one by default); \'hh and control words count
    // as one; negative N are UTF-16 units above 0x7FFF; a brace ends the fallback early.
    EXPECT_EQ(text("{\\rtf1 caf\\u233\\'e9!}"), QStringLiteral("caf\u00e9!"));
    EXPECT_EQ(text("{\\rtf1 \\uc2 \\u8364 EUR}"), QStringLiteral("\u20acR"));
    EXPECT_EQ(text("{\\rtf1 \\uc0\\u8364 EUR}"), QStringLiteral("\u20ac"
                                                                "EUR"));
    EXPECT_EQ(text("{\\rtf1 \\u-3971?}"), QString(QChar(0xF07D)));
    EXPECT_EQ(text("{\\rtf1 {\\uc3\\u8364}abc}"), QStringLiteral("\u20ac"
                                                                 "abc"));
    EXPECT_EQ(text("{\\rtf1 \\u8220\\ldblquote x}"), QStringLiteral("\u201cx"));
    // A surrogate pair written as two escapes, and a lone half that must not survive.
    EXPECT_EQ(text("{\\rtf1 \\u-10179?\\u-8704?}"), QStringLiteral("\U0001F600"));
    EXPECT_EQ(text("{\\rtf1 a\\u-10179?b}"), QStringLiteral("a\ufffd"
                                                            "b"));
    // \uc is scoped to its group.
    EXPECT_EQ(text("{\\rtf1 {\\uc2 x}\\u233 ab}"), QStringLiteral("x\u00e9"
                                                                  "b"));
}

TEST(RtfReader, HexEscapesFollowTheCodePage) {
    EXPECT_EQ(text("{\\rtf1\\ansi \\'80 \\'93q\\'94 \\'e9}"),
              QStringLiteral("\u20ac \u201cq\u201d \u00e9"));
    EXPECT_EQ(text("{\\rtf1\\ansi\\ansicpg1251 \\'c0\\'e1}"), QStringLiteral("\u0410\u0431"));
    EXPECT_EQ(text("{\\rtf1\\mac \\'8e}"), QStringLiteral("\u00e9"));
    // A font's charset overrides the document's code page; a double-byte character split
    // over two escapes is one character.
    EXPECT_EQ(text("{\\rtf1\\ansi{\\fonttbl{\\f0\\fnil Arial;}{\\f1\\fnil\\fcharset128 MS "
                   "Gothic;}}\\f0 \\'e9 \\f1 \\'82\\'a0\\f0 \\'e9}"),
              QStringLiteral("\u00e9 \u3042\u00e9"));
    // Raw high bytes are read in the code page too.
    EXPECT_EQ(parseRtf(QByteArray("{\\rtf1\\ansi caf\xe9}")).plainText(),
              QStringLiteral("caf\u00e9"));
}

TEST(RtfReader, IgnoredDestinationsAndSymbols) {
    EXPECT_EQ(text("{\\rtf1 a{\\*\\unknowndest secret {\\b nested}}b}"), QStringLiteral("ab"));
    // A known word after \* keeps its group; an unknown word without \* keeps the text.
    EXPECT_EQ(text("{\\rtf1 a{\\unknownword kept}b}"), QStringLiteral("akeptb"));
    EXPECT_EQ(text("{\\rtf1 \\{braces\\} and \\\\ slash\\~nb\\_hy\\-phen}"),
              QStringLiteral("{braces} and \\ slash\u00a0nb\u2011hyphen"));
    // Binary data is skipped by its length, even when it looks like RTF.
    EXPECT_EQ(parseRtf(QByteArray("{\\rtf1 a{\\pict\\bin5 }}}{}}b}")).plainText(),
              QStringLiteral("ab"));
    EXPECT_EQ(text("{\\rtf1 \\emdash\\endash\\bullet\\lquote\\rquote}"),
              QStringLiteral("\u2014\u2013\u2022\u2018\u2019"));
    // Text after the document's closing brace is not part of it.
    EXPECT_EQ(text("{\\rtf1 in}out"), QStringLiteral("in"));
}

TEST(RtfReader, HyperlinkFieldsBecomeLinkedRuns) {
    const RtfDocument doc = parseRtf(
        QByteArray("{\\rtf1 See {\\field{\\*\\fldinst{HYPERLINK \"https://example.org/a\"}}"
                   "{\\fldrslt{\\ul our site}}} now.}"));
    EXPECT_EQ(doc.plainText(), QStringLiteral("See our site now."));
    ASSERT_EQ(doc.runs.size(), 3);
    EXPECT_EQ(doc.runs[1].link, QStringLiteral("https://example.org/a"));
    EXPECT_TRUE(doc.runs[1].underline);
    EXPECT_TRUE(doc.runs[2].link.isEmpty());

    const QString html = rtfToHtml(doc);
    EXPECT_TRUE(html.contains(QStringLiteral("<a href=\"https://example.org/a\">")));
    QTextDocument rich;
    fillTextDocument(rich, doc);
    EXPECT_EQ(rich.toPlainText(), doc.plainText());
}

TEST(RtfReader, BuildsTextDocumentsWithParagraphsAndStyles) {
    const RtfDocument doc =
        parseRtf(QByteArray("{\\rtf1 {\\b Title}\\par <plain> & {\\i more}\\par\\fs36 big}"));
    QTextDocument rich;
    fillTextDocument(rich, doc);
    EXPECT_EQ(rich.blockCount(), 3);
    const QTextBlock first = rich.firstBlock();
    EXPECT_EQ(first.text(), QStringLiteral("Title"));
    EXPECT_EQ(first.begin().fragment().charFormat().fontWeight(), QFont::Bold);
    const QTextBlock last = rich.lastBlock();
    EXPECT_EQ(last.begin().fragment().charFormat().fontPointSize(), 18.0);

    QTextDocument fromHtml;
    fromHtml.setHtml(rtfToHtml(doc));
    EXPECT_EQ(fromHtml.toPlainText(), QStringLiteral("Title\n<plain> & more\nbig"));
}

TEST(RtfReader, BrokenInputNeverCrashesAndKeepsWhatItCan) {
    EXPECT_FALSE(parseRtf(QByteArray("plain text")).valid);
    EXPECT_FALSE(parseRtf(QByteArray()).valid);
    EXPECT_TRUE(parseRtf(QByteArray("  {\\rtf")).valid);
    // Truncated in every possible place: escapes, words, parameters, groups.
    const QByteArray full("{\\rtf1\\ansi{\\fonttbl{\\f0 A;}}\\f0\\fs24 a\\'e9\\u8364? "
                          "{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt b}}\\bin3 xyz c}");
    for (int n = 0; n <= full.size(); ++n) {
        const RtfDocument doc = parseRtf(full.left(n));
        EXPECT_LE(doc.plainText().size(), n);
    }
    EXPECT_EQ(parseRtf(full).plainText(), QStringLiteral("a\u00e9\u20ac b c"));
    // Unbalanced braces, deep nesting, absurd parameters and counts.
    EXPECT_EQ(text("{\\rtf1 a}}}}b"), QStringLiteral("a"));
    QByteArray deep("{\\rtf1 x");
    deep += QByteArray(100000, '{') + "deep" + QByteArray(100000, '}') + "y}";
    EXPECT_EQ(parseRtf(deep).plainText(), QStringLiteral("xy"));
    QByteArray open("{\\rtf1 x");
    open += QByteArray(100000, '{');
    EXPECT_EQ(parseRtf(open).plainText(), QStringLiteral("x"));
    EXPECT_EQ(text("{\\rtf1 \\u99999999999999999 \\uc-5 \\fs-4 a\\bin-7 b\\bin99999999999 c}"),
              QStringLiteral("\ufffd"
                             "ab"));
    EXPECT_EQ(text("{\\rtf1 \\ansicpg99999 \\'e9\\'zz\\'e}"), QStringLiteral("\u00e9zz"));
}
