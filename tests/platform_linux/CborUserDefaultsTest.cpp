#include "platform/linux/files/CborUserDefaults.h"
#include "platform/linux/files/CborDefaultsCodec.h"
#include "support/TempTree.h"
#include "support/TestSupport.h"

#include <QCborArray>
#include <QCborMap>
#include <QProcess>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>

using namespace Qt::StringLiterals;

namespace {

// A private configuration home with the store where the program keeps it.
struct ConfigHome : TempTree {
    const QString folder = path(u"pelora"_s), file = folder + u"/defaults.cbor"_s;
    QStringList setAside(const char* reason) const {
        return QDir(folder).entryList({u"defaults.cbor.%1-*"_s.arg(reason)},
                                      QDir::AllEntries | QDir::Hidden | QDir::System);
    }
};

int modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

// `pelora defaults ARGS` as another process over the same store, its exit code or -1 when it was
// killed; with a file size limit (in blocks) the system kills it when a write goes past it.
int runTool(const ConfigHome& home, const QStringList& args, int limit = 0) {
    const EnvOverride config("XDG_CONFIG_HOME", home.root());
    QProcess tool;
    tool.start(u"/bin/sh"_s, QStringList{u"-c"_s,
                                         u"ulimit -f %1; exec \"$0\" defaults \"$@\""_s.arg(
                                             limit ? QString::number(limit) : u"unlimited"_s),
                                         buildPath(u"Pelora.app/Contents/MacOS/pelora"_s)} +
                                 args);
    EXPECT_TRUE(tool.waitForFinished(30000));
    return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
}

// A value with its types all the way down, as QDebug shows it.
QString typed(const std::optional<QVariant>& value) {
    QString text;
    QDebug(&text) << value.value_or(QVariant());
    return text;
}

} // namespace

TEST(CborUserDefaults, ValuesKeepTheirTypesInTheStoredFormat) {
    const QDateTime when =
        QDateTime::fromString(u"2024-05-01T12:00:00.250+02:00"_s, Qt::ISODateWithMs);
    // What is set, and what the next store gives back when not the same: integers as 64-bit,
    // dates in UTC, string lists as lists.
    const struct {
        const char* key;
        QVariant value, stored;
    } cases[] = {
        {"blob", QByteArray("\0\xff", 2), {}},
        {"when", when, when.toUTC()},
        {"whole", 2.0, {}},
        {"big", qint64(1) << 40, {}},
        {"small", int(7), qint64(7)},
        {"text", u"Grüße 👋\n\"quoted\""_s, {}},
        {"odd/key%2F\\x", u"kept"_s, {}},
        {"names", QStringList{u"x"_s}, QVariantList{u"x"_s}},
        {"nested", QVariantMap{{u"list"_s, QVariantList{int(1), QByteArray()}}, {"when", when}},
         QVariantMap{{u"list"_s, QVariantList{qint64(1), QByteArray()}}, {"when", when.toUTC()}}}};
    ConfigHome home;
    QVariantMap expected;
    {
        CborUserDefaults store(home.file);
        for (const auto& c : cases) {
            const QVariant stored = c.stored.isValid() ? c.stored : c.value;
            expected.insert(QString::fromUtf8(c.key), stored);
            store.setObject(QString::fromUtf8(c.key), c.value);
        }
        store.synchronize();
        EXPECT_FALSE(store.hasUnsavedChanges());
    }
    // The file is what earlier versions wrote and read: one tagged CBOR map.
    EXPECT_EQ(readFile(home.file),
              QCborValue(QCborKnownTags::Signature, QCborMap::fromVariantMap(expected)).toCbor());
    CborUserDefaults again(home.file);
    EXPECT_EQ(again.allKeys().size(), expected.size());
    for (const auto& [key, value] : expected.asKeyValueRange())
        EXPECT_EQ(typed(again.objectForKey(key)), typed(value));
}

