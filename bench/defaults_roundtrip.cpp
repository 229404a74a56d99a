// The user defaults' CBOR store against a plain QSettings INI file, in the same run: write 50
// keys (one a 200 KB data value) and sync, then read them all back in a fresh instance.
// Then how costs grow: one write into stores of 40, 4,000 and 40,000 keys, and `defaults read`
// of a deeply nested file against a flat one of the same size.
#include "app/DefaultsTool.h"
#include "platform/linux/files/CborDefaultsCodec.h"
#include "platform/linux/files/CborUserDefaults.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextStream>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace {

std::vector<std::pair<QString, QVariant>> sampleValues() {
    std::vector<std::pair<QString, QVariant>> values;
    const QDateTime base(QDate(2024, 5, 1), QTime(10, 0), Qt::UTC);
    for (int i = 0; i < 10; ++i) {
        values.emplace_back(QStringLiteral("PeloraFlag%1").arg(i), i % 2 == 0);
        values.emplace_back(QStringLiteral("PeloraCount%1").arg(i), qint64(i) * 1000003);
        values.emplace_back(QStringLiteral("PeloraRatio%1").arg(i), 0.1 * i + 1.0 / 3);
        values.emplace_back(QStringLiteral("PeloraText%1").arg(i),
                            QStringLiteral("{{%1, 120}, {480, 44}} and some words").arg(i));
    }
    for (int i = 0; i < 5; ++i)
        values.emplace_back(QStringLiteral("PeloraDate%1").arg(i), base.addSecs(3600 * i));
    for (int i = 0; i < 4; ++i)
        values.emplace_back(
            QStringLiteral("PeloraBookmarks%1").arg(i),
            QVariantList{QByteArray(64, char('a' + i)), QByteArray(64, 'x'), QByteArray(64, 'y')});
    QByteArray blob(200 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < blob.size(); ++i)
        blob[i] = char((i * 131) ^ (i >> 7));
    values.emplace_back(QStringLiteral("PeloraRecentDocumentsHistory"), blob);
    return values;
}

// QSettings reuses an earlier read of an unchanged file within the process; an older time
// makes the fresh instance read the disk, as it would after a restart. The CBOR store always
// reads the disk.
void makeStale(const QString& path) {
    QFile f(path);
    if (f.open(QIODevice::ReadWrite))
        f.setFileTime(f.fileTime(QFileDevice::FileModificationTime).addSecs(-60),
                      QFileDevice::FileModificationTime);
}

