#include "clipboard/ClipboardHistoryService.h"
#include "support/FakePlatform.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

QByteArray encode(const QImage& image, const char* format, int quality = -1) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    writer.write(image);
    return bytes;
}
QImage picture(int w, int h, QColor color = Qt::red) {
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(color);
    QPainter(&image).fillRect(0, 0, w / 2, h / 3, QColor(20, 40, 60, 128));
    return image;
}
QByteArray png(int w, int h) {
    return encode(picture(w, h), "png");
}
QByteArray rtf(const char* body) {
    return QByteArray("{\\rtf1\\ansi{\\fonttbl\\f0 Helvetica;}\\f0 ") + body + "}";
}
// A PNG whose header announces a size (an IHDR's width, height, RGBA and checksum, in hex) and
// whose body is broken.
QByteArray pngHeaderOnly(const char* size) {
    return QByteArray::fromHex(QByteArray("89504e470d0a1a0a0000000d49484452") + size +
                               "00000001494441547876e684e60000000049454e44ae426082");
}
const char* const announces20000x20000 = "00004e2000004e200806000000e3704639";
const char* const announces200x100 = "000000c8000000640806000000c3867f0b";

class ClipboardHistoryTest : public ::testing::Test {
protected:
    FakePlatform fakes;
    FakePasteboard& pasteboard = *fakes.pasteboard;
    std::optional<ClipboardHistoryService> made{std::in_place, *fakes.running, *fakes.workspace,
                                                pasteboard};
    ClipboardHistoryService& history = *made;

    // What each entry holds, newest first: "text:…", "rtf:…", "files:…", "image/png 30x20".
    QStringList entries() {
        QStringList list;
        for (const ClipboardItem& item : history.items()) {
            const auto* image = std::get_if<ClipboardImage>(&item.content);
            list << (image ? QStringLiteral("%1 %2x%3")
                                 .arg(image->type)
                                 .arg(image->size.width())
                                 .arg(image->size.height())
                           : ClipboardHistoryService::contentKey(item));
        }
        return list;
    }
    // One tick, and whatever it started has ended in the history.
    void check() {
        history.checkPasteboard();
        ASSERT_TRUE(waitUntil([&] { return !history.isCapturing(); }));
    }
    void copy(const PasteboardContents& contents, const QStringList& extraTypes = {}) {
        pasteboard.copy(contents, extraTypes);
        check();
    }
    void copyText(const QString& s) { copy({s, {}, {}}); }
};

TEST_F(ClipboardHistoryTest, ContentPresentAtStartIsNeverCaptured) {
    made.reset();
    pasteboard.copyText("before launch");
    ClipboardHistoryService fresh(*fakes.running, *fakes.workspace, pasteboard);
    fresh.checkPasteboard();
    drainEvents();
    EXPECT_TRUE(fresh.items().isEmpty());
    EXPECT_EQ(pasteboard.contentReads, 0);
}

TEST_F(ClipboardHistoryTest, ACopyAgainMovesToTheFrontWithItsNewSourceAndDate) {
    fakes.running->frontmost = makeRunningApplication("Editor", "org.ex.Editor", {});
    copyText("one");
    const QDateTime firstDate = history.items().first().date;
    copyText("two");
    fakes.running->frontmost = makeRunningApplication("Terminal", {}, {});
    ASSERT_TRUE(waitUntil([&] { return QDateTime::currentDateTime() > firstDate; }));
    copyText("one");

    EXPECT_EQ(entries(), (QStringList{"text:one", "text:two"}));
    const ClipboardItem& front = history.items()[0];
    EXPECT_EQ(front.sourceAppName, "Terminal");
    EXPECT_FALSE(front.sourceBundleIdentifier || front.sourceAppIcon);
    EXPECT_GT(front.date, firstDate);
    EXPECT_EQ(history.items()[1].sourceBundleIdentifier, "org.ex.Editor"); // icons: the menu's

    // The source is the application in front when the change showed, not one that came
    // forward while the content was read.
    fakes.running->frontmost = makeRunningApplication("Viewer", {}, {});
    pasteboard.whileReading = [&] {
        fakes.running->frontmost = makeRunningApplication("Later", {}, {});
    };
    copyText("slow");
    EXPECT_EQ(history.items().first().sourceAppName, "Viewer");
}

