#include "platform/linux/LinuxUserDefaults.h"
#include "support/TempTree.h"
#include "support/TestSupport.h"

#include <QCborArray>
#include <QCborMap>
#include <QCborValue>
#include <QProcess>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <unistd.h>

namespace {

// A private configuration home with the store where the program keeps it.
struct ConfigHome : TempTree {
    const QString folder = path(QStringLiteral("pelora"));
    const QString file = folder + QStringLiteral("/defaults.cbor");
    QStringList setAside(const char* reason) const {
        return QDir(folder).entryList({QStringLiteral("defaults.cbor.%1-*").arg(reason)},
                                      QDir::AllEntries | QDir::Hidden | QDir::System);
    }
};

int modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

// `pelora defaults ARGS` as another process over the same store; with a file size limit in
// 512-byte blocks the system kills it when a write goes past it.
void startTool(QProcess& process, const ConfigHome& home, const QStringList& args,
               int sizeLimit = 0) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.root());
    process.setProcessEnvironment(env);
    const QString pelora = buildPath(QStringLiteral("Pelora.app/Contents/MacOS/pelora"));
    const QString limit = sizeLimit ? QStringLiteral("ulimit -f %1; ").arg(sizeLimit) : QString();
    process.start(QStringLiteral("/bin/sh"),
                  QStringList{QStringLiteral("-c"), limit + QStringLiteral("exec \"$0\" \"$@\""),
                              pelora, QStringLiteral("defaults")} +
                      args);
}

int runTool(const ConfigHome& home, const QStringList& args) {
    QProcess process;
    startTool(process, home, args);
    return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit
               ? process.exitCode()
               : -1;
}

QStringList spiedKeys(const QSignalSpy& spy) {
    QStringList keys;
    for (const auto& args : spy)
        keys << args.at(0).toString();
    return keys;
}

// A value with its types all the way down, as QDebug shows it.
QString typed(const std::optional<QVariant>& value) {
    QString text;
    QDebug(&text) << value.value_or(QVariant());
    return text;
}

} // namespace

TEST(LinuxUserDefaults, ValuesKeepTheirTypesInTheStoredFormat) {
    const QDateTime when =
        QDateTime::fromString(QStringLiteral("2024-05-01T12:00:00.250+02:00"), Qt::ISODateWithMs);
    const QDateTime utc = when.toUTC();
    // What is set, and what this store and the next one give back: integers as 64-bit, dates
    // in UTC, string lists as lists.
    const struct {
        const char* key;
        QVariant value, stored;
    } cases[] = {
        {"blob", QByteArray("\x00\xff\x10", 3), {}},
        {"when", when, utc},
        {"whole", 2.0, {}},
        {"tenth", 0.1, {}},
        {"big", qint64(1) << 40, {}},
        {"small", int(7), qint64(7)},
        {"flag", false, {}},
        {"text", QStringLiteral("Grüße 👋\n\"quoted\""), {}},
        {"blobs", QVariantList{QByteArray("\x0a", 1), QByteArray()}, {}},
        {"names", QStringList{QStringLiteral("x")}, QVariantList{QStringLiteral("x")}},
        {"nested", QVariantMap{{QStringLiteral("list"), QVariantList{int(1)}}, {"when", when}},
         QVariantMap{{QStringLiteral("list"), QVariantList{qint64(1)}}, {"when", utc}}},
        {"odd/key%2F\\x", QStringLiteral("kept"), {}},
    };
    ConfigHome home;
    QVariantMap expected;
    {
        LinuxUserDefaults store(home.file);
        for (const auto& c : cases) {
            const QVariant stored = c.stored.isValid() ? c.stored : c.value;
            expected.insert(QString::fromUtf8(c.key), stored);
            store.setObject(QString::fromUtf8(c.key), c.value);
            EXPECT_EQ(typed(store.objectForKey(QString::fromUtf8(c.key))), typed(stored));
        }
        store.synchronize();
        EXPECT_FALSE(store.hasUnsavedChanges());
    }
    // The file is what earlier versions wrote and read: one tagged CBOR map.
    EXPECT_EQ(readFile(home.file),
              QCborValue(QCborKnownTags::Signature, QCborMap::fromVariantMap(expected)).toCbor());
    LinuxUserDefaults again(home.file);
    EXPECT_EQ(again.allKeys().size(), expected.size());
    for (const auto& [key, value] : expected.asKeyValueRange())
        EXPECT_EQ(typed(again.objectForKey(key)), typed(value));
}

