#pragma once

#include "platform/Pasteboard.h"

#include <QHash>
#include <memory>

class WaylandDataControl;

// The representations a write offers through the data-control protocol: text under every
// name text readers ask for, URL lists also in GNOME's file-copy form.
QList<std::pair<QString, QByteArray>>
dataControlRepresentations(const PasteboardContents& contents);

// The pasteboard over a Wayland compositor's data-control protocol. Every read is bounded in
// time and size, and made at most once per change. Main thread.
class WaylandPasteboard : public Pasteboard {
public:
    explicit WaylandPasteboard(std::shared_ptr<WaylandDataControl> control);
    ~WaylandPasteboard() override;

    qint64 changeCount() override;
    QStringList types() override;
    std::optional<QByteArray> dataForType(const QString& type) override;
    std::optional<QString> string() override;
    std::optional<QList<QUrl>> urls() override;
    void clearAndWrite(const PasteboardContents& contents) override;

private:
    void startOver();

    std::shared_ptr<WaylandDataControl> control_;
    qint64 count_ = -1;
    std::optional<QStringList> types_;
    QHash<QString, std::optional<QByteArray>> data_;
};
