#include "history/RunningApplicationsHistoryService.h"
#include "common/Dates.h"
#include "common/Services.h"
#include "fakes/FakeBundle.h"
#include "fakes/FakeRunningApplications.h"
#include "fakes/FakeWorkspace.h"
#include "history/RecentApplicationsService.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QDateTime kT0 = QDateTime(QDate(2024, 5, 1), QTime(12, 0), Qt::UTC);

class ActivationHistoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        bundle->path = makeDir(QStringLiteral("Pelora.app"));
        platform.bundle = bundle;
        platform.defaults = defaults;
        platform.workspace = workspace;
        platform.runningApplications = running;
        recreate();
    }

    // A fresh Services over the same stored defaults: what the next program start sees.
    void recreate() {
        services.reset();
        services = std::make_unique<Services>(platform);
        history().setClock([this] { return clock; });
    }

    RunningApplicationsHistoryService& history() {
        return services->get<RunningApplicationsHistoryService>();
    }

    QString makeDir(const QString& name) {
        const QString path = dir.path() + u'/' + name;
        QDir().mkpath(path);
        return path;
    }
    // An application bundle (a desktop entry) that exists on disk.
    QString makeEntry(const QString& fileName) {
        const QString path = dir.path() + u'/' + fileName;
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write("[Desktop Entry]\nType=Application\n");
        return path;
    }
    RunningApplication app(const QString& name, const QString& id, const QString& fileName) {
        return makeRunningApplication(name, id,
                                      fileName.isEmpty() ? QString() : makeEntry(fileName));
    }

    // Activates at the given minute after kT0.
    void activateAt(int minute, const RunningApplication& a) {
        clock = kT0.addSecs(60 * minute);
        running->bringToFront(a);
    }

    QStringList
    listedNames(int limit = 10,
                std::optional<QString> excluding = QStringLiteral("org.pelora.Pelora")) {
        QStringList names;
        for (const RecentAppItem& item : history().recentApplications(limit, excluding))
            names << item.displayName;
        return names;
    }

    QJsonObject storedJson() const {
        return QJsonDocument::fromJson(
                   defaults->dataForKey(
                       RunningApplicationsHistoryService::activationRecordsKey.key()))
            .object();
    }

    QTemporaryDir dir;
    std::shared_ptr<FakeBundle> bundle = std::make_shared<FakeBundle>();
    std::shared_ptr<InMemoryUserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
    std::shared_ptr<FakeWorkspace> workspace = std::make_shared<FakeWorkspace>();
    std::shared_ptr<FakeRunningApplications> running = std::make_shared<FakeRunningApplications>();
    Platform platform;
    std::unique_ptr<Services> services;
    QDateTime clock = kT0;
};

TEST_F(ActivationHistoryTest, StartRecordsTheFrontmostOnceAndObservesOnce) {
    const auto editor = app(QStringLiteral("Editor"), QStringLiteral("editor.desktop"),
                            QStringLiteral("editor.desktop"));
    const auto viewer = app(QStringLiteral("Viewer"), QStringLiteral("viewer.desktop"),
                            QStringLiteral("viewer.desktop"));
    running->frontmost = editor;
    int writes = 0;
    QObject::connect(defaults.get(), &UserDefaults::valueChanged, [&](const QString& key) {
        if (key == RunningApplicationsHistoryService::activationRecordsKey.key())
            ++writes;
    });

    // Nothing is recorded before start().
    running->bringToFront(viewer);
    EXPECT_TRUE(history().persistedRecords().isEmpty());
    running->frontmost = editor;

    history().start();
    EXPECT_TRUE(history().isStarted());
    EXPECT_EQ(writes, 1);
    EXPECT_EQ(history().lastActivationDate(editor), kT0);
    clock = kT0.addSecs(60);
    history().start();
    history().start();
    EXPECT_EQ(writes, 1) << "the frontmost application is recorded by the first start only";
    EXPECT_EQ(history().lastActivationDate(editor), kT0);

    activateAt(2, viewer);
    EXPECT_EQ(writes, 2) << "one observer, one record per activation";
    EXPECT_EQ(listedNames(), (QStringList{QStringLiteral("Viewer"), QStringLiteral("Editor")}));
}

TEST_F(ActivationHistoryTest, StartWithoutFrontmostApplicationRecordsNothing) {
    history().start();
    EXPECT_TRUE(history().persistedRecords().isEmpty());
    EXPECT_FALSE(defaults->contains(RunningApplicationsHistoryService::activationRecordsKey.key()));
    EXPECT_TRUE(listedNames().isEmpty());
}

