#include "platform/linux/x11/X11ClipboardReader.h"

#include "platform/linux/x11/X11Connection.h"

#include <QDeadlineTimer>
#include <QSocketNotifier>
#include <algorithm>
#include <atomic>
#include <poll.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

namespace {

constexpr qsizetype kMaxTargets = 256;
// Real type names, parameters included, stay well below this; longer ones are left out.
constexpr qsizetype kMaxTypeNameLength = 1024;
// Names are remembered between reads; an owner offering new ones at each copy empties the store.
constexpr qsizetype kMaxRememberedNames = 4096;

// Targets of the selection protocol itself, not content.
bool isProtocolTarget(const QByteArray& name) {
    static const QByteArrayList names = {"TARGETS",        "MULTIPLE", "TIMESTAMP",
                                         "SAVE_TARGETS",   "DELETE",   "INSERT_SELECTION",
                                         "INSERT_PROPERTY"};
    return name.isEmpty() || names.contains(name);
}

// The X targets that carry plain text, best first; all are offered as "text/plain".
const QByteArrayList& textTargets() {
    static const QByteArrayList names = {"UTF8_STRING", "text/plain;charset=utf-8", "text/plain",
                                         "STRING", "TEXT"};
    return names;
}

} // namespace

// The reading itself; lives in the reader's thread and owns the connection.
class X11ClipboardWorker : public QObject {
    Q_OBJECT
public:
    X11ClipboardWorker(xcb_connection_t* connection, quint8 xfixesEvent)
        : connection_(connection), xfixesEvent_(xfixesEvent) {
        const xcb_setup_t* setup = xcb_get_setup(connection_);
        root_ = xcb_setup_roots_iterator(setup).data->root;
        clipboard_ = atom("CLIPBOARD");
        targets_ = atom("TARGETS");
        incr_ = atom("INCR");
        string_ = atom("STRING");
        property_ = atom("PELORA_CLIPBOARD");
        xcb_xfixes_select_selection_input(
            connection_, root_, clipboard_,
            XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
        xcb_flush(connection_);
    }
    ~X11ClipboardWorker() override { xcb_disconnect(connection_); }

    std::atomic<bool> stopping{false};

    // In the worker's thread, once: events are handled whenever the connection has some.
    void listen() {
        notifier_ =
            new QSocketNotifier(xcb_get_file_descriptor(connection_), QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] { drainEvents(); });
        drainEvents();
    }

    PasteboardSnapshot read(const PasteboardReadRequest& request, qint64 changeCount) {
        PasteboardSnapshot snapshot;
        snapshot.changeCount = changeCount;
        superseded_ = false;
        deadline_ = QDeadlineTimer(request.timeoutMs);
        newWindow();

        const Transfer targets = convert(targets_, 64 * 1024);
        if (!targets.ok || targets.bytes.size() % 4 != 0) {
            destroyWindow();
            return snapshot;
        }
        // The types offered, and the X target each is read through.
        QHash<QString, xcb_atom_t> sources;
        const auto* atoms = reinterpret_cast<const xcb_atom_t*>(targets.bytes.constData());
        // Real owners offer a few dozen; each name costs a round trip to the server.
        const qsizetype count = std::min<qsizetype>(targets.bytes.size() / 4, kMaxTargets);
        int textRank = textTargets().size();
        for (qsizetype i = 0; i < count; ++i) {
            const QByteArray name = atomName(atoms[i]);
            if (isProtocolTarget(name))
                continue;
            QString type = QString::fromUtf8(name);
            if (const int rank = int(textTargets().indexOf(name)); rank >= 0) {
                type = PasteboardType::plainText;
                if (rank > textRank)
                    continue;
                textRank = rank;
            }
            if (!snapshot.types.contains(type))
                snapshot.types << type;
            sources.insert(type, atoms[i]);
        }

        for (const PasteboardWant& want : request.wanted) {
            const auto source = sources.constFind(want.type);
            if (source == sources.constEnd() || snapshot.data.contains(want.type) ||
                snapshot.unanswered.contains(want.type))
                continue;
            Transfer transfer;
            if (!deadline_.hasExpired() && !superseded_)
                transfer = convert(*source, want.maxBytes);
            if (superseded_) {
                destroyWindow();
                PasteboardSnapshot stale;
                stale.changeCount = changeCount;
                return stale;
            }
            if (!transfer.ok) {
                snapshot.unanswered.insert(want.type);
                continue;
            }
            if (transfer.type == string_)
                transfer.bytes = QString::fromLatin1(transfer.bytes).toUtf8();
            snapshot.data.insert(want.type, transfer.bytes);
            if (transfer.truncated) {
                snapshot.truncated.insert(want.type);
                if (transfer.offeredSize > 0)
                    snapshot.offeredSizes.insert(want.type, transfer.offeredSize);
            }
        }
        destroyWindow();
        return snapshot;
    }

Q_SIGNALS:
    void ownerChanged(quint32 owner);

private:
    struct Transfer {
        bool ok = false;
        bool truncated = false;
        qint64 offeredSize = 0; // as the owner announced it; 0 when it did not
        xcb_atom_t type = XCB_ATOM_NONE;
        QByteArray bytes;
    };

