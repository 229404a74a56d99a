#include "app/PeloraApp.h"
#include "common/Services.h"
#include "platform/Bundle.h"
#include "platform/linux/LinuxPlatform.h"

#include <QApplication>
#include <QLocale>
#include <QTranslator>

namespace {
void installTranslations(QTranslator& translator, const QStringList& languages) {
    for (const QString& language : languages)
        if (translator.load(QStringLiteral(":/i18n/pelora_") +
                            QString(language).replace(u'-', u'_')))
            break;
    if (translator.isEmpty())
        (void)translator.load(QStringLiteral(":/i18n/pelora_en"));
    QCoreApplication::installTranslator(&translator);
}
} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pelora"));
    // A tray program: closing its last window (an alert, the settings) must not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    Services services(makeLinuxPlatform());
    QTranslator translator;
    installTranslations(translator, services.bundle().preferredLocalizations());
    return runPeloraApp(services);
}
