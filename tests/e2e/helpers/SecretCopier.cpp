// A password manager's copy, as KeePassXC makes it: text marked x-kde-passwordManagerHint =
// secret, copied from a window of its own once that window has the focus (Wayland lets only
// the focused client set the clipboard). Prints "copied", then "sent TYPE" for each read.
// Usage: secret-copier TEXT TITLE
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QWidget>
#include <cstdio>

namespace {
class TellingMimeData : public QMimeData {
protected:
    QVariant retrieveData(const QString& type, QMetaType metaType) const override {
        std::printf("sent %s\n", qPrintable(type));
        std::fflush(stdout);
        return QMimeData::retrieveData(type, metaType);
    }
};
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // Listed under its own desktop entry, as an installed password manager would be.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.Copier"));
    if (argc < 3)
        return 2;
    QWidget window;
    window.setWindowTitle(QString::fromLocal8Bit(argv[2]));
    window.resize(300, 200);
    window.show();
    bool copied = false;
    QObject::connect(&app, &QGuiApplication::applicationStateChanged, [&](Qt::ApplicationState s) {
        if (s != Qt::ApplicationActive || copied)
            return;
        copied = true;
        auto* mime = new TellingMimeData;
        mime->setText(QString::fromLocal8Bit(argv[1]));
        mime->setData(QStringLiteral("x-kde-passwordManagerHint"), "secret");
        QGuiApplication::clipboard()->setMimeData(mime);
        std::printf("copied\n");
        std::fflush(stdout);
    });
    return app.exec();
}
