#include "settings/UpdateWindowController.h"

#include "common/Texts.h"
#include "common/WebPages.h"
#include "platform/Bundle.h"
#include "platform/RunningApplications.h"
#include "platform/Workspace.h"
#include "settings/PeloraUpdatePreferences.h"
#include "settings/VersionCheckUpdateView.h"

#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

UpdateWindowController::UpdateWindowController(Bundle& bundle,
                                               RunningApplications& runningApplications,
                                               Workspace& workspace,
                                               PeloraUpdatePreferences& preferences)
    : bundle_(bundle), runningApplications_(runningApplications), workspace_(workspace),
      preferences_(preferences) {}

UpdateWindowController::~UpdateWindowController() {
    // Their buttons call back into this controller.
    for (const QPointer<QDialog>& window : std::as_const(windows_))
        delete window.data();
}

std::optional<QUrl> UpdateWindowController::downloadAddress(const VersionInfo& info) {
    if (!info.contains(kInfoDownloadUrl))
        return std::nullopt;
    const QUrl url(info.value(kInfoDownloadUrl), QUrl::StrictMode);
    // Only web pages: a tampered document must not open local files or other programs.
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != u"http" && scheme != u"https") || url.host().isEmpty())
        return std::nullopt;
    return url;
}

VersionCheckUpdateView* UpdateWindowController::currentUpdateView() const {
    return current_ ? current_->findChild<VersionCheckUpdateView*>() : nullptr;
}

void UpdateWindowController::showUpdateWindow(const VersionInfo& info) {
    const QString latest = info.value(kInfoLatestVersion);
    const QString current =
        bundle_.infoValue(QStringLiteral("CFBundleShortVersionString")).value_or(QString());
    const QString title = info.contains(kInfoTitleText) ? info.value(kInfoTitleText)
                                                        : L("updates.window.defaultTitle");
    const QString text = info.value(kInfoInfoText);
    const std::optional<QUrl> address = downloadAddress(info);
    const QString versionLine = L("updates.window.versionLine").arg(latest, current);

    auto* window = new QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                            Qt::WindowCloseButtonHint);
    window->setObjectName(QStringLiteral("updateWindow"));
    window->setWindowTitle(title);
    window->setModal(false);
    QPointer<QDialog> guard(window);
    auto* view = new VersionCheckUpdateView(preferences_, title, versionLine, text, window);
    connect(view, &VersionCheckUpdateView::cancelClicked, this,
            [this, guard] { closeUpdateWindow(guard); });
    connect(view, &VersionCheckUpdateView::okClicked, this,
            [this, guard, address] { openDownloadPage(guard, address); });
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    window->setFixedSize(480, 220);
    // Escape, the title bar's close button and Cancel all end here.
    connect(window, &QDialog::rejected, this, [this, guard] { closeUpdateWindow(guard); });

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        window->move(area.center() - QPoint(240, 110));
    }
    window->show();
    window->raise();
    window->activateWindow();
    runningApplications_.activateCurrentApplication();
    current_ = window;
    windows_.removeAll(nullptr);
    windows_.append(window);
}

void UpdateWindowController::openDownloadPage(QDialog* window, const std::optional<QUrl>& address) {
    workspace_.openURL(address ? *address : peloraHomePageURL());
    closeUpdateWindow(window);
}

void UpdateWindowController::closeUpdateWindow(QDialog* window) {
    // Each window's buttons close that window, whichever is the newest.
    if (!window)
        return;
    if (window == current_)
        current_ = nullptr;
    window->hide();
    window->deleteLater();
}
