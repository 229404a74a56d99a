#pragma once

#include "platform/Pasteboard.h"

#include <QHash>
#include <functional>

// A pasteboard the test writes to as "another application", counting what the program reads
// and recording what it writes.
class FakePasteboard : public Pasteboard {
public:
    qint64 count = 0;
    QStringList offered;
    QHash<QString, QByteArray> bytes;
    std::optional<QString> text;
    std::optional<QList<QUrl>> urlList;

    int changeCountCalls = 0;
    int contentReads = 0;
    QList<PasteboardContents> writes;   // the program's own writes
    std::function<void()> whileReading; // runs when the types are read, as a slow read would

    // Another program replaces the content. Types follow the representations given, in the
    // order text, URLs, data; extra types (markers, pseudo-formats) come last.
    void copy(const PasteboardContents& contents, const QStringList& extraTypes = {}) {
        put(contents);
        offered << extraTypes;
        ++count;
    }
    void copyText(const QString& s) { copy({s, {}, {}}); }
    void copyData(const QString& type, const QByteArray& data) {
        copy({std::nullopt, {}, {{type, data}}});
    }
    // The owner went away: the content is gone, which is a change too.
    void ownerQuit() {
        put({});
        ++count;
    }

    qint64 changeCount() override {
        ++changeCountCalls;
        return count;
    }
    QStringList types() override {
        ++contentReads;
        if (whileReading)
            whileReading();
        return offered;
    }
    std::optional<QByteArray> dataForType(const QString& type) override {
        ++contentReads;
        if (!bytes.contains(type))
            return std::nullopt;
        return bytes.value(type);
    }
    std::optional<QString> string() override {
        ++contentReads;
        return text;
    }
    std::optional<QList<QUrl>> urls() override {
        ++contentReads;
        return urlList;
    }
    void clearAndWrite(const PasteboardContents& contents) override {
        writes << contents;
        put(contents);
        ++count;
    }

private:
    void put(const PasteboardContents& contents) {
        offered.clear();
        bytes.clear();
        text = contents.text;
        urlList.reset();
        if (contents.text)
            offered << PasteboardType::plainText;
        if (!contents.urls.isEmpty()) {
            offered << PasteboardType::uriList;
            urlList = contents.urls;
        }
        for (const auto& [type, data] : contents.data) {
            offered << type;
            bytes.insert(type, data);
        }
    }
};
