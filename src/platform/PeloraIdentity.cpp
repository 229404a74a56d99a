#include "platform/PeloraIdentity.h"

#include "platform/Bundle.h"
#include "platform/Workspace.h"

#include <QFileInfo>

PeloraIdentity::PeloraIdentity(const Bundle& bundle, Workspace& workspace)
    : bundle_(bundle), workspace_(workspace) {}

std::optional<QString> PeloraIdentity::bundleIdentifier(const Bundle& bundle) {
    auto identifier = bundle.infoValue(QStringLiteral("CFBundleIdentifier"));
    if (identifier && identifier->isEmpty())
        return std::nullopt;
    return identifier;
}

bool PeloraIdentity::isPeloraBundle(const QUrl& bundleURL,
                                    const std::optional<QString>& identifier) const {
    const auto own = bundleIdentifier(bundle_);
    if (own && identifier == own)
        return true;
    if (!bundleURL.isLocalFile())
        return false;
    return bundleURL.toLocalFile() == bundle_.bundlePath() || startsOwnExecutable(bundleURL);
}

bool PeloraIdentity::startsOwnExecutable(const QUrl& bundleURL) const {
    if (auto known = startsOwn_.constFind(bundleURL); known != startsOwn_.constEnd())
        return *known;
    const QString executable = bundle_.executablePath();
    const QString canonical = QFileInfo(executable).canonicalFilePath();
    const QString started = workspace_.applicationExecutablePath(bundleURL);
    const bool starts = !executable.isEmpty() && !started.isEmpty() &&
                        started == (canonical.isEmpty() ? executable : canonical);
    startsOwn_.insert(bundleURL, starts);
    return starts;
}
