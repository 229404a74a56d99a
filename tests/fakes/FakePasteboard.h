#pragma once

#include "platform/Pasteboard.h"

#include <QCoreApplication>
#include <QHash>
#include <functional>
#include <memory>

// A pasteboard the test writes to as "another application", counting what the program reads
// and recording what it writes. Snapshots arrive later on the main thread, as from a real
// reader; the limits of the request are applied as a real reader applies them.
class FakePasteboard : public Pasteboard {
public:
    qint64 count = 0;
    QStringList offered;
    QHash<QString, QByteArray> bytes; // plain text as UTF-8

    int contentReads = 0;               // snapshots asked for
    QList<PasteboardContents> writes;   // the program's own writes
    std::function<void()> whileReading; // runs when a read starts, as a slow read would

    ~FakePasteboard() override { *alive_ = false; }

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
    qint64 changeCount() override { return count; }
    void readSnapshot(const PasteboardReadRequest& request, SnapshotHandler done) override {
        ++contentReads;
        if (whileReading)
            whileReading();
        PasteboardSnapshot snapshot;
        snapshot.changeCount = count;
        snapshot.types = offered;
        for (const PasteboardWant& want : request.wanted) {
            if (!offered.contains(want.type) || !bytes.contains(want.type))
                continue;
            QByteArray data = bytes.value(want.type);
            if (data.size() > want.maxBytes) {
                snapshot.offeredSizes.insert(want.type, data.size()); // as X11 owners do
                data.truncate(want.maxBytes);
                snapshot.truncated.insert(want.type);
            }
            snapshot.data.insert(want.type, data);
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [alive = alive_, done = std::move(done), snapshot] {
                if (*alive)
                    done(snapshot);
            },
            Qt::QueuedConnection);
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
        if (contents.text) {
            offered << PasteboardType::plainText;
            bytes.insert(PasteboardType::plainText, contents.text->toUtf8());
        }
        if (!contents.urls.isEmpty()) {
            offered << PasteboardType::uriList;
            QByteArray list;
            for (const QUrl& url : contents.urls)
                list += url.toEncoded() + "\r\n";
            bytes.insert(PasteboardType::uriList, list);
        }
        for (const auto& [type, data] : contents.data) {
            offered << type;
            bytes.insert(type, data);
        }
    }

    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
