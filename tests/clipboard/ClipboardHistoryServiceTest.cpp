#include "clipboard/ClipboardHistoryService.h"
#include "common/Services.h"
#include "common/Texts.h"
#include "fakes/FakePasteboard.h"
#include "fakes/FakeRunningApplications.h"
#include "fakes/FakeWorkspace.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QRegularExpression>
#include <QtEndian>
#include <gtest/gtest.h>

namespace {

QByteArray encode(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    return bytes;
}

QImage picture(int w, int h, QColor color = Qt::red) {
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(color);
    QPainter(&image).fillRect(0, 0, w / 2, h / 3, QColor(20, 40, 60, 128));
    return image;
}

QByteArray rtf(const char* body) {
    return QByteArray("{\\rtf1\\ansi{\\fonttbl\\f0 Helvetica;}\\f0 ") + body + "}";
}

class ClipboardHistoryTest : public ::testing::Test {
protected:
    ClipboardHistoryTest() {
        Platform platform;
        platform.pasteboard = pasteboard;
        platform.runningApplications = apps;
        platform.workspace = workspace;
        services = std::make_unique<Services>(platform);
    }

    ClipboardHistoryService& history() { return services->get<ClipboardHistoryService>(); }

    QStringList titles() {
        QStringList list;
        for (const ClipboardItem& item : history().items())
            list << history().displayTitle(item);
        return list;
    }
    QStringList keys() {
        QStringList list;
        for (const ClipboardItem& item : history().items())
            list << ClipboardHistoryService::contentKey(item);
        return list;
    }
    // One tick, and whatever it started has ended in the history.
    void check() {
        history().checkPasteboard();
        ASSERT_TRUE(waitUntil([&] { return !history().isCapturing(); }));
    }
    void copyAndCheck(const QString& s) {
        pasteboard->copyText(s);
        check();
    }

    std::shared_ptr<FakePasteboard> pasteboard = std::make_shared<FakePasteboard>();
    std::shared_ptr<FakeRunningApplications> apps = std::make_shared<FakeRunningApplications>();
    std::shared_ptr<FakeWorkspace> workspace = std::make_shared<FakeWorkspace>();
    std::unique_ptr<Services> services;
};

} // namespace

TEST_F(ClipboardHistoryTest, ContentPresentAtStartIsNeverCaptured) {
    pasteboard->copyText(QStringLiteral("before launch"));
    check();
    check();
    EXPECT_TRUE(history().items().isEmpty());
    EXPECT_EQ(pasteboard->contentReads, 0);
    // Copied again, it is a change like any other.
    copyAndCheck(QStringLiteral("before launch"));
    EXPECT_EQ(keys(), QStringList{QStringLiteral("text:before launch")});
}

TEST_F(ClipboardHistoryTest, RepeatedCopiesMoveToTheFrontWithTheirNewSource) {
    apps->frontmost =
        makeRunningApplication(QStringLiteral("Editor"), QStringLiteral("org.example.Editor"), {});
    apps->frontmost->iconName = QStringLiteral("accessories-text-editor");
    history();
    copyAndCheck(QStringLiteral("one"));
    const QDateTime firstDate = history().items().first().date;
    copyAndCheck(QStringLiteral("two"));
    apps->frontmost = makeRunningApplication(QStringLiteral("Terminal"), {}, {});
    copyAndCheck(QStringLiteral("one"));

    EXPECT_EQ(keys(), (QStringList{QStringLiteral("text:one"), QStringLiteral("text:two")}));
    const ClipboardItem& front = history().items().first();
    EXPECT_EQ(front.sourceAppName, QStringLiteral("Terminal"));
    EXPECT_FALSE(front.sourceBundleIdentifier.has_value());
    EXPECT_FALSE(front.sourceAppIcon.has_value());
    EXPECT_GE(front.date, firstDate);
    const ClipboardItem& second = history().items()[1];
    EXPECT_EQ(second.sourceBundleIdentifier, QStringLiteral("org.example.Editor"));
    ASSERT_TRUE(second.sourceAppIcon.has_value());
    EXPECT_EQ(workspace->nameOfIcon(*second.sourceAppIcon),
              QStringLiteral("accessories-text-editor"));
    EXPECT_NE(front.id, second.id);

    // The source is the application in front when the change showed, not one that came
    // forward while the content was being read.
    apps->frontmost = makeRunningApplication(QStringLiteral("Viewer"), {}, {});
    pasteboard->whileReading = [&] {
        apps->frontmost = makeRunningApplication(QStringLiteral("Later"), {}, {});
    };
    copyAndCheck(QStringLiteral("slow"));
    pasteboard->whileReading = nullptr;
    EXPECT_EQ(history().items().first().sourceAppName, QStringLiteral("Viewer"));

    // Without a frontmost application the source stays unknown.
    apps->frontmost.reset();
    copyAndCheck(QStringLiteral("three"));
    EXPECT_FALSE(history().items().first().sourceAppName.has_value());
}

