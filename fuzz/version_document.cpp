// The version document comes from the network; whatever it holds, reading it must not crash.
#include "settings/VersionDocument.h"

#include <QStringDecoder>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    // The first byte picks the user's language, the rest is the document.
    static const char* const languages[] = {"en", "de-CH", "it", "pt-BR", "ja", "fr", "es", ""};
    const char* language = languages[data[0] % 8];
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text =
        decoder(QByteArrayView(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1)));
    if (decoder.hasError())
        return 0;
    if (const auto info = parseVersionDocument(text, QString::fromLatin1(language))) {
        const QString latest = info->value(kInfoLatestVersion);
        // A parsed latest version is never blank, and the comparison is an order.
        if (latest.trimmed().isEmpty() || latest != latest.trimmed())
            __builtin_trap();
        if (compareVersions(latest, latest) != 0 ||
            compareVersions(latest, QStringLiteral("1.0")) !=
                -compareVersions(QStringLiteral("1.0"), latest))
            __builtin_trap();
    }
    return 0;
}
