#pragma once

#include <QString>
#include <QStringList>

// Installs the English texts and, over them, the table that best matches the user's preferred
// localisations ("de-CH", "en", ...), both taken from the embedded :/i18n/pelora_*.qm files.
// English stays underneath so a key missing from another language still reads well.
// Call on the main thread once the application object exists; a later call replaces the
// tables installed by the earlier one.
void installTranslations(const QStringList& preferredLocalizations);

// The language the interface is shown in: the code of the table installed over English ("de",
// "pt-BR"), or "en" when none is.
QString interfaceLanguage();

// The language code of the table to install over English for the given preferences, or empty
// when English itself comes first or nothing matches. `available` holds the codes of the
// shipped tables ("en", "de", "pt_BR"). A preference matches a table of the same language and
// region first, then one of the same language; tables are searched in preference order.
QString bestTranslationLanguage(const QStringList& preferredLocalizations,
                                const QStringList& available);

// The codes of the embedded tables, from the :/i18n/pelora_<code>.qm names.
QStringList availableTranslationLanguages();
