#pragma once

#include <QColor>
#include <QObject>
#include <QVariant>
#include <optional>

class QDBusVariant;

// The desktop's light or dark preference, as the XDG desktop portal publishes it
// (org.freedesktop.appearance color-scheme), kept up to date. Trays that give their icons no
// colour (StatusNotifierItem hosts) sit on a bar of that scheme. Main thread.
class DesktopColorScheme : public QObject {
    Q_OBJECT
public:
    enum class Scheme { noPreference, dark, light };

    // Asks the portal without waiting; the answer arrives as a change.
    explicit DesktopColorScheme(QObject* parent = nullptr);

    Scheme scheme() const { return scheme_; }
    // Text on the desktop's bars: white when dark, black when light; none without a preference.
    std::optional<QColor> panelTextColor() const;

    // The portal's value (a number, possibly wrapped in variants) as a scheme.
    static Scheme schemeFromValue(const QVariant& value);

Q_SIGNALS:
    void changed();

private Q_SLOTS:
    void settingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    void setScheme(Scheme scheme);

    Scheme scheme_ = Scheme::noPreference;
};
