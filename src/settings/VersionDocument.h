#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

// What the version document says: "latestVersion" always, "downloadUrl", "titleText" and
// "infoText" when present and not empty.
using VersionInfo = QMap<QString, QString>;

inline constexpr char kInfoLatestVersion[] = "latestVersion";
inline constexpr char kInfoDownloadUrl[] = "downloadUrl";
inline constexpr char kInfoTitleText[] = "titleText";
inline constexpr char kInfoInfoText[] = "infoText";

// The content of the first <tag>…</tag> in text, element names matched without regard to case
// and blanks allowed inside the brackets; nullopt when there is none.
std::optional<QString> extractElement(const QString& text, const QString& tag);

// The element names tried for localised texts, for the user's first preferred localisation
// ("de-CH" gives german, de).
QStringList languageCandidates(const QString& preferredLocalization);

// The localised value in a titletext or infotext block: the first candidate element present,
// else english, else en; trimmed; nullopt when it is empty.
std::optional<QString> localizedValue(const QString& block, const QStringList& candidates);

// The version information of a document, or nullopt when it names no latest version.
std::optional<VersionInfo> parseVersionDocument(const QString& text,
                                                const QString& preferredLocalization);

// Orders two version strings, digit runs by their numeric value (1.10 after 1.9), everything
// else character by character. Negative, zero or positive as a is before, same as or after b.
int compareVersions(const QString& a, const QString& b);
