#pragma once

#include "platform/Pasteboard.h"

#include <QObject>
#include <memory>

class WaylandDataControl;

// The representations a write offers through the data-control protocol: text under every
// name text readers ask for, URL lists also in GNOME's file-copy form.
QList<std::pair<QString, QByteArray>>
dataControlRepresentations(const PasteboardContents& contents);

// The names plain text is offered under (as "text/plain" in a snapshot), best first for reading.
const QStringList& dataControlTextTypes();

// The pasteboard over a Wayland compositor's data-control protocol. Each wanted type is read
// through a pipe watched by the event loop, cut at its limit, all within the request's time.
// Main thread.
class WaylandPasteboard : public QObject, public Pasteboard {
    Q_OBJECT
public:
    explicit WaylandPasteboard(std::shared_ptr<WaylandDataControl> control);
    ~WaylandPasteboard() override;

    qint64 changeCount() override;
    void readSnapshot(const PasteboardReadRequest& request, SnapshotHandler done) override;
    void clearAndWrite(const PasteboardContents& contents) override;

private:
    std::shared_ptr<WaylandDataControl> control_;
};