TEST_F(ClipboardHistoryTest, KeepsTwentyDistinctItemsNewestFirst) {
    history();
    for (int i = 1; i <= 21; ++i)
        copyAndCheck(QStringLiteral("copy %1").arg(i));
    ASSERT_EQ(history().items().size(), 20);
    EXPECT_EQ(keys().first(), QStringLiteral("text:copy 21"));
    EXPECT_EQ(keys().last(), QStringLiteral("text:copy 2"));
    // Rich and plain text of the same words are different copies.
    pasteboard->copyData(PasteboardType::rtf, rtf("copy 21"));
    check();
    EXPECT_EQ(keys().mid(0, 2),
              (QStringList{QStringLiteral("rtf:copy 21"), QStringLiteral("text:copy 21")}));
}

TEST_F(ClipboardHistoryTest, PicksTheFirstKindThatYieldsContent) {
    history();
    const QUrl file = QUrl::fromLocalFile(QStringLiteral("/tmp/report.pdf"));
    const QUrl web(QStringLiteral("https://example.org/page"));

    // Files beat text; only file URLs count.
    pasteboard->copy({QStringLiteral("/tmp/report.pdf"), {web, file}, {}});
    check();
    EXPECT_EQ(keys().first(), QStringLiteral("files:/tmp/report.pdf"));
    EXPECT_EQ(std::get<ClipboardFiles>(history().items().first().content).urls, QList<QUrl>{file});

    // A web address alone is not a copy worth keeping; with text it is that text.
    pasteboard->copy({std::nullopt, {web}, {}});
    check();
    EXPECT_EQ(history().items().size(), 1);
    pasteboard->copy({web.toString(), {web}, {}});
    check();
    EXPECT_EQ(keys().first(), QStringLiteral("text:https://example.org/page"));

    // RTF beats plain text, under any of its type names.
    pasteboard->copy({QStringLiteral("plain words"),
                      {},
                      {{QStringLiteral("application/rtf"), rtf("\\b bold\\b0  words")}}});
    check();
    EXPECT_EQ(keys().first(), QStringLiteral("rtf:bold words"));
    const auto& rich = std::get<ClipboardRichText>(history().items().first().content);
    EXPECT_TRUE(rich.document.runs.first().bold);

    // RTF that says nothing, or is not RTF, falls through to the text, then to pictures.
    pasteboard->copy({QStringLiteral("fallback"), {}, {{PasteboardType::rtf, rtf("{\\*\\x y}")}}});
    check();
    EXPECT_EQ(keys().first(), QStringLiteral("text:fallback"));
    pasteboard->copy({QString(),
                      {},
                      {{PasteboardType::rtf, QByteArray("not rtf")},
                       {PasteboardType::png, encode(picture(30, 20), "png")}}});
    check();
    EXPECT_TRUE(keys().first().startsWith(QStringLiteral("img:")));
    EXPECT_EQ(history().items().size(), 5);

    // Nothing usable at all: no entry, and the change is not looked at again.
    pasteboard->copy({QString(), {}, {{PasteboardType::png, QByteArray("\x89PNG garbage")}}});
    check();
    const int reads = pasteboard->contentReads;
    check();
    EXPECT_EQ(pasteboard->contentReads, reads);
    EXPECT_EQ(history().items().size(), 5);
}

