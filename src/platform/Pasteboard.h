#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
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
// dataForType is asked only for the markers whose value matters; a marker that is offered but
// whose value cannot be read (none) counts as set: a secret is never kept by accident.
template <class DataForType>
bool pasteboardMarksSecret(const QStringList& types, DataForType&& dataForType);

// Everything one write puts on the pasteboard: the representations of one copy.
struct PasteboardContents {
    std::optional<QString> text;
    QList<QUrl> urls;
    QList<std::pair<QString, QByteArray>> data; // type name, bytes

    bool isEmpty() const { return !text && urls.isEmpty() && data.isEmpty(); }
};

// A type to read and how many of its bytes at most.
struct PasteboardWant {
    QString type;
    qint64 maxBytes = 0;
};

// What to read of one change.
struct PasteboardReadRequest {
    // Read in this order when offered; types not named here are listed but never read.
    QList<PasteboardWant> wanted;
    // For the whole change, types and data together.
    int timeoutMs = 2000;
};

// One change's content as read: the types offered and the bytes of the wanted ones. A value:
// it is built off the main thread and handed over once complete, never changed after.
struct PasteboardSnapshot {
    qint64 changeCount = 0;          // the change it belongs to
    QStringList types;               // offered, without protocol pseudo-types
    QHash<QString, QByteArray> data; // what was read, by type; plain text as UTF-8
    QSet<QString> truncated;         // types offered with more bytes than their maxBytes
    // Of truncated types, the size the owner announced, where it did (X11 does, a pipe not).
    QHash<QString, qint64> offeredSizes;
    QSet<QString> unanswered; // wanted and offered, but the owner gave nothing in time

    std::optional<QByteArray> dataForType(const QString& type) const {
        const auto it = data.constFind(type);
        return it == data.constEnd() ? std::nullopt : std::optional<QByteArray>(*it);
    }
    // The bytes of the first offered type name of a kind.
    std::optional<QByteArray> dataForKind(PasteboardKind kind) const {
        for (const QString& name : pasteboardTypeNames(kind))
            if (types.contains(name))
                return dataForType(name);
        return std::nullopt;
    }
    bool isTruncated(PasteboardKind kind) const {
        for (const QString& name : pasteboardTypeNames(kind))
            if (types.contains(name))
                return truncated.contains(name);
        return false;
    }
    // The plain text; a text cut at its limit loses a character split by the cut.
    std::optional<QString> string() const {
        std::optional<QByteArray> bytes = dataForType(PasteboardType::plainText);
        if (!bytes)
            return std::nullopt;
        if (truncated.contains(PasteboardType::plainText)) {
            // Drop the lead and continuation bytes of an incomplete last sequence.
            qsizetype end = bytes->size();
            qsizetype start = end;
            while (start > 0 && (uchar(bytes->at(start - 1)) & 0xC0) == 0x80 && end - start < 3)
                --start;
            if (start > 0) {
                const uchar lead = uchar(bytes->at(start - 1));
                const int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
                if (length > 1 && end - (start - 1) < length)
                    bytes->truncate(start - 1);
            }
        }
        return QString::fromUtf8(*bytes);
    }
    // The URLs of a URL list, in order, without comment lines; none when not read.
    std::optional<QList<QUrl>> urls() const {
        const std::optional<QByteArray> bytes = dataForType(PasteboardType::uriList);
        if (!bytes)
            return std::nullopt;
        QList<QUrl> list;
        for (const QByteArray& line : bytes->split('\n')) {
            const QByteArray trimmed = line.trimmed();
            if (!trimmed.isEmpty() && !trimmed.startsWith('#'))
                list << QUrl::fromEncoded(trimmed);
        }
        return list;
    }
    // Fails closed: a marker offered but not read in time counts as set.
    bool isMarkedSecret() const {
        return pasteboardMarksSecret(types,
                                     [this](const QString& type) { return dataForType(type); });
    }
};

// The system's general pasteboard (the clipboard). Main thread.
//
// Another application's content can take seconds to arrive or never come, so reading is
// asynchronous and bounded: readSnapshot() asks for the offered types and then the wanted
// data, on a thread or connection of the implementation's own, cuts every type at its byte
// limit (deciding before reading where the owner announces the size), gives up on the whole
// change after the request's timeout, and delivers what it got. An owner that does not
// answer costs one timeout per change and is not asked again until the content changes.
//
// The X11 implementation reads the CLIPBOARD selection on a connection of its own in a worker
// thread (ConvertSelection of TARGETS, then of each wanted type, INCR transfers included) and
// counts changes from XFixes selection-owner events. A Wayland data-control implementation
// fits the same shape: a selection event is a change; the offer's MIME types are the types;
// each wanted type is received through a pipe, read up to its limit before the deadline and
// closed.
class Pasteboard {
public:
    using SnapshotHandler = std::function<void(const PasteboardSnapshot&)>;

    virtual ~Pasteboard() = default;

    // Increases whenever any application, this one included, writes the pasteboard, and
    // when the content goes away with its owner. Cheap enough for a timer: reads no content.
    virtual qint64 changeCount() = 0;
    // Reads the current content once. done runs later on the main thread, exactly once,
    // unless the pasteboard is destroyed first; never from within this call. The snapshot
    // may belong to a newer change than the one that prompted the read: its changeCount says.
    // A change with nothing offered, or whose owner did not answer, gives a snapshot without
    // types or without data.
    virtual void readSnapshot(const PasteboardReadRequest& request, SnapshotHandler done) = 0;
    // Replaces the whole content with exactly these representations, as one change, counted
    // by the time this returns. Empty contents leave the pasteboard cleared.
    virtual void clearAndWrite(const PasteboardContents& contents) = 0;

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
        return {PasteboardType::plainText};
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
        if (!value || *value == "secret")
            return true;
    }
    if (types.contains(historyFlag)) {
        const std::optional<QByteArray> value = dataForType(historyFlag);
        if (!value || (value->size() == 4 && value->count('\0') == 4))
            return true;
    }
    return false;
}
