// The clipboard history's costs against what they are built from, measured in one run:
//   - one idle tick (nothing changed) against one bare read of the clipboard's text;
//   - one capture of a 2000 by 2000 PNG against a plain decode of the same PNG;
//   - resident memory after capturing twenty different 2000 by 2000 screenshots, against
//     what their decoded pixels alone would take;
//   - the clipboard menu built with twenty such pictures, and with twenty texts cut from 20 MB
//     lines, against the same menu with twenty short texts;
//   - the longest the main thread is busy while twenty 6 MB pictures are copied one a second,
//     against the longest it is busy while idle for as long;
//   - resident memory once twenty 6 MB pictures have left the history, against the same
//     history's idle memory before them.
// Runs offscreen unless QT_QPA_PLATFORM says otherwise (xcb shows the X round trips).
#include "BenchMain.h"
#include "clipboard/ClipboardHistoryService.h"
#include "platform/linux/x11/X11Pasteboard.h"
#include "strip/StripTestServices.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QRandomGenerator>
#include <QThread>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <ctime>

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
    std::shared_ptr<X11Pasteboard> pasteboard = std::make_shared<X11Pasteboard>();
    FakePlatform fakes;
    Services services{[this] {
        Platform platform = fakes.platform();
        platform.pasteboard = pasteboard;
        return platform;
    }()};
    ClipboardHistoryService history{services.runningApplications(), services.workspace(),
                                    services.pasteboard()};
};

// The service reads and decodes in the background: one capture ends when it is in the list.
// Waits in an event loop, not a polling one, so the waiting costs the main thread nothing.
void captureNow(ClipboardHistoryService& history) {
    history.checkPasteboard();
    QEventLoop loop;
    QObject::connect(&history, &ClipboardHistoryService::captureFinished, &loop, [&] {
        if (!history.isCapturing())
            loop.quit();
    });
    if (history.isCapturing())
        loop.exec();
}

const QByteArray& testPng() {
    static const QByteArray bytes = png(screenshot(0));
    return bytes;
}

// CPU time the calling thread has used.
double mainThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
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
        captureNow(f.history);
    };
    for (auto _ : state)
        capture();
    if (f.history.items().isEmpty()) {
        state.SkipWithError("nothing was captured");
        return;
    }
    QElapsedTimer timer;
    timer.start();
    double cpu = mainThreadCpuMs();
    for (int i = 0; i < 5; ++i)
        capture();
    const double captureMs = double(timer.nsecsElapsed()) / 5e6;
    const double captureCpuMs = (mainThreadCpuMs() - cpu) / 5;
    timer.restart();
    cpu = mainThreadCpuMs();
    for (int i = 0; i < 5; ++i)
        benchmark::DoNotOptimize(QImage::fromData(bytes, "PNG"));
    const double decodeMs = double(timer.nsecsElapsed()) / 5e6;
    const double decodeCpuMs = (mainThreadCpuMs() - cpu) / 5;
    // The capture's own work runs on the service's thread: what the main thread still pays.
    state.counters["capture_main_thread_cpu_ms"] = captureCpuMs;
    state.counters["decode_cpu_ms"] = decodeCpuMs;
    state.counters["main_thread_capture_vs_decode"] = captureCpuMs / decodeCpuMs;
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
            captureNow(f.history);
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

struct MenuFixture {
    StripTestServices strip;
    std::shared_ptr<FakePasteboard> pasteboard = strip.fakes.pasteboard;
    std::unique_ptr<StripWindowController>& controller = strip.controller;
    ClipboardHistoryService& history() { return strip.clipboard; }
};

// Builds the clipboard menu as showing it needs: every submenu laid out with its icons.
void buildMenu(MenuFixture& f) {
    std::unique_ptr<QMenu> menu = f.controller->menuForModule(StripModule::clipboard);
    for (QAction* group : menu->actions())
        if (QMenu* submenu = group->menu())
            benchmark::DoNotOptimize(submenu->sizeHint());
    benchmark::DoNotOptimize(menu->sizeHint());
}

// Twenty copies of each kind into its own history, then both menus built in turns.
template <class Copy> void compareMenus(benchmark::State& state, Copy&& copy, const char* name) {
    MenuFixture subject, texts;
    for (int i = 1; i <= 20; ++i) {
        subject.history();
        copy(*subject.pasteboard, i);
        captureNow(subject.history());
        texts.history();
        texts.pasteboard->copyText(QStringLiteral("copied words, number %1").arg(i));
        captureNow(texts.history());
    }
    if (subject.history().items().size() != 20 || texts.history().items().size() != 20) {
        state.SkipWithError("the histories are not full");
        return;
    }
    for (auto _ : state)
        buildMenu(subject);
    // In turns, the best of five each: other load on the machine only ever adds.
    double subjectNs = 1e18, textsNs = 1e18;
    for (int round = 0; round < 5; ++round) {
        subjectNs = std::min(subjectNs, nanosecondsPerCall([&] { buildMenu(subject); }));
        textsNs = std::min(textsNs, nanosecondsPerCall([&] { buildMenu(texts); }));
    }
    state.counters[std::string(name) + "_ms"] = subjectNs / 1e6;
    state.counters["texts_ms"] = textsNs / 1e6;
    state.counters[std::string(name) + "_vs_texts"] = subjectNs / textsNs;
}

