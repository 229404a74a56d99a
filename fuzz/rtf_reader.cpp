// Feeds arbitrary bytes to the RTF reader, as the clipboard and bundle documents would.
#include "common/RtfReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const RtfDocument document = parseRtf(bytes);
    const QString text = document.plainText();
    qsizetype total = 0;
    for (const RtfRun& run : document.runs) {
        if (run.text.isEmpty())
            __builtin_trap(); // runs are never empty
        total += run.text.size();
    }
    if (total != text.size() || (!document.valid && !document.runs.isEmpty()))
        __builtin_trap();
    return 0;
}
