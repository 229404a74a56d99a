#pragma once

#include "settings/VersionDocument.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <optional>

#include <QDialog>
class Bundle;
class PeloraUpdatePreferences;
class RunningApplications;
class VersionCheckUpdateView;
class Workspace;

// Shows the window that announces a newer version. Each call makes a new window; the newest
// is the current one. Main thread.
class UpdateWindowController : public QObject {
    Q_OBJECT
public:
    UpdateWindowController(Bundle& bundle, RunningApplications& runningApplications,
                           Workspace& workspace, PeloraUpdatePreferences& preferences);
    ~UpdateWindowController() override;

    void showUpdateWindow(const VersionInfo& info);

    QDialog* currentUpdateWindow() const { return current_; }
    VersionCheckUpdateView* currentUpdateView() const;

    // The page OK opens: the document's address when it is a web address, else none.
    static std::optional<QUrl> downloadAddress(const VersionInfo& info);

private:
    void openDownloadPage(QDialog* window, const std::optional<QUrl>& address);
    void closeUpdateWindow(QDialog* window);

    Bundle& bundle_;
    RunningApplications& runningApplications_;
    Workspace& workspace_;
    PeloraUpdatePreferences& preferences_;
    QPointer<QDialog> current_;
    QList<QPointer<QDialog>> windows_; // every open one, the current and older ones
};
