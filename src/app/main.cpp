#include "app/CommandLine.h"

#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    if (const auto status = runCommandLine(argc, argv))
        return *status;
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("Pelora is not built yet."));
    label.show();
    return app.exec();
}