    xcb_atom_t atom(const char* name) { return internAtom(connection_, name); }

    QByteArray atomName(xcb_atom_t atom) {
        if (const auto it = names_.constFind(atom); it != names_.constEnd())
            return *it;
        const auto reply = takeReply(
            xcb_get_atom_name_reply(connection_, xcb_get_atom_name(connection_, atom), nullptr));
        QByteArray name;
        if (reply && xcb_get_atom_name_name_length(reply.get()) <= kMaxTypeNameLength)
            name = QByteArray(xcb_get_atom_name_name(reply.get()),
                              xcb_get_atom_name_name_length(reply.get()));
        if (names_.size() >= kMaxRememberedNames)
            names_.clear();
        names_.insert(atom, name);
        return name;
    }

    // A fresh requestor window per read, and after an abandoned transfer: whatever the owner
    // still sends to an old one is never mistaken for an answer.
    void newWindow() {
        destroyWindow();
        window_ = xcb_generate_id(connection_);
        const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, root_, -1, -1, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                          &mask);
        xcb_flush(connection_);
    }
    void destroyWindow() {
        if (window_ == XCB_WINDOW_NONE)
            return;
        xcb_destroy_window(connection_, window_);
        xcb_flush(connection_);
        window_ = XCB_WINDOW_NONE;
    }

    bool isOwnerChange(const xcb_generic_event_t* event) const {
        return (event->response_type & 0x7f) == xfixesEvent_ + XCB_XFIXES_SELECTION_NOTIFY;
    }
    void noteOwnerChange(const xcb_generic_event_t* event) {
        const auto* notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(event);
        if (notify->selection != clipboard_)
            return;
        superseded_ = true;
        Q_EMIT ownerChanged(notify->owner);
    }

    void drainEvents() {
        if (xcb_connection_has_error(connection_)) {
            notifier_->setEnabled(false); // the display went away; nothing more will come
            return;
        }
        while (const auto event = takeReply(xcb_poll_for_event(connection_))) {
            if (isOwnerChange(event.get()))
                noteOwnerChange(event.get());
        }
    }

    // The next event that matches, before the deadline; owner changes are noted on the way
    // and end the wait.
    template <class Match> XcbReply<xcb_generic_event_t> waitFor(Match&& match) {
        while (!superseded_ && !stopping) {
            while (xcb_generic_event_t* raw = xcb_poll_for_event(connection_)) {
                auto event = takeReply(raw);
                if (isOwnerChange(raw)) {
                    noteOwnerChange(raw);
                    if (superseded_)
                        return {};
                } else if (match(raw)) {
                    return event;
                }
            }
            if (xcb_connection_has_error(connection_) || deadline_.hasExpired())
                return {};
            // Short slices, so a reader being destroyed does not wait out a stuck owner.
            pollfd pfd{xcb_get_file_descriptor(connection_), POLLIN, 0};
            ::poll(&pfd, 1, int(std::min<qint64>(deadline_.remainingTime(), 100)));
        }
        return {};
    }

    XcbReply<xcb_get_property_reply_t> getProperty(bool remove, uint32_t longLength) {
        return takeReply(
            xcb_get_property_reply(connection_,
                                   xcb_get_property(connection_, remove, window_, property_,
                                                    XCB_GET_PROPERTY_TYPE_ANY, 0, longLength),
                                   nullptr));
    }

    // Asks the owner for one target and receives it, at most maxBytes of it.
    Transfer convert(xcb_atom_t target, qint64 maxBytes) {
        Transfer transfer;
        xcb_convert_selection(connection_, window_, clipboard_, target, property_,
                              XCB_CURRENT_TIME);
        xcb_flush(connection_);
        const xcb_window_t window = window_;
        XcbReply<xcb_generic_event_t> answer = waitFor([&](const xcb_generic_event_t* e) {
            if ((e->response_type & 0x7f) != XCB_SELECTION_NOTIFY)
                return false;
            const auto* n = reinterpret_cast<const xcb_selection_notify_event_t*>(e);
            return n->requestor == window && n->selection == clipboard_ && n->target == target;
        });
        if (!answer || reinterpret_cast<xcb_selection_notify_event_t*>(answer.get())->property ==
                           XCB_ATOM_NONE)
            return transfer;

        // The size first (and INCR's announced size): what is beyond the limit is never
        // fetched.
        XcbReply<xcb_get_property_reply_t> head = getProperty(false, 1);
        if (!head)
            return transfer;
        transfer.type = head->type;
        const int headLength = xcb_get_property_value_length(head.get());
        if (head->type != incr_) {
            const qint64 size = qint64(head->bytes_after) + headLength;
            transfer.offeredSize = size;
            const qint64 wanted = std::min(size, maxBytes);
            XcbReply<xcb_get_property_reply_t> body =
                getProperty(false, uint32_t((wanted + 3) / 4));
            xcb_delete_property(connection_, window_, property_);
            xcb_flush(connection_);
            if (!body)
                return transfer;
            const int length = xcb_get_property_value_length(body.get());
            transfer.bytes =
                QByteArray(static_cast<const char*>(xcb_get_property_value(body.get())),
                           std::min<qint64>(length, wanted));
            transfer.truncated = size > maxBytes;
            transfer.ok = true;
            return transfer;
        }

        // INCR: the owner sends chunks, each after we delete the last one. It announced at
        // least this many bytes.
        if (head->format == 32 && headLength >= 4)
            transfer.offeredSize =
                *static_cast<const uint32_t*>(xcb_get_property_value(head.get()));
        xcb_delete_property(connection_, window_, property_);
        xcb_flush(connection_);
        for (;;) {
            XcbReply<xcb_generic_event_t> chunk = waitFor([&](const xcb_generic_event_t* e) {
                if ((e->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
                    return false;
                const auto* n = reinterpret_cast<const xcb_property_notify_event_t*>(e);
                return n->window == window && n->atom == property_ &&
                       n->state == XCB_PROPERTY_NEW_VALUE;
            });
            if (!chunk)
                return transfer;
            XcbReply<xcb_get_property_reply_t> body = getProperty(true, UINT32_MAX / 4);
            xcb_flush(connection_);
            if (!body)
                return transfer;
            transfer.type = body->type;
            const int length = xcb_get_property_value_length(body.get());
            if (length == 0) {
                transfer.ok = true;
                return transfer;
            }
            const qint64 room = maxBytes - transfer.bytes.size();
            transfer.bytes.append(static_cast<const char*>(xcb_get_property_value(body.get())),
                                  qsizetype(std::min<qint64>(length, room)));
            if (length > room) {
                // Enough: the rest is left unread, and the window that would receive it goes.
                newWindow();
                transfer.truncated = true;
                transfer.ok = true;
                return transfer;
            }
        }
    }

    xcb_connection_t* connection_;
    quint8 xfixesEvent_;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    xcb_window_t window_ = XCB_WINDOW_NONE;
    xcb_atom_t clipboard_ = XCB_ATOM_NONE, targets_ = XCB_ATOM_NONE, incr_ = XCB_ATOM_NONE,
               string_ = XCB_ATOM_NONE, property_ = XCB_ATOM_NONE;
    QHash<xcb_atom_t, QByteArray> names_;
    QSocketNotifier* notifier_ = nullptr;
    QDeadlineTimer deadline_;
    bool superseded_ = false;
};

X11ClipboardReader::X11ClipboardReader() {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return;
    }
    const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(connection, &xcb_xfixes_id);
    XcbReply<xcb_xfixes_query_version_reply_t> version;
    if (xfixes && xfixes->present)
        version = takeReply(xcb_xfixes_query_version_reply(
            connection, xcb_xfixes_query_version(connection, 5, 0), nullptr));
    if (!version) {
        xcb_disconnect(connection);
        return;
    }
    worker_ = new X11ClipboardWorker(connection, xfixes->first_event);
    worker_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
    connect(worker_, &X11ClipboardWorker::ownerChanged, this, &X11ClipboardReader::ownerChanged);
    thread_.setObjectName(QStringLiteral("X11ClipboardReader"));
    thread_.start();
    QMetaObject::invokeMethod(
        worker_, [worker = worker_] { worker->listen(); }, Qt::QueuedConnection);
}

