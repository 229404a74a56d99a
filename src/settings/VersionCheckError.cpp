#include "settings/VersionCheckError.h"

#include "common/Texts.h"

VersionCheckError VersionCheckError::checkFailed() {
    return {QString::fromLatin1(kVersionCheckErrorDomain), failed, {}, {}};
}

VersionCheckError VersionCheckError::isUpToDate(const QString& nameAndVersion) {
    return {QString::fromLatin1(kVersionCheckErrorDomain), upToDate,
            L("updates.alert.upToDate.title"),
            L("updates.alert.upToDate.message").arg(nameAndVersion)};
}

bool VersionCheckError::isVersionCheckError(int c) const {
    return domain == QLatin1String(kVersionCheckErrorDomain) && code == c;
}
