#pragma once

#include "platform/UserDefaults.h"
#include "settings/VersionCheckError.h"
#include "settings/VersionDocument.h"

#include <QDateTime>
#include <QObject>
#include <QUrl>
#include <chrono>
#include <optional>

class Bundle;
class Dialogs;
class PeloraUpdatePreferences;
class QNetworkAccessManager;
class QNetworkReply;
class UpdateWindowController;
class UserDefaults;
class Workspace;

// How one check ended ("PeloraVersionCheckDidFinish").
struct VersionCheckResult {
    bool requestedByUser = false;
    // On a failure, or when the running version is the latest.
    std::optional<VersionCheckError> error;
    // What the document says, when it names a newer version.
    std::optional<VersionInfo> newerVersion;
};

inline const DefaultsKey<QDateTime> kLastSuccessfulUpdateCheckDateKey{
    "PeloraLastSuccessfulUpdateCheckDate", {}};

// The maker's version document; empty when none can be formed (the build names no real host).
QUrl makerVersionDocumentURL();

// A feed a packager, an administrator or a test puts in place of the build's address.
inline const DefaultsKey<QString> kUpdateFeedURLKey{"PeloraUpdateFeedURL", QString()};
// The address a stored feed value names when it may be asked: https, or plain http to a
// loopback address only (nothing else could tamper with it there). None for anything else.
std::optional<QUrl> updateFeedURL(const QVariant& stored);

// Asks the maker's server for the version document and reports what it says: checkFinished
// every time, the update window when a newer version exists, and for checks the user asked
// for an alert when up to date or when the check failed. Main thread.
class VersionCheckService : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 kMaximumDocumentSize = 1024 * 1024;

    // updateWindows shows a newer version; documentURL: where the version document is asked
    // for (tests give a local server's).
    VersionCheckService(Bundle& bundle, UserDefaults& defaults, Workspace& workspace,
                        Dialogs& dialogs, UpdateWindowController& updateWindows,
                        QUrl documentURL = makerVersionDocumentURL());
    ~VersionCheckService() override;

    // Starts one check and returns at once; overlapping checks each run to their own end.
    void checkForUpdates(bool userInitiated);
    // The date of the last check whose document could be read.
    std::optional<QDateTime> lastSuccessfulCheckDate() const;

    // How long the request may go without progress before it fails (10 seconds).
    void setRequestTimeout(std::chrono::milliseconds timeout) { timeout_ = timeout; }
    // How long a whole check may take (30 seconds): a server that trickles its answer makes
    // progress all the time.
    void setCheckDeadline(std::chrono::milliseconds deadline) { deadline_ = deadline; }

Q_SIGNALS:
    // A check ended, whatever the outcome; before any alert or update window it brings.
    void checkFinished(const VersionCheckResult& result);

private:
    // The body of a finished reply, or nullopt when it brought no usable document: a
    // transport failure, nothing, or more than the cap.
    static std::optional<QByteArray> documentData(QNetworkReply* reply, const QByteArray& body,
                                                  bool tooLarge);
    void handleResponse(const std::optional<QByteArray>& data, bool userInitiated);
    void finish(const std::optional<VersionCheckError>& error, bool userInitiated,
                const std::optional<VersionInfo>& newerVersion = std::nullopt);
    void showUnavailableAlert();
    void showUpToDateAlert(const VersionCheckError& error);
    QString currentVersion() const;
    QString nameAndVersion(const QString& version) const;
    // The stored feed when it is a usable one, else the build's address.
    QUrl documentURL() const;

    Bundle& bundle_;
    UserDefaults& defaults_;
    Workspace& workspace_;
    Dialogs& dialogs_;
    UpdateWindowController& updateWindows_;
    QUrl documentURL_;
    QNetworkAccessManager* network_;
    std::chrono::milliseconds timeout_{10000};
    std::chrono::milliseconds deadline_{30000};
    bool alertOpen_ = false; // checks that end meanwhile tell only through checkFinished
};

// The silent check at launch, when the user has not turned automatic checks off.
void checkForUpdatesAtLaunch(PeloraUpdatePreferences& preferences,
                             VersionCheckService& versionCheck);