TEST_F(ActivationHistoryTest, TheProgramItselfIsNeitherRecordedNorListed) {
    // The launcher entry the installation adds starts the program's own executable.
    const QString launcher = makeEntry(QStringLiteral("pelora.desktop"));
    workspace->executables.insert(launcher, bundle->executablePath());
    RunningApplication ownWindow =
        makeRunningApplication(QStringLiteral("Some Window"), QStringLiteral("other.desktop"),
                               makeEntry(QStringLiteral("other.desktop")));
    ownWindow.isCurrentProcess = true;
    const QList<RunningApplication> itself{
        ownWindow,
        makeRunningApplication(QStringLiteral("Pelora"), {}, bundle->path),
        makeRunningApplication(QStringLiteral("Pelora"), QStringLiteral("pelora.desktop"),
                               launcher),
        // A copy elsewhere that carries the program's bundle identifier.
        app(QStringLiteral("Pelora Copy"), QStringLiteral("org.pelora.Pelora"),
            QStringLiteral("pelora-copy.desktop")),
    };
    history().start();
    int minute = 0;
    for (const RunningApplication& a : itself) {
        activateAt(++minute, a);
        EXPECT_TRUE(history().persistedRecords().isEmpty()) << qPrintable(*a.localizedName);
        EXPECT_FALSE(history().lastActivationDate(a));
    }
    EXPECT_FALSE(defaults->contains(RunningApplicationsHistoryService::activationRecordsKey.key()));

    // What an earlier version stored of the program is left out of the list, with or without
    // an identifier to exclude.
    const QJsonObject stored{{launcher, QJsonObject{{"bundlePath", launcher},
                                                    {"displayName", "Pelora"},
                                                    {"lastActivatedAt", 10.0}}}};
    defaults->setObject(RunningApplicationsHistoryService::activationRecordsKey.key(),
                        QJsonDocument(stored).toJson());
    recreate();
    history().start();
    activateAt(1, app(QStringLiteral("Editor"), QStringLiteral("editor.desktop"),
                      QStringLiteral("editor.desktop")));
    EXPECT_EQ(history().persistedRecords().size(), 2);
    EXPECT_EQ(listedNames(), QStringList{QStringLiteral("Editor")});
    EXPECT_EQ(listedNames(10, std::nullopt), QStringList{QStringLiteral("Editor")});
}

TEST_F(ActivationHistoryTest, AnApplicationWithoutIdentifierIsKeyedByItsPath) {
    history().start();
    const auto tool = app(QStringLiteral("Tool"), {}, QStringLiteral("tool.desktop"));
    const QString path = tool.bundleURL->toLocalFile();
    activateAt(1, tool);

    ASSERT_TRUE(history().persistedRecords().contains(path));
    EXPECT_FALSE(history().persistedRecords().value(path).bundleIdentifier.has_value());
    const QJsonObject stored = storedJson().value(path).toObject();
    EXPECT_FALSE(stored.contains(QStringLiteral("bundleIdentifier")))
        << "an absent identifier is omitted, never null";
    EXPECT_EQ(stored.value(QStringLiteral("bundlePath")).toString(), path);
    // Excluding an identifier never drops an application that has none.
    EXPECT_EQ(listedNames(10, QStringLiteral("tool.desktop")), QStringList{QStringLiteral("Tool")});
    const QList<RecentAppItem> items = history().recentApplications(10, std::nullopt);
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0].url, QUrl::fromLocalFile(path));
    EXPECT_EQ(workspace->nameOfIcon(items[0].icon), QStringLiteral("file:") + path);
}

TEST_F(ActivationHistoryTest, ApplicationsWithoutKeyOrBundleAreNotRecorded) {
    history().start();
    activateAt(1, makeRunningApplication({}, {}, {}));
    activateAt(2, makeRunningApplication(QStringLiteral("Named Only"), {}, {}));
    activateAt(3,
               makeRunningApplication(QStringLiteral("Id Only"), QStringLiteral("id.desktop"), {}));
    EXPECT_TRUE(history().persistedRecords().isEmpty());
    EXPECT_FALSE(defaults->contains(RunningApplicationsHistoryService::activationRecordsKey.key()));
    EXPECT_FALSE(
        history().lastActivationDate(makeRunningApplication(QStringLiteral("Named Only"), {}, {})));
}

