#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <utility>

class WaylandReconnection;

// What a data-control connection has been told about a seat's selection, apart from the wire.
// Offers are named by an opaque id; the types of an offer arrive before it becomes the
// selection.
class DataControlSelection {
public:
    using OfferId = quintptr;

    // Counting on from the count of an earlier connection's selection.
    explicit DataControlSelection(qint64 count = 0) : count_(count) {}

    // Bounds on what a client may announce: types beyond them are ignored.
    static constexpr int maxTypes = 128;
    static constexpr int maxTypeLength = 256;

    void offerAnnounced(OfferId offer);
    void offerType(OfferId offer, const QString& type);
    // The selection is now this offer, or cleared (0). Every call is one change. Returns the
    // offers no longer needed, for the caller to destroy.
    QList<OfferId> selectionChanged(OfferId offer);
    // An offer announced for another selection (the primary one): not followed. Returns the
    // offers to destroy.
    QList<OfferId> otherSelectionChanged(OfferId offer);

    qint64 changeCount() const { return count_; }
    OfferId current() const { return current_; }
    QStringList types() const { return offers_.value(current_); }

private:
    QHash<OfferId, QStringList> offers_;
    OfferId current_ = 0;
    qint64 count_ = 0;
};

// A clipboard manager's access to a Wayland seat's selection through the compositor's
// data-control protocol (ext-data-control-v1, else wlr-data-control-unstable-v1), on a
// connection of its own: it sees every copy of every client whichever window has the focus,
// and can set the selection without a surface. Main thread.
class WaylandDataControl : public QObject {
    Q_OBJECT
public:
    // Connects to $WAYLAND_DISPLAY; unavailable without a compositor offering the protocol. A
    // connection the compositor ends is made again (a change is counted then).
    explicit WaylandDataControl(QObject* parent = nullptr);
    ~WaylandDataControl() override;

    bool isAvailable() const;
    // The protocol in use ("ext-data-control-v1", "wlr-data-control-unstable-v1"), or empty.
    QString protocolName() const;

    // One step per change of the selection, this program's own included. Takes in the events
    // that have arrived, so a poller sees a change without waiting for the event loop.
    qint64 changeCount();
    QStringList types();
    // Asks the owner for the bytes of one offered type. They arrive on the returned read end of a
    // pipe (non-blocking, close-on-exec, the caller's to close), which ends when the owner has
    // sent them all; -1 when the type is not offered.
    int receive(const QString& type);
    // Makes these representations (type, bytes) the selection, served from memory for as long as
    // it lasts; empty clears it. The change is counted when this returns.
    bool setSelection(const QList<std::pair<QString, QByteArray>>& representations);

Q_SIGNALS:
    // Queued: never from inside a read.
    void selectionChanged();

private:
    class Private;
    bool reconnect();

    std::unique_ptr<Private> d;
    std::unique_ptr<WaylandReconnection> reconnection_;
};
