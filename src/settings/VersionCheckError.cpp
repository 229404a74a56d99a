#include "settings/VersionCheckError.h"

#include "common/Texts.h"

VersionCheckError VersionCheckError::checkFailed() {
    return {QString::fromLatin1(kVersionCheckErrorDomain), failed, {}};
}

VersionCheckError VersionCheckError::isUpToDate(const QString& nameAndVersion) {
    QVariantMap info;
    info.insert(kLocalizedDescriptionKey, L("updates.alert.upToDate.title"));
    info.insert(kLocalizedRecoverySuggestionKey,
                L("updates.alert.upToDate.message").arg(nameAndVersion));
    return {QString::fromLatin1(kVersionCheckErrorDomain), upToDate, info};
}

QString VersionCheckError::localizedDescription() const {
    return userInfo.value(kLocalizedDescriptionKey).toString();
}

QString VersionCheckError::localizedRecoverySuggestion() const {
    return userInfo.value(kLocalizedRecoverySuggestionKey).toString();
}

bool VersionCheckError::isVersionCheckError(int c) const {
    return domain == QLatin1String(kVersionCheckErrorDomain) && code == c;
}
