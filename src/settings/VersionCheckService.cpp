#include "settings/VersionCheckService.h"

#include "common/Texts.h"
#include "common/Translations.h"
#include "common/WebPages.h"
#include "platform/Bundle.h"
#include "platform/Dialogs.h"
#include "platform/MainQueue.h"
#include "platform/Workspace.h"
#include "settings/PeloraUpdatePreferences.h"
#include "settings/UpdateWindowController.h"

#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QScopeGuard>
#include <QStringDecoder>
#include <QTimer>

namespace {
// An HTTP error status still brings the server's body, which is judged like any document;
// everything else reported as an error means there is no usable answer.
bool isHttpStatusError(QNetworkReply::NetworkError error) {
    return (error >= QNetworkReply::ContentAccessDenied &&
            error <= QNetworkReply::UnknownContentError) ||
           (error >= QNetworkReply::InternalServerError &&
            error <= QNetworkReply::UnknownServerError);
}
} // namespace

VersionCheckService::VersionCheckService(Bundle& bundle, UserDefaults& defaults,
                                         Workspace& workspace, Dialogs& dialogs,
                                         UpdateWindowController& updateWindows, QUrl documentURL)
    : bundle_(bundle), defaults_(defaults), workspace_(workspace), dialogs_(dialogs),
      updateWindows_(updateWindows), documentURL_(std::move(documentURL)),
      network_(new QNetworkAccessManager(this)) {
    // Redirects may not lead from https to plain http.
    network_->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

VersionCheckService::~VersionCheckService() = default;

QUrl makerVersionDocumentURL() {
    // A build for the reserved example host has no server to ask.
    if (isReservedExampleHost(makerWebHost()))
        return {};
    QUrl url;
    url.setScheme(QStringLiteral("https"));
    url.setHost(makerWebHost(), QUrl::StrictMode);
    url.setPath(QStringLiteral("/version_checking/Pelora.xml"));
    return url.isValid() && !url.host().isEmpty() ? url : QUrl();
}

std::optional<QUrl> updateFeedURL(const QVariant& stored) {
    if (!variantIsString(stored))
        return std::nullopt;
    const QUrl url(stored.toString().trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return std::nullopt;
    const QString scheme = url.scheme().toLower();
    if (scheme == u"https")
        return url;
    if (scheme == u"http" && QHostAddress(url.host()).isLoopback())
        return url;
    return std::nullopt;
}

QUrl VersionCheckService::documentURL() const {
    // Read at every check: `pelora defaults write` takes effect without a restart.
    if (const auto stored = defaults_.objectForKey(kUpdateFeedURLKey.key()))
        if (auto feed = updateFeedURL(*stored))
            return *feed;
    return documentURL_;
}

void VersionCheckService::checkForUpdates(bool userInitiated) {
    const QUrl url = documentURL();
    if (url.isEmpty()) {
        // Reported on a later turn, like every other outcome.
        QPointer<VersionCheckService> self(this);
        runLaterOnMain(
            [self, userInitiated] {
                if (self)
                    self->finish(VersionCheckError::checkFailed(), userInitiated);
            },
            this);
        return;
    }
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setTransferTimeout(int(timeout_.count()));
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Pelora"));

    QNetworkReply* reply = network_->get(request);
    // The body is taken as it comes, so Qt never holds more than a little of it, whatever
    // else runs meanwhile (an alert's event loop, say), and the cap is checked on every read.
    reply->setReadBufferSize(64 * 1024);
    struct Body {
        QByteArray data;
        bool tooLarge = false;
    };
    auto body = std::make_shared<Body>();
    // A document is a few hundred bytes; anything beyond the cap is not one.
    auto take = [reply, body] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > kMaximumDocumentSize)
            body->tooLarge = true;
        else
            body->data += reply->read(kMaximumDocumentSize + 1 - body->data.size());
        if (body->tooLarge || body->data.size() > kMaximumDocumentSize) {
            body->tooLarge = true;
            body->data.clear();
            reply->abort();
        }
    };
    connect(reply, &QNetworkReply::metaDataChanged, this, take);
    connect(reply, &QNetworkReply::readyRead, this, take);
    auto* deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, reply, &QNetworkReply::abort);
    deadline->start(deadline_);
    connect(reply, &QNetworkReply::finished, this, [this, reply, body, take, userInitiated] {
        reply->deleteLater();
        if (!body->tooLarge && reply->isOpen())
            take();
        const std::optional<QByteArray> data = documentData(reply, body->data, body->tooLarge);
        // Handled on a later turn, outside the network's signals: the outcome may run an alert.
        QPointer<VersionCheckService> self(this);
        runLaterOnMain(
            [self, data, userInitiated] {
                if (self)
                    self->handleResponse(data, userInitiated);
            },
            this);
    });
}

