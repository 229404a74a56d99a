#pragma once

#include "settings/VersionCheckService.h"
#include "support/FakePlatform.h"

#include <QVariantMap>
#include <gtest/gtest.h>
#include <memory>

// A Services object over fakes, recording every finished version check.
class SettingsTest : public ::testing::Test {
protected:
    FakePlatform fakes;
    std::shared_ptr<FakeBundle> bundle = fakes.bundle;
    std::shared_ptr<InMemoryUserDefaults> defaults = fakes.defaults;
    std::shared_ptr<FakeDialogs> dialogs = fakes.dialogs;
    std::shared_ptr<FakeWorkspace> workspace = fakes.workspace;
    std::shared_ptr<FakeRunningApplications> running = fakes.running;
    std::shared_ptr<FakeLoginItems> loginItems = fakes.loginItems;
    std::unique_ptr<Services> services;
    QList<QVariantMap> finishes;

    void SetUp() override { makeServices(); }
    void TearDown() override { services.reset(); }

    void makeServices(std::shared_ptr<LoginItems> items = nullptr) {
        services.reset();
        Platform platform = fakes.platform();
        if (items)
            platform.loginItems = items;
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