TEST_F(ClipboardHistoryTest, ReadsContentOnlyOncePerChangeAndNeverWhenIdle) {
    history();
    for (int i = 0; i < 5; ++i)
        check();
    EXPECT_EQ(pasteboard->contentReads, 0);
    EXPECT_EQ(pasteboard->changeCountCalls, 6); // one at creation, one per tick

    pasteboard->copyText(QStringLiteral("x"));
    check();
    const int reads = pasteboard->contentReads;
    EXPECT_GT(reads, 0);
    check();
    EXPECT_EQ(pasteboard->contentReads, reads);

    // The owner quit: a change with nothing offered reads no data.
    pasteboard->ownerQuit();
    check();
    EXPECT_EQ(pasteboard->contentReads, reads + 1);
    EXPECT_EQ(history().items().size(), 1);
}

TEST_F(ClipboardHistoryTest, SecretsFromPasswordManagersAreNeverCaptured) {
    history();
    const QString hint = QStringLiteral("x-kde-passwordManagerHint");
    pasteboard->copy({QStringLiteral("hunter2"), {}, {{hint, QByteArray("secret")}}});
    check();
    pasteboard->copy({QStringLiteral("hunter3"), {}, {}},
                     {QStringLiteral("org.nspasteboard.ConcealedType")});
    check();
    pasteboard->copy({QStringLiteral("hunter4"),
                      {},
                      {{QStringLiteral("CanIncludeInClipboardHistory"), QByteArray(4, '\0')}}});
    check();
    // A hint the owner offers but never gives counts as given: a secret is not kept by chance.
    pasteboard->copy({QStringLiteral("hunter5"), {}, {{hint, QByteArray("secret")}}});
    pasteboard->unanswered.insert(hint);
    check();
    EXPECT_TRUE(history().items().isEmpty());

    // Only the exact hint value marks a secret; other values are ordinary copies.
    pasteboard->copy({QStringLiteral("not a password"), {}, {{hint, QByteArray("public")}}});
    check();
    pasteboard->copy(
        {QStringLiteral("allowed"),
         {},
         {{QStringLiteral("CanIncludeInClipboardHistory"), QByteArray("\x01\0\0\0", 4)}}});
    check();
    EXPECT_EQ(keys(),
              (QStringList{QStringLiteral("text:allowed"), QStringLiteral("text:not a password")}));
}

// A PNG whose header announces a size and whose body is broken.
static QByteArray pngHeaderOnly(quint32 width, quint32 height) {
    auto chunk = [](const char* type, const QByteArray& data) {
        QByteArray body = QByteArray(type) + data;
        quint32 crc = 0xFFFFFFFF;
        for (char byte : body) {
            crc ^= uchar(byte);
            for (int k = 0; k < 8; ++k)
                crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
        }
        QByteArray out(4, '\0');
        qToBigEndian<quint32>(quint32(data.size()), out.data());
        out += body + QByteArray(4, '\0');
        qToBigEndian<quint32>(~crc, out.data() + out.size() - 4);
        return out;
    };
    QByteArray ihdr(13, '\0');
    qToBigEndian<quint32>(width, ihdr.data());
    qToBigEndian<quint32>(height, ihdr.data() + 4);
    ihdr[8] = 8; // bits per channel
    ihdr[9] = 6; // RGBA
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", ihdr) + chunk("IDAT", "x") +
           chunk("IEND", {});
}

TEST_F(ClipboardHistoryTest, OversizedContentIsCutOrLeftOut) {
    history();
    // Text beyond the limit is kept cut, its title says so, and a character the cut split
    // goes whole.
    const qsizetype limit = ClipboardHistoryService::maxTextBytes;
    copyAndCheck(QString(limit - 1, u'a') + QStringLiteral("\u00e9 and more"));
    const auto& text = std::get<ClipboardPlainText>(history().items().first().content);
    EXPECT_TRUE(text.truncated);
    EXPECT_EQ(text.text, QString(limit - 1, u'a'));
    EXPECT_EQ(titles().first(),
              L("strip.clipboard.truncatedPreview").arg(QString(57, u'a') + QChar(0x2026)));

    // Cut rich text, file lists and pictures would not be what was copied: the next kind
    // stands in, or nothing.
    const QByteArray longRtf = rtf(QByteArray(ClipboardHistoryService::maxRichTextBytes, 'w'));
    pasteboard->copy({QStringLiteral("plain"), {}, {{PasteboardType::rtf, longRtf}}});
    check();
    EXPECT_EQ(keys().first(), QStringLiteral("text:plain"));
    pasteboard->copyData(PasteboardType::png,
                         encode(picture(10, 10), "png") +
                             QByteArray(ClipboardHistoryService::maxImageBytes, '\0'));
    check();
    // A picture announcing more pixels than allowed is never decoded.
    pasteboard->copyData(PasteboardType::png, pngHeaderOnly(20000, 20000));
    check();
    EXPECT_EQ(history().items().size(), 2);
    EXPECT_TRUE(makeClipboardImage(pngHeaderOnly(200, 100), PasteboardType::png).has_value());
    // A text chunk declaring more bytes than there are would make the decoder allocate them.
    QByteArray textBomb = pngHeaderOnly(200, 100);
    textBomb.insert(8 + 25, QByteArray::fromHex("7fffff00") + "tEXt" + "Comment"); // after IHDR
    EXPECT_FALSE(makeClipboardImage(textBomb, PasteboardType::png).has_value());
}

