#pragma once

#include <QPointer>
#include <QWidget>

class AboutView;
class Services;

// The About window: fixed size, titled and closable. Closing only hides it.
class PeloraAboutWindow : public QWidget {
    Q_OBJECT
public:
    explicit PeloraAboutWindow(Services& services);

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
    explicit AboutWindowKeeper(Services& services) : services_(services) {}
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
    Services& services_;
    QPointer<PeloraAboutWindow> window_;
};
