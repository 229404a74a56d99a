#pragma once

#include <QHashFunctions>
#include <QString>
#include <QtGlobal>
#include <array>
#include <optional>

// The strip's modules. Declaration order is the order of allCases; five of them have a button
// on the strip, the other three exist only as names.
enum class StripModule {
    documents,
    folders,
    applications,
    shortcuts,
    websites,
    clipboard,
    tasks,
    windows,
};

inline constexpr std::array<StripModule, 8> stripModuleAllCases{
    StripModule::documents, StripModule::folders,  StripModule::applications,
    StripModule::shortcuts, StripModule::websites, StripModule::clipboard,
    StripModule::tasks,     StripModule::windows,
};

QString rawValue(StripModule module);
// Exactly the eight raw values, case-sensitive; anything else yields no module.
std::optional<StripModule> stripModuleFromRawValue(const QString& raw);

bool hasButton(StripModule module);
// A system-symbol name for symbolIcon().
QString systemImageName(StripModule module);
// The icon's size in points (one point is one device-independent pixel here).
qreal iconPointSize(StripModule module);

inline size_t qHash(StripModule module, size_t seed = 0) {
    return ::qHash(static_cast<uint>(module), seed);
}
