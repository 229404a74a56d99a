#pragma once

#include "about/DialogWindow.h"

#include <QPointer>

class QPushButton;
class QTextBrowser;
class Bundle;
class Workspace;

// The licence agreement: the bundle's "LicenseAgreement" document, or a note that it could
// not be loaded, above a close button. Titled, closable and resizable.
class LicenseWindow : public DialogWindow {
    Q_OBJECT
public:
    static constexpr QSize kInitialSize{560, 420};
    static constexpr QSize kMinimumSize{420, 320};

    LicenseWindow(Bundle& bundle, Workspace& workspace);

    QTextBrowser* textView() const { return text_; }
    QPushButton* closeButton() const { return close_; }
    bool showsUnavailableText() const { return unavailable_; }

private:
    QTextBrowser* text_ = nullptr;
    QPushButton* close_ = nullptr;
    bool unavailable_ = false;
};

// Keeps the licence window of the process.
class LicenseWindowKeeper {
public:
    LicenseWindowKeeper(Bundle& bundle, Workspace& workspace)
        : bundle_(bundle), workspace_(workspace) {}
    ~LicenseWindowKeeper();
    LicenseWindowKeeper(const LicenseWindowKeeper&) = delete;
    LicenseWindowKeeper& operator=(const LicenseWindowKeeper&) = delete;

    // Brings the open window to the front, or replaces a closed one (or none) with a fresh
    // window, centred, reading the document anew.
    void show();
    // The kept window, if any.
    LicenseWindow* window() const { return window_; }

private:
    Bundle& bundle_;
    Workspace& workspace_;
    QPointer<LicenseWindow> window_;
};
