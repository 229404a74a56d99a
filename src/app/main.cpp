#include "app/CommandLine.h"
#include "app/PeloraApp.h"
#include "common/Services.h"
#include "common/Symbols.h"
#include "common/Translations.h"
#include "platform/Bundle.h"
#include "platform/linux/LinuxPlatform.h"

#include <QApplication>

int main(int argc, char** argv) {
    if (const auto status = runCommandLine(argc, argv))
        return *status;

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pelora"));
    // A tray program: closing its last window (an alert, the settings) must not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    Services services(makeLinuxPlatform());
    installTranslations(services.bundle().preferredLocalizations());
    ensureIconTheme();
    return runPeloraApp(services);
}