TEST_F(ClipboardHistoryTest, CopiesEnterInTheOrderTheyWereMade) {
    history();
    // The picture takes a while on its thread; the text copied after it waits its turn.
    pasteboard->copyData(PasteboardType::png, encode(picture(2000, 1500), "png"));
    history().checkPasteboard();
    pasteboard->copyText(QStringLiteral("after the picture"));
    ASSERT_TRUE(waitUntil([&] {
        history().checkPasteboard();
        return pasteboard->contentReads == 2;
    }));
    ASSERT_TRUE(waitUntil([&] { return !history().isCapturing(); }));
    ASSERT_EQ(history().items().size(), 2);
    EXPECT_EQ(keys().first(), QStringLiteral("text:after the picture"));
}

TEST_F(ClipboardHistoryTest, TitlesPreviewTheFirstLineInUserPerceivedCharacters) {
    history();
    const QString sixty(60, u'a');
    copyAndCheck(QStringLiteral("  \n") + sixty + QStringLiteral("\nsecond line"));
    copyAndCheck(QString(61, u'b'));
    copyAndCheck(QStringLiteral(" \t\n  "));
    // A family emoji is one character made of seven code units' worth of sequences.
    const QString family =
        QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466");
    QString emojis;
    for (int i = 0; i < 60; ++i)
        emojis += family;
    copyAndCheck(emojis);
    copyAndCheck(emojis + QStringLiteral("x"));
    copyAndCheck(QStringLiteral("first\r\nsecond"));
    // Characters so long that 61 of them fill more than a few thousand code units.
    QString piled;
    for (int i = 0; i < 70; ++i)
        piled += u'a' + QString(80, QChar(0x0301));
    copyAndCheck(piled);

    const QStringList t = titles().mid(1);
    EXPECT_EQ(titles().first(), piled.left(57 * 81) + QChar(0x2026));
    EXPECT_EQ(t[0], QStringLiteral("first"));
    EXPECT_EQ(t[1], emojis.left(57 * family.size()) + QChar(0x2026));
    EXPECT_EQ(t[2], emojis);
    EXPECT_EQ(t[3], QString()); // whitespace is captured, untrimmed, but previews as nothing
    EXPECT_EQ(keys()[4], QStringLiteral("text: \t\n  "));
    EXPECT_EQ(t[4], QString(57, u'b') + QChar(0x2026));
    EXPECT_EQ(t[5], sixty);
}

