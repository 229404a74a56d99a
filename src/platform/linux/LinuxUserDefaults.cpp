#include "platform/linux/LinuxUserDefaults.h"

#include <QCborArray>
#include <QCborMap>
#include <QCborStreamReader>
#include <QCborValue>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr auto kPrivateFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr auto kPrivateFolder = kPrivateFile | QFileDevice::ExeOwner;
// Own writes are gathered for a moment, so that a burst (the strip being dragged) is one write.
constexpr int kFlushDelayMs = 100;
// Another process's write shows up as several folder events (lock, temporary file, rename):
// they are taken together.
constexpr int kReloadDelayMs = 50;

// QSettings reads '/' and '\' in a key as group separators and folds them; keys are escaped on
// their way into QSettings so that any key is kept exactly. The file holds the keys as given.
QString escapeKey(const QString& key) {
    QString out;
    out.reserve(key.size());
    for (QChar c : key) {
        if (c == u'%')
            out += QLatin1String("%25");
        else if (c == u'/')
            out += QLatin1String("%2F");
        else if (c == u'\\')
            out += QLatin1String("%5C");
        else
            out += c;
    }
    return out;
}

QString unescapeKey(const QString& key) {
    if (!key.contains(u'%'))
        return key;
    QString out;
    out.reserve(key.size());
    for (qsizetype i = 0; i < key.size(); ++i) {
        if (key[i] == u'%' && i + 2 < key.size()) {
            const QStringView code = QStringView(key).mid(i + 1, 2);
            if (code == u"25" || code == u"2F" || code == u"5C") {
                out += code == u"25" ? u'%' : code == u"2F" ? u'/' : u'\\';
                i += 2;
                continue;
            }
        }
        out += key[i];
    }
    return out;
}

QCborValue encodeValue(const QVariant& value) {
    switch (value.metaType().id()) {
    case QMetaType::QDateTime: {
        const QDateTime date = value.toDateTime();
        return date.isValid() ? QCborValue(date.toUTC()) : QCborValue();
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        QCborArray array;
        for (const QVariant& item : value.toList())
            array.append(encodeValue(item));
        return array;
    }
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash: {
        QCborMap map;
        const QVariantMap values = value.toMap();
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            map.insert(it.key(), encodeValue(it.value()));
        return map;
    }
    default:
        return QCborValue::fromVariant(value);
    }
}

QVariant decodeValue(const QCborValue& value) {
    if (value.isArray()) {
        QVariantList list;
        const QCborArray array = value.toArray();
        list.reserve(array.size());
        for (const QCborValue& item : array)
            list.append(decodeValue(item));
        return list;
    }
    if (value.isMap()) {
        QVariantMap map;
        const QCborMap cbor = value.toMap();
        for (auto it = cbor.cbegin(); it != cbor.cend(); ++it) {
            const QString key =
                it.key().isString() ? it.key().toString() : it.key().toDiagnosticNotation();
            map.insert(key, decodeValue(it.value()));
        }
        return map;
    }
    if (value.isDateTime()) {
        const QDateTime date = value.toDateTime();
        return date.isValid() ? QVariant(date.toUTC()) : QVariant();
    }
    if (value.isUndefined() || value.isInvalid())
        return {};
    return value.toVariant();
}

// The whole file must be one map (optionally behind the self-describing CBOR tag) and nothing
// after it; anything else is damage.
bool decodeFile(const QByteArray& bytes, QVariantMap& values) {
    QCborStreamReader reader(bytes);
    QCborValue root = QCborValue::fromCbor(reader);
    if (reader.lastError() != QCborError::NoError || reader.currentOffset() != bytes.size())
        return false;
    if (root.isTag() && root.tag() == QCborKnownTags::Signature)
        root = root.taggedValue();
    if (!root.isMap())
        return false;
    const QCborMap map = root.toMap();
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        if (!it.key().isString())
            continue;
        QVariant value = decodeValue(it.value());
        if (value.isValid())
            values.insert(it.key().toString(), value);
    }
    return true;
}

