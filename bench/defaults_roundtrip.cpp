// The user defaults' CBOR store against a plain QSettings INI file, in the same run: write 50
// keys (one a 200 KB data value) and sync, then read them all back in a fresh instance.
#include "platform/linux/LinuxUserDefaults.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
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
// makes the fresh instance read the disk, as it would after a restart.
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
        LinuxUserDefaults store(path);
        for (const auto& [key, value] : values)
            store.setObject(key, value);
        store.synchronize();
    }
    makeStale(path);
    {
        LinuxUserDefaults store(path);
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
    return 0;
}
