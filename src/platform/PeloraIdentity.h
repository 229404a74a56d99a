#pragma once

#include <QHash>
#include <QString>
#include <QUrl>
#include <optional>

class Bundle;
class Workspace;

// What makes an application this program itself, wherever one is met: in the window system's
// list (which marks it RunningApplication::isPelora, together with the program's own windows)
// or in what was stored of it earlier. Main thread.
class PeloraIdentity {
public:
    // Both outlive the identity.
    PeloraIdentity(const Bundle& bundle, Workspace& workspace);

    // The program's own bundle identifier, from its info dictionary; none when it has none.
    static std::optional<QString> bundleIdentifier(const Bundle& bundle);

    // Its bundle, an application with its bundle identifier, or an application (such as its
    // launcher entry) that starts its executable.
    bool isPeloraBundle(const QUrl& bundleURL,
                        const std::optional<QString>& bundleIdentifier) const;

private:
    bool startsOwnExecutable(const QUrl& bundleURL) const;

    const Bundle& bundle_;
    Workspace& workspace_;
    // What each bundle starts is read once: lists ask on every change of the front window.
    mutable QHash<QUrl, bool> startsOwn_;
};
