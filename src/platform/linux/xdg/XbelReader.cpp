#include "platform/linux/xdg/XbelReader.h"

#include <QByteArrayView>
#include <QDir>
#include <QFile>
#include <QHash>

#include <cstring>
#include <limits>

#include <glib.h>

namespace {

constexpr qint64 noDate = std::numeric_limits<qint64>::min();

// Milliseconds since the epoch, or noDate.
qint64 toMSecs(GDateTime* date) {
    if (!date)
        return noDate;
    return g_date_time_to_unix(date) * 1000 + g_date_time_get_microsecond(date) / 1000;
}

bool needsCleaning(const QString& path) {
    return path.contains(QLatin1String("//")) || path.contains(QLatin1String("/./")) ||
           path.contains(QLatin1String("/../")) || path.endsWith(u'/') ||
           path.endsWith(QLatin1String("/.")) || path.endsWith(QLatin1String("/.."));
}

// Milliseconds since the epoch of an ISO 8601 date, noDate for none; false for one GLib's own
// reader would refuse (such an entry is dropped, as GLib drops it).
bool parseDate(const gchar* text, qint64& msecs) {
    msecs = noDate;
    if (!text)
        return true;
    GDateTime* date = g_date_time_new_from_iso8601(text, nullptr);
    if (!date)
        return false;
    msecs = toMSecs(date);
    g_date_time_unref(date);
    return true;
}

// Reads the entries straight from the markup: GLib's bookmark reader would build a tree of
// every attribute, group and application only for us to copy four dates out of it. Entries are
// judged one by one: a missing href or a date GLib refuses drops that entry alone. Entries
// naming the same path are merged. Dates from the moment the parse began on count as unknown
// (GLib writes "now" for missing ones): a file with no dates must not look freshly used.
class MarkupCollector {
public:
    MarkupCollector(qint64 parseStart, QList<RecentlyUsedEntry>& entries,
                    QHash<QString, qsizetype>& indexOfPath,
                    QByteArray applicationTag = "bookmark:application")
        : parseStart_(parseStart), entries_(entries), indexOfPath_(indexOfPath),
          applicationTag_(std::move(applicationTag)) {}

    // False when the markup is not well formed; the entries before the fault are kept.
    bool parse(QByteArrayView data) {
        static const GMarkupParser parser{&MarkupCollector::startElement,
                                          &MarkupCollector::endElement, nullptr, nullptr, nullptr};
        GMarkupParseContext* context =
            g_markup_parse_context_new(&parser, GMarkupParseFlags(0), this, nullptr);
        const bool ok =
            g_markup_parse_context_parse(context, data.data(), gssize(data.size()), nullptr) &&
            g_markup_parse_context_end_parse(context, nullptr);
        g_markup_parse_context_free(context);
        return ok;
    }

    // The name the file gave the desktop-bookmarks application element.
    const QByteArray& applicationTag() const { return applicationTag_; }

private:
    static const gchar* attribute(const gchar** names, const gchar** values, const char* name) {
        for (; *names; ++names, ++values) {
            if (std::strcmp(*names, name) == 0)
                return *values;
        }
        return nullptr;
    }

    void consider(qint64 date) {
        if (date != noDate && date < parseStart_ && date > lastUsed_)
            lastUsed_ = date;
    }

    void considerText(const gchar* text) {
        qint64 date = noDate;
        if (!parseDate(text, date))
            valid_ = false;
        consider(date);
    }

    static void startElement(GMarkupParseContext*, const gchar* element, const gchar** names,
                             const gchar** values, gpointer self, GError** error) {
        auto* collector = static_cast<MarkupCollector*>(self);
        // GLib's parser keeps every open element, and its allocator keeps that memory after the
        // parse: a file of elements never closed would cost gigabytes. Stopped at the first
        // element deeper than any real file has.
        if (++collector->nesting_ > maxNesting) {
            g_set_error_literal(error, G_MARKUP_ERROR, G_MARKUP_ERROR_INVALID_CONTENT,
                                "nested too deep");
            return;
        }
        collector->start(element, names, values);
    }

    static void endElement(GMarkupParseContext*, const gchar* element, gpointer self, GError**) {
        auto* collector = static_cast<MarkupCollector*>(self);
        --collector->nesting_;
        if (collector->depth_ > 0 && --collector->depth_ == 0)
            collector->finish();
        Q_UNUSED(element);
    }

    void start(const gchar* element, const gchar** names, const gchar** values) {
        if (depth_ > 0) {
            ++depth_;
            if (element == applicationTag_)
                startApplication(names, values);
            return;
        }
        if (std::strcmp(element, "xbel") == 0) {
            // The application element's prefix is whatever the file declared for the
            // desktop-bookmarks namespace.
            for (const gchar **n = names, **v = values; *n; ++n, ++v) {
                if (std::strncmp(*n, "xmlns:", 6) == 0 &&
                    std::strcmp(*v, "http://www.freedesktop.org/standards/desktop-bookmarks") == 0)
                    applicationTag_ = QByteArray(*n + 6) + ":application";
            }
            return;
        }
        if (std::strcmp(element, "bookmark") != 0)
            return;
        depth_ = 1;
        lastUsed_ = noDate;
        const gchar* href = attribute(names, values, "href");
        valid_ = href != nullptr;
        href_ = href ? href : "";
        considerText(attribute(names, values, "added"));
        considerText(attribute(names, values, "modified"));
        considerText(attribute(names, values, "visited"));
    }

