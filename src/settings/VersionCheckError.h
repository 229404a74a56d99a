#pragma once

#include <QMetaType>
#include <QString>
#include <QVariantMap>

inline constexpr char kVersionCheckErrorDomain[] = "Pelora.VersionCheck";
inline constexpr char kLocalizedDescriptionKey[] = "localizedDescription";
inline constexpr char kLocalizedRecoverySuggestionKey[] = "localizedRecoverySuggestion";

// The error value of a version check: a domain, an integer code and user information.
struct VersionCheckError {
    enum Code { failed = -1, upToDate = 0 };

    QString domain;
    int code = failed;
    QVariantMap userInfo;

    // The check could not get a usable version document.
    static VersionCheckError checkFailed();
    // The running version is the latest; carries the texts of the up-to-date alert.
    static VersionCheckError isUpToDate(const QString& nameAndVersion);

    QString localizedDescription() const;
    QString localizedRecoverySuggestion() const;
    bool isVersionCheckError(int c) const;
};
Q_DECLARE_METATYPE(VersionCheckError)
