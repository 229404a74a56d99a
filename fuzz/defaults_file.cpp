// Feeds arbitrary bytes to the defaults file reader, as a damaged or hostile defaults.cbor
// would, and prints what it accepts as `pelora defaults read` does.
#include "app/DefaultsTool.h"
#include "platform/linux/files/CborDefaultsCodec.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<QVariantMap> values = CborDefaultsCodec::decode(bytes);
    if (!values)
        return 0;
    // What was read is written back unchanged once it has been through the store.
    const QByteArray written = CborDefaultsCodec::encode(*values);
    const std::optional<QVariantMap> reread = CborDefaultsCodec::decode(written);
    if (!reread || CborDefaultsCodec::encode(*reread) != written)
        __builtin_trap();
    // The printed text grows with the file, not with its depth times its size: every byte
    // opens at most one line, indented at most to the shown depth.
    qsizetype printed = 0;
    for (auto it = values->cbegin(); it != values->cend(); ++it)
        printed += it.key().size() + describeDefaultsValue(it.value()).size();
    if (printed > 200 * (qsizetype(size) + 1))
        __builtin_trap();
    return 0;
}
