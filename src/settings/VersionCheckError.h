#pragma once

#include <QString>

inline constexpr char kVersionCheckErrorDomain[] = "Pelora.VersionCheck";

// The error value of a version check: a domain, an integer code and, when up to date, the
// texts of the alert that says so.
struct VersionCheckError {
    enum Code { failed = -1, upToDate = 0 };

    QString domain;
    int code = failed;
    QString localizedDescription;
    QString localizedRecoverySuggestion;

    // The check could not get a usable version document.
    static VersionCheckError checkFailed();
    // The running version is the latest; carries the texts of the up-to-date alert.
    static VersionCheckError isUpToDate(const QString& nameAndVersion);

    bool isVersionCheckError(int c) const;
};