X11ClipboardReader::~X11ClipboardReader() {
    if (!worker_)
        return;
    worker_->stopping = true;
    thread_.quit();
    thread_.wait();
}

void X11ClipboardReader::read(const PasteboardReadRequest& request, qint64 changeCount,
                              Pasteboard::SnapshotHandler done) {
    const quint64 token = nextToken_++;
    handlers_.insert(token, std::move(done));
    if (!worker_) {
        // Without a connection nothing can be read; the answer still comes, and empty.
        PasteboardSnapshot nothing;
        nothing.changeCount = changeCount;
        QMetaObject::invokeMethod(
            this, [this, token, nothing] { deliver(token, nothing); }, Qt::QueuedConnection);
        return;
    }
    // The reader outlives its thread (the destructor joins it), so the worker may post to it;
    // an answer still queued when the reader goes is dropped with it.
    QMetaObject::invokeMethod(
        worker_,
        [reader = this, worker = worker_, request, changeCount, token] {
            const PasteboardSnapshot snapshot = worker->read(request, changeCount);
            QMetaObject::invokeMethod(
                reader, [reader, token, snapshot] { reader->deliver(token, snapshot); },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void X11ClipboardReader::deliver(quint64 token, const PasteboardSnapshot& snapshot) {
    Pasteboard::SnapshotHandler done = handlers_.take(token);
    if (done)
        done(snapshot);
}

#include "X11ClipboardReader.moc"