QByteArray encodeFile(const QVariantMap& values) {
    QCborMap map;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        map.insert(it.key(), encodeValue(it.value()));
    return QCborValue(QCborKnownTags::Signature, map).toCbor();
}

QString asideName(const QString& path, const char* reason) {
    const QString stamp = QDateTime::currentDateTimeUtc().toString(u"yyyyMMdd'T'HHmmsszzz'Z'");
    const QString base = path + u'.' + QLatin1String(reason) + u'-' + stamp;
    QString name = base;
    for (int n = 2; QFileInfo::exists(name) || QFileInfo(name).isSymLink(); ++n)
        name = base + u'-' + QString::number(n);
    return name;
}

bool isSameFile(const QFile& open, const QString& path) {
    struct stat a {};
    struct stat b {};
    return ::fstat(open.handle(), &a) == 0 &&
           ::stat(QFile::encodeName(path).constData(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

// Keeps the bytes of a file that could not be decoded. When nobody holds the store's lock the
// file itself moves aside; otherwise a writer (perhaps this very sync) is about to replace it,
// so a private copy keeps the bytes.
void setDamagedFileAside(const QFile& file, const QByteArray& bytes) {
    const QString path = file.fileName();
    const QString aside = asideName(path, "corrupt");
    QLockFile lock(path + QLatin1String(".lock"));
    if (lock.tryLock(0) && isSameFile(file, path) && QFile::rename(path, aside)) {
        QFile::setPermissions(aside, kPrivateFile);
        return;
    }
    QFile copy(aside);
    if (copy.open(QIODevice::WriteOnly | QIODevice::NewOnly, kPrivateFile))
        copy.write(bytes);
}

bool readCbor(QIODevice& device, QSettings::SettingsMap& map) {
    const QByteArray bytes = device.readAll();
#ifdef PELORA_TEST_HOOKS
    // Tests widen the moment between reading the file and QSettings noting its size and time.
    if (const int delay = qEnvironmentVariableIntValue("PELORA_TEST_DEFAULTS_READ_DELAY_MS"))
        QThread::msleep(delay);
#endif
    QVariantMap values;
    if (decodeFile(bytes, values)) {
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            map.insert(escapeKey(it.key()), it.value());
        return true;
    }
    if (auto* file = qobject_cast<QFile*>(&device))
        setDamagedFileAside(*file, bytes);
    // What could not be decoded counts as empty; an error status would stick to the object.
    return true;
}

bool writeCbor(QIODevice& device, const QSettings::SettingsMap& map) {
    QVariantMap values;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        values.insert(unescapeKey(it.key()), it.value());
    const QByteArray bytes = encodeFile(values);
    return device.write(bytes) == bytes.size();
}

// Equal in type as well as value, all the way down, so that a change of type is a change.
bool identical(const QVariant& a, const QVariant& b) {
    if (a.metaType() != b.metaType())
        return false;
    switch (a.metaType().id()) {
    case QMetaType::QVariantList: {
        const QVariantList x = a.toList();
        const QVariantList y = b.toList();
        if (x.size() != y.size())
            return false;
        for (qsizetype i = 0; i < x.size(); ++i)
            if (!identical(x[i], y[i]))
                return false;
        return true;
    }
    case QMetaType::QVariantMap: {
        const QVariantMap x = a.toMap();
        const QVariantMap y = b.toMap();
        if (x.keys() != y.keys())
            return false;
        for (auto it = x.cbegin(); it != x.cend(); ++it)
            if (!identical(it.value(), y.value(it.key())))
                return false;
        return true;
    }
    case QMetaType::Double: {
        const double x = a.toDouble();
        const double y = b.toDouble();
        return x == y || (std::isnan(x) && std::isnan(y));
    }
    default:
        return a == b;
    }
}

} // namespace

LinuxUserDefaults::LinuxUserDefaults() : LinuxUserDefaults(defaultFilePath()) {}

LinuxUserDefaults::LinuxUserDefaults(const QString& filePath)
    : filePath_(QFileInfo(filePath).absoluteFilePath()) {
    ensureFolderWatched();
    {
        FolderLock lock(folder_);
        makeSettings();
    }

    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(kFlushDelayMs);
    connect(&flushTimer_, &QTimer::timeout, this, &LinuxUserDefaults::syncWithDisk);
    reloadTimer_.setSingleShot(true);
    reloadTimer_.setInterval(kReloadDelayMs);
    connect(&reloadTimer_, &QTimer::timeout, this, &LinuxUserDefaults::syncWithDisk);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] {
        if (!reloadTimer_.isActive())
            reloadTimer_.start();
    });

    syncWithDisk();
}

