// Feeds arbitrary bytes as a desktop file, as any process may name one
// (GIO_LAUNCHED_DESKTOP_FILE), through the reading of the entry and of its Exec line.
#include "platform/linux/xdg/DesktopEntries.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto entry =
        DesktopEntries::parse(bytes, QStringLiteral("/nonexistent/applications/fuzz.desktop"));
    if (!entry)
        return 0;
    (void)entry->executablePath();
    const QString icon = DesktopEntries::applicationIconName(entry->icon);
    if (icon.isEmpty())
        __builtin_trap(); // there is always at least the generic icon
    const DesktopEntryIndex index({*entry});
    (void)index.entryForWindow({entry->startupWMClass, entry->name, QString(), QString()});
    return 0;
}
