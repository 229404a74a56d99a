#pragma once

#include "common/Services.h"
#include "fakes/FakeBundle.h"
#include "fakes/FakeDialogs.h"
#include "fakes/FakeLoginItems.h"
#include "fakes/FakeRunningApplications.h"
#include "fakes/FakeWorkspace.h"
#include "platform/UserDefaults.h"
#include "settings/VersionCheckService.h"

#include <QVariantMap>
#include <gtest/gtest.h>
#include <memory>

// A Services object over fakes, recording every finished version check.
class SettingsTest : public ::testing::Test {
protected:
    std::shared_ptr<FakeBundle> bundle = std::make_shared<FakeBundle>();
    std::shared_ptr<InMemoryUserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
    std::shared_ptr<FakeDialogs> dialogs = std::make_shared<FakeDialogs>();
    std::shared_ptr<FakeWorkspace> workspace = std::make_shared<FakeWorkspace>();
    std::shared_ptr<FakeRunningApplications> running = std::make_shared<FakeRunningApplications>();
    std::shared_ptr<FakeLoginItems> loginItems = std::make_shared<FakeLoginItems>();
    std::unique_ptr<Services> services;
    QList<QVariantMap> finishes;

    void SetUp() override { makeServices(); }
    void TearDown() override { services.reset(); }

    void makeServices(std::shared_ptr<LoginItems> items = nullptr) {
        services.reset();
        Platform platform;
        platform.bundle = bundle;
        platform.defaults = defaults;
        platform.dialogs = dialogs;
        platform.workspace = workspace;
        platform.runningApplications = running;
        platform.loginItems = items ? items : loginItems;
        services = std::make_unique<Services>(platform);
        services->notifications().addObserver(
            kVersionCheckDidFinish, [this](const QVariantMap& info) { finishes << info; });
    }

    VersionCheckService& versionCheck() { return services->get<VersionCheckService>(); }
    void pointChecksAt(const QUrl& url) {
        defaults->setObject(kTestVersionDocumentURLKey.key(), url.toString());
    }
    static VersionCheckError errorOf(const QVariantMap& info) {
        return info.value(kErrorKey).value<VersionCheckError>();
    }
};
