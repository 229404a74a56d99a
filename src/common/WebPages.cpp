#include "common/WebPages.h"

#include "platform/Workspace.h"

#ifndef PELORA_WEB_HOST
#error "PELORA_WEB_HOST must name the host of the maker's web pages"
#endif

namespace {

QUrl pageURL(const char* path) {
    return QUrl(QStringLiteral("https://" PELORA_WEB_HOST) + QLatin1String(path), QUrl::StrictMode);
}

} // namespace

QUrl peloraHomePageURL() {
    return pageURL("/");
}

QUrl peloraSupportPageURL() {
    return pageURL("/support/");
}

QUrl peloraPrivacyPageURL() {
    return pageURL("/privacy/");
}

void openWebPage(Workspace& workspace, const QUrl& url) {
    if (!url.isValid() || url.host().isEmpty())
        return;
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("https") && scheme != QLatin1String("http"))
        return;
    workspace.openURL(url);
}

bool isReservedExampleHost(const QString& host) {
    const QString h = host.toLower();
    for (const char* domain : {"example.com", "example.net", "example.org"})
        if (h == QLatin1String(domain) || h.endsWith(u'.' + QLatin1String(domain)))
            return true;
    for (const char* tld : {"example", "invalid", "test", "localhost"})
        if (h == QLatin1String(tld) || h.endsWith(u'.' + QLatin1String(tld)))
            return true;
    return false;
}
