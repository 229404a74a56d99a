#include "common/Translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QPointer>
#include <QTranslator>

namespace {

const QString kBaseLanguage = QStringLiteral("en");

QString qmPath(const QString& language) {
    return QStringLiteral(":/i18n/pelora_%1.qm").arg(language);
}

// "de-CH", "de_ch" and "DE-CH" all become "de_CH"; "de" stays "de".
QString canonicalTag(const QString& tag) {
    QString normalised = tag.trimmed();
    normalised.replace(QLatin1Char('-'), QLatin1Char('_'));
    QStringList parts = normalised.split(QLatin1Char('_'));
    if (parts.isEmpty() || parts.first().isEmpty())
        return {};
    parts[0] = parts[0].toLower();
    if (parts.size() > 1 && !parts[1].isEmpty())
        return parts[0] + QLatin1Char('_') + parts[1].toUpper();
    return parts[0];
}

QString languageOf(const QString& canonical) {
    return canonical.section(QLatin1Char('_'), 0, 0);
}

// Kept as children of the application, so they go with it; QPointer notices that.
QPointer<QTranslator> installedBase;
QPointer<QTranslator> installedOverlay;
QString installedOverlayLanguage;

void removeInstalled(QPointer<QTranslator>& translator) {
    if (translator) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
    translator = nullptr;
}

QTranslator* installTable(const QString& language) {
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(qmPath(language)) || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

} // namespace

QString bestTranslationLanguage(const QStringList& preferredLocalizations,
                                const QStringList& available) {
    QStringList canonicalAvailable;
    for (const QString& code : available)
        canonicalAvailable.append(canonicalTag(code));

    for (const QString& preferred : preferredLocalizations) {
        const QString wanted = canonicalTag(preferred);
        if (wanted.isEmpty())
            continue;
        const QString language = languageOf(wanted);
        // English is always underneath: a user who prefers it gets no overlay.
        if (language == kBaseLanguage)
            return {};
        if (const qsizetype exact = canonicalAvailable.indexOf(wanted); exact >= 0)
            return available.at(exact);
        if (const qsizetype plain = canonicalAvailable.indexOf(language); plain >= 0)
            return available.at(plain);
        // A regional table still serves the plain language ("pt" finds "pt_BR").
        for (qsizetype i = 0; i < canonicalAvailable.size(); ++i) {
            if (languageOf(canonicalAvailable.at(i)) == language)
                return available.at(i);
        }
    }
    return {};
}

QStringList availableTranslationLanguages() {
    QStringList languages;
    const QStringList files =
        QDir(QStringLiteral(":/i18n"))
            .entryList({QStringLiteral("pelora_*.qm")}, QDir::Files, QDir::Name);
    for (const QString& file : files)
        languages.append(file.mid(7, file.size() - 7 - 3));
    return languages;
}

void installTranslations(const QStringList& preferredLocalizations) {
    if (!QCoreApplication::instance())
        return;
    removeInstalled(installedOverlay);
    removeInstalled(installedBase);

    installedBase = installTable(kBaseLanguage);
    QStringList others = availableTranslationLanguages();
    others.removeAll(kBaseLanguage);
    const QString overlay = bestTranslationLanguage(preferredLocalizations, others);
    // Installed last, so it is asked first.
    if (!overlay.isEmpty())
        installedOverlay = installTable(overlay);
    installedOverlayLanguage = installedOverlay ? overlay : QString();
}

QString interfaceLanguage() {
    if (!installedOverlay || installedOverlayLanguage.isEmpty())
        return kBaseLanguage;
    QString tag = installedOverlayLanguage;
    return tag.replace(QLatin1Char('_'), QLatin1Char('-'));
}
