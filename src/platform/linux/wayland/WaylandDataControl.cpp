#include "platform/linux/wayland/WaylandDataControl.h"

#include "platform/linux/wayland/WaylandConnection.h"

#include "ext-data-control-v1-client.h"
#include "wlr-data-control-unstable-v1-client.h"

#include <QDeadlineTimer>
#include <wayland-client.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <thread>
#include <unistd.h>

// ---- DataControlSelection ----

void DataControlSelection::offerAnnounced(OfferId offer) {
    offers_.insert(offer, {});
}

void DataControlSelection::offerType(OfferId offer, const QString& type) {
    auto it = offers_.find(offer);
    if (it == offers_.end() || type.isEmpty() || type.size() > maxTypeLength ||
        it->size() >= maxTypes || it->contains(type))
        return;
    it->append(type);
}

QList<DataControlSelection::OfferId> DataControlSelection::selectionChanged(OfferId offer) {
    ++count_;
    QList<OfferId> unused;
    if (current_ && current_ != offer) {
        unused << current_;
        offers_.remove(current_);
    }
    // An offer that never became a selection (announced, then superseded) is dropped too.
    for (auto it = offers_.begin(); it != offers_.end();) {
        if (it.key() != offer) {
            unused << it.key();
            it = offers_.erase(it);
        } else {
            ++it;
        }
    }
    current_ = offers_.contains(offer) ? offer : 0;
    return unused;
}

QList<DataControlSelection::OfferId> DataControlSelection::otherSelectionChanged(OfferId offer) {
    if (!offer || offer == current_ || !offers_.remove(offer))
        return {};
    return {offer};
}

// ---- the wire ----

namespace {

// Both protocols carry the same messages in the same order; only the interface names differ.
struct DataControlInterfaces {
    const char* protocolName;
    const wl_interface* manager;
    const wl_interface* device;
    const wl_interface* source;
    const wl_interface* offer;
};
const DataControlInterfaces extInterfaces{
    "ext-data-control-v1", &ext_data_control_manager_v1_interface,
    &ext_data_control_device_v1_interface, &ext_data_control_source_v1_interface,
    &ext_data_control_offer_v1_interface};
const DataControlInterfaces wlrInterfaces{
    "wlr-data-control-unstable-v1", &zwlr_data_control_manager_v1_interface,
    &zwlr_data_control_device_v1_interface, &zwlr_data_control_source_v1_interface,
    &zwlr_data_control_offer_v1_interface};

static_assert(EXT_DATA_CONTROL_MANAGER_V1_CREATE_DATA_SOURCE ==
                  ZWLR_DATA_CONTROL_MANAGER_V1_CREATE_DATA_SOURCE &&
              EXT_DATA_CONTROL_MANAGER_V1_GET_DATA_DEVICE ==
                  ZWLR_DATA_CONTROL_MANAGER_V1_GET_DATA_DEVICE &&
              EXT_DATA_CONTROL_MANAGER_V1_DESTROY == ZWLR_DATA_CONTROL_MANAGER_V1_DESTROY &&
              EXT_DATA_CONTROL_DEVICE_V1_SET_SELECTION ==
                  ZWLR_DATA_CONTROL_DEVICE_V1_SET_SELECTION &&
              EXT_DATA_CONTROL_DEVICE_V1_DESTROY == ZWLR_DATA_CONTROL_DEVICE_V1_DESTROY &&
              EXT_DATA_CONTROL_SOURCE_V1_OFFER == ZWLR_DATA_CONTROL_SOURCE_V1_OFFER &&
              EXT_DATA_CONTROL_SOURCE_V1_DESTROY == ZWLR_DATA_CONTROL_SOURCE_V1_DESTROY &&
              EXT_DATA_CONTROL_OFFER_V1_RECEIVE == ZWLR_DATA_CONTROL_OFFER_V1_RECEIVE &&
              EXT_DATA_CONTROL_OFFER_V1_DESTROY == ZWLR_DATA_CONTROL_OFFER_V1_DESTROY);

// Event handlers in the protocols' event order, for either protocol's objects.
struct DeviceListener {
    void (*dataOffer)(void*, wl_proxy*, wl_proxy*);
    void (*selection)(void*, wl_proxy*, wl_proxy*);
    void (*finished)(void*, wl_proxy*);
    void (*primarySelection)(void*, wl_proxy*, wl_proxy*);
};
struct OfferListener {
    void (*offer)(void*, wl_proxy*, const char*);
};
struct SourceListener {
    void (*send)(void*, wl_proxy*, const char*, int32_t);
    void (*cancelled)(void*, wl_proxy*);
};

void destroyProxy(wl_proxy* proxy, uint32_t destructorOpcode) {
    if (proxy)
        wl_proxy_marshal_flags(proxy, destructorOpcode, nullptr, wl_proxy_get_version(proxy),
                               WL_MARSHAL_FLAG_DESTROY);
}

// Writes one representation to a reader, off the main thread: the reader may be slow, stuck or
// gone. Gives up after a while, and a reader that closes early only ends the write.
void serveInBackground(int fd, QByteArray bytes) {
    std::thread([fd, bytes = std::move(bytes)] {
        sigset_t pipeSignal;
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
        const QDeadlineTimer deadline(10000);
        qsizetype written = 0;
        while (written < bytes.size() && !deadline.hasExpired()) {
            pollfd p{fd, POLLOUT, 0};
            if (poll(&p, 1, int(deadline.remainingTime())) <= 0)
                break;
            const ssize_t n =
                ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            if (n <= 0)
                break;
            written += n;
        }
        ::close(fd);
        // A reader that went away left a SIGPIPE pending on this thread: take it.
        const timespec none{0, 0};
        sigtimedwait(&pipeSignal, nullptr, &none);
    }).detach();
}

} // namespace