LinuxUserDefaults::~LinuxUserDefaults() {
    if (unsaved_)
        ensurePrivateFile();
    {
        FolderLock lock(folder_);
        settings_->sync();
    }
    if (folder_ >= 0)
        ::close(folder_);
}

// QSettings reads the file and only afterwards notes its size and time, by which it later tells
// whether the file changed. A write by another process landing in between pairs old contents
// with new size and time, and the next write from here would silently drop that process's
// change. Every sync of every Pelora process therefore holds this lock. It locks the folder
// itself, so no file comes and goes to wake the folder watch. Should the lock stay out of reach
// (a stopped process, a file system without locks), the sync goes ahead without it.
LinuxUserDefaults::FolderLock::FolderLock(int folder) : folder_(folder) {
    if (folder_ < 0)
        return;
    QDeadlineTimer deadline(2000);
    while (!(locked_ = ::flock(folder_, LOCK_EX | LOCK_NB) == 0)) {
        if (errno != EWOULDBLOCK && errno != EINTR)
            return;
        if (deadline.hasExpired())
            return;
        QThread::msleep(2);
    }
}

LinuxUserDefaults::FolderLock::~FolderLock() {
    if (locked_)
        ::flock(folder_, LOCK_UN);
}

// A new object replaces the old one only once it exists, so that QSettings' shared state of the
// file, with any pending changes, lives on.
void LinuxUserDefaults::makeSettings() {
    auto fresh = std::make_unique<QSettings>(filePath_, settingsFormat());
    fresh->installEventFilter(this);
    settings_ = std::move(fresh);
}

// QSettings writes at the next turn of the event loop after every change; the flush timer
// decides instead.
bool LinuxUserDefaults::eventFilter(QObject* watched, QEvent* event) {
    if (watched == settings_.get() && event->type() == QEvent::UpdateRequest)
        return true;
    return UserDefaults::eventFilter(watched, event);
}

QString LinuxUserDefaults::defaultFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QLatin1String("/pelora/defaults.cbor");
}

QSettings::Format LinuxUserDefaults::settingsFormat() {
    static const QSettings::Format format =
        QSettings::registerFormat(QStringLiteral("cbor"), readCbor, writeCbor, Qt::CaseSensitive);
    return format;
}

QVariant LinuxUserDefaults::storedForm(const QVariant& value) {
    return decodeValue(encodeValue(value));
}

std::optional<QVariant> LinuxUserDefaults::objectForKey(const QString& key) const {
    auto it = values_.constFind(key);
    if (it == values_.constEnd())
        return std::nullopt;
    return *it;
}

void LinuxUserDefaults::setObject(const QString& key, const QVariant& value) {
    if (key.isEmpty())
        return;
    const QVariant stored = storedForm(value);
    if (!stored.isValid()) {
        removeObject(key);
        return;
    }
    ensurePrivateFile();
    settings_->setValue(escapeKey(key), stored);
    values_.insert(key, stored);
    unsaved_ = true;
    scheduleFlush();
    Q_EMIT valueChanged(key);
}

void LinuxUserDefaults::removeObject(const QString& key) {
    if (key.isEmpty())
        return;
    // Also when not known here: another process may have written it a moment ago.
    settings_->remove(escapeKey(key));
    unsaved_ = true;
    scheduleFlush();
    if (values_.remove(key))
        Q_EMIT valueChanged(key);
}

