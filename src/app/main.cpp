#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("Pelora is not built yet."));
    label.show();
    return app.exec();
}
