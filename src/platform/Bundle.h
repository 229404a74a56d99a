#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The application bundle: Pelora.app/Contents/{Info.json, MacOS/pelora, Resources/}.
class Bundle {
public:
    virtual ~Bundle() = default;

    // Absolute path of the Pelora.app folder (no trailing slash).
    virtual QString bundlePath() const = 0;
    // A string value of the info dictionary (CFBundleName, CFBundleShortVersionString, ...).
    virtual std::optional<QString> infoValue(const QString& key) const = 0;
    // Path of Contents/Resources/<name>.<extension>, or empty when there is no such file.
    virtual QString resourcePath(const QString& name, const QString& extension) const = 0;
    // The user's preferred localisations, most preferred first ("de-CH", "en", ...).
    virtual QStringList preferredLocalizations() const = 0;
    // The executable inside the bundle.
    virtual QString executablePath() const = 0;
};