TEST_F(ActivationHistoryTest, ReactivationMovesToTheTopWithoutASecondRecord) {
    history().start();
    const auto a = app(QStringLiteral("Alpha"), QStringLiteral("alpha.desktop"),
                       QStringLiteral("alpha.desktop"));
    const auto b =
        app(QStringLiteral("Beta"), QStringLiteral("beta.desktop"), QStringLiteral("beta.desktop"));
    activateAt(1, a);
    activateAt(2, b);
    EXPECT_EQ(listedNames(), (QStringList{QStringLiteral("Beta"), QStringLiteral("Alpha")}));
    activateAt(3, a);
    EXPECT_EQ(listedNames(), (QStringList{QStringLiteral("Alpha"), QStringLiteral("Beta")}));
    EXPECT_EQ(history().persistedRecords().size(), 2);
    EXPECT_EQ(storedJson().size(), 2);
    EXPECT_EQ(history().lastActivationDate(a), kT0.addSecs(180));
}

TEST_F(ActivationHistoryTest, EqualDatesSortByNameIgnoringCaseAndLimitKeepsTheNewest) {
    history().start();
    // Same minute for both: "alpha" before "Beta" only when case is ignored.
    activateAt(
        5, app(QStringLiteral("Beta"), QStringLiteral("b.desktop"), QStringLiteral("b.desktop")));
    activateAt(
        5, app(QStringLiteral("alpha"), QStringLiteral("a.desktop"), QStringLiteral("a.desktop")));
    activateAt(
        1, app(QStringLiteral("Old"), QStringLiteral("o.desktop"), QStringLiteral("o.desktop")));
    activateAt(
        9, app(QStringLiteral("New"), QStringLiteral("n.desktop"), QStringLiteral("n.desktop")));

    EXPECT_EQ(listedNames(), (QStringList{QStringLiteral("New"), QStringLiteral("alpha"),
                                          QStringLiteral("Beta"), QStringLiteral("Old")}));
    EXPECT_EQ(listedNames(2), (QStringList{QStringLiteral("New"), QStringLiteral("alpha")}));
    EXPECT_TRUE(listedNames(0).isEmpty());
}

TEST_F(ActivationHistoryTest, DeletedBundlesAreSkippedButKept) {
    history().start();
    const auto gone =
        app(QStringLiteral("Gone"), QStringLiteral("gone.desktop"), QStringLiteral("gone.desktop"));
    const auto kept =
        app(QStringLiteral("Kept"), QStringLiteral("kept.desktop"), QStringLiteral("kept.desktop"));
    activateAt(1, gone);
    activateAt(2, kept);
    ASSERT_TRUE(QFile::remove(gone.bundleURL->toLocalFile()));
    EXPECT_EQ(listedNames(), QStringList{QStringLiteral("Kept")});
    EXPECT_EQ(history().persistedRecords().size(), 2);
    EXPECT_TRUE(storedJson().contains(QStringLiteral("gone.desktop")));
}

TEST_F(ActivationHistoryTest, DisplayNameFallsBackToTheBundleFileName) {
    history().start();
    activateAt(1, app({}, QStringLiteral("org.example.Nameless.desktop"),
                      QStringLiteral("org.example.Nameless.desktop")));
    EXPECT_EQ(listedNames(), QStringList{QStringLiteral("org.example.Nameless")});
}

TEST_F(ActivationHistoryTest, RecordsSurviveARestartInTheStoredFormat) {
    history().start();
    const auto a = app(QStringLiteral("Alpha"), QStringLiteral("alpha.desktop"),
                       QStringLiteral("alpha.desktop"));
    activateAt(1, a);
    const QJsonObject record = storedJson().value(QStringLiteral("alpha.desktop")).toObject();
    EXPECT_EQ(record.value(QStringLiteral("bundleIdentifier")).toString(),
              QStringLiteral("alpha.desktop"));
    EXPECT_EQ(record.value(QStringLiteral("displayName")).toString(), QStringLiteral("Alpha"));
    EXPECT_DOUBLE_EQ(record.value(QStringLiteral("lastActivatedAt")).toDouble(),
                     secondsSince2001(kT0.addSecs(60)));
    EXPECT_EQ(record.size(), 4);

    recreate();
    EXPECT_FALSE(history().isStarted());
    EXPECT_EQ(listedNames(), QStringList{QStringLiteral("Alpha")});
    EXPECT_EQ(history().lastActivationDate(a), kT0.addSecs(60));
}