TEST(LinuxUserDefaults, TheFileIsPrivateAndWrittenWithoutBeingAsked) {
    ConfigHome home;
    LinuxUserDefaults store(home.file);
    store.setObject(QStringLiteral("PeloraStripVisible"), true);
    // No synchronize(): the write reaches the disk on its own, at the next turn of the loop.
    ASSERT_TRUE(waitUntil([&] { return readFile(home.file).size() > 0; }));
    EXPECT_EQ(modeOf(home.file), 0600);
    EXPECT_EQ(modeOf(home.folder), 0700);

    QFile::setPermissions(home.file, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    store.setObject(QStringLiteral("PeloraStripVisible"), false);
    store.synchronize();
    EXPECT_EQ(modeOf(home.file), 0600);
}

TEST(LinuxUserDefaults, DamagedOrOddFilesCountAsEmptyAndAreSetAsideUntouched) {
    QByteArray good;
    {
        ConfigHome home;
        LinuxUserDefaults store(home.file);
        store.setObject(QStringLiteral("blob"), QByteArray(300, 'x'));
        store.synchronize();
        good = readFile(home.file);
    }
    TempTree outside;
    const QByteArray outsideBytes = LinuxUserDefaults::encodeFile({{QStringLiteral("out"), 1}});
    const QString target = outside.add(QStringLiteral("elsewhere.cbor"), outsideBytes);
    const QString store = QStringLiteral("pelora/defaults.cbor");
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
         QByteArray("\xd9\xd9\xf7\xa1\x61k") +
             QByteArray(LinuxUserDefaults::kMaxDepth + 1, '\x81') + '\x01',
         {}},
        // Larger than any store the program writes: not read at all.
        {"too large",
         LinuxUserDefaults::encodeFile(
             {{QStringLiteral("huge"), QByteArray(LinuxUserDefaults::kMaxFileSize, 'x')}}),
         {}},
        {"folder", {}, store + u'/'},
        {"fifo", {}, store + u'|'}, // a blocking open would wait for a writer
        {"link to a store elsewhere", {}, store + QStringLiteral(" -> ") + target},
        {"dangling link", {}, store + QStringLiteral(" -> ") + outside.path("new")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ConfigHome home;
        c.odd.isEmpty() ? void(writeFile(home.file, c.bytes)) : void(home.add(c.odd));
        {
            LinuxUserDefaults store(home.file);
            EXPECT_TRUE(store.allKeys().isEmpty());
            const QStringList aside = home.setAside(c.odd.isEmpty() ? "corrupt" : "unreadable");
            ASSERT_EQ(aside.size(), 1);
            if (c.odd.isEmpty()) {
                EXPECT_EQ(readFile(home.folder + u'/' + aside.first()), c.bytes);
                EXPECT_EQ(modeOf(home.folder + u'/' + aside.first()), 0600);
            }
            store.setObject(QStringLiteral("after"), qint64(1));
            store.synchronize();
            EXPECT_FALSE(store.hasUnsavedChanges());
        }
        EXPECT_EQ(LinuxUserDefaults(home.file).allKeys(), QStringList{QStringLiteral("after")});
        EXPECT_FALSE(QFileInfo(home.file).isSymLink());
        EXPECT_EQ(modeOf(home.file), 0600);
        EXPECT_EQ(readFile(target), outsideBytes);
        EXPECT_FALSE(QFileInfo::exists(outside.path("new")));
    }
}

