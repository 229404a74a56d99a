#pragma once

#include "platform/Pasteboard.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointer>

class QClipboard;
struct xcb_connection_t;

// The pasteboard over QClipboard's clipboard mode.
//
// On X11 every read of another program's content is a round trip to that program and
// blocks the main thread for up to Qt's five-second timeout when it is stuck. So the count
// comes from Qt's change signal plus, under xcb, the selection owner asked of the X server
// (which never waits on the owner); the content of one change is fetched lazily, formats
// first, and at most once.
class QtPasteboard : public QObject, public Pasteboard {
    Q_OBJECT
public:
    // The application's clipboard unless another is given. Main thread.
    explicit QtPasteboard(QClipboard* clipboard = nullptr);
    ~QtPasteboard() override;

    qint64 changeCount() override;
    QStringList types() override;
    std::optional<QByteArray> dataForType(const QString& type) override;
    std::optional<QString> string() override;
    std::optional<QList<QUrl>> urls() override;
    void clearAndWrite(const PasteboardContents& contents) override;

    // How many times content (types or data) was asked of the clipboard's owner.
    int contentReads() const { return contentReads_; }
    // Whether changes are also noticed by asking the X server for the clipboard's owner.
    bool checksOwner() const { return connection_ != nullptr; }

private:
    void noteChange();
    void onDataChanged();
    void checkOwner();
    std::optional<quint32> selectionOwner() const;

    QPointer<QClipboard> clipboard_;
    qint64 count_ = 0;

    // What has been read of the current change.
    std::optional<QStringList> types_;
    QHash<QString, std::optional<QByteArray>> data_;
    std::optional<std::optional<QString>> text_;
    std::optional<std::optional<QList<QUrl>>> urls_;
    int contentReads_ = 0;

    // X11 owner check.
    xcb_connection_t* connection_ = nullptr;
    quint32 clipboardAtom_ = 0;
    quint32 lastOwner_ = 0;
    std::optional<quint32> unsignalledOwner_;
    QElapsedTimer unsignalledSince_;
};