TEST_F(ClipboardHistoryTest, TitlesAndKeysOfFilesAndPictures) {
    history();
    const QList<QUrl> three = {QUrl::fromLocalFile(QStringLiteral("/home/u/a b.txt")),
                               QUrl::fromLocalFile(QStringLiteral("/home/u/dir/")),
                               QUrl::fromLocalFile(QStringLiteral("/"))};
    pasteboard->copy({std::nullopt, three, {}});
    check();
    pasteboard->copy({std::nullopt, {three[1]}, {}});
    check();
    pasteboard->copyData(PasteboardType::png, encode(picture(720, 360), "png"));
    check();

    const QStringList t = titles();
    EXPECT_EQ(t[0],
              L("strip.clipboard.imagePreview").arg(QStringLiteral("720"), QStringLiteral("360")));
    EXPECT_TRUE(t[0].contains(QStringLiteral("720")) && t[0].contains(QStringLiteral("360")));
    EXPECT_EQ(t[1], QStringLiteral("dir"));
    EXPECT_EQ(t[2], L("strip.clipboard.filesPreview").arg(QStringLiteral("3")));
    EXPECT_TRUE(t[2].contains(u'3'));
    EXPECT_EQ(keys()[2], QStringLiteral("files:/home/u/a b.txt,/home/u/dir,/"));
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^img:[0-9a-f]{64}$")).match(keys()[0]).hasMatch());

    const auto& image = std::get<ClipboardImage>(history().items().first().content);
    EXPECT_EQ(image.size, QSizeF(720, 360));
    EXPECT_EQ(image.thumbnail.size(), QSize(72, 36));
    // Small pictures keep their size; on a sharper screen the thumbnail has more pixels, but
    // never more than the picture.
    const QByteArray small = encode(picture(40, 30), "png");
    const QImage thumb = makeClipboardImage(small, PasteboardType::png, 2)->thumbnail;
    EXPECT_EQ(thumb.size(), QSize(40, 30));
    EXPECT_EQ(thumb.pixelColor(39, 29), QColor(Qt::red));
    const QImage sharp =
        makeClipboardImage(encode(picture(720, 360), "png"), PasteboardType::png, 2)->thumbnail;
    EXPECT_EQ(sharp.size(), QSize(144, 72));
    EXPECT_EQ(sharp.deviceIndependentSize(), QSizeF(72, 36));
}

TEST_F(ClipboardHistoryTest, PicturesAreRecognisedByTheirPixels) {
    history();
    const QImage a = picture(64, 48);
    pasteboard->copyData(PasteboardType::png, encode(a, "png"));
    check();
    // The same pixels again, compressed differently: one entry.
    QByteArray recompressed;
    {
        QBuffer buffer(&recompressed);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "png");
        writer.setQuality(0);
        writer.write(a);
    }
    ASSERT_NE(recompressed, encode(a, "png"));
    pasteboard->copyData(PasteboardType::png, recompressed);
    check();
    EXPECT_EQ(history().items().size(), 1);
    // One pixel different, or the same pixel bytes in another shape: other pictures.
    QImage b = a;
    b.setPixelColor(63, 47, Qt::blue);
    pasteboard->copyData(PasteboardType::png, encode(b, "png"));
    check();
    QImage wide(64, 48, QImage::Format_ARGB32), tall(48, 64, QImage::Format_ARGB32);
    wide.fill(Qt::green);
    tall.fill(Qt::green);
    pasteboard->copyData(PasteboardType::png, encode(wide, "png"));
    check();
    pasteboard->copyData(PasteboardType::png, encode(tall, "png"));
    check();
    EXPECT_EQ(history().items().size(), 4);

    // The same picture as TIFF from another program is the same copy.
    if (QImageReader::supportedImageFormats().contains("tiff")) {
        pasteboard->copyData(PasteboardType::tiff, encode(a, "tiff"));
        check();
        EXPECT_EQ(history().items().size(), 4);
        EXPECT_EQ(std::get<ClipboardImage>(history().items().first().content).type,
                  PasteboardType::tiff);
    }

    // Only compressed bytes are kept, and the fingerprint is the one taken at capture.
    for (const ClipboardItem& item : history().items()) {
        const auto& image = std::get<ClipboardImage>(item.content);
        if (image.type == PasteboardType::png) {
            EXPECT_LT(image.encoded.size(), 64 * 48 * 4);
        }
        EXPECT_EQ(image.fingerprint, imageFingerprint(QImage::fromData(image.encoded)));
    }
}

TEST_F(ClipboardHistoryTest, PicturesWithABrokenBodyKeepTheirSize) {
    const QByteArray png = encode(picture(100, 50), "png");
    // Cut inside the pixel data: the header still tells the size.
    const auto truncated = makeClipboardImage(png.left(png.size() - 30), PasteboardType::png);
    ASSERT_TRUE(truncated.has_value());
    EXPECT_EQ(truncated->fingerprint, QStringLiteral("unreadable-100.0x50.0"));
    EXPECT_TRUE(truncated->thumbnail.isNull());
    EXPECT_EQ(unreadableImageFingerprint(QSizeF(0.5, 1e16)),
              QStringLiteral("unreadable-0.5x1e+16"));
    EXPECT_FALSE(makeClipboardImage(QByteArray("GIF89a"), QStringLiteral("image/gif")).has_value());
    // Bytes of another format under the PNG type are not decoded as that format.
    QByteArray jpeg;
    {
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        picture(10, 10).save(&buffer, "JPEG");
    }
    ASSERT_FALSE(jpeg.isEmpty());
    EXPECT_FALSE(makeClipboardImage(jpeg, PasteboardType::png).has_value());
    EXPECT_FALSE(makeClipboardImage(QByteArray(), PasteboardType::png).has_value());
}