TEST(LinuxUserDefaults, AStoreTooLargeToReadBackIsNotWritten) {
    ConfigHome home;
    {
        LinuxUserDefaults store(home.file);
        store.setObject(QStringLiteral("small"), true);
        store.synchronize();
        store.setObject(QStringLiteral("huge"), QByteArray(LinuxUserDefaults::kMaxFileSize, 'x'));
        store.synchronize();
        EXPECT_TRUE(store.hasUnsavedChanges());
    }
    EXPECT_EQ(LinuxUserDefaults(home.file).allKeys(), QStringList{QStringLiteral("small")});
}

TEST(LinuxUserDefaults, AFileDamagedWhileRunningIsKeptAsideNotOverwritten) {
    ConfigHome home;
    LinuxUserDefaults store(home.file);
    store.setObject(QStringLiteral("old"), QStringLiteral("value"));
    store.synchronize();
    QSignalSpy spy(&store, &UserDefaults::valueChanged);

    // Another writer botches the file in place; this store then writes a key.
    const QByteArray garbage(7, '\xee');
    writeFile(home.file, garbage);
    store.setObject(QStringLiteral("new"), true);
    store.synchronize();

    const QStringList aside = home.setAside("corrupt");
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(readFile(home.folder + u'/' + aside.first()), garbage);
    // The damaged file counted as empty: the old key is gone, and that is announced.
    EXPECT_FALSE(store.contains(QStringLiteral("old")));
    EXPECT_TRUE(spiedKeys(spy).contains(QStringLiteral("old")));
    EXPECT_EQ(LinuxUserDefaults(home.file).allKeys(), QStringList{QStringLiteral("new")});
}

TEST(LinuxUserDefaults, StaleTemporaryFilesAreRemovedButNotOneBeingWritten) {
    ConfigHome home;
    const QString stale = writeFile(home.file + QStringLiteral(".Ab12Cd"), QByteArray(100, 'x'));
    const QString other = writeFile(home.file + QStringLiteral(".notes"), "mine");
    {
        // While another Pelora holds the lock, the file may be its save in progress.
        const int folder = ::open(QFile::encodeName(home.folder).constData(), O_RDONLY);
        ASSERT_EQ(::flock(folder, LOCK_EX), 0);
        LinuxUserDefaults store(home.file);
        EXPECT_TRUE(QFileInfo::exists(stale));
        ::close(folder);
    }
    LinuxUserDefaults store(home.file);
    EXPECT_FALSE(QFileInfo::exists(stale));
    EXPECT_EQ(readFile(other), QByteArray("mine"));
}

TEST(LinuxUserDefaults, ChangesFromAnotherProcessAreNoticedKeyByKey) {
    ConfigHome home;
    LinuxUserDefaults store(home.file);
    QSignalSpy spy(&store, &UserDefaults::valueChanged);
    const auto tool = [&](const char* args) {
        spy.clear();
        ASSERT_EQ(runTool(home, QString::fromUtf8(args).split(u' ')), 0) << args;
        ASSERT_TRUE(waitUntil([&] { return !spy.isEmpty(); })) << args;
    };

    // Own writes are announced at once, and not again when their folder event arrives: the
    // next change from outside comes after it.
    store.setObject(QStringLiteral("own"), qint64(1));
    store.synchronize();
    EXPECT_EQ(spiedKeys(spy), QStringList{QStringLiteral("own")});
    ASSERT_EQ(runTool(home, {QStringLiteral("write"), QStringLiteral("side"), QStringLiteral("h")}),
              0);
    ASSERT_TRUE(waitUntil([&] { return spy.size() > 1; }));
    drainEvents();
    EXPECT_EQ(spiedKeys(spy), (QStringList{QStringLiteral("own"), QStringLiteral("side")}));
    EXPECT_EQ(store.stringForKey(QStringLiteral("side")), QStringLiteral("h"));
    EXPECT_EQ(store.integerForKey(QStringLiteral("own")), 1);

    // A bool flipped by another process leaves the file the same size.
    tool("write flag -bool true");
    EXPECT_TRUE(store.boolForKey(QStringLiteral("flag")));
    tool("write flag -bool false");
    EXPECT_FALSE(store.boolForKey(QStringLiteral("flag"), true));
    tool("delete side");
    EXPECT_EQ(spiedKeys(spy), QStringList{QStringLiteral("side")});
    EXPECT_FALSE(store.contains(QStringLiteral("side")));

    // A second store of this process is another writer as well.
    spy.clear();
    LinuxUserDefaults(home.file).setObject(QStringLiteral("fromOther"), QStringLiteral("x"));
    ASSERT_TRUE(waitUntil([&] { return !spy.isEmpty(); }));
    EXPECT_EQ(store.stringForKey(QStringLiteral("fromOther")), QStringLiteral("x"));
}