TEST_F(ActivationHistoryTest, UndecodableStoredDataCountsAsEmptyUntilTheNextActivation) {
    const QString key = RunningApplicationsHistoryService::activationRecordsKey.key();
    const QString path = makeEntry(QStringLiteral("x.desktop"));
    const QList<QByteArray> bad{
        "not json", "[1, 2]",
        "{\"x\": {\"bundlePath\": \"" + path.toUtf8() + "\", \"displayName\": \"X\"}}",
        "{\"x\": {\"bundlePath\": \"" + path.toUtf8() +
            "\", \"displayName\": \"X\", \"lastActivatedAt\": \"yesterday\"}}",
        // One good and one bad record: the whole value is undecodable.
        "{\"x\": {\"bundlePath\": \"" + path.toUtf8() +
            "\", \"displayName\": \"X\", \"lastActivatedAt\": 1},"
            " \"y\": {\"bundlePath\": 5, \"displayName\": \"Y\", \"lastActivatedAt\": 1}}",
        "{\"x\": {\"bundleIdentifier\": 7, \"bundlePath\": \"" + path.toUtf8() +
            "\", \"displayName\": \"X\", \"lastActivatedAt\": 1}}"};
    for (const QByteArray& data : bad) {
        defaults->setObject(key, data);
        recreate();
        EXPECT_TRUE(history().persistedRecords().isEmpty()) << data.constData();
        EXPECT_TRUE(listedNames().isEmpty());
        EXPECT_EQ(defaults->dataForKey(key), data) << "loading never rewrites the stored value";
    }
    // A stored value of the wrong kind is no history either.
    defaults->setObject(key, QStringLiteral("text"));
    recreate();
    EXPECT_TRUE(history().persistedRecords().isEmpty());

    history().start();
    activateAt(1, app(QStringLiteral("Fresh"), QStringLiteral("fresh.desktop"),
                      QStringLiteral("fresh.desktop")));
    EXPECT_EQ(storedJson().keys(), QStringList{QStringLiteral("fresh.desktop")});
}

TEST_F(ActivationHistoryTest, ANullIdentifierReadsAsAbsent) {
    const QString path = makeEntry(QStringLiteral("n.desktop"));
    defaults->setObject(RunningApplicationsHistoryService::activationRecordsKey.key(),
                        QByteArray("{\"" + path.toUtf8() +
                                   "\": {\"bundleIdentifier\": null, "
                                   "\"bundlePath\": \"" +
                                   path.toUtf8() +
                                   "\", \"displayName\": \"N\", \"lastActivatedAt\": 10}}"));
    recreate();
    ASSERT_EQ(history().persistedRecords().size(), 1);
    EXPECT_FALSE(history().persistedRecords().value(path).bundleIdentifier.has_value());
    EXPECT_EQ(history().persistedRecords().value(path).lastActivatedAt,
              dateFromSecondsSince2001(10));
}

TEST_F(ActivationHistoryTest, ClearingEmptiesTheListButKeepsActivationDates) {
    history().start();
    const auto a = app(QStringLiteral("Alpha"), QStringLiteral("alpha.desktop"),
                       QStringLiteral("alpha.desktop"));
    activateAt(1, a);
    history().clearPersistedRecords();
    EXPECT_TRUE(listedNames().isEmpty());
    EXPECT_FALSE(defaults->contains(RunningApplicationsHistoryService::activationRecordsKey.key()));
    EXPECT_EQ(history().lastActivationDate(a), kT0.addSecs(60));

    const auto b =
        app(QStringLiteral("Beta"), QStringLiteral("beta.desktop"), QStringLiteral("beta.desktop"));
    activateAt(2, b);
    EXPECT_EQ(listedNames(), QStringList{QStringLiteral("Beta")});
    EXPECT_EQ(storedJson().keys(), QStringList{QStringLiteral("beta.desktop")});
}

TEST_F(ActivationHistoryTest, LastActivationDateFollowsTheApplicationKey) {
    history().start();
    const QString path = makeEntry(QStringLiteral("k.desktop"));
    activateAt(1, makeRunningApplication(QStringLiteral("K"), QStringLiteral("k.desktop"), path));
    // The identifier decides, whatever the name or path of the asking snapshot.
    EXPECT_EQ(history().lastActivationDate(
                  makeRunningApplication(QStringLiteral("Other"), QStringLiteral("k.desktop"), {})),
              kT0.addSecs(60));
    EXPECT_FALSE(
        history().lastActivationDate(makeRunningApplication(QStringLiteral("K"), {}, path)))
        << "keyed by identifier, so the path alone does not find it";
    EXPECT_FALSE(history().lastActivationDate(makeRunningApplication({}, {}, {})));
}

TEST(RecentApplicationsService, HoldsTheListSize) {
    Services services(Platform{});
    EXPECT_EQ(services.get<RecentApplicationsService>().maxResults, 10);
}

} // namespace
