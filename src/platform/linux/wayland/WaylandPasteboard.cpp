#include "platform/linux/wayland/WaylandPasteboard.h"

#include "platform/linux/wayland/WaylandDataControl.h"

#include <QHash>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <unistd.h>

QList<std::pair<QString, QByteArray>>
dataControlRepresentations(const PasteboardContents& contents) {
    QList<std::pair<QString, QByteArray>> out;
    auto add = [&out](const QString& type, const QByteArray& bytes) {
        for (const auto& existing : out)
            if (existing.first == type)
                return;
        out.append({type, bytes});
    };
    if (!contents.urls.isEmpty()) {
        QByteArray list;
        QByteArray copied("copy");
        bool allFiles = true;
        for (const QUrl& url : contents.urls) {
            list += url.toEncoded() + "\r\n";
            copied += '\n' + url.toEncoded();
            allFiles = allFiles && url.isLocalFile();
        }
        add(PasteboardType::uriList, list);
        if (allFiles)
            add(PasteboardType::gnomeCopiedFiles, copied);
    }
    for (const auto& [type, bytes] : contents.data)
        add(type, bytes);
    if (contents.text) {
        const QByteArray utf8 = contents.text->toUtf8();
        for (const QString& name : dataControlTextTypes())
            add(name, utf8);
    }
    return out;
}

const QStringList& dataControlTextTypes() {
    // X11 programs' names too: wl-copy and XWayland offer them. STRING is Latin-1.
    static const QStringList names = {QStringLiteral("text/plain;charset=utf-8"),
                                      PasteboardType::plainText, QStringLiteral("UTF8_STRING"),
                                      QStringLiteral("TEXT"), QStringLiteral("STRING")};
    return names;
}

namespace {

// One change's reading: every wanted type through its own pipe at once, so an owner that
// writes them one after another never waits on a pipe nobody reads.
class SnapshotRead : public QObject {
public:
    struct Pipe {
        QString type;   // as the snapshot names it
        QString source; // as the owner offers it
        qint64 maxBytes = 0;
        QByteArray bytes;
        std::unique_ptr<QSocketNotifier> notifier;
        int fd = -1;
    };

    SnapshotRead(QObject* parent, PasteboardSnapshot snapshot, Pasteboard::SnapshotHandler done)
        : QObject(parent), snapshot_(std::move(snapshot)), done_(std::move(done)) {}
    ~SnapshotRead() override {
        for (Pipe& pipe : pipes_)
            closePipe(pipe);
    }

    void add(const QString& type, const QString& source, qint64 maxBytes, int fd) {
        Pipe& pipe = pipes_.emplace_back();
        pipe.type = type;
        pipe.source = source;
        pipe.maxBytes = maxBytes;
        pipe.fd = fd;
        pipe.notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        const size_t index = pipes_.size() - 1;
        connect(pipe.notifier.get(), &QSocketNotifier::activated, this,
                [this, index] { drain(pipes_[index]); });
    }

    void start(int timeoutMs) {
        if (open() == 0) {
            // Never from within readSnapshot().
            QTimer::singleShot(0, this, [this] { finish(); });
            return;
        }
        QTimer::singleShot(timeoutMs, this, [this] { finish(); });
    }

private:
    int open() const {
        int count = 0;
        for (const Pipe& pipe : pipes_)
            count += pipe.fd >= 0;
        return count;
    }

    void closePipe(Pipe& pipe) {
        pipe.notifier.reset();
        if (pipe.fd >= 0)
            ::close(pipe.fd);
        pipe.fd = -1;
    }

    void drain(Pipe& pipe) {
        char buffer[65536];
        while (pipe.fd >= 0) {
            const ssize_t n = ::read(pipe.fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno == EAGAIN)
                return;
            if (n <= 0) {
                // Ended: complete (an error gives what came).
                keep(pipe);
                break;
            }
            const qint64 room = pipe.maxBytes - pipe.bytes.size();
            pipe.bytes.append(buffer, qsizetype(qMin<qint64>(room, n)));
            if (n > room) {
                snapshot_.truncated.insert(pipe.type);
                keep(pipe);
                break;
            }
        }
        closePipe(pipe);
        if (open() == 0)
            finish();
    }

    void keep(Pipe& pipe) {
        QByteArray bytes = std::move(pipe.bytes);
        if (pipe.source == u"STRING")
            bytes = QString::fromLatin1(bytes).toUtf8();
        snapshot_.data.insert(pipe.type, std::move(bytes));
    }

    void finish() {
        if (finished_)
            return;
        finished_ = true;
        for (Pipe& pipe : pipes_) {
            if (pipe.fd >= 0)
                snapshot_.unanswered.insert(pipe.type);
            closePipe(pipe);
        }
        const Pasteboard::SnapshotHandler done = std::move(done_);
        const PasteboardSnapshot snapshot = std::move(snapshot_);
        deleteLater();
        done(snapshot);
    }

    PasteboardSnapshot snapshot_;
    Pasteboard::SnapshotHandler done_;
    std::vector<Pipe> pipes_;
    bool finished_ = false;
};

} // namespace

WaylandPasteboard::WaylandPasteboard(std::shared_ptr<WaylandDataControl> control)
    : control_(std::move(control)) {}

WaylandPasteboard::~WaylandPasteboard() = default;

qint64 WaylandPasteboard::changeCount() {
    return control_->changeCount();
}

void WaylandPasteboard::readSnapshot(const PasteboardReadRequest& request, SnapshotHandler done) {
    PasteboardSnapshot snapshot;
    snapshot.changeCount = control_->changeCount();
    const QStringList offered = control_->types();
    snapshot.types = offered;
    // Plain text under any of its names is "text/plain" to the reader.
    QString textSource;
    for (const QString& name : dataControlTextTypes()) {
        if (offered.contains(name)) {
            textSource = name;
            break;
        }
    }
    if (!textSource.isEmpty() && !snapshot.types.contains(PasteboardType::plainText))
        snapshot.types.prepend(PasteboardType::plainText);

    auto* read = new SnapshotRead(this, std::move(snapshot), std::move(done));
    QSet<QString> asked;
    for (const PasteboardWant& want : request.wanted) {
        const QString source = want.type == PasteboardType::plainText ? textSource : want.type;
        if (source.isEmpty() || !offered.contains(source) || asked.contains(want.type))
            continue;
        asked.insert(want.type);
        const int fd = control_->receive(source);
        if (fd >= 0)
            read->add(want.type, source, want.maxBytes, fd);
    }
    read->start(request.timeoutMs);
}

void WaylandPasteboard::clearAndWrite(const PasteboardContents& contents) {
    control_->setSelection(dataControlRepresentations(contents));
}