void BM_ClipboardMenuPicturesVsTexts(benchmark::State& state) {
    compareMenus(
        state,
        [](FakePasteboard& pasteboard, int i) {
            pasteboard.copyData(PasteboardType::png, png(screenshot(i)));
        },
        "pictures");
}
BENCHMARK(BM_ClipboardMenuPicturesVsTexts)->Unit(benchmark::kMillisecond);

// Single lines far beyond the text limit, as a program that copies a whole log would.
void BM_ClipboardMenuHugeTextsVsTexts(benchmark::State& state) {
    compareMenus(
        state,
        [](FakePasteboard& pasteboard, int i) {
            pasteboard.copyText(QString::number(i) + QString(20'000'000, u'a'));
        },
        "huge_texts");
}
BENCHMARK(BM_ClipboardMenuHugeTextsVsTexts)->Unit(benchmark::kMillisecond);

// Noise does not compress: about 6 MB of PNG.
QByteArray noisePng(int seed) {
    QImage image(1450, 1450, QImage::Format_RGB32);
    QRandomGenerator rng{quint32(seed)};
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<quint32*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = 0xFF000000u | (rng.generate() & 0xFFFFFFu);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setCompression(1); // noise does not shrink; spare the encoder
    writer.write(image);
    return bytes;
}

// The longest gap between the ticks of a 5 ms watchdog timer over ms milliseconds, while
// whatever else is scheduled runs: how long the main thread was busy at a stretch.
qint64 longestBusyMs(int ms) {
    QElapsedTimer sinceTick;
    qint64 longest = 0;
    QTimer watchdog;
    watchdog.setTimerType(Qt::PreciseTimer);
    watchdog.setInterval(5);
    QObject::connect(&watchdog, &QTimer::timeout,
                     [&] { longest = std::max(longest, sinceTick.restart()); });
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    sinceTick.start();
    watchdog.start();
    loop.exec();
    return std::max(longest, sinceTick.elapsed());
}

void BM_MainThreadWhileTwentyPicturesAreCopied(benchmark::State& state) {
    QList<QByteArray> pictures;
    double megabytes = 0;
    for (int i = 1; i <= 20; ++i) {
        pictures << noisePng(i);
        megabytes += double(pictures.last().size()) / (1024.0 * 1024.0);
    }
    for (auto _ : state) {
        Fixture f;
        f.history.start();
        // The copies come from "another program", one a second, while the history's own
        // timer picks them up.
        int next = 0;
        QTimer copier;
        copier.setInterval(1000);
        QObject::connect(&copier, &QTimer::timeout, [&] {
            if (next < pictures.size())
                offer(PasteboardType::png, pictures[next++]);
        });
        copier.start();
        const qint64 busy = longestBusyMs(int(pictures.size()) * 1000 + 1500);
        copier.stop();
        captureNow(f.history);
        const qint64 idle = longestBusyMs(3000);
        state.counters["copies"] = double(next);
        state.counters["items"] = double(f.history.items().size());
        state.counters["picture_MB"] = megabytes / double(pictures.size());
        state.counters["worst_gap_copying_ms"] = double(busy);
        state.counters["worst_gap_idle_ms"] = double(idle);
        state.counters["copying_vs_idle"] = double(busy) / double(std::max<qint64>(idle, 1));
    }
}
BENCHMARK(BM_MainThreadWhileTwentyPicturesAreCopied)->Iterations(1)->Unit(benchmark::kSecond);

// Resident memory once it stops falling: memory given back by a worker takes a moment.
double settledResidentMegabytes() {
    double last = residentMegabytes();
    for (int i = 0; i < 40; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(50);
        const double now = residentMegabytes();
        if (now >= last - 0.5 && i >= 4)
            return now;
        last = now;
    }
    return last;
}

void BM_MemoryAfterTwentyPicturesLeave(benchmark::State& state) {
    for (auto _ : state) {
        Fixture f;
        auto copyTexts = [&](const QString& prefix) {
            for (int i = 0; i < ClipboardHistoryService::maxItems; ++i) {
                QGuiApplication::clipboard()->setText(prefix + QString::number(i));
                captureNow(f.history);
            }
        };
        copyTexts(QStringLiteral("idle text "));
        const double idle = settledResidentMegabytes();
        double megabytes = 0;
        for (int i = 1; i <= 20; ++i) {
            const QByteArray bytes = noisePng(100 + i);
            megabytes += double(bytes.size()) / (1024.0 * 1024.0);
            offer(PasteboardType::png, bytes);
            captureNow(f.history);
        }
        const double full = residentMegabytes();
        const double pictures = double(f.history.items().size());
        // Twenty texts push every picture out of the history.
        copyTexts(QStringLiteral("later text "));
        const double after = settledResidentMegabytes();
        state.counters["pictures_held"] = pictures;
        state.counters["png_MB"] = megabytes;
        state.counters["rss_idle_MB"] = idle;
        state.counters["rss_with_pictures_MB"] = full;
        state.counters["rss_after_leave_MB"] = after;
        state.counters["after_leave_minus_idle_MB"] = after - idle;
        state.counters["after_leave_vs_idle"] = after / idle;
    }
}
BENCHMARK(BM_MemoryAfterTwentyPicturesLeave)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv) {
    // The menu's titles come without the bundle's translations: keep their warnings out of
    // the figures.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type != QtWarningMsg && type != QtDebugMsg && type != QtInfoMsg)
            fprintf(stderr, "%s\n", qPrintable(text));
    });
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return runBenchmarks(argc, argv);
}