double cborRoundTrip(const QString& path, const std::vector<std::pair<QString, QVariant>>& values) {
    QFile::remove(path);
    const auto start = std::chrono::steady_clock::now();
    {
        CborUserDefaults store(path);
        for (const auto& [key, value] : values)
            store.setObject(key, value);
        store.synchronize();
    }
    {
        CborUserDefaults store(path);
        for (const auto& [key, value] : values)
            benchmark::DoNotOptimize(store.objectForKey(key));
    }
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

double iniRoundTrip(const QString& path, const std::vector<std::pair<QString, QVariant>>& values) {
    QFile::remove(path);
    const auto start = std::chrono::steady_clock::now();
    {
        QSettings settings(path, QSettings::IniFormat);
        for (const auto& [key, value] : values)
            settings.setValue(key, value);
        settings.sync();
    }
    makeStale(path);
    {
        QSettings settings(path, QSettings::IniFormat);
        for (const auto& [key, value] : values)
            benchmark::DoNotOptimize(settings.value(key));
    }
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

double totalCborMs = 0;
double totalIniMs = 0;

void BM_DefaultsRoundTrip(benchmark::State& state) {
    QTemporaryDir dir;
    const QString cborPath = dir.path() + QStringLiteral("/pelora/defaults.cbor");
    const QString iniPath = dir.path() + QStringLiteral("/pelora/defaults.ini");
    const auto values = sampleValues();
    double cborMs = 0;
    double iniMs = 0;
    for (auto _ : state) {
        // Alternating keeps drift in the machine's load from favouring either side.
        cborMs += cborRoundTrip(cborPath, values);
        iniMs += iniRoundTrip(iniPath, values);
    }
    const double n = double(state.iterations());
    state.counters["cbor_ms"] = cborMs / n;
    state.counters["ini_ms"] = iniMs / n;
    state.counters["cbor_over_ini"] = cborMs / iniMs;
    totalCborMs += cborMs;
    totalIniMs += iniMs;
}
BENCHMARK(BM_DefaultsRoundTrip)->Unit(benchmark::kMillisecond)->MinTime(2.0);

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Reading and encoding work on one thread; their processor time is steadier than the wall
// clock on a machine shared with other work, and leaves out the wait for the disk.
double threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

constexpr int kWriteSizes[] = {40, 4000, 40000};
double totalWriteMs[3] = {};
double totalWriteCpuMs[3] = {};
qint64 totalWrites = 0;

// One changed key written out, in stores of different sizes; the stores take turns, so that
// drift in the machine's load spreads over all of them.
void BM_DefaultsWriteScaling(benchmark::State& state) {
    QTemporaryDir dir;
    std::vector<std::unique_ptr<CborUserDefaults>> stores;
    for (int size : kWriteSizes) {
        auto store = std::make_unique<CborUserDefaults>(
            dir.path() + QStringLiteral("/%1/pelora/defaults.cbor").arg(size));
        for (int i = 0; i < size; ++i)
            store->setObject(QStringLiteral("PeloraKey%1").arg(i),
                             i % 3 == 0   ? QVariant(QStringLiteral("value %1").arg(i))
                             : i % 3 == 1 ? QVariant(qint64(i) * 7919)
                                          : QVariant(i % 2 == 0));
        store->synchronize();
        stores.push_back(std::move(store));
    }
    double ms[3] = {};
    double cpuMs[3] = {};
    qint64 round = 0;
    for (auto _ : state) {
        for (size_t s = 0; s < stores.size(); ++s) {
            const auto start = Clock::now();
            const double cpuStart = threadCpuMs();
            stores[s]->setObject(QStringLiteral("PeloraStripWindowFrame"),
                                 QStringLiteral("{{%1, 120}, {480, 44}}").arg(round));
            stores[s]->synchronize();
            ms[s] += millisecondsSince(start);
            cpuMs[s] += threadCpuMs() - cpuStart;
        }
        ++round;
    }
    for (size_t s = 0; s < 3; ++s) {
        state.counters["ms_per_write_" + std::to_string(kWriteSizes[s])] = ms[s] / double(round);
        state.counters["cpu_ms_per_write_" + std::to_string(kWriteSizes[s])] =
            cpuMs[s] / double(round);
        totalWriteMs[s] += ms[s];
        totalWriteCpuMs[s] += cpuMs[s];
    }
    totalWrites += round;
}
BENCHMARK(BM_DefaultsWriteScaling)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// Two stores of about the same size in bytes: keys holding arrays nested 60 deep, or flat
// arrays of as many numbers.
QVariant nestedValue(int key) {
    QVariantList inner;
    for (int i = 0; i < 20; ++i)
        inner.append(qint64((key + i) % 24));
    QVariant value = inner;
    for (int level = 1; level < 60; ++level)
        value = QVariantList{value};
    return value;
}

QVariant flatValue(int key) {
    QVariantList items;
    for (int i = 0; i < 79; ++i)
        items.append(qint64((key + i) % 24));
    return items;
}

QString writeStore(const QString& path, QVariant (*make)(int), int keys) {
    QVariantMap values;
    for (int i = 0; i < keys; ++i)
        values.insert(QStringLiteral("k%1").arg(i, 5, 10, QLatin1Char('0')), make(i));
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(CborDefaultsCodec::encode(values));
    return path;
}

double readMs(const QString& path, qsizetype& printed) {
    const double start = threadCpuMs();
    CborUserDefaults store(path);
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    runDefaultsTool({QStringLiteral("read")}, store, outStream, errStream);
    printed = out.size();
    return threadCpuMs() - start;
}

double totalNestedMs = 0;
double totalFlatMs = 0;

void BM_DefaultsReadNesting(benchmark::State& state) {
    QTemporaryDir dir;
    constexpr int kKeys = 3000;
    const QString nested =
        writeStore(dir.path() + QStringLiteral("/n/defaults.cbor"), nestedValue, kKeys);
    const QString flat =
        writeStore(dir.path() + QStringLiteral("/f/defaults.cbor"), flatValue, kKeys);
    double nestedMs = 0;
    double flatMs = 0;
    qsizetype nestedOut = 0;
    qsizetype flatOut = 0;
    for (auto _ : state) {
        nestedMs += readMs(nested, nestedOut);
        flatMs += readMs(flat, flatOut);
    }
    const double n = double(state.iterations());
    state.counters["nested_bytes"] = double(QFileInfo(nested).size());
    state.counters["flat_bytes"] = double(QFileInfo(flat).size());
    state.counters["nested_printed"] = double(nestedOut);
    state.counters["flat_printed"] = double(flatOut);
    state.counters["nested_cpu_ms"] = nestedMs / n;
    state.counters["flat_cpu_ms"] = flatMs / n;
    state.counters["nested_over_flat"] = nestedMs / flatMs;
    totalNestedMs += nestedMs;
    totalFlatMs += flatMs;
}
BENCHMARK(BM_DefaultsReadNesting)->Unit(benchmark::kMillisecond)->MinTime(3.0);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (totalIniMs > 0)
        std::printf("defaults round trip (50 keys, one 200 KB): CBOR store / QSettings INI = "
                    "%.2f\n",
                    totalCborMs / totalIniMs);
    if (totalWrites > 0) {
        const double perKey40 = totalWriteMs[0] / kWriteSizes[0];
        std::printf("defaults write: 40,000 keys / 4,000 keys = %.2f (10 when linear); per key, "
                    "40,000 keys / 40 keys = %.3f (at most 2 when linear)\n",
                    totalWriteMs[2] / totalWriteMs[1],
                    (totalWriteMs[2] / kWriteSizes[2]) / perKey40);
        std::printf("defaults write, processor time: 40,000 keys / 4,000 keys = %.2f; per key, "
                    "40,000 keys / 40 keys = %.3f\n",
                    totalWriteCpuMs[2] / totalWriteCpuMs[1],
                    (totalWriteCpuMs[2] / kWriteSizes[2]) / (totalWriteCpuMs[0] / kWriteSizes[0]));
    }
    if (totalFlatMs > 0)
        std::printf("defaults read: nested 60 deep / flat, same size = %.2f\n",
                    totalNestedMs / totalFlatMs);
    return 0;
}