    void startApplication(const gchar** names, const gchar** values) {
        if (!attribute(names, values, "name") || !attribute(names, values, "exec")) {
            valid_ = false;
            return;
        }
        if (const gchar* stamp = attribute(names, values, "timestamp")) {
            // Seconds since the epoch; one no clock can reach says nothing.
            bool ok = false;
            const qint64 seconds = QByteArray(stamp).toLongLong(&ok);
            constexpr qint64 reach = qint64(1) << 40;
            if (ok && seconds > -reach && seconds < reach)
                consider(seconds * 1000);
        } else
            considerText(attribute(names, values, "modified"));
    }

    void finish() {
        if (!valid_ || lastUsed_ == noDate)
            return;
        gchar* hostname = nullptr;
        gchar* filename = g_filename_from_uri(href_.constData(), &hostname, nullptr);
        const bool local =
            filename && (!hostname || g_ascii_strcasecmp(hostname, "localhost") == 0);
        QString path = local ? QFile::decodeName(filename) : QString();
        g_free(filename);
        g_free(hostname);
        if (needsCleaning(path))
            path = QDir::cleanPath(path);
        if (path.isEmpty() || !path.startsWith(u'/'))
            return;
        auto it = indexOfPath_.constFind(path);
        if (it == indexOfPath_.constEnd()) {
            indexOfPath_.insert(path, entries_.size());
            entries_.append({path, QDateTime::fromMSecsSinceEpoch(lastUsed_, Qt::UTC)});
        } else if (entries_[*it].lastUsed.toMSecsSinceEpoch() < lastUsed_) {
            entries_[*it].lastUsed = QDateTime::fromMSecsSinceEpoch(lastUsed_, Qt::UTC);
        }
    }

    // GLib writes six levels: xbel, bookmark, info, metadata, applications, application.
    static constexpr int maxNesting = 16;

    const qint64 parseStart_;
    QList<RecentlyUsedEntry>& entries_;
    QHash<QString, qsizetype>& indexOfPath_;
    QByteArray applicationTag_;
    int nesting_ = 0;
    int depth_ = 0; // inside a bookmark element: its nesting depth
    QByteArray href_;
    qint64 lastUsed_ = noDate;
    bool valid_ = false;
};

bool isTagBoundary(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '/' || c == '>';
}

// The next "<bookmark" start tag at or after from (not "<bookmark:application"), or -1.
qsizetype nextBookmarkStart(QByteArrayView data, qsizetype from) {
    static constexpr QByteArrayView tag("<bookmark");
    while (from < data.size()) {
        const qsizetype at = data.indexOf(tag, from);
        if (at < 0 || at + tag.size() >= data.size())
            return -1;
        if (isTagBoundary(data[at + tag.size()]))
            return at;
        from = at + tag.size();
    }
    return -1;
}

// The application element's name as the root start tag declares it, read once: entries are
// salvaged inside a bare root, so that a huge root tag is not parsed again for each of them.
QByteArray applicationTagOf(QByteArrayView data, qsizetype firstBookmark) {
    QList<RecentlyUsedEntry> none;
    QHash<QString, qsizetype> noIndex;
    MarkupCollector collector(0, none, noIndex);
    const QByteArrayView head = data.first(firstBookmark);
    const qsizetype start = head.indexOf(QByteArrayView("<xbel"));
    if (start >= 0) {
        const qsizetype end = head.indexOf('>', start);
        if (end > start && head[end - 1] != '/')
            collector.parse(head.sliced(start, end - start + 1).toByteArray() + "</xbel>");
    }
    return collector.applicationTag();
}

// Parses every <bookmark> element on its own, so that one broken entry (a bad date, a
// missing attribute, a cut-off end) costs only itself. Each step only moves forward, so a
// hostile file costs time in proportion to its size.
void salvageEntries(QByteArrayView data, qint64 parseStart, QList<RecentlyUsedEntry>& entries,
                    QHash<QString, qsizetype>& indexOfPath) {
    static constexpr QByteArrayView endTag("</bookmark>");
    qsizetype pos = nextBookmarkStart(data, 0);
    if (pos < 0)
        return;
    const QByteArray applicationTag = applicationTagOf(data, pos);
    static constexpr QByteArrayView prefix("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xbel>");
    static constexpr QByteArrayView suffix("</xbel>");
    QByteArray wrapped;
    while (pos >= 0) {
        const qsizetype start = pos;
        // End of the start tag: the first '>' outside quoted attribute values.
        qsizetype i = start + 1;
        char quote = 0;
        for (; i < data.size(); ++i) {
            const char c = data[i];
            if (quote) {
                if (c == quote)
                    quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                break;
            }
        }
        if (i >= data.size())
            return;
        const qsizetype next = nextBookmarkStart(data, i + 1);
        qsizetype end = -1;
        if (data[i - 1] == '/') {
            end = i + 1;
        } else {
            const qsizetype limit = next < 0 ? data.size() : next;
            const qsizetype close = data.sliced(i + 1, limit - i - 1).indexOf(endTag);
            if (close >= 0)
                end = i + 1 + close + endTag.size();
        }
        if (end > 0) {
            wrapped = prefix.toByteArray();
            wrapped += data.sliced(start, end - start);
            wrapped += suffix;
            MarkupCollector(parseStart, entries, indexOfPath, applicationTag).parse(wrapped);
        }
        pos = next;
    }
}

} // namespace

QList<RecentlyUsedEntry> parseRecentlyUsedFile(const QByteArray& data) {
    QList<RecentlyUsedEntry> entries;
    if (data.isEmpty())
        return entries;
    QHash<QString, qsizetype> indexOfPath;
    const qint64 parseStart = QDateTime::currentMSecsSinceEpoch();
    if (!MarkupCollector(parseStart, entries, indexOfPath).parse(data)) {
        // Not well formed: start again entry by entry, so the fault costs only its entry.
        entries.clear();
        indexOfPath.clear();
        salvageEntries(data, parseStart, entries, indexOfPath);
    }
    return entries;
}
