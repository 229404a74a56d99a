#include "about/ApplicationInfo.h"

#include "platform/Bundle.h"

namespace {

QString firstValue(const Bundle& bundle, std::initializer_list<const char*> keys) {
    for (const char* key : keys) {
        if (std::optional<QString> value = bundle.infoValue(QLatin1String(key)))
            return *value;
    }
    return {};
}

} // namespace

ApplicationInfo ApplicationInfo::read(const Bundle& bundle) {
    ApplicationInfo info;
    info.name = firstValue(bundle, {"CFBundleDisplayName", "CFBundleName"});
    if (info.name.isNull())
        info.name = QStringLiteral("Pelora");
    info.shortVersion = firstValue(bundle, {"CFBundleShortVersionString"});
    info.hasShortVersion = !info.shortVersion.isNull();
    if (!info.hasShortVersion)
        info.shortVersion = QStringLiteral("27");
    info.build = firstValue(bundle, {"CFBundleVersion"});
    if (info.build.isNull())
        info.build = QStringLiteral("1");
    info.copyright = firstValue(bundle, {"NSHumanReadableCopyright"});
    if (info.copyright.isNull())
        info.copyright = QStringLiteral("Copyright © 2026 The Pelora developers.");
    info.iconName = firstValue(bundle, {"CFBundleIconName"});
    return info;
}
