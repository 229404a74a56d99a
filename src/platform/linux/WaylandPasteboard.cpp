#include "platform/linux/WaylandPasteboard.h"

#include "platform/linux/WaylandDataControl.h"

namespace {

// A stuck owner costs at most this per read; more than this many bytes is not a copy to keep.
constexpr int kReadTimeoutMs = 2000;
constexpr qint64 kMaxReadBytes = 64 * 1024 * 1024;

// X11 programs' names for UTF-8 text, which wl-copy and XWayland offer too.
const QStringList x11TextNames = {QStringLiteral("UTF8_STRING"), QStringLiteral("TEXT"),
                                  QStringLiteral("STRING")};

} // namespace

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
        for (const QString& name : pasteboardTypeNames(PasteboardKind::plainText))
            add(name, utf8);
        for (const QString& name : x11TextNames)
            add(name, utf8);
    }
    return out;
}

WaylandPasteboard::WaylandPasteboard(std::shared_ptr<WaylandDataControl> control)
    : control_(std::move(control)) {}

WaylandPasteboard::~WaylandPasteboard() = default;

void WaylandPasteboard::startOver() {
    const qint64 count = control_->changeCount();
    if (count == count_)
        return;
    count_ = count;
    types_.reset();
    data_.clear();
}

qint64 WaylandPasteboard::changeCount() {
    startOver();
    return count_;
}

QStringList WaylandPasteboard::types() {
    startOver();
    if (!types_)
        types_ = control_->types();
    return *types_;
}

std::optional<QByteArray> WaylandPasteboard::dataForType(const QString& type) {
    if (!types().contains(type))
        return std::nullopt;
    if (auto it = data_.constFind(type); it != data_.constEnd())
        return *it;
    std::optional<QByteArray> bytes = control_->read(type, kReadTimeoutMs, kMaxReadBytes);
    data_.insert(type, bytes);
    return bytes;
}

std::optional<QString> WaylandPasteboard::string() {
    const QStringList offered = types();
    for (const QString& name : pasteboardTypeNames(PasteboardKind::plainText) + x11TextNames) {
        if (!offered.contains(name))
            continue;
        const auto bytes = dataForType(name);
        if (!bytes)
            return std::nullopt;
        return name == u"STRING" ? QString::fromLatin1(*bytes) : QString::fromUtf8(*bytes);
    }
    return std::nullopt;
}

std::optional<QList<QUrl>> WaylandPasteboard::urls() {
    const auto bytes = dataForType(PasteboardType::uriList);
    if (!bytes)
        return std::nullopt;
    QList<QUrl> urls;
    for (const QByteArray& line : bytes->split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith('#'))
            continue;
        const QUrl url = QUrl::fromEncoded(trimmed, QUrl::StrictMode);
        if (url.isValid())
            urls << url;
    }
    if (urls.isEmpty())
        return std::nullopt;
    return urls;
}

void WaylandPasteboard::clearAndWrite(const PasteboardContents& contents) {
    control_->setSelection(dataControlRepresentations(contents));
}