QStringList LinuxUserDefaults::allKeys() const {
    return values_.keys();
}

void LinuxUserDefaults::synchronize() {
    syncWithDisk();
}

void LinuxUserDefaults::scheduleFlush() {
    if (!flushTimer_.isActive())
        flushTimer_.start();
}

void LinuxUserDefaults::syncWithDisk() {
    flushTimer_.stop();
    reloadTimer_.stop();
    ensureFolderWatched();
    if (unsaved_)
        ensurePrivateFile();
    {
        FolderLock lock(folder_);
        settings_->sync();
        if (settings_->status() == QSettings::NoError)
            unsaved_ = false;
        else
            recoverFromAccessError();
    }
    // Only the user may read what the program remembers, whoever created the file.
    const QFileInfo info(filePath_);
    constexpr auto kUserBits =
        QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser;
    if (info.isFile() && (info.permissions() & ~kUserBits) != kPrivateFile)
        QFile::setPermissions(filePath_, kPrivateFile);
    reloadAndNotify();
}

// QSettings gives up on a file it cannot open (and then never writes it), and its error status
// sticks to the object. The unreadable file moves aside and a fresh object, which shares the
// pending changes, tries again.
void LinuxUserDefaults::recoverFromAccessError() {
    QFileInfo info(filePath_);
    QFile probe(filePath_);
    if ((info.exists() || info.isSymLink()) && !probe.open(QIODevice::ReadOnly)) {
        QLockFile lock(filePath_ + QLatin1String(".lock"));
        if (lock.tryLock(100) && !QFile(filePath_).open(QIODevice::ReadOnly))
            QFile::rename(filePath_, asideName(filePath_, "unreadable"));
    }
    probe.close();
    if (unsaved_)
        ensurePrivateFile();
    makeSettings();
    if (unsaved_)
        settings_->sync();
    if (settings_->status() == QSettings::NoError)
        unsaved_ = false;
}

void LinuxUserDefaults::reloadAndNotify() {
    QVariantMap fresh;
    for (const QString& key : settings_->allKeys()) {
        const QVariant value = settings_->value(key);
        if (value.isValid())
            fresh.insert(unescapeKey(key), value);
    }
    QStringList changed;
    auto a = values_.cbegin();
    auto b = fresh.cbegin();
    while (a != values_.cend() || b != fresh.cend()) {
        if (b == fresh.cend() || (a != values_.cend() && a.key() < b.key())) {
            changed << a.key();
            ++a;
        } else if (a == values_.cend() || b.key() < a.key()) {
            changed << b.key();
            ++b;
        } else {
            if (!identical(a.value(), b.value()))
                changed << a.key();
            ++a;
            ++b;
        }
    }
    values_ = std::move(fresh);
    for (const QString& key : std::as_const(changed))
        Q_EMIT valueChanged(key);
}

void LinuxUserDefaults::ensureFolderWatched() {
    const QString folder = QFileInfo(filePath_).absolutePath();
    if (watcher_.directories().contains(folder))
        return;
    if (!QFileInfo::exists(folder) && QDir().mkpath(folder))
        QFile::setPermissions(folder, kPrivateFolder);
    if (!QFileInfo(folder).isDir())
        return;
    watcher_.addPath(folder);
    // A folder made anew (the old one deleted) needs its own handle for locking.
    if (folder_ >= 0)
        ::close(folder_);
    folder_ = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// QSaveFile keeps the permissions of the file it replaces but creates a new one world-readable:
// a private empty file (which reads as empty) comes first.
void LinuxUserDefaults::ensurePrivateFile() {
    QFileInfo info(filePath_);
    if (info.exists() || info.isSymLink())
        return;
    QFile file(filePath_);
    file.open(QIODevice::WriteOnly | QIODevice::NewOnly, kPrivateFile);
}
