#pragma once

#include <QWidget>

// A titled, closable window of its own: no minimise or maximise button, and closing it never
// ends the program, which lives in the tray.
class DialogWindow : public QWidget {
    Q_OBJECT
protected:
    DialogWindow(const QString& objectName, const QString& title)
        : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowCloseButtonHint) {
        setObjectName(objectName);
        setWindowTitle(title);
        setAttribute(Qt::WA_QuitOnClose, false);
    }
};
