// The recently-used bookmark file is written by every desktop application, and by anything
// else that wants to: its parser, including the entry-by-entry salvage of broken files.
#include "platform/linux/xdg/XbelReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QList<RecentlyUsedEntry> entries = parseRecentlyUsedFile(bytes);
    for (const RecentlyUsedEntry& entry : entries) {
        // Only absolute local paths with a known date come out.
        if (!entry.path.startsWith(u'/') || !entry.lastUsed.isValid())
            __builtin_trap();
    }
    return 0;
}
