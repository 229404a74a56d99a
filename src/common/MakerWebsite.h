#pragma once

#include <QString>
#include <QUrl>

// The maker's web site. Its host is fixed at build time (PELORA_WEB_HOST).
inline QString makerWebHost() {
    return QStringLiteral(PELORA_WEB_HOST);
}

inline QUrl makerHomePageURL() {
    return QUrl(QStringLiteral("https://%1/").arg(makerWebHost()));
}

// Whether a host is one of the names reserved for examples and tests, which never serve
// the maker's pages (example.com/.net/.org and the .example, .invalid, .test, .localhost
// domains).
inline bool isReservedExampleHost(const QString& host) {
    const QString h = host.toLower();
    for (const char* domain : {"example.com", "example.net", "example.org"})
        if (h == QLatin1String(domain) || h.endsWith(u'.' + QLatin1String(domain)))
            return true;
    for (const char* tld : {"example", "invalid", "test", "localhost"})
        if (h == QLatin1String(tld) || h.endsWith(u'.' + QLatin1String(tld)))
            return true;
    return false;
}