class WaylandDataControl::Private {
public:
    Private(WaylandDataControl* owner, qint64 changeCount);
    ~Private();

    // 1 connected, 0 no data-control offered, -1 the connection broke on the way.
    int connect();
    void takeInEvents() { // without blocking
        if (alive())
            connection->dispatch();
    }
    bool alive() const { return connection && device && connection->alive(); }
    void forget(const QList<DataControlSelection::OfferId>& offers);
    void announceChange();

    static void onDataOffer(void* data, wl_proxy*, wl_proxy* offer);
    static void onSelection(void* data, wl_proxy*, wl_proxy* offer);
    static void onFinished(void* data, wl_proxy*);
    static void onPrimarySelection(void* data, wl_proxy*, wl_proxy* offer);
    static void onOfferType(void* data, wl_proxy* offer, const char* type);
    static void onSend(void* data, wl_proxy* source, const char* type, int32_t fd);
    static void onCancelled(void* data, wl_proxy* source);
    static const DeviceListener deviceListener;
    static const OfferListener offerListener;
    static const SourceListener sourceListener;

    WaylandDataControl* q;
    std::unique_ptr<WaylandConnection> connection;
    wl_proxy* manager = nullptr;
    wl_proxy* device = nullptr;
    const DataControlInterfaces* interfaces = nullptr;
    DataControlSelection selection;
    bool changeAnnounced = false;
    // The sources this program offers, with their representations.
    QHash<wl_proxy*, QList<std::pair<QString, QByteArray>>> sources;
};

const DeviceListener WaylandDataControl::Private::deviceListener{&onDataOffer, &onSelection,
                                                                 &onFinished, &onPrimarySelection};
const OfferListener WaylandDataControl::Private::offerListener{&onOfferType};
const SourceListener WaylandDataControl::Private::sourceListener{&onSend, &onCancelled};

namespace {
template <class Listener> void listen(wl_proxy* proxy, const Listener& listener, void* data) {
    wl_proxy_add_listener(
        proxy, reinterpret_cast<void (**)(void)>(const_cast<Listener*>(&listener)), data);
}
} // namespace

WaylandDataControl::Private::Private(WaylandDataControl* owner, qint64 changeCount)
    : q(owner), selection(changeCount) {}

WaylandDataControl::Private::~Private() {
    if (!connection)
        return;
    forget(selection.selectionChanged(0));
    for (auto it = sources.cbegin(); it != sources.cend(); ++it)
        destroyProxy(it.key(), EXT_DATA_CONTROL_SOURCE_V1_DESTROY);
    destroyProxy(device, EXT_DATA_CONTROL_DEVICE_V1_DESTROY);
    destroyProxy(manager, EXT_DATA_CONTROL_MANAGER_V1_DESTROY);
}

int WaylandDataControl::Private::connect() {
    connection = WaylandConnection::open();
    if (!connection || !connection->seat())
        return 0;
    WaylandConnection::Global global = connection->global(extInterfaces.manager->name);
    interfaces = &extInterfaces;
    if (!global.name) {
        global = connection->global(wlrInterfaces.manager->name);
        interfaces = &wlrInterfaces;
    }
    if (!global.name) {
        interfaces = nullptr;
        return 0;
    }
    // Version 1 has everything needed here, and no primary-selection offers to ignore.
    manager = static_cast<wl_proxy*>(connection->bind(global, interfaces->manager, 1));
    device = wl_proxy_marshal_flags(manager, EXT_DATA_CONTROL_MANAGER_V1_GET_DATA_DEVICE,
                                    interfaces->device, 1, 0, nullptr, connection->seat());
    if (!device)
        return 0;
    listen(device, deviceListener, this);
    if (!connection->roundtrip())
        return -1;
    connection->watch(q, [owner = q] { owner->reconnection_->lost(); });
    return 1;
}

void WaylandDataControl::Private::forget(const QList<DataControlSelection::OfferId>& offers) {
    for (DataControlSelection::OfferId offer : offers)
        destroyProxy(reinterpret_cast<wl_proxy*>(offer), EXT_DATA_CONTROL_OFFER_V1_DESTROY);
}

void WaylandDataControl::Private::announceChange() {
    if (changeAnnounced)
        return;
    changeAnnounced = true;
    QMetaObject::invokeMethod(
        q,
        [this] {
            changeAnnounced = false;
            Q_EMIT q->selectionChanged();
        },
        Qt::QueuedConnection);
}

