#pragma once

#include "platform/Dialogs.h"

// Alerts as QMessageBox, open panels as Qt's own file dialog (the same on every desktop, and
// drivable from the keyboard).
class LinuxDialogs : public Dialogs {
public:
    int runAlert(const AlertOptions& alert) override;
    std::optional<QList<QUrl>> runOpenPanel(const OpenPanelOptions& panel) override;
    void beginOpenPanel(const OpenPanelOptions& panel, OpenPanelCompletion completion) override;
};
