#include "strip/StripModule.h"

namespace {
struct ModuleInfo {
    const char* raw;
    bool hasButton;
    const char* symbol;
    qreal iconPointSize;
};

// Indexed by the enumeration's value.
constexpr ModuleInfo infos[] = {
    {"documents", true, "doc", 16},       {"folders", true, "folder", 16},
    {"applications", true, "app", 18},    {"shortcuts", false, "command", 16},
    {"websites", false, "link", 16},      {"clipboard", true, "clipboard", 16},
    {"tasks", false, "play.diamond", 16}, {"windows", true, "square.grid.2x2", 16},
};
static_assert(std::size(infos) == stripModuleAllCases.size());

const ModuleInfo& info(StripModule module) {
    return infos[int(module)];
}
} // namespace

QString rawValue(StripModule module) {
    return QString::fromLatin1(info(module).raw);
}

std::optional<StripModule> stripModuleFromRawValue(const QString& raw) {
    for (StripModule module : stripModuleAllCases)
        if (raw == QLatin1String(info(module).raw))
            return module;
    return std::nullopt;
}

bool hasButton(StripModule module) {
    return info(module).hasButton;
}

QString systemImageName(StripModule module) {
    return QString::fromLatin1(info(module).symbol);
}

qreal iconPointSize(StripModule module) {
    return info(module).iconPointSize;
}