void WaylandDataControl::Private::onDataOffer(void* data, wl_proxy*, wl_proxy* offer) {
    auto* self = static_cast<Private*>(data);
    if (!offer)
        return;
    self->selection.offerAnnounced(DataControlSelection::OfferId(offer));
    listen(offer, offerListener, self);
}

void WaylandDataControl::Private::onOfferType(void* data, wl_proxy* offer, const char* type) {
    static_cast<Private*>(data)->selection.offerType(DataControlSelection::OfferId(offer),
                                                     QString::fromUtf8(type));
}

void WaylandDataControl::Private::onSelection(void* data, wl_proxy*, wl_proxy* offer) {
    auto* self = static_cast<Private*>(data);
    self->forget(self->selection.selectionChanged(DataControlSelection::OfferId(offer)));
    self->announceChange();
}

void WaylandDataControl::Private::onPrimarySelection(void* data, wl_proxy*, wl_proxy* offer) {
    auto* self = static_cast<Private*>(data);
    self->forget(self->selection.otherSelectionChanged(DataControlSelection::OfferId(offer)));
}

void WaylandDataControl::Private::onFinished(void* data, wl_proxy*) {
    // The seat is gone; the device is inert.
    auto* self = static_cast<Private*>(data);
    self->forget(self->selection.selectionChanged(0));
    destroyProxy(self->device, EXT_DATA_CONTROL_DEVICE_V1_DESTROY);
    self->device = nullptr;
    self->announceChange();
}

void WaylandDataControl::Private::onSend(void* data, wl_proxy* source, const char* type,
                                         int32_t fd) {
    auto* self = static_cast<Private*>(data);
    const QString wanted = QString::fromUtf8(type);
    for (const auto& [name, bytes] : self->sources.value(source)) {
        if (name == wanted) {
            serveInBackground(fd, bytes);
            return;
        }
    }
    ::close(fd);
}

void WaylandDataControl::Private::onCancelled(void* data, wl_proxy* source) {
    auto* self = static_cast<Private*>(data);
    self->sources.remove(source);
    destroyProxy(source, EXT_DATA_CONTROL_SOURCE_V1_DESTROY);
}

// ---- WaylandDataControl ----

WaylandDataControl::WaylandDataControl(QObject* parent)
    : QObject(parent), d(std::make_unique<Private>(this, 0)),
      reconnection_(std::make_unique<WaylandReconnection>([this] { return reconnect(); })) {
    if (const int connected = d->connect(); connected < 0)
        reconnection_->lost();
    else if (connected == 0)
        d = std::make_unique<Private>(this, 0);
}

WaylandDataControl::~WaylandDataControl() = default;

bool WaylandDataControl::reconnect() {
    // The offers and sources of the lost connection go with it; counting goes on, so the
    // selection found on the new one is read as a change.
    const qint64 count = d->selection.changeCount();
    d.reset();
    d = std::make_unique<Private>(this, count);
    return d->connect() >= 0;
}

bool WaylandDataControl::isAvailable() const {
    return d->alive() || reconnection_->retrying();
}

QString WaylandDataControl::protocolName() const {
    return d->interfaces ? QString::fromLatin1(d->interfaces->protocolName) : QString();
}

qint64 WaylandDataControl::changeCount() {
    d->takeInEvents();
    return d->selection.changeCount();
}

QStringList WaylandDataControl::types() {
    d->takeInEvents();
    return d->selection.types();
}

int WaylandDataControl::receive(const QString& type) {
    if (!d->alive() || !d->selection.current() || !d->selection.types().contains(type))
        return -1;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return -1;
    auto* offer = reinterpret_cast<wl_proxy*>(d->selection.current());
    const QByteArray name = type.toUtf8();
    wl_proxy_marshal_flags(offer, EXT_DATA_CONTROL_OFFER_V1_RECEIVE, nullptr,
                           wl_proxy_get_version(offer), 0, name.constData(), fds[1]);
    d->connection->flush();
    ::close(fds[1]);
    return fds[0];
}

bool WaylandDataControl::setSelection(
    const QList<std::pair<QString, QByteArray>>& representations) {
    if (!d->alive())
        return false;
    wl_proxy* source = nullptr;
    if (!representations.isEmpty()) {
        source = wl_proxy_marshal_flags(d->manager, EXT_DATA_CONTROL_MANAGER_V1_CREATE_DATA_SOURCE,
                                        d->interfaces->source, 1, 0, nullptr);
        if (!source)
            return false;
        listen(source, Private::sourceListener, d.get());
        for (const auto& representation : representations) {
            const QByteArray name = representation.first.toUtf8();
            wl_proxy_marshal_flags(source, EXT_DATA_CONTROL_SOURCE_V1_OFFER, nullptr, 1, 0,
                                   name.constData());
        }
        d->sources.insert(source, representations);
    }
    wl_proxy_marshal_flags(d->device, EXT_DATA_CONTROL_DEVICE_V1_SET_SELECTION, nullptr, 1, 0,
                           source);
    // The compositor answers with the new selection before the round trip ends, so the change
    // is counted on return and not mistaken later for another program's copy.
    return d->connection->roundtrip();
}
