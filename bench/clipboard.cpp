// The clipboard history's costs against what they are built from, measured in one run:
//   - one idle tick (nothing changed) against one bare read of the clipboard's text;
//   - one capture of a 2000 by 2000 PNG against a plain decode of the same PNG;
//   - resident memory after capturing twenty different 2000 by 2000 screenshots, against
//     what their decoded pixels alone would take.
// Runs offscreen unless QT_QPA_PLATFORM says otherwise (xcb shows the X round trips).
#include "clipboard/ClipboardHistoryService.h"
#include "common/Services.h"
#include "platform/linux/QtPasteboard.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <QRandomGenerator>
#include <benchmark/benchmark.h>

namespace {

// Something like a screen: windows, text and gradients, different for every seed.
QImage screenshot(int seed) {
    QImage image(2000, 2000, QImage::Format_RGB32);
    QRandomGenerator rng(quint32(seed) * 7919u + 1);
    QPainter painter(&image);
    QLinearGradient background(0, 0, 2000, 2000);
    background.setColorAt(0, QColor::fromHsv(int(rng.bounded(360)), 90, 200));
    background.setColorAt(1, QColor::fromHsv(int(rng.bounded(360)), 120, 90));
    painter.fillRect(image.rect(), background);
    painter.setFont(QFont(QStringLiteral("Sans"), 11));
    for (int w = 0; w < 12; ++w) {
        const QRect window(int(rng.bounded(1600)), int(rng.bounded(1600)),
                           300 + int(rng.bounded(900)), 200 + int(rng.bounded(700)));
        painter.fillRect(window, QColor(246, 245, 244));
        painter.fillRect(window.x(), window.y(), window.width(), 28, QColor(53, 132, 228));
        painter.setPen(QColor(40, 40, 40));
        for (int line = 0; line * 18 + 40 < window.height(); ++line)
            painter.drawText(window.x() + 10, window.y() + 46 + line * 18,
                             QStringLiteral("line %1 of window %2, seed %3: the quick brown fox")
                                 .arg(line)
                                 .arg(w)
                                 .arg(seed));
    }
    return image;
}

QByteArray png(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

void offer(const QString& type, const QByteArray& bytes) {
    auto* mime = new QMimeData;
    mime->setData(type, bytes);
    QGuiApplication::clipboard()->setMimeData(mime);
}

double residentMegabytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

struct Fixture {
    std::shared_ptr<QtPasteboard> pasteboard = std::make_shared<QtPasteboard>();
    Services services{[this] {
        Platform platform;
        platform.pasteboard = pasteboard;
        return platform;
    }()};
    ClipboardHistoryService& history = services.get<ClipboardHistoryService>();
};

const QByteArray& testPng() {
    static const QByteArray bytes = png(screenshot(0));
    return bytes;
}

// Nanoseconds per call of fn, averaged over enough calls to fill about 0.2 s.
template <class Fn> double nanosecondsPerCall(Fn&& fn) {
    QElapsedTimer timer;
    qint64 calls = 0;
    timer.start();
    while (timer.nsecsElapsed() < 200'000'000) {
        fn();
        ++calls;
    }
    return double(timer.nsecsElapsed()) / double(calls);
}

void BM_BareClipboardRead(benchmark::State& state) {
    QGuiApplication::clipboard()->setText(QStringLiteral("some copied words"));
    for (auto _ : state)
        benchmark::DoNotOptimize(QGuiApplication::clipboard()->text());
}
BENCHMARK(BM_BareClipboardRead);

void BM_IdleTick(benchmark::State& state) {
    QGuiApplication::clipboard()->setText(QStringLiteral("some copied words"));
    Fixture f;
    f.history.start();
    for (auto _ : state)
        f.history.checkPasteboard();
    const double tick = nanosecondsPerCall([&] { f.history.checkPasteboard(); });
    const double read =
        nanosecondsPerCall([] { benchmark::DoNotOptimize(QGuiApplication::clipboard()->text()); });
    state.counters["tick_ns"] = tick;
    state.counters["bare_read_ns"] = read;
    state.counters["tick_vs_bare_read"] = tick / read;
    state.counters["content_reads"] = f.pasteboard->contentReads();
}
BENCHMARK(BM_IdleTick);

void BM_PlainPngDecode2000(benchmark::State& state) {
    const QByteArray& bytes = testPng();
    for (auto _ : state)
        benchmark::DoNotOptimize(QImage::fromData(bytes, "PNG"));
    state.counters["png_kB"] = double(bytes.size()) / 1024.0;
}
BENCHMARK(BM_PlainPngDecode2000)->Unit(benchmark::kMillisecond);

void BM_CapturePng2000(benchmark::State& state) {
    const QByteArray& bytes = testPng();
    Fixture f;
    auto capture = [&] {
        offer(PasteboardType::png, bytes); // a new change each time, read in full
        f.history.checkPasteboard();
    };
    for (auto _ : state)
        capture();
    if (f.history.items().isEmpty()) {
        state.SkipWithError("nothing was captured");
        return;
    }
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 5; ++i)
        capture();
    const double captureMs = double(timer.nsecsElapsed()) / 5e6;
    timer.restart();
    for (int i = 0; i < 5; ++i)
        benchmark::DoNotOptimize(QImage::fromData(bytes, "PNG"));
    const double decodeMs = double(timer.nsecsElapsed()) / 5e6;
    state.counters["capture_ms"] = captureMs;
    state.counters["decode_ms"] = decodeMs;
    state.counters["capture_vs_decode"] = captureMs / decodeMs;
}
BENCHMARK(BM_CapturePng2000)->Unit(benchmark::kMillisecond);

void BM_ResidentMemoryAfterTwentyScreenshots(benchmark::State& state) {
    for (auto _ : state) {
        const double before = residentMegabytes();
        Fixture f;
        double encoded = 0;
        for (int i = 1; i <= 20; ++i) {
            QByteArray bytes = png(screenshot(i));
            encoded += double(bytes.size());
            offer(PasteboardType::png, bytes);
            f.history.checkPasteboard();
        }
        // Whatever is on the clipboard now is the last screenshot's bytes, held anyway.
        const double after = residentMegabytes();
        const double pixels = 20.0 * 2000 * 2000 * 4 / (1024.0 * 1024.0);
        state.counters["items"] = double(f.history.items().size());
        state.counters["rss_before_MB"] = before;
        state.counters["rss_after_MB"] = after;
        state.counters["rss_growth_MB"] = after - before;
        state.counters["encoded_MB"] = encoded / (1024.0 * 1024.0);
        state.counters["decoded_pixels_MB"] = pixels;
        state.counters["growth_vs_decoded"] = (after - before) / pixels;
    }
}
BENCHMARK(BM_ResidentMemoryAfterTwentyScreenshots)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