std::optional<QByteArray> VersionCheckService::documentData(QNetworkReply* reply,
                                                            const QByteArray& body, bool tooLarge) {
    const QNetworkReply::NetworkError error = reply->error();
    const bool answered = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    if (tooLarge || (error != QNetworkReply::NoError && !(answered && isHttpStatusError(error))))
        return std::nullopt;
    if (body.isEmpty())
        return std::nullopt;
    return body;
}

void VersionCheckService::handleResponse(const std::optional<QByteArray>& data,
                                         bool userInitiated) {
    if (!data) {
        finish(VersionCheckError::checkFailed(), userInitiated);
        return;
    }
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(*data);
    if (decoder.hasError() || text.trimmed().isEmpty()) {
        finish(VersionCheckError::checkFailed(), userInitiated);
        return;
    }
    // The window around these texts speaks the interface's language, not the system's.
    const auto info = parseVersionDocument(text, interfaceLanguage());
    if (!info) {
        finish(VersionCheckError::checkFailed(), userInitiated);
        return;
    }
    defaults_.setObject(kLastSuccessfulUpdateCheckDateKey.key(), QDateTime::currentDateTimeUtc());

    const QString current = currentVersion();
    if (compareVersions(info->value(kInfoLatestVersion), current) > 0) {
        finish(std::nullopt, userInitiated, info);
        updateWindows_.showUpdateWindow(*info);
        return;
    }
    finish(VersionCheckError::isUpToDate(nameAndVersion(current)), userInitiated);
}

void VersionCheckService::finish(const std::optional<VersionCheckError>& error, bool userInitiated,
                                 const std::optional<VersionInfo>& newerVersion) {
    Q_EMIT checkFinished({userInitiated, error, newerVersion});

    if (!error || !userInitiated || alertOpen_)
        return;
    alertOpen_ = true;
    const auto closed = qScopeGuard([this] { alertOpen_ = false; });
    if (error->isVersionCheckError(VersionCheckError::upToDate))
        showUpToDateAlert(*error);
    else
        showUnavailableAlert();
}

void VersionCheckService::showUpToDateAlert(const VersionCheckError& error) {
    AlertOptions alert;
    alert.style = AlertStyle::informational;
    alert.messageText = error.localizedDescription;
    alert.informativeText = error.localizedRecoverySuggestion;
    alert.buttons = {L("buttonOK")};
    dialogs_.runAlert(alert);
}

void VersionCheckService::showUnavailableAlert() {
    AlertOptions alert;
    alert.style = AlertStyle::warning;
    alert.messageText = L("updates.alert.unavailable.title");
    alert.informativeText = L("updates.alert.unavailable.message")
                                .arg(bundle_.infoValue(QStringLiteral("CFBundleShortVersionString"))
                                         .value_or(QString()));
    alert.buttons = {L("updates.alert.openPage"), L("updates.alert.ignore")};
    if (dialogs_.runAlert(alert) == 0)
        workspace_.openURL(peloraHomePageURL());
}

std::optional<QDateTime> VersionCheckService::lastSuccessfulCheckDate() const {
    const auto value = defaults_.objectForKey(kLastSuccessfulUpdateCheckDateKey.key());
    if (!value || !variantIsDate(*value))
        return std::nullopt;
    const QDateTime date = value->toDateTime();
    if (!date.isValid())
        return std::nullopt;
    return date;
}

QString VersionCheckService::currentVersion() const {
    return bundle_.infoValue(QStringLiteral("CFBundleShortVersionString"))
        .value_or(QStringLiteral("0"));
}

QString VersionCheckService::nameAndVersion(const QString& version) const {
    const QString name = bundle_.infoValue(QStringLiteral("CFBundleName"))
                             .value_or(bundle_.infoValue(QStringLiteral("CFBundleDisplayName"))
                                           .value_or(QStringLiteral("Pelora")));
    return name + u' ' + version;
}

void checkForUpdatesAtLaunch(PeloraUpdatePreferences& preferences,
                             VersionCheckService& versionCheck) {
    if (preferences.autoCheckForUpdates())
        versionCheck.checkForUpdates(false);
}