TEST_F(ClipboardHistoryTest, KeepsTwentyDistinctItemsNewestFirst) {
    for (int i = 1; i <= 21; ++i)
        copyText(QStringLiteral("copy %1").arg(i));
    ASSERT_EQ(history.items().size(), 20);
    EXPECT_EQ(entries().last(), "text:copy 2");
    // Rich and plain text of the same words are different copies.
    copy({std::nullopt, {}, {{PasteboardType::rtf, rtf("copy 21")}}});
    EXPECT_EQ(entries().mid(0, 2), (QStringList{"rtf:copy 21", "text:copy 21"}));
}

// Each copy in turn, with what enters the history (nothing when empty). A change is read
// once, whatever it yields.
TEST_F(ClipboardHistoryTest, TakesTheFirstKindThatYieldsContentAndSkipsSecrets) {
    const QUrl file = QUrl::fromLocalFile("/tmp/report.pdf");
    const QUrl web("https://example.org/page");
    const QString canInclude = "CanIncludeInClipboardHistory";
    const QByteArray tiff = encode(picture(33, 33), "tiff");
    struct Case {
        const char* what;
        PasteboardContents contents;
        QString entry;
        QStringList extraTypes = {};
    };
    const Case cases[] = {
        {"files beat text; only file URLs count",
         {"/tmp/x", {web, file}, {}},
         "files:/tmp/report.pdf"},
        {"a web address alone", {std::nullopt, {web}, {}}, {}},
        {"a web address with text", {web.toString(), {web}, {}}, "text:" + web.toString()},
        {"RTF beats text, under any name",
         {"plain", {}, {{"application/rtf", rtf("\\b bold\\b0  words")}}},
         "rtf:bold words"},
        {"RTF that says nothing",
         {"fallback", {}, {{PasteboardType::rtf, rtf("{\\*\\x y}")}}},
         "text:fallback"},
        {"not RTF, then a picture",
         {{}, {}, {{PasteboardType::rtf, "not rtf"}, {PasteboardType::png, png(30, 20)}}},
         "image/png 30x20"},
        {"TIFF before PNG",
         {{}, {}, {{PasteboardType::png, png(40, 20)}, {PasteboardType::tiff, tiff}}},
         "image/tiff 33x33"},
        {"a broken TIFF, then PNG",
         {{}, {}, {{PasteboardType::tiff, "II*\0broken"}, {PasteboardType::png, png(50, 20)}}},
         "image/png 50x20"},
        {"an unreadable picture", {{}, {}, {{PasteboardType::png, "\x89PNG garbage"}}}, {}},
        {"a picture announcing too many pixels",
         {{}, {}, {{PasteboardType::png, pngHeaderOnly(announces20000x20000)}}},
         {}},
        {"a picture too long to be read whole",
         {{},
          {},
          {{PasteboardType::png,
            png(10, 10) + QByteArray(ClipboardHistoryService::maxImageBytes, '\0')}}},
         {}},
        {"rich text too long to be read whole",
         {"plain",
          {},
          {{PasteboardType::rtf, rtf(QByteArray(ClipboardHistoryService::maxRichTextBytes, 'w'))}}},
         "text:plain"},
        {"a concealed copy", {"hunter3", {}, {}}, {}, {"org.nspasteboard.ConcealedType"}},
        {"a password manager's hint whose value never came",
         {"hunter6", {}, {}},
         {},
         {"x-kde-passwordManagerHint"}},
        {"a copy kept out of histories", {"hunter4", {}, {{canInclude, QByteArray(4, '\0')}}}, {}},
        {"a copy let into histories",
         {"allowed", {}, {{canInclude, QByteArray("\x01\0\0\0", 4)}}},
         "text:allowed"},
        {"the owner quit", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QStringList before = entries();
        pasteboard.copy(c.contents, c.extraTypes);
        const int reads = pasteboard.contentReads;
        check();
        check();
        EXPECT_EQ(pasteboard.contentReads, reads + 1);
        EXPECT_EQ(entries(), c.entry.isEmpty() ? before : QStringList(c.entry) + before);
    }
}

// When a password manager quits, a clipboard manager (mutter's, Klipper) takes its copy over
// without the marker: the same bytes, offered as plain content.
TEST_F(ClipboardHistoryTest, ASecretTakenOverByAClipboardManagerIsNotKept) {
    const QByteArray hint = "x-kde-passwordManagerHint";
    copy({"hunter2", {}, {{hint, "secret"}}});
    copy({std::nullopt, {}, {{PasteboardType::png, png(8, 8)}}},
         {"org.nspasteboard.ConcealedType"});
    copyText("hunter2");
    copy({std::nullopt, {}, {{PasteboardType::png, png(8, 8)}}});
    EXPECT_TRUE(entries().isEmpty());
    // Other content is kept, and so are the markers' own words.
    copyText("hunter3");
    copyText("secret");
    EXPECT_EQ(entries(), (QStringList{"text:secret", "text:hunter3"}));

    // The password manager quit before its text could be read: the copy right after it offering
    // nothing more is its takeover; the copy after that, or one offering more, is not.
    copy({std::nullopt, {}, {{hint, "secret"}}}, {PasteboardType::plainText});
    copyText("hunter4");
    copyText("hunter5");
    copy({std::nullopt, {}, {{hint, "secret"}}}, {PasteboardType::plainText});
    copy({"hunter6", {}, {{PasteboardType::png, png(9, 9)}}});
    EXPECT_EQ(entries().mid(0, 2), (QStringList{"text:hunter6", "text:hunter5"}));
}

// A copy's arrival only hands its rich text to the decoder: megabytes of RTF take seconds.
TEST_F(ClipboardHistoryTest, RichTextIsReadOffTheMainThread) {
    QByteArray words;
    while (words.size() < 1 << 20)
        words += "{\\b bold} words ";
    pasteboard.copy({"plain", {}, {{PasteboardType::rtf, rtf(words)}}});
    history.checkPasteboard();
    QCoreApplication::processEvents(); // the snapshot arrives
    EXPECT_TRUE(history.isCapturing());
    EXPECT_TRUE(entries().isEmpty());
    ASSERT_TRUE(waitUntil([&] { return !history.isCapturing(); }, 60000));
    EXPECT_TRUE(entries().value(0).startsWith(u"rtf:bold words bold words"));
}

TEST_F(ClipboardHistoryTest, CopiesEnterInTheOrderTheyWereMade) {
    // The picture takes a while on its thread; the text copied after it waits its turn.
    pasteboard.copyData(PasteboardType::png, png(2000, 1500));
    history.checkPasteboard();
    pasteboard.copyText("after the picture");
    ASSERT_TRUE(waitUntil([&] {
        history.checkPasteboard();
        return pasteboard.contentReads == 2 && !history.isCapturing();
    }));
    EXPECT_EQ(entries(), (QStringList{"text:after the picture", "image/png 2000x1500"}));
}

TEST_F(ClipboardHistoryTest, TitlesPreviewTheFirstLineInUserPerceivedCharacters) {
    // A family emoji is one character of several code points; so is a letter with 80 accents.
    const QString family = "\U0001F468\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466";
    const QString piled = u'a' + QString(80, QChar(0x0301));
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("  \n") + QString(60, u'a') + "\nsecond", QString(60, u'a')},
        {QString(61, u'b'), QString(57, u'b') + QChar(0x2026)},
        {" \t\n  ", QString::fromUtf8("␣⇥↵␣␣")}, // blanks only: shown, not an empty row
        {QString(25, u' '), QString(20, QChar(0x2423)) + QChar(0x2026)},
        {family.repeated(60), family.repeated(60)},
        {family.repeated(61), family.repeated(57) + QChar(0x2026)},
        {piled.repeated(70), piled.repeated(57) + QChar(0x2026)},
        {"first\r\nsecond", "first"},
    };
    for (const auto& [text, title] : cases) {
        copyText(text);
        EXPECT_EQ(history.displayTitle(history.items().first()), title);
    }
    copy({std::nullopt, {QUrl::fromLocalFile("/home/u/dir/")}, {}}); // one file: its name
    EXPECT_EQ(history.displayTitle(history.items().first()), "dir");
    // Whitespace is captured as it is; text over the limit is kept cut, a split character whole,
    // and its title says how much of how much was kept.
    EXPECT_EQ(entries()[6], "text: \t\n  ");
    const qsizetype limit = ClipboardHistoryService::maxTextBytes;
    const QString head = QString(57, u'a') + QChar(0x2026);
    const std::pair<QString, QString> cuts[] = {
        {QString(limit - 1, u'a') + "\u00e9 and more", head + " (first 1 MB of 1.1 MB)"},
        {QString(limit * 21 / 10, u'a'), head + " (first 1 MB of 2.1 MB)"},
    };
    for (const auto& [text, title] : cuts) {
        copyText(text);
        EXPECT_EQ(history.displayTitle(history.items().first()), title);
    }
    const auto& cut = std::get<ClipboardPlainText>(history.items()[1].content);
    EXPECT_TRUE(cut.truncated);
    EXPECT_EQ(cut.text, QString(limit - 1, u'a'));
}

