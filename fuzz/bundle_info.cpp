// Feeds arbitrary bytes as a bundle's Contents/Info.json, the info dictionary of Pelora's own
// bundle and of application folders dropped on the strip.
#include "platform/linux/LinuxBundle.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QJsonObject info = LinuxBundle::parseInfo(bytes);
    for (const char* key : {"CFBundleName", "CFBundleShortVersionString", "CFBundleExecutable"})
        (void)info.value(QLatin1String(key)).toString();
    return 0;
}