TEST(CborUserDefaults, DamagedOrOddFilesCountAsEmptyAndAreSetAsideUntouched) {
    const QByteArray good = CborDefaultsCodec::encode({{u"blob"_s, QByteArray(300, 'x')}});
    TempTree outside{"new/"}; // a link's target folder
    const QByteArray outsideBytes = CborDefaultsCodec::encode({{u"out"_s, 1}});
    const QString target = outside.add(u"elsewhere.cbor"_s, outsideBytes);
    const QString store = u"pelora/defaults.cbor"_s;
    const struct {
        const char* what;
        QByteArray bytes; // written as the file, unless it is an entry of another kind
        QString odd;
    } cases[] = {
        {"truncated", good.left(good.size() / 2), {}},
        {"garbage", QByteArray("not a store at all\x01\x02", 20), {}},
        {"not a map", QCborValue(QCborArray{{1, 2}}).toCbor(), {}},
        {"trailing bytes", good + QByteArray("\x00", 1), {}},
        {"nested too deep",
         "\xd9\xd9\xf7\xa1\x61k" + QByteArray(CborDefaultsCodec::maxDepth + 1, '\x81') + '\x01',
         {}},
        // Larger than any store the program writes: not read at all.
        {"too large",
         CborDefaultsCodec::encode({{u"huge"_s, QByteArray(CborUserDefaults::kMaxFileSize, 'x')}}),
         {}},
        {"folder", {}, store + u'/'},
        {"fifo", {}, store + u'|'}, // a blocking open would wait for a writer
        {"link to a store elsewhere", {}, store + u" -> "_s + target},
        {"dangling link", {}, store + u" -> "_s + outside.path(u"new/file"_s)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ConfigHome home;
        c.odd.isEmpty() ? void(writeFile(home.file, c.bytes)) : void(home.add(c.odd));
        {
            CborUserDefaults store(home.file);
            EXPECT_TRUE(store.allKeys().isEmpty());
            const QStringList aside = home.setAside(c.odd.isEmpty() ? "corrupt" : "unreadable");
            ASSERT_EQ(aside.size(), 1);
            if (c.odd.isEmpty()) {
                EXPECT_EQ(readFile(home.folder + u'/' + aside.first()), c.bytes);
            }
            store.setObject(u"after"_s, qint64(1));
            store.synchronize();
            EXPECT_FALSE(store.hasUnsavedChanges());
        }
        EXPECT_EQ(CborUserDefaults(home.file).allKeys(), QStringList{u"after"_s});
        EXPECT_FALSE(QFileInfo(home.file).isSymLink());
        EXPECT_EQ(modeOf(home.file), 0600);
        EXPECT_EQ(readFile(target), outsideBytes);
        EXPECT_FALSE(QFileInfo::exists(outside.path(u"new/file"_s)));
    }
}

TEST(CborUserDefaults, WritesUnaskedToAPrivateFileButNeverAStoreTooLargeToReadBack) {
    ConfigHome home;
    CborUserDefaults store(home.file);
    store.setObject(u"small"_s, true);
    // No synchronize(): the write reaches the disk on its own, at the next turn of the loop.
    ASSERT_TRUE(waitUntil([&] { return readFile(home.file).size() > 0; }));
    EXPECT_EQ(modeOf(home.file), 0600);
    EXPECT_EQ(modeOf(home.folder), 0700);
    store.setObject(u"huge"_s, QByteArray(CborUserDefaults::kMaxFileSize, 'x'));
    store.synchronize();
    EXPECT_TRUE(store.hasUnsavedChanges());
    EXPECT_EQ(CborUserDefaults(home.file).allKeys(), QStringList{u"small"_s});
}

TEST(CborUserDefaults, ChangesFromAnotherProcessAreNoticedKeyByKey) {
    ConfigHome home;
    CborUserDefaults store(home.file);
    QSignalSpy spy(&store, &UserDefaults::valueChanged);
    // Own writes are announced at once, and not again when their folder event arrives: the
    // next change from outside comes after it. A bool flipped outside keeps the file's size.
    store.setObject(u"own"_s, qint64(1));
    store.synchronize();
    EXPECT_EQ(spy, QList<QVariantList>{{u"own"_s}});
    const std::pair<const char*, std::optional<QVariant>> changes[] = {
        {"write flag -bool true", true}, {"write flag -bool false", false}, {"delete flag", {}}};
    for (const auto& [args, value] : changes) {
        spy.clear();
        ASSERT_EQ(runTool(home, QString::fromUtf8(args).split(u' ')), 0) << args;
        ASSERT_TRUE(waitUntil([&] { return !spy.isEmpty(); })) << args;
        drainEvents();
        EXPECT_EQ(spy, QList<QVariantList>{{u"flag"_s}}) << args;
        EXPECT_EQ(store.objectForKey(u"flag"_s), value) << args;
    }
    EXPECT_EQ(store.integerForKey(u"own"_s), 1);
}

TEST(CborUserDefaults, AWriteLandingWhileAnotherProcessReadsIsKept) {
    ConfigHome home;
    CborUserDefaults(home.file).setObject(u"before"_s, true);
    // The slow writer lingers in its read of the file, under the lock, before writing back;
    // the quick one writes meanwhile.
    QProcess slow;
    slow.start(QStringLiteral(SLOW_DEFAULTS_WRITER), {home.file, u"slow"_s, u"1"_s, u"800"_s});
    while (!slow.canReadLine())
        ASSERT_TRUE(slow.waitForReadyRead(30000));
    ASSERT_EQ(slow.readLine(), QByteArray("reading\n"));
    ASSERT_EQ(runTool(home, {u"write"_s, u"quick"_s, u"2"_s}), 0);
    ASSERT_TRUE(slow.waitForFinished(30000));
    EXPECT_EQ(slow.exitCode(), 0);
    const CborUserDefaults store(home.file);
    EXPECT_EQ(store.allKeys(), (QStringList{u"before"_s, u"quick"_s, u"slow"_s}));
}

TEST(CborUserDefaults, AWriterKilledInTheMiddleOfASaveLeavesTheWholeOldFile) {
    ConfigHome home;
    CborUserDefaults(home.file).setObject(u"keep"_s, u"me"_s);
    const QByteArray before = readFile(home.file);
    // Killed by the system after some tens of KB of a 200 KB store.
    QStringList args{u"write"_s, u"big"_s, u"-array"_s};
    for (int i = 0; i < 4; ++i)
        args << u"-data"_s << QString::fromLatin1(QByteArray(50000, 'Z').toHex());
    EXPECT_EQ(runTool(home, args, 64), -1);
    EXPECT_EQ(readFile(home.file), before);
    const QDir folder(home.folder);
    const auto leftovers = [&] {
        return folder.entryList({u"defaults.cbor.??????"_s}).size();
    };
    EXPECT_EQ(leftovers(), 1) << "the save had begun";
    home.add(u"pelora/defaults.cbor.notes"_s);
    {
        // While another Pelora holds the lock, the leftover may be its save in progress.
        const int lock = ::open(QFile::encodeName(home.folder).constData(), O_RDONLY);
        ASSERT_EQ(::flock(lock, LOCK_EX), 0);
        CborUserDefaults store(home.file);
        EXPECT_EQ(leftovers(), 1);
        ::close(lock);
    }
    // The next store clears the leftover away, and nothing else.
    EXPECT_EQ(CborUserDefaults(home.file).allKeys(), QStringList{u"keep"_s});
    EXPECT_EQ(folder.entryList(QDir::Files),
              (QStringList{u"defaults.cbor"_s, u"defaults.cbor.notes"_s}));
}
