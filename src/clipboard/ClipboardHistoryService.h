#pragma once

#include "clipboard/ClipboardItem.h"
#include "platform/RunningApplications.h"

#include <QDeadlineTimer>
#include <QList>
#include <QObject>
#include <QThreadPool>
#include <QTimer>
#include <deque>
#include <memory>

class Pasteboard;
class RunningApplications;
class Workspace;
struct PasteboardReadRequest;
struct PasteboardSnapshot;

// The last twenty distinct things copied, newest first, each with the application that was
// in front when the copy was noticed. Watches the pasteboard once a second; in memory only.
// Main thread; the content of a change arrives later, read off the main thread, and pictures
// are decoded on a worker of the service's own. Items enter in the order of the copies.
class ClipboardHistoryService : public QObject {
    Q_OBJECT
public:
    static constexpr int maxItems = 20;
    static constexpr double pollInterval = 1.0; // seconds

    // What is read of a copy at most. Longer text is kept cut: a megabyte is some 300 pages,
    // more than anyone pastes from a menu, and twenty of them stay small. Rich text carries
    // its pictures, so it gets more room; cut RTF does not parse and falls back to the text.
    // Pictures: a 4K screenshot is about 10 MB of PNG; a cut picture is not kept.
    static constexpr qint64 maxTextBytes = 1 << 20;
    static constexpr qint64 maxRichTextBytes = 8 << 20;
    static constexpr qint64 maxFileListBytes = 1 << 20;
    static constexpr qint64 maxImageBytes = 32 << 20;

    // Takes the pasteboard's current change count: what is there now is never captured.
    explicit ClipboardHistoryService(RunningApplications& runningApplications, Workspace& workspace,
                                     Pasteboard& pasteboard);
    ~ClipboardHistoryService() override;

    // Starts the once-a-second check; later calls do nothing. There is no stop.
    void start();
    bool isStarted() const { return timer_ != nullptr; }

    // One tick: nothing but a change-count read unless the pasteboard changed; then one read
    // of the content is started, unless one is still on its way.
    void checkPasteboard();
    // Whether a read or a capture has yet to end in the history.
    bool isCapturing() const { return reading_ || !pending_.empty(); }
    // What is asked of the pasteboard for one change.
    static PasteboardReadRequest readRequest();

    // The history, newest first. The clipboard menu reads it, pastes by index into it, and
    // clears it by assigning an empty list.
    const QList<ClipboardItem>& items() const { return items_; }
    // Copies still being read or decoded belong to the list replaced and never enter it.
    void setItems(QList<ClipboardItem> items);

    qint64 lastChangeCount() const { return lastChangeCount_; }

    // Puts the item back on the pasteboard, without creating an entry or moving it.
    void paste(const ClipboardItem& item);

    // The one-line title the clipboard menu shows for an item.
    QString displayTitle(const ClipboardItem& item) const;

    // Decides when two items are the same copy.
    static QString contentKey(const ClipboardItem& item);

Q_SIGNALS:
    // A capture ended: with an item in the history, or with none.
    void captureFinished();

private:
    // A change being captured: its source and date are those when it was noticed.
    struct Pending {
        quint64 sequence = 0;
        std::optional<RunningApplication> app;
        QDateTime date;
        bool done = false;
        std::optional<ClipboardContentKind> content;
    };

    void snapshotArrived(quint64 sequence, const PasteboardSnapshot& snapshot);
    void capture(Pending& pending, const PasteboardSnapshot& snapshot);
    void finish(quint64 sequence, std::optional<ClipboardContentKind> content);
    void insert(ClipboardItem item);
    qsizetype pictureCount() const;
    // Pictures are megabytes each: once some leave, the memory they held goes back to the
    // system instead of staying in the allocator's pools of the threads that made them.
    void returnFreedMemorySoon();
    // Clipboard managers (mutter's among them) take over a copy whose owner quit, keeping its
    // text or picture but not the marker that made it a secret: such a copy is known by the
    // bytes a secret held, of which only salted digests are kept. A secret whose owner quit
    // before its content could be read leaves no bytes to know: a copy that follows within
    // seconds offering nothing the secret did not is taken for its takeover.
    QByteArray secretDigest(const QByteArray& bytes) const;
    void rememberSecret(const PasteboardSnapshot& snapshot);
    bool repeatsSecret(const PasteboardSnapshot& snapshot);

    RunningApplications& runningApplications_;
    Workspace& workspace_;
    Pasteboard& pasteboard_;
    std::unique_ptr<QTimer> timer_;
    qint64 lastChangeCount_ = 0;
    QList<ClipboardItem> items_;
    bool reading_ = false;
    quint64 nextSequence_ = 0;
    std::deque<Pending> pending_; // oldest first
    QByteArray secretSalt_;
    std::deque<QByteArray> secretDigests_; // oldest first
    QStringList unreadSecretTypes_;
    QDeadlineTimer unreadSecretDeadline_;
    // Rich text and pictures are decoded here. One thread: a burst of copies never takes more
    // than one core. Not the global pool, which Qt's own image code uses.
    QThreadPool decoder_;
};

// The first line of a text, trimmed, cut to 60 user-perceived characters: longer lines
// keep 57 and end in "…". A text of blanks only shows them as marks (␣ ⇥ ↵).
QString clipboardPreviewText(const QString& text);
