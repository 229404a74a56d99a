#include "common/Dates.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr qint64 kMsFrom1970To2001 = 978307200000LL;
// Beyond this a date is meaningless to the program; keep arithmetic in range.
constexpr double kMaxAbsSeconds = 1e14;

QDateTime fromMsSince1970(double ms) {
    if (!std::isfinite(ms))
        return {};
    ms = std::clamp(ms, -kMaxAbsSeconds * 1000, kMaxAbsSeconds * 1000);
    return QDateTime::fromMSecsSinceEpoch(qint64(std::llround(ms)), Qt::UTC);
}
} // namespace

double secondsSince2001(const QDateTime& date) {
    return double(date.toMSecsSinceEpoch() - kMsFrom1970To2001) / 1000.0;
}

QDateTime dateFromSecondsSince2001(double seconds) {
    return fromMsSince1970(seconds * 1000.0 + double(kMsFrom1970To2001));
}

double secondsSince1970(const QDateTime& date) {
    return double(date.toMSecsSinceEpoch()) / 1000.0;
}

QDateTime dateFromSecondsSince1970(double seconds) {
    return fromMsSince1970(seconds * 1000.0);
}

QDateTime distantPast() {
    return QDateTime(QDate(1, 1, 1), QTime(0, 0), Qt::UTC);
}
