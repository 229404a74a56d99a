// Stored reference blobs come from the defaults file, which anything can rewrite.
#include "platform/linux/files/LinuxBookmarkService.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray blob(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto record = LinuxBookmarkService::decodeRecord(blob);
    if (record) {
        // What decodes must encode back to the very same bytes.
        if (LinuxBookmarkService::encodeRecord(*record) != blob)
            __builtin_trap();
    }
    // A favorite not checked yet is listed where its blob says, read without the file system.
    const auto recorded = LinuxBookmarkService().recordedURL(blob);
    if (bool(recorded) != bool(record) ||
        (recorded && (!recorded->isLocalFile() || recorded->toLocalFile() != record->path)))
        __builtin_trap();
    return 0;
}
