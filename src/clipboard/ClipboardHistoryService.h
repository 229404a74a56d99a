#pragma once

#include "clipboard/ClipboardItem.h"
#include "platform/RunningApplications.h"

#include <QList>
#include <QObject>
#include <QTimer>
#include <memory>

class Services;
class Pasteboard;

// The last twenty distinct things copied, newest first, each with the application that was
// in front when the copy was noticed. Watches the pasteboard once a second; in memory only.
// Main thread.
class ClipboardHistoryService : public QObject {
    Q_OBJECT
public:
    static constexpr int maxItems = 20;
    static constexpr double pollInterval = 1.0; // seconds

    // Takes the pasteboard's current change count: what is there now is never captured.
    explicit ClipboardHistoryService(Services& services);
    ~ClipboardHistoryService() override;

    // Starts the once-a-second check; later calls do nothing. There is no stop.
    void start();
    bool isStarted() const { return timer_ != nullptr; }

    // One tick: nothing but a change-count read unless the pasteboard changed.
    void checkPasteboard();

    // The history, newest first. The clipboard menu reads it, pastes by index into it, and
    // clears it by assigning an empty list.
    const QList<ClipboardItem>& items() const { return items_; }
    void setItems(QList<ClipboardItem> items) { items_ = std::move(items); }

    qint64 lastChangeCount() const { return lastChangeCount_; }

    // Puts the item back on the pasteboard, without creating an entry or moving it.
    void paste(const ClipboardItem& item);

    // The one-line title the clipboard menu shows for an item.
    QString displayTitle(const ClipboardItem& item) const;

    // Decides when two items are the same copy.
    static QString contentKey(const ClipboardItem& item);

private:
    std::optional<ClipboardItem> captureItem(const std::optional<RunningApplication>& app);

    Services& services_;
    Pasteboard& pasteboard_;
    std::unique_ptr<QTimer> timer_;
    qint64 lastChangeCount_ = 0;
    QList<ClipboardItem> items_;
};

// The first line of a text, trimmed, cut to 60 user-perceived characters: longer lines
// keep 57 and end in "…".
QString clipboardPreviewText(const QString& text);