TEST(LinuxUserDefaults, AWriteLandingWhileAnotherProcessReadsIsKept) {
    ConfigHome home;
    LinuxUserDefaults(home.file).setObject(QStringLiteral("before"), true);
    // The slow writer lingers in its read of the file, under the lock, before writing back;
    // the quick one writes meanwhile.
    QProcess slow;
    slow.start(QStringLiteral(SLOW_DEFAULTS_WRITER),
               {home.file, QStringLiteral("slow"), QStringLiteral("1"), QStringLiteral("800")});
    while (!slow.canReadLine())
        ASSERT_TRUE(slow.waitForReadyRead(30000));
    ASSERT_EQ(slow.readLine().trimmed(), QByteArray("reading"));
    ASSERT_EQ(
        runTool(home, {QStringLiteral("write"), QStringLiteral("quick"), QStringLiteral("2")}), 0);
    ASSERT_TRUE(slow.waitForFinished(30000));
    EXPECT_EQ(slow.exitCode(), 0);

    LinuxUserDefaults store(home.file);
    EXPECT_TRUE(store.boolForKey(QStringLiteral("before")));
    EXPECT_EQ(store.stringForKey(QStringLiteral("slow")), QStringLiteral("1"));
    EXPECT_EQ(store.stringForKey(QStringLiteral("quick")), QStringLiteral("2"));
}

TEST(LinuxUserDefaults, AWriterKilledInTheMiddleOfASaveLeavesTheWholeOldFile) {
    ConfigHome home;
    LinuxUserDefaults(home.file).setObject(QStringLiteral("keep"), QStringLiteral("me"));
    const QByteArray before = readFile(home.file);
    // The system kills the writer once it has written some tens of KB of a 200 KB store.
    QStringList args{QStringLiteral("write"), QStringLiteral("big"), QStringLiteral("-array")};
    for (int i = 0; i < 4; ++i)
        args << QStringLiteral("-data") << QString::fromLatin1(QByteArray(50000, 'Z').toHex());
    QProcess writer;
    startTool(writer, home, args, 64);
    ASSERT_TRUE(writer.waitForFinished(30000));
    EXPECT_EQ(writer.exitStatus(), QProcess::CrashExit);
    EXPECT_EQ(readFile(home.file), before);
    const QStringList temporary =
        QDir(home.folder).entryList({QStringLiteral("defaults.cbor.??????")}, QDir::Files);
    EXPECT_EQ(temporary.size(), 1) << "the save had begun";

    LinuxUserDefaults store(home.file);
    EXPECT_EQ(store.allKeys(), QStringList{QStringLiteral("keep")});
    EXPECT_TRUE(home.setAside("corrupt").isEmpty());
    for (const QString& name : temporary)
        EXPECT_FALSE(QFileInfo::exists(home.folder + u'/' + name)) << name.toStdString();
}
