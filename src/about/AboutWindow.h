#pragma once

#include "about/DialogWindow.h"

#include <QPointer>

class AboutView;
class Bundle;
class RunningApplications;
class Workspace;

// The About window: fixed size, titled and closable. Closing only hides it.
class PeloraAboutWindow : public DialogWindow {
    Q_OBJECT
public:
    PeloraAboutWindow(Bundle& bundle, Workspace& workspace);

    AboutView* view() const { return view_; }

protected:
    // Ctrl+W closes; every other key goes the usual way (Ctrl+Shift+W and a bare W included).
    void keyPressEvent(QKeyEvent* event) override;

private:
    AboutView* view_ = nullptr;
};

// Keeps the one About window of the process.
class AboutWindowKeeper {
public:
    AboutWindowKeeper(Bundle& bundle, Workspace& workspace,
                      RunningApplications& runningApplications)
        : bundle_(bundle), workspace_(workspace), runningApplications_(runningApplications) {}
    ~AboutWindowKeeper();
    AboutWindowKeeper(const AboutWindowKeeper&) = delete;
    AboutWindowKeeper& operator=(const AboutWindowKeeper&) = delete;

    // The window, created on first use.
    PeloraAboutWindow& window();
    // Creates the window on first use and brings it to the front on a later turn of the event
    // loop. Main thread only.
    void show();
    // The window if it was created, else null.
    PeloraAboutWindow* existingWindow() const { return window_; }

private:
    Bundle& bundle_;
    Workspace& workspace_;
    RunningApplications& runningApplications_;
    QPointer<PeloraAboutWindow> window_;
};
