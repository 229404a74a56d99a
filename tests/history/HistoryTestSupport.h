#pragma once

#include "common/Services.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakeRecentItemsIndex.h"
#include "fakes/FakeRunningApplications.h"
#include "fakes/FakeWorkspace.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

// Real files and folders in a temporary home, and the platform fakes around them.
class HistoryTest : public ::testing::Test {
protected:
    QTemporaryDir home;
    std::shared_ptr<InMemoryUserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
    std::shared_ptr<FakeFileSystem> fileSystem = std::make_shared<FakeFileSystem>();
    std::shared_ptr<FakeWorkspace> workspace = std::make_shared<FakeWorkspace>();
    std::shared_ptr<FakeRunningApplications> running = std::make_shared<FakeRunningApplications>();
    std::shared_ptr<FakeRecentItemsIndex> index = std::make_shared<FakeRecentItemsIndex>();
    std::unique_ptr<Services> services;
    const QDateTime now =
        QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch(), Qt::UTC);

    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        services = std::make_unique<Services>(makePlatform());
    }
    void TearDown() override { services.reset(); }

    virtual Platform makePlatform() {
        Platform p;
        p.defaults = defaults;
        p.fileSystem = fileSystem;
        p.workspace = workspace;
        p.runningApplications = running;
        p.recentItemsIndex = index;
        return p;
    }

    // The canonical path, as the services record it (the temporary folder may sit behind a
    // symbolic link).
    QString file(const QString& relative) {
        const QString path = home.path() + u'/' + relative;
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.close();
        return QFileInfo(path).canonicalFilePath();
    }
    QString folder(const QString& relative) {
        const QString path = home.path() + u'/' + relative;
        QDir().mkpath(path);
        return QFileInfo(path).canonicalFilePath();
    }
    QDateTime hoursAgo(int hours) const { return now.addSecs(-3600 * hours); }
};