TEST_F(ClipboardHistoryTest, PicturesAreOneCopyByTheirPixels) {
    const QImage a = picture(64, 48);
    pasteboard.copyData(PasteboardType::png, encode(a, "png"));
    check();
    QImage b = a;
    b.setPixelColor(63, 47, Qt::blue);
    QImage wide(64, 48, QImage::Format_ARGB32), tall(48, 64, QImage::Format_ARGB32);
    wide.fill(Qt::green);
    tall.fill(Qt::green);
    // The same pixels compressed otherwise, or as TIFF from another program: the same copy.
    // One pixel different, or the same pixel bytes in another shape: other pictures.
    const std::pair<QString, QByteArray> copies[] = {{PasteboardType::png, encode(a, "png", 0)},
                                                     {PasteboardType::tiff, encode(a, "tiff")},
                                                     {PasteboardType::png, encode(b, "png")},
                                                     {PasteboardType::png, encode(wide, "png")},
                                                     {PasteboardType::png, encode(tall, "png")}};
    ASSERT_NE(copies[0].second, encode(a, "png"));
    for (const auto& [type, bytes] : copies) {
        pasteboard.copyData(type, bytes);
        check();
    }
    EXPECT_EQ(entries(), (QStringList{"image/png 48x64", "image/png 64x48", "image/png 64x48",
                                      "image/tiff 64x48"}));
}

