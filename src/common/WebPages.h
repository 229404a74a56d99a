#pragma once

#include <QString>
#include <QUrl>

class Workspace;

// The maker's web pages. The host is fixed at build time (PELORA_WEB_HOST); the paths are the
// program's own.
inline QString makerWebHost() {
    return QStringLiteral(PELORA_WEB_HOST);
}
QUrl peloraHomePageURL();
QUrl peloraSupportPageURL();
QUrl peloraPrivacyPageURL();

// Whether a host is one of the names reserved for examples and tests, which never serve the
// maker's pages (example.com/.net/.org and the .example, .invalid, .test, .localhost domains).
bool isReservedExampleHost(const QString& host);

// Opens a page in the user's browser. Only valid http(s) addresses are handed on; the
// workspace's answer does not matter to anyone.
void openWebPage(Workspace& workspace, const QUrl& url);
