#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>
#include <utility>

// The kinds of content the program reads from and writes to the pasteboard.
enum class PasteboardKind { fileURLs, richText, plainText, tiff, png };

// Type names as the pasteboard offers them (MIME types, as Qt names them everywhere).
namespace PasteboardType {
inline const QString uriList = QStringLiteral("text/uri-list");
inline const QString plainText = QStringLiteral("text/plain");
inline const QString rtf = QStringLiteral("text/rtf");
inline const QString tiff = QStringLiteral("image/tiff");
inline const QString png = QStringLiteral("image/png");
// File managers that paste files only from their own type (GNOME's and its forks).
inline const QString gnomeCopiedFiles = QStringLiteral("x-special/gnome-copied-files");
} // namespace PasteboardType

// The names a kind is offered under, the preferred one first (RTF has three in use).
QStringList pasteboardTypeNames(PasteboardKind kind);
bool pasteboardTypesInclude(const QStringList& types, PasteboardKind kind);

// Whether the types and their values mark the content as a secret that must not be kept:
// password managers' hints and the concealed or transient markers of other systems.
// dataForType is asked only for the markers whose value matters.
template <class DataForType>
bool pasteboardMarksSecret(const QStringList& types, DataForType&& dataForType);

// Everything one write puts on the pasteboard: the representations of one copy.
struct PasteboardContents {
    std::optional<QString> text;
    QList<QUrl> urls;
    QList<std::pair<QString, QByteArray>> data; // type name, bytes

    bool isEmpty() const { return !text && urls.isEmpty() && data.isEmpty(); }
};

// The system's general pasteboard (the clipboard). Main thread.
//
// Reading another application's content can block for seconds when that application is
// stuck, so implementations read the content at most once per change, ask for the offered
// types before any data, and keep changeCount() free of content reads.
class Pasteboard {
public:
    virtual ~Pasteboard() = default;

    // Increases whenever any application, this one included, writes the pasteboard, and
    // when the content goes away with its owner. Cheap enough for a timer: reads no content.
    virtual qint64 changeCount() = 0;
    // The types offered now, without protocol pseudo-types; empty when nothing is offered.
    virtual QStringList types() = 0;
    // The bytes of one type, or none when it is not offered or cannot be read.
    virtual std::optional<QByteArray> dataForType(const QString& type) = 0;
    // The plain text, or none.
    virtual std::optional<QString> string() = 0;
    // The URLs of a URL list, in order, or none.
    virtual std::optional<QList<QUrl>> urls() = 0;
    // Replaces the whole content with exactly these representations, as one change.
    // Empty contents leave the pasteboard cleared.
    virtual void clearAndWrite(const PasteboardContents& contents) = 0;

    // The bytes of the first offered type name of a kind.
    std::optional<QByteArray> dataForKind(PasteboardKind kind) {
        const QStringList offered = types();
        for (const QString& name : pasteboardTypeNames(kind))
            if (offered.contains(name))
                return dataForType(name);
        return std::nullopt;
    }
    bool isMarkedSecret() {
        return pasteboardMarksSecret(types(),
                                     [this](const QString& type) { return dataForType(type); });
    }

    void clearContents() { clearAndWrite({}); }
    void writeString(const QString& text) { clearAndWrite({text, {}, {}}); }
    void writeData(const QString& type, const QByteArray& bytes) {
        clearAndWrite({std::nullopt, {}, {{type, bytes}}});
    }
    void writeURLs(const QList<QUrl>& urls) { clearAndWrite({std::nullopt, urls, {}}); }
};

inline QStringList pasteboardTypeNames(PasteboardKind kind) {
    switch (kind) {
    case PasteboardKind::fileURLs:
        return {PasteboardType::uriList};
    case PasteboardKind::richText:
        return {PasteboardType::rtf, QStringLiteral("application/rtf"),
                QStringLiteral("text/richtext")};
    case PasteboardKind::plainText:
        // Wayland programs and XWayland name UTF-8 text explicitly.
        return {PasteboardType::plainText, QStringLiteral("text/plain;charset=utf-8")};
    case PasteboardKind::tiff:
        return {PasteboardType::tiff};
    case PasteboardKind::png:
        return {PasteboardType::png};
    }
    return {};
}

inline bool pasteboardTypesInclude(const QStringList& types, PasteboardKind kind) {
    for (const QString& name : pasteboardTypeNames(kind))
        if (types.contains(name))
            return true;
    return false;
}

template <class DataForType>
bool pasteboardMarksSecret(const QStringList& types, DataForType&& dataForType) {
    // KDE's convention, followed by KeePassXC and others on Linux.
    static const QString kdeHint = QStringLiteral("x-kde-passwordManagerHint");
    // Markers that mean "do not keep" by their presence alone (nspasteboard.org, Windows).
    static const QStringList presenceMarkers = {
        QStringLiteral("org.nspasteboard.ConcealedType"),
        QStringLiteral("org.nspasteboard.TransientType"),
        QStringLiteral("application/x-nspasteboard-concealed-type"),
        QStringLiteral("application/x-nspasteboard-transient-type"),
        QStringLiteral("ExcludeClipboardContentFromMonitorProcessing"),
    };
    // Windows' history switch: a 32-bit zero forbids keeping the content.
    static const QString historyFlag = QStringLiteral("CanIncludeInClipboardHistory");

    for (const QString& marker : presenceMarkers)
        if (types.contains(marker))
            return true;
    if (types.contains(kdeHint)) {
        const std::optional<QByteArray> value = dataForType(kdeHint);
        if (value && *value == "secret")
            return true;
    }
    if (types.contains(historyFlag)) {
        const std::optional<QByteArray> value = dataForType(historyFlag);
        if (value && value->size() == 4 && value->count('\0') == 4)
            return true;
    }
    return false;
}
