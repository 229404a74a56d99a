#pragma once

#include <QUrl>

class Workspace;

// The maker's web pages. The host is fixed at build time (PELORA_WEB_HOST); the paths are the
// program's own.
QUrl peloraHomePageURL();
QUrl peloraSupportPageURL();
QUrl peloraPrivacyPageURL();

// Opens a page in the user's browser. Only valid http(s) addresses are handed on; the
// workspace's answer does not matter to anyone.
void openWebPage(Workspace& workspace, const QUrl& url);