TEST_F(ClipboardHistoryTest, BadPictureBytesAreRefusedOrKeptByTheirSize) {
    const QByteArray good = png(100, 50);
    QByteArray textBomb =
        pngHeaderOnly(announces200x100); // a text chunk declaring more than it holds
    textBomb.insert(8 + 25, QByteArray::fromHex("7fffff00") + "tEXt" + "Comment");
    QByteArray jpeg = encode(picture(10, 10), "jpeg");
    const std::tuple<const char*, QByteArray, QString, QString> cases[] = {
        {"cut inside the pixels", good.left(good.size() - 30), PasteboardType::png,
         "unreadable-100.0x50.0"},
        {"a header only", pngHeaderOnly(announces200x100), PasteboardType::png,
         "unreadable-200.0x100.0"},
        {"a text chunk bomb", textBomb, PasteboardType::png, {}},
        {"JPEG under the PNG type", jpeg, PasteboardType::png, {}},
        {"GIF", "GIF89a", "image/gif", {}},
        {"nothing", {}, PasteboardType::png, {}},
    };
    for (const auto& [what, bytes, type, fingerprint] : cases) {
        const auto image = makeClipboardImage(bytes, type);
        EXPECT_EQ(image ? image->fingerprint : QString(), fingerprint) << what;
        EXPECT_TRUE(!image || image->thumbnail.isNull()) << what;
    }
}

TEST_F(ClipboardHistoryTest, PastingBackRichTextAndTiffWritesEveryRepresentation) {
    const QByteArray rich = rtf("caf\\'e9 {\\i au lait}");
    copy({"ignored", {}, {{PasteboardType::rtf, rich}}});
    history.paste(history.items().first());
    EXPECT_EQ(pasteboard.writes.last().text, "caf\u00e9 au lait");
    EXPECT_EQ(pasteboard.writes.last().data,
              (QList<std::pair<QString, QByteArray>>{{PasteboardType::rtf, rich}}));
    // A picture that came as TIFF goes back as TIFF and as PNG, the same picture.
    const QByteArray tiff = encode(picture(33, 33), "tiff");
    copy({std::nullopt, {}, {{PasteboardType::tiff, tiff}}});
    history.paste(history.items().first());
    const auto& written = pasteboard.writes.last().data;
    ASSERT_EQ(written.size(), 2);
    EXPECT_EQ(written[0], std::pair(PasteboardType::tiff, tiff));
    EXPECT_EQ(written[1].first, PasteboardType::png);
    EXPECT_EQ(QImage::fromData(written[1].second).convertToFormat(QImage::Format_ARGB32),
              QImage::fromData(tiff).convertToFormat(QImage::Format_ARGB32));
}

} // namespace