TEST_F(ClipboardHistoryTest, PastingBackWritesEveryRepresentationAndAddsNothing) {
    history();
    const QUrl file = QUrl::fromLocalFile(QStringLiteral("/tmp/a.txt"));
    const QByteArray rich = rtf("caf\\'e9 {\\i au lait}");
    pasteboard->copy({std::nullopt, {file}, {}});
    check();
    pasteboard->copy({QStringLiteral("ignored"), {}, {{PasteboardType::rtf, rich}}});
    check();
    copyAndCheck(QStringLiteral("words"));
    const QStringList before = keys();
    const QList<ClipboardItem> items = history().items();

    for (const ClipboardItem& item : items) {
        history().paste(item);
        check();
    }
    EXPECT_EQ(keys(), before);
    ASSERT_EQ(pasteboard->writes.size(), 3);
    EXPECT_EQ(pasteboard->writes[0].text, QStringLiteral("words"));
    EXPECT_TRUE(pasteboard->writes[0].data.isEmpty());
    EXPECT_EQ(pasteboard->writes[1].text, QStringLiteral("caf\u00e9 au lait"));
    ASSERT_EQ(pasteboard->writes[1].data.size(), 1);
    EXPECT_EQ(pasteboard->writes[1].data[0], std::make_pair(PasteboardType::rtf, rich));
    EXPECT_EQ(pasteboard->writes[2].urls, QList<QUrl>{file});
    EXPECT_FALSE(pasteboard->writes[2].text.has_value());

    // A picture goes back as its own bytes; one that came as TIFF also as PNG.
    const QImage image = picture(32, 32);
    pasteboard->copyData(PasteboardType::png, encode(image, "png"));
    check();
    const QStringList withPicture = keys();
    history().paste(history().items().first());
    check();
    EXPECT_EQ(keys(), withPicture);
    ASSERT_EQ(pasteboard->writes.last().data.size(), 1);
    EXPECT_EQ(pasteboard->writes.last().data[0].second, encode(image, "png"));
    if (QImageReader::supportedImageFormats().contains("tiff")) {
        pasteboard->copyData(PasteboardType::tiff, encode(picture(33, 33), "tiff"));
        check();
        history().paste(history().items().first());
        const PasteboardContents& written = pasteboard->writes.last();
        ASSERT_EQ(written.data.size(), 2);
        EXPECT_EQ(written.data[0].first, PasteboardType::tiff);
        EXPECT_EQ(written.data[1].first, PasteboardType::png);
        EXPECT_EQ(QImage::fromData(written.data[1].second).size(), QSize(33, 33));
    }
}

TEST_F(ClipboardHistoryTest, ClearingEmptiesTheHistoryAndLaterCopiesStillCount) {
    history();
    copyAndCheck(QStringLiteral("a"));
    history().setItems({});
    EXPECT_TRUE(history().items().isEmpty());
    check();
    EXPECT_TRUE(history().items().isEmpty());
    copyAndCheck(QStringLiteral("a"));
    EXPECT_EQ(history().items().size(), 1);
}

TEST_F(ClipboardHistoryTest, StartPollsOnceASecondAndOnlyOnce) {
    ClipboardHistoryService& service = history();
    EXPECT_FALSE(service.isStarted());
    service.start();
    service.start();
    EXPECT_TRUE(service.isStarted());
    pasteboard->copyText(QStringLiteral("seen by the timer"));
    ASSERT_TRUE(waitUntil([&] { return !service.items().isEmpty(); }, 3000));
    // One timer, not two: about two ticks in two seconds. Timers never catch up on missed
    // ticks, so a busy machine only gives fewer.
    const int before = pasteboard->changeCountCalls;
    waitUntil([] { return false; }, 2100);
    EXPECT_GE(pasteboard->changeCountCalls - before, 1);
    EXPECT_LE(pasteboard->changeCountCalls - before, 3);
}
