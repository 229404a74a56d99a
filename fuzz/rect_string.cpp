// Feeds arbitrary text to the stored rectangle reader ("{{x, y}, {w, h}}"); what it reads must
// be written and read back unchanged.
#include "common/RectString.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QRectF rect = rectFromString(text);
    const qreal values[] = {rect.x(), rect.y(), rect.width(), rect.height()};
    for (qreal v : values) {
        if (!std::isfinite(v))
            __builtin_trap(); // a frame is never made of infinities
    }
    const QRectF again = rectFromString(rectToString(rect));
    if (again.x() != rect.x() || again.y() != rect.y() || again.width() != rect.width() ||
        again.height() != rect.height())
        __builtin_trap();
    return 0;
}
