#include "platform/linux/LinuxUserDefaults.h"
#include "support/TestSupport.h"

#include <QCborArray>
#include <QCborMap>
#include <QCborValue>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <iostream>

#include <fcntl.h>
#include <functional>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// A private configuration home; the store lives where the program keeps it inside.
struct ConfigHome {
    QTemporaryDir dir;
    QString path() const { return dir.path(); }
    QString storeFile() const { return dir.path() + QStringLiteral("/pelora/defaults.cbor"); }
    QString storeFolder() const { return dir.path() + QStringLiteral("/pelora"); }
    QStringList setAside(const char* reason) const {
        return QDir(storeFolder())
            .entryList(
                {QStringLiteral("defaults.cbor.") + QLatin1String(reason) + QStringLiteral("-*")},
                QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
    QByteArray bytes(const QString& name) const {
        QFile f(storeFolder() + u'/' + name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

QString peloraExecutable() {
    return buildPath(QStringLiteral("Pelora.app/Contents/MacOS/pelora"));
}

void startTool(QProcess& process, const ConfigHome& home, const QStringList& args) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    process.setProcessEnvironment(env);
    process.start(peloraExecutable(), QStringList{QStringLiteral("defaults")} + args);
}

// Runs `pelora defaults ARGS` as a separate process over the same store.
int runTool(const ConfigHome& home, const QStringList& args, QString* out = nullptr) {
    QProcess process;
    startTool(process, home, args);
    if (!process.waitForFinished(30000))
        return -1;
    if (out)
        *out = QString::fromUtf8(process.readAllStandardOutput());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

std::unique_ptr<LinuxUserDefaults> freshStore(const QString& file) {
    return std::make_unique<LinuxUserDefaults>(file);
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

int modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

QStringList spiedKeys(const QSignalSpy& spy) {
    QStringList keys;
    for (const auto& args : spy)
        keys << args.at(0).toString();
    return keys;
}

} // namespace

TEST(LinuxUserDefaults, LivesUnderTheConfigurationHome) {
    EXPECT_EQ(LinuxUserDefaults::defaultFilePath(),
              qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/pelora/defaults.cbor"));
}

TEST(LinuxUserDefaults, ValuesKeepTheirTypesInAFreshStoreAndAnotherProcess) {
    ConfigHome home;
    const QByteArray blob("\x00\xff\x10", 3);
    const QDateTime when =
        QDateTime::fromString(QStringLiteral("2024-05-01T12:00:00.250+02:00"), Qt::ISODateWithMs);
    const QVariantList blobs{QByteArray("\x0a\x0b", 2), QByteArray()};
    const QVariantMap nested{{QStringLiteral("list"), QVariantList{qint64(1), QStringLiteral("a")}},
                             {QStringLiteral("when"), when}};
    const QString oddKey = QStringLiteral("odd/key%2F\\x");
    {
        LinuxUserDefaults store(home.storeFile());
        store.setObject(QStringLiteral("blob"), blob);
        store.setObject(QStringLiteral("when"), when);
        store.setObject(QStringLiteral("whole"), 2.0);
        store.setObject(QStringLiteral("tenth"), 0.1);
        store.setObject(QStringLiteral("big"), qint64(1) << 40);
        store.setObject(QStringLiteral("small"), int(7));
        store.setObject(QStringLiteral("flag"), false);
        store.setObject(QStringLiteral("text"), QStringLiteral("Grüße 👋\n\"quoted\""));
        store.setObject(QStringLiteral("blobs"), blobs);
        store.setObject(QStringLiteral("names"), QStringList{QStringLiteral("x")});
        store.setObject(QStringLiteral("nested"), nested);
        store.setObject(oddKey, QStringLiteral("kept"));
        // This process sees what a restart would: integers as 64-bit, dates in UTC.
        EXPECT_EQ(store.objectForKey(QStringLiteral("small"))->metaType().id(),
                  QMetaType::LongLong);
        EXPECT_EQ(store.objectForKey(QStringLiteral("when"))->toDateTime().timeSpec(), Qt::UTC);
        store.synchronize();
        EXPECT_FALSE(store.hasUnsavedChanges());
        // The file is what earlier versions wrote and read: one tagged CBOR map.
        QVariantMap stored;
        for (const QString& key : store.allKeys())
            stored.insert(key, *store.objectForKey(key));
        EXPECT_EQ(home.bytes(QStringLiteral("defaults.cbor")),
                  QCborValue(QCborKnownTags::Signature, QCborMap::fromVariantMap(stored)).toCbor());
    }

    auto store = freshStore(home.storeFile());
    auto typed = [&](const char* key, int type) {
        auto v = store->objectForKey(QString::fromLatin1(key));
        EXPECT_TRUE(v.has_value()) << key;
        if (v) {
            EXPECT_EQ(v->metaType().id(), type) << key;
        }
        return v.value_or(QVariant());
    };
    EXPECT_EQ(typed("blob", QMetaType::QByteArray).toByteArray(), blob);
    const QDateTime readWhen = typed("when", QMetaType::QDateTime).toDateTime();
    EXPECT_EQ(readWhen, when);
    EXPECT_EQ(readWhen.timeSpec(), Qt::UTC);
    EXPECT_EQ(typed("whole", QMetaType::Double).toDouble(), 2.0);
    EXPECT_EQ(typed("tenth", QMetaType::Double).toDouble(), 0.1);
    EXPECT_EQ(typed("big", QMetaType::LongLong).toLongLong(), qint64(1) << 40);
    EXPECT_EQ(typed("small", QMetaType::LongLong).toLongLong(), 7);
    EXPECT_EQ(typed("flag", QMetaType::Bool).toBool(), false);
    EXPECT_EQ(typed("text", QMetaType::QString).toString(), QStringLiteral("Grüße 👋\n\"quoted\""));
    EXPECT_EQ(typed("blobs", QMetaType::QVariantList).toList(), blobs);
    EXPECT_EQ(store->arrayForKey(QStringLiteral("blobs"))->at(0).metaType().id(),
              QMetaType::QByteArray);
    EXPECT_EQ(typed("names", QMetaType::QVariantList).toList(), QVariantList{QStringLiteral("x")});
    const QVariantMap readNested = typed("nested", QMetaType::QVariantMap).toMap();
    EXPECT_EQ(readNested.value(QStringLiteral("list")).toList().at(0).metaType().id(),
              QMetaType::LongLong);
    EXPECT_EQ(readNested.value(QStringLiteral("when")).toDateTime(), when);
    EXPECT_EQ(store->stringForKey(oddKey), QStringLiteral("kept"));
    EXPECT_EQ(store->allKeys().size(), 12);

    // A separate process reads the same types from the file.
    QString out;
    ASSERT_EQ(runTool(home, {QStringLiteral("read")}, &out), 0);
    for (const char* line :
         {"blob = data <00ff10>\n", "when = date 2024-05-01T10:00:00.250Z\n", "whole = float 2\n",
          "tenth = float 0.1\n", "big = int 1099511627776\n", "flag = bool false\n",
          "\"odd/key%2F\\\\x\" = string \"kept\"\n"})
        EXPECT_TRUE(out.contains(QString::fromUtf8(line))) << line << "\nin:\n"
                                                           << out.toStdString();
}

TEST(LinuxUserDefaults, TheFileIsPrivateAndWrittenWithoutBeingAsked) {
    ConfigHome home;
    LinuxUserDefaults store(home.storeFile());
    store.setObject(QStringLiteral("PeloraStripVisible"), true);
    // No synchronize(): the write reaches the disk on its own, at the next turn of the loop.
    ASSERT_TRUE(waitUntil([&] { return home.bytes(QStringLiteral("defaults.cbor")).size() > 0; }));
    EXPECT_EQ(modeOf(home.storeFile()), 0600);
    EXPECT_EQ(modeOf(home.storeFolder()), 0700);

    QFile::setPermissions(home.storeFile(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ReadOther);
    store.setObject(QStringLiteral("PeloraStripVisible"), false);
    store.synchronize();
    EXPECT_EQ(modeOf(home.storeFile()), 0600);
}

TEST(LinuxUserDefaults, DamagedFilesCountAsEmptyAndAreSetAsideUntouched) {
    QByteArray good;
    {
        ConfigHome home;
        LinuxUserDefaults store(home.storeFile());
        store.setObject(QStringLiteral("blob"), QByteArray(300, 'x'));
        store.setObject(QStringLiteral("name"), QStringLiteral("value"));
        store.synchronize();
        good = home.bytes(QStringLiteral("defaults.cbor"));
    }
    ASSERT_GT(good.size(), 300);
    const std::vector<std::pair<const char*, QByteArray>> damaged{
        {"truncated", good.left(good.size() / 2)},
        {"garbage", QByteArray("not a store at all\x01\x02", 20)},
        {"not a map", QCborValue(QCborArray{{1, 2}}).toCbor()},
        {"trailing bytes", good + QByteArray("\x00", 1)},
        {"nested too deep", QByteArray("\xd9\xd9\xf7\xa1\x61k") +
                                QByteArray(LinuxUserDefaults::kMaxDepth + 1, '\x81') + '\x01'},
        // Larger than any store the program writes (see below): not read at all.
        {"too large",
         LinuxUserDefaults::encodeFile(
             {{QStringLiteral("huge"), QByteArray(LinuxUserDefaults::kMaxFileSize, 'x')}})},
    };
    for (const auto& [what, bytes] : damaged) {
        SCOPED_TRACE(what);
        ConfigHome home;
        writeFile(home.storeFile(), bytes);
        {
            LinuxUserDefaults store(home.storeFile());
            EXPECT_TRUE(store.allKeys().isEmpty());
            const QStringList aside = home.setAside("corrupt");
            ASSERT_EQ(aside.size(), 1);
            EXPECT_EQ(home.bytes(aside.first()), bytes);
            EXPECT_EQ(modeOf(home.storeFolder() + u'/' + aside.first()), 0600);

            store.setObject(QStringLiteral("after"), qint64(1));
            store.synchronize();
            EXPECT_FALSE(store.hasUnsavedChanges());
        }
        auto again = freshStore(home.storeFile());
        EXPECT_EQ(again->allKeys(), QStringList{QStringLiteral("after")});
        EXPECT_EQ(home.setAside("corrupt").size(), 1);
    }
}

TEST(LinuxUserDefaults, AStoreTooLargeToReadBackIsNotWritten) {
    ConfigHome home;
    {
        LinuxUserDefaults store(home.storeFile());
        store.setObject(QStringLiteral("small"), true);
        store.synchronize();
        store.setObject(QStringLiteral("huge"), QByteArray(LinuxUserDefaults::kMaxFileSize, 'x'));
        store.synchronize();
        EXPECT_TRUE(store.hasUnsavedChanges());
    }
    EXPECT_EQ(freshStore(home.storeFile())->allKeys(), QStringList{QStringLiteral("small")});
}

TEST(LinuxUserDefaults, AFileDamagedWhileRunningIsKeptAsideNotOverwritten) {
    ConfigHome home;
    LinuxUserDefaults store(home.storeFile());
    store.setObject(QStringLiteral("old"), QStringLiteral("value"));
    store.synchronize();
    QSignalSpy spy(&store, &UserDefaults::valueChanged);

    // Another writer botches the file in place; this store then writes a key.
    const QByteArray garbage(7, '\xee');
    writeFile(home.storeFile(), garbage);
    store.setObject(QStringLiteral("new"), true);
    store.synchronize();

    const QStringList aside = home.setAside("corrupt");
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(home.bytes(aside.first()), garbage);
    // The damaged file counted as empty: the old key is gone, and that is announced.
    EXPECT_FALSE(store.contains(QStringLiteral("old")));
    EXPECT_TRUE(spiedKeys(spy).contains(QStringLiteral("old")));
    auto again = freshStore(home.storeFile());
    EXPECT_EQ(again->allKeys(), QStringList{QStringLiteral("new")});
}

TEST(LinuxUserDefaults, AnythingButAPlainFileIsSetAsideNeverReadOrWrittenThrough) {
    QTemporaryDir outside;
    const QString target = outside.path() + QStringLiteral("/elsewhere.cbor");
    const QByteArray targetBytes = LinuxUserDefaults::encodeFile({{QStringLiteral("outside"), 1}});
    writeFile(target, targetBytes);
    const std::vector<std::pair<const char*, std::function<void(const QString&)>>> cases{
        // A folder cannot be opened as a file, even by root.
        {"folder",
         [](const QString& path) {
             QDir().mkpath(path);
         }},
        // Opening a FIFO for reading waits for a writer.
        {"fifo",
         [](const QString& path) {
             ::mkfifo(QFile::encodeName(path).constData(), 0600);
         }},
        {"link to a store elsewhere",
         [&](const QString& path) {
             QFile::link(target, path);
         }},
        {"dangling link",
         [&](const QString& path) {
             QFile::link(outside.path() + QStringLiteral("/new"), path);
         }},
    };
    for (const auto& [what, make] : cases) {
        SCOPED_TRACE(what);
        ConfigHome home;
        QDir().mkpath(home.storeFolder());
        make(home.storeFile());
        QProcess tool;
        startTool(tool, home, {QStringLiteral("read")});
        if (!tool.waitForFinished(10000)) {
            tool.kill();
            tool.waitForFinished();
            ADD_FAILURE() << "pelora defaults read blocked";
            continue;
        }
        EXPECT_EQ(tool.exitCode(), 0);
        EXPECT_TRUE(tool.readAllStandardOutput().isEmpty());
        ASSERT_EQ(home.setAside("unreadable").size(), 1);

        LinuxUserDefaults store(home.storeFile());
        store.setObject(QStringLiteral("key"), QStringLiteral("value"));
        store.synchronize();
        EXPECT_FALSE(store.hasUnsavedChanges());
        EXPECT_TRUE(QFileInfo(home.storeFile()).isFile());
        EXPECT_FALSE(QFileInfo(home.storeFile()).isSymLink());
        EXPECT_EQ(modeOf(home.storeFile()), 0600);
        EXPECT_EQ(freshStore(home.storeFile())->allKeys(), QStringList{QStringLiteral("key")});
        QFile targetFile(target);
        ASSERT_TRUE(targetFile.open(QIODevice::ReadOnly));
        EXPECT_EQ(targetFile.readAll(), targetBytes);
        EXPECT_FALSE(QFileInfo::exists(outside.path() + QStringLiteral("/new")));
    }
}

TEST(LinuxUserDefaults, StaleTemporaryFilesAreRemovedButNotOneBeingWritten) {
    ConfigHome home;
    const QString stale = home.storeFile() + QStringLiteral(".Ab12Cd");
    const QString other = home.storeFile() + QStringLiteral(".notes");
    writeFile(stale, QByteArray(100, 'x'));
    writeFile(other, "mine");
    {
        // While another Pelora holds the lock, the file may be its save in progress.
        const int folder = ::open(QFile::encodeName(home.storeFolder()).constData(), O_RDONLY);
        ASSERT_EQ(::flock(folder, LOCK_EX), 0);
        LinuxUserDefaults store(home.storeFile());
        EXPECT_TRUE(QFileInfo::exists(stale));
        ::close(folder);
    }
    LinuxUserDefaults store(home.storeFile());
    EXPECT_FALSE(QFileInfo::exists(stale));
    EXPECT_EQ(home.bytes(QStringLiteral("defaults.cbor.notes")), QByteArray("mine"));
}

TEST(LinuxUserDefaults, ChangesFromAnotherProcessAreNoticedKeyByKey) {
    ConfigHome home;
    LinuxUserDefaults store(home.storeFile());
    QSignalSpy spy(&store, &UserDefaults::valueChanged);

    // Own writes are announced once, at once, and not again when the folder event arrives.
    store.setObject(QStringLiteral("own"), qint64(1));
    EXPECT_EQ(spiedKeys(spy), QStringList{QStringLiteral("own")});
    QThread::msleep(200);
    drainEvents();
    EXPECT_EQ(spiedKeys(spy), QStringList{QStringLiteral("own")});
    spy.clear();

    ASSERT_EQ(runTool(home, {QStringLiteral("write"), QStringLiteral("stripOrientation"),
                             QStringLiteral("horizontal")}),
              0);
    ASSERT_TRUE(waitUntil([&] { return !spy.isEmpty(); }));
    drainEvents();
    EXPECT_EQ(spiedKeys(spy), QStringList{QStringLiteral("stripOrientation")});
    EXPECT_EQ(store.stringForKey(QStringLiteral("stripOrientation")), QStringLiteral("horizontal"));
    EXPECT_EQ(store.integerForKey(QStringLiteral("own")), 1);

    // A bool flipped by another process leaves the file the same size.
    for (const char* flag : {"true", "false"}) {
        spy.clear();
        ASSERT_EQ(runTool(home, {QStringLiteral("write"), QStringLiteral("flag"),
                                 QStringLiteral("-bool"), QString::fromLatin1(flag)}),
                  0);
        ASSERT_TRUE(waitUntil([&] { return spiedKeys(spy).contains(QStringLiteral("flag")); }))
            << flag;
        EXPECT_EQ(store.boolForKey(QStringLiteral("flag"), true), qstrcmp(flag, "true") == 0);
    }

    spy.clear();
    ASSERT_EQ(runTool(home, {QStringLiteral("delete"), QStringLiteral("stripOrientation")}), 0);
    ASSERT_TRUE(waitUntil([&] { return !spy.isEmpty(); }));
    EXPECT_EQ(spiedKeys(spy), QStringList{QStringLiteral("stripOrientation")});
    EXPECT_FALSE(store.contains(QStringLiteral("stripOrientation")));

    // A second store of this process is another writer as well.
    spy.clear();
    {
        LinuxUserDefaults other(home.storeFile());
        other.setObject(QStringLiteral("fromOther"), QStringLiteral("x"));
    }
    ASSERT_TRUE(waitUntil([&] { return !spy.isEmpty(); }));
    EXPECT_EQ(store.stringForKey(QStringLiteral("fromOther")), QStringLiteral("x"));
}

TEST(LinuxUserDefaults, ConcurrentWritersKeepEachOthersKeys) {
    ConfigHome home;
    {
        LinuxUserDefaults store(home.storeFile());
        store.setObject(QStringLiteral("before"), true);
    }
    constexpr int kWriters = 6;
    std::vector<std::unique_ptr<QProcess>> writers;
    for (int i = 0; i < kWriters; ++i) {
        writers.push_back(std::make_unique<QProcess>());
        startTool(*writers.back(), home,
                  {QStringLiteral("write"), QStringLiteral("k%1").arg(i), QStringLiteral("-int"),
                   QString::number(i)});
    }
    for (auto& w : writers) {
        ASSERT_TRUE(w->waitForFinished(30000));
        EXPECT_EQ(w->exitCode(), 0);
    }
    auto store = freshStore(home.storeFile());
    EXPECT_TRUE(store->boolForKey(QStringLiteral("before")));
    for (int i = 0; i < kWriters; ++i)
        EXPECT_EQ(store->integerForKey(QStringLiteral("k%1").arg(i), -1), i) << i;
}

TEST(LinuxUserDefaults, AWriteLandingWhileAnotherProcessReadsIsKept) {
    ConfigHome home;
    {
        LinuxUserDefaults store(home.storeFile());
        store.setObject(QStringLiteral("before"), true);
    }
    // The slow writer lingers in its read of the file before writing back; the quick one
    // writes meanwhile.
    QProcess slow;
    slow.start(QStringLiteral(SLOW_DEFAULTS_WRITER), {home.storeFile(), QStringLiteral("slow"),
                                                      QStringLiteral("1"), QStringLiteral("800")});
    ASSERT_TRUE(slow.waitForStarted());
    while (!slow.canReadLine())
        ASSERT_TRUE(slow.waitForReadyRead(30000));
    ASSERT_EQ(slow.readLine().trimmed(), QByteArray("reading"));
    ASSERT_EQ(
        runTool(home, {QStringLiteral("write"), QStringLiteral("quick"), QStringLiteral("2")}), 0);
    ASSERT_TRUE(slow.waitForFinished(30000));
    EXPECT_EQ(slow.exitCode(), 0);

    auto store = freshStore(home.storeFile());
    EXPECT_TRUE(store->boolForKey(QStringLiteral("before")));
    EXPECT_EQ(store->stringForKey(QStringLiteral("slow")), QStringLiteral("1"));
    EXPECT_EQ(store->stringForKey(QStringLiteral("quick")), QStringLiteral("2"));
}

TEST(LinuxUserDefaults, AWriterKilledAtAnyMomentLeavesAWholeFile) {
    ConfigHome home;
    {
        LinuxUserDefaults store(home.storeFile());
        store.setObject(QStringLiteral("keep"), QStringLiteral("me"));
    }
    // Large enough that writing takes a while: twelve 60 KB data items.
    const QString chunk = QString::fromLatin1(QByteArray(60 * 1024, '\x5a').toHex());
    auto writeArgs = [&](const char* key) {
        QStringList args{QStringLiteral("write"), QString::fromLatin1(key),
                         QStringLiteral("-array")};
        for (int i = 0; i < 12; ++i)
            args << QStringLiteral("-data") << chunk;
        return args;
    };
    // Left alone, the writer succeeds; its time spreads the kills over its whole life.
    QElapsedTimer clock;
    clock.start();
    ASSERT_EQ(runTool(home, writeArgs("measured")), 0);
    const qint64 lifetime = clock.elapsed();

    constexpr int kRounds = 24;
    int killedMidSave = 0;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE(round);
        QProcess writer;
        startTool(writer, home, writeArgs("big"));
        ASSERT_TRUE(writer.waitForStarted());
        QThread::msleep(lifetime * round / kRounds);
        writer.kill();
        writer.waitForFinished();
        const QStringList temporary =
            QDir(home.storeFolder())
                .entryList({QStringLiteral("defaults.cbor.??????")}, QDir::Files | QDir::Hidden);
        killedMidSave += temporary.size();

        QFile file(home.storeFile());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QCborParserError error;
        QCborValue::fromCbor(file.readAll(), &error);
        EXPECT_EQ(error.error, QCborError::NoError);
        auto store = freshStore(home.storeFile());
        EXPECT_EQ(store->stringForKey(QStringLiteral("keep")), QStringLiteral("me"));
        EXPECT_EQ(store->arrayForKey(QStringLiteral("measured"))->size(), 12);
        if (auto big = store->arrayForKey(QStringLiteral("big"))) {
            EXPECT_EQ(big->size(), 12);
            EXPECT_EQ(big->last().toByteArray().size(), 60 * 1024);
        }
        EXPECT_TRUE(home.setAside("corrupt").isEmpty());
        for (const QString& name : temporary)
            EXPECT_FALSE(QFileInfo::exists(home.storeFolder() + u'/' + name)) << name.toStdString();
    }
    // When every kill missed the write itself the round proved less; on a loaded machine the
    // timing can do that, so it is reported rather than failed.
    RecordProperty("killedMidSave", killedMidSave);
    if (killedMidSave == 0)
        std::cerr << "note: no kill landed in the middle of a save\n";
}
