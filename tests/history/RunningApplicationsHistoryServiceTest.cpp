#include "HistoryTestSupport.h"

#include "common/Dates.h"
#include "history/RunningApplicationsHistoryService.h"

#include <QSignalSpy>

namespace {

const QDateTime kT0 = QDateTime(QDate(2024, 5, 1), QTime(12, 0), Qt::UTC);
const QString kKey = RunningApplicationsHistoryService::activationRecordsKey.key();

class RunningApplicationsHistoryTest : public HistoryTest {
protected:
    RunningApplicationsHistoryTest() {
        fakes.bundle->path = folder("Pelora.app");
        recreate();
    }
    // A fresh start over the same stored defaults.
    void recreate() {
        made.reset();
        history().setClock([this] { return clock; });
    }
    RunningApplicationsHistoryService& history() { return *made; }
    LazyService<RunningApplicationsHistoryService> made{[this] {
        return std::make_unique<RunningApplicationsHistoryService>(
            *fakes.bundle, *fakes.defaults, *fakes.running, *fakes.workspace);
    }};
    // An application whose bundle (a desktop entry) exists, its identifier the file name.
    RunningApplication app(const QString& name, const QString& entry, bool identified = true) {
        const QString path = tree.add(entry, "[Desktop Entry]\nType=Application\n");
        return makeRunningApplication(name, identified ? entry : QString(), path);
    }
    void activateAt(int minute, const RunningApplication& a) {
        clock = kT0.addSecs(60 * minute);
        fakes.running->bringToFront(a);
    }
    QStringList listed(int limit = 10, std::optional<QString> excluding = "org.pelora.Pelora") {
        return displayNames(history().recentApplications(limit, excluding));
    }
    QJsonObject stored() const {
        return QJsonDocument::fromJson(fakes.defaults->dataForKey(kKey)).object();
    }
    QDateTime clock = kT0;
};

TEST_F(RunningApplicationsHistoryTest, StartRecordsTheFrontmostOnceThenEveryActivation) {
    const auto editor = app("Editor", "editor.desktop"), viewer = app("Viewer", "viewer.desktop");
    history().start(); // nothing in front: nothing recorded
    EXPECT_FALSE(fakes.defaults->contains(kKey));
    recreate();
    fakes.running->bringToFront(viewer); // before start: not seen
    fakes.running->frontmost = editor;
    QSignalSpy writes(fakes.defaults.get(), &UserDefaults::valueChanged);
    for (int i = 0; i < 3; ++i)
        history().start();
    EXPECT_EQ(writes.size(), 1);
    EXPECT_EQ(history().lastActivationDate(editor), kT0);
    activateAt(2, viewer);
    EXPECT_EQ(writes.size(), 2) << "one observer, one record per activation";
    EXPECT_EQ(listed(), (QStringList{"Viewer", "Editor"}));
}

TEST_F(RunningApplicationsHistoryTest, TheProgramItselfIsNeitherRecordedNorListed) {
    // Its own windows and running launcher entry are left to the end-to-end test of running
    // applications; here its bundle, and a copy elsewhere that carries its identifier.
    const RunningApplication itself[] = {
        makeRunningApplication("Pelora", {}, fakes.bundle->path),
        makeRunningApplication("Copy", "org.pelora.Pelora", tree.add("copy.desktop"))};
    history().start();
    for (const RunningApplication& a : itself) {
        SCOPED_TRACE(a.localizedName->toStdString());
        activateAt(1, a);
        EXPECT_FALSE(history().lastActivationDate(a));
        EXPECT_FALSE(fakes.defaults->contains(kKey));
    }
    // What an earlier version stored of its launcher entry (it starts the program's own
    // executable) stays out of the list, with or without an identifier to exclude.
    const QString path = tree.add("pelora.desktop", "[Desktop Entry]\nType=Application\n");
    fakes.workspace->executables.insert(path, fakes.bundle->executablePath());
    const QJsonObject old{{"bundlePath", path}, {"displayName", "Pelora"}, {"lastActivatedAt", 10}};
    fakes.defaults->setObject(kKey, QJsonDocument(QJsonObject{{path, old}}).toJson());
    recreate();
    history().start();
    activateAt(1, app("Editor", "editor.desktop"));
    EXPECT_EQ(history().persistedRecords().size(), 2);
    EXPECT_EQ(listed(), QStringList{"Editor"});
    EXPECT_EQ(listed(10, std::nullopt), QStringList{"Editor"});
}

TEST_F(RunningApplicationsHistoryTest, AnApplicationIsKeyedByItsIdentifierElseItsPath) {
    history().start();
    const auto tool = app("Tool", "tool.desktop", false);
    const QString path = tool.bundleURL->toLocalFile();
    activateAt(1, tool);
    const QJsonObject record = stored().value(path).toObject();
    EXPECT_EQ(record.value("bundlePath").toString(), path);
    EXPECT_FALSE(record.contains("bundleIdentifier")) << "omitted, never null";
    // Excluding an identifier never drops an application that has none.
    EXPECT_EQ(listed(10, "tool.desktop"), QStringList{"Tool"});

    // The identifier decides, whatever the name or path of the asking snapshot.
    activateAt(2, app("K", "k.desktop"));
    EXPECT_EQ(history().lastActivationDate(makeRunningApplication("Other", "k.desktop", {})),
              kT0.addSecs(120));
    EXPECT_FALSE(
        history().lastActivationDate(makeRunningApplication("K", {}, tree.path("k.desktop"))));
    // Without identifier and bundle there is nothing to list: not recorded.
    for (const auto& keyless :
         {makeRunningApplication({}, {}, {}), makeRunningApplication("Named", {}, {}),
          makeRunningApplication("Id", "id.desktop", {})})
        activateAt(3, keyless);
    EXPECT_EQ(stored().keys(), (QStringList{path, "k.desktop"}));
}

TEST_F(RunningApplicationsHistoryTest, ListedNewestFirstOncePerApplicationSkippingDeletedBundles) {
    history().start();
    const auto beta = app("Beta", "b.desktop");
    activateAt(1, beta);
    activateAt(5, app("alpha", "a.desktop"));
    activateAt(3, app({}, "org.example.Nameless.desktop"));
    const auto gone = app("Gone", "gone.desktop");
    activateAt(2, gone);
    activateAt(9, app("New", "n.desktop"));
    activateAt(5, beta); // again: moves up, same minute as alpha, which wins by name, any case
    ASSERT_TRUE(QFile::remove(gone.bundleURL->toLocalFile()));
    EXPECT_EQ(listed(), (QStringList{"New", "alpha", "Beta", "org.example.Nameless"}));
    EXPECT_EQ(listed(2), (QStringList{"New", "alpha"}));
    EXPECT_TRUE(listed(0).isEmpty());
    // A deleted bundle stays stored: it may come back.
    EXPECT_EQ(history().persistedRecords().size(), 5);
    EXPECT_TRUE(stored().contains("gone.desktop"));
}

TEST_F(RunningApplicationsHistoryTest, RecordsSurviveARestartAndDamagedOnesCountAsNone) {
    history().start();
    const auto alpha = app("Alpha", "alpha.desktop");
    activateAt(1, alpha);
    // The other fields are read back by the end-to-end test of running applications.
    const QJsonObject record = stored().value("alpha.desktop").toObject();
    EXPECT_DOUBLE_EQ(record.value("lastActivatedAt").toDouble(), secondsSince2001(kT0.addSecs(60)));
    recreate();
    EXPECT_EQ(listed(), QStringList{"Alpha"});
    EXPECT_EQ(history().lastActivationDate(alpha), kT0.addSecs(60));

    // A null identifier reads as absent.
    const QByteArray path = alpha.bundleURL->toLocalFile().toUtf8();
    const QByteArray fields = "\"bundlePath\": \"" + path + "\", \"displayName\": \"X\"";
    fakes.defaults->setObject(kKey, QByteArray("{\"x\": {\"bundleIdentifier\": null, " + fields +
                                               ", \"lastActivatedAt\": 10}}"));
    recreate();
    ASSERT_EQ(history().persistedRecords().size(), 1);
    EXPECT_FALSE(history().persistedRecords().value("x").bundleIdentifier.has_value());
    EXPECT_EQ(history().persistedRecords().value("x").lastActivatedAt,
              dateFromSecondsSince2001(10));

    // One bad record makes the whole value undecodable; loading never rewrites it.
    const QList<QVariant> damaged{
        QByteArray("not json"),
        QByteArray("[1, 2]"),
        QByteArray("{\"x\": {" + fields + "}}"),
        QByteArray("{\"x\": {" + fields + ", \"lastActivatedAt\": \"yesterday\"}}"),
        QByteArray("{\"x\": {" + fields +
                   ", \"lastActivatedAt\": 1}, \"y\": {\"bundlePath\": 5, "
                   "\"displayName\": \"Y\", \"lastActivatedAt\": 1}}"),
        QByteArray("{\"x\": {\"bundleIdentifier\": 7, " + fields + ", \"lastActivatedAt\": 1}}"),
        "text"};
    for (const QVariant& data : damaged) {
        SCOPED_TRACE(data.toString().toStdString());
        fakes.defaults->setObject(kKey, data);
        recreate();
        EXPECT_TRUE(history().persistedRecords().isEmpty());
        EXPECT_TRUE(listed().isEmpty());
        EXPECT_EQ(*fakes.defaults->objectForKey(kKey), data);
    }
    fakes.running->frontmost.reset();
    history().start();
    activateAt(2, app("Fresh", "fresh.desktop"));
    EXPECT_EQ(stored().keys(), QStringList{"fresh.desktop"});
}

} // namespace
