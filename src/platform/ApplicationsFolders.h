#pragma once

#include <QString>
#include <QStringList>

class Bundle;

// Pelora runs only from an Applications folder: the user's ~/Applications, /Applications, or
// /opt, where its Debian package installs it (the filesystem hierarchy's place for add-on
// software). The three for a home folder, each with its trailing slash.
QStringList applicationsFolders(const QString& homePath);

// Whether the bundle lies in one of them: a plain, case-sensitive prefix test, so a folder whose
// name merely begins like one (~/ApplicationsOld) does not count.
bool isInApplicationsFolder(const QString& bundlePath, const QString& homePath);

// The installation check for a bundle and this process's home: as given, then with links
// resolved on both sides (the bundle's path comes resolved from /proc while $HOME or /opt may be
// links).
bool isInApplicationsFolder(const Bundle& bundle);
