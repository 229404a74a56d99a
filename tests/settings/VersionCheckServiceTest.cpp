#include "settings/VersionCheckService.h"
#include "LocalHttpServer.h"
#include "common/Texts.h"
#include "common/Translations.h"
#include "common/WebPages.h"
#include "settings/PeloraUpdatePreferences.h"
#include "settings/UpdateWindowController.h"
#include "settings/VersionCheckUpdateView.h"
#include "support/FakePlatform.h"
#include "support/TestSupport.h"

#include <QLabel>
#include <QProcess>
#include <QScopeGuard>
#include <QSslKey>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {
// A check against a web server on this machine, recording every finished check.
class VersionCheckTest : public ::testing::Test {
protected:
    FakePlatform fakes;
    std::unique_ptr<Services> services = fakes.makeServices();
    LocalHttpServer server;
    std::unique_ptr<VersionCheckService> check = checkAt(server.url());
    QList<QVariantMap> finishes;

    void SetUp() override {
        ASSERT_TRUE(server.isListening());
        services->notifications().addObserver(
            kVersionCheckDidFinish, [this](const QVariantMap& info) { finishes << info; });
    }
    std::unique_ptr<VersionCheckService> checkAt(const QUrl& url) {
        return std::make_unique<VersionCheckService>(*services, url);
    }
    void serve(const QByteArray& inner) { server.response.body = LocalHttpServer::document(inner); }
    bool waitForFinishes(int count, int ms = 10000) {
        return waitUntil([&] { return finishes.size() >= count; }, ms);
    }
    // -1: the check failed; 0: up to date; nullopt: a newer version.
    std::optional<int> outcome(int index) const {
        if (!finishes.value(index).contains(kErrorKey))
            return std::nullopt;
        return finishes[index].value(kErrorKey).value<VersionCheckError>().code;
    }
    QStringList alertTitles() const {
        QStringList titles;
        for (const AlertOptions& alert : fakes.dialogs->alerts)
            titles << alert.messageText;
        return titles;
    }
    QDialog* updateWindow() {
        return services->get<UpdateWindowController>().currentUpdateWindow();
    }
    void setVersion(const char* version) {
        fakes.bundle->info[QStringLiteral("CFBundleShortVersionString")] =
            QString::fromLatin1(version);
    }
};
} // namespace

TEST_F(VersionCheckTest, EachAnswerHasItsOutcomeAndOnlyTheUserHearsOfFailures) {
    const QByteArray latest = LocalHttpServer::document("<lastversion>1.0.0</lastversion>");
    QByteArray fits = latest + QByteArray(VersionCheckService::kMaximumDocumentSize, ' ');
    fits.truncate(VersionCheckService::kMaximumDocumentSize);
    const QString upToDate = L("updates.alert.upToDate.title");
    const QString unavailable = L("updates.alert.unavailable.title");
    const struct {
        const char* what;
        int status;
        QByteArray body;
        bool announceLength;
        std::optional<int> code;
        bool stored; // the date of the last successful check
    } cases[] = {
        {"the same version", 200, latest, true, 0, true},
        {"an older version", 200, LocalHttpServer::document("<lastversion>0.9</lastversion>"), true,
         0, true},
        {"an error status whose body is a document", 500, latest, true, 0, true},
        {"just under the cap", 200, fits, true, 0, true},
        {"a newer version", 200, LocalHttpServer::document("<lastversion>1.10</lastversion>"), true,
         std::nullopt, true},
        {"an error page", 404, "<html><body><h1>Not Found</h1></body></html>", true, -1, false},
        {"nothing", 200, "", true, -1, false},
        {"blanks", 200, " \n\t \r\n", true, -1, false},
        {"not UTF-8", 200, "<lastversion>2.0\xff\xfe</lastversion>", true, -1, false},
        {"no latest version", 200, "<version>9.9</version>", true, -1, false},
        {"over the cap, announced", 200, latest + QByteArray(2 << 20, ' '), true, -1, false},
        {"over the cap, found out by reading", 200, latest + QByteArray(2 << 20, ' '), false, -1,
         false},
    };
    setVersion("1.0.0");
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const bool byUser : {false, true}) {
            fakes.defaults->removeObject(kLastSuccessfulUpdateCheckDateKey.key());
            fakes.dialogs->alerts.clear();
            fakes.dialogs->alertAnswers.clear();
            fakes.dialogs->alertAnswers.enqueue(1); // Ignore, not the home page
            server.response.status = c.status;
            server.response.body = c.body;
            server.response.sendContentLength = c.announceLength;
            check->checkForUpdates(byUser);
            ASSERT_TRUE(waitForFinishes(++index));
            EXPECT_EQ(outcome(index - 1), c.code);
            EXPECT_EQ(finishes.last().value(kRequestedByUserKey), QVariant(byUser));
            EXPECT_EQ(check->lastSuccessfulCheckDate().has_value(), c.stored);
            const QStringList expectedAlerts =
                !byUser || !c.code ? QStringList() : QStringList{*c.code ? unavailable : upToDate};
            EXPECT_EQ(alertTitles(), expectedAlerts) << "by user: " << byUser;
            // A newer version shows its window, even for the silent check.
            EXPECT_EQ(updateWindow() != nullptr, !c.code);
            if (updateWindow())
                updateWindow()->reject();
        }
    }
    EXPECT_TRUE(fakes.workspace->openedURLs.isEmpty());
    // A plain GET of the document, named Pelora, bypassing caches.
    QList<QByteArray> head;
    for (const QByteArray& line : server.requests.value(0).toLower().split('\n'))
        head << line.trimmed();
    EXPECT_EQ(head.value(0), "get /version_checking/pelora.xml http/1.1");
    EXPECT_TRUE(head.contains("user-agent: pelora"));
    EXPECT_TRUE(head.contains("cache-control: no-cache"));
}

TEST_F(VersionCheckTest, TheAlertsSayWhichVersionRunsAndOfferTheHomePage) {
    setVersion("2.4.1");
    serve("<lastversion>2.4.1</lastversion>");
    check->checkForUpdates(true);
    ASSERT_TRUE(waitForFinishes(1));
    ASSERT_EQ(fakes.dialogs->alerts.size(), 1);
    EXPECT_TRUE(fakes.dialogs->alerts[0].informativeText.contains(QLatin1String("Pelora 2.4.1")));
    EXPECT_EQ(fakes.dialogs->alerts[0].buttons.size(), 1);

    // The first button of the unavailable alert opens the home page.
    server.response.body.clear();
    check->checkForUpdates(true);
    ASSERT_TRUE(waitForFinishes(2));
    ASSERT_EQ(fakes.dialogs->alerts.size(), 2);
    EXPECT_TRUE(fakes.dialogs->alerts[1].informativeText.contains(QLatin1String("2.4.1")));
    EXPECT_EQ(fakes.dialogs->alerts[1].buttons.size(), 2);
    EXPECT_EQ(fakes.workspace->openedURLs, QList<QUrl>{peloraHomePageURL()});
}

TEST_F(VersionCheckTest, ANewerVersionsTextsFollowTheProgramsLanguage) {
    setVersion("1.9");
    // A French system, a program shown in German (as if no French table shipped).
    fakes.bundle->localizations = {QStringLiteral("fr-FR")};
    installTranslations({QStringLiteral("de-CH")});
    const auto backToEnglish = qScopeGuard([] { installTranslations({}); });
    serve("<LastVersion> 1.10 </LastVersion>\n"
          "<downloadurl>https://downloads.example.org/pelora-1.10.tar.xz</downloadurl>\n"
          "<titletext><english>Pelora 1.10 is out</english><french>Pelora 1.10 est là</french>"
          "<german>Pelora 1.10 ist da</german></titletext>\n"
          "<infotext><english>Faster menus.</english></infotext>");
    check->checkForUpdates(false);
    ASSERT_TRUE(waitForFinishes(1));
    EXPECT_EQ(finishes[0].value(kInfoDownloadUrl),
              QStringLiteral("https://downloads.example.org/pelora-1.10.tar.xz"));
    ASSERT_NE(updateWindow(), nullptr);
    EXPECT_EQ(updateWindow()->windowTitle(), QStringLiteral("Pelora 1.10 ist da"));
    // No German information text: English stands in.
    auto* view = services->get<UpdateWindowController>().currentUpdateView();
    ASSERT_NE(view->infoLabel(), nullptr);
    EXPECT_EQ(view->infoLabel()->text(), QStringLiteral("Faster menus."));
    EXPECT_TRUE(view->versionLineLabel()->text().contains(QLatin1String("1.10")));
    EXPECT_TRUE(view->versionLineLabel()->text().contains(QLatin1String("1.9")));
}

TEST_F(VersionCheckTest, SlowServersAndUnreachableOnesFail) {
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const QUrl unreachable(QStringLiteral("http://127.0.0.1:%1/").arg(closed.serverPort()));
    closed.close();
    const struct {
        const char* what;
        bool stall;
        int trickleMs;
        QUrl url;
    } cases[] = {
        {"silent", true, 0, server.url()},
        // Always some progress, so only the deadline ends it.
        {"trickling", false, 20, server.url()},
        {"unreachable", false, 0, unreachable},
    };
    server.response.body =
        LocalHttpServer::document("<lastversion>1.0.0</lastversion>") + QByteArray(1000, ' ');
    int index = 0;
    for (const auto& c : cases) {
        server.response.stall = c.stall;
        server.response.trickleMs = c.trickleMs;
        auto slow = checkAt(c.url);
        slow->setRequestTimeout(300ms);
        slow->setCheckDeadline(1500ms);
        slow->checkForUpdates(false);
        ASSERT_TRUE(waitForFinishes(++index)) << c.what;
        EXPECT_EQ(outcome(index - 1), -1) << c.what;
    }
}

TEST_F(VersionCheckTest, WhileAnAlertIsOpenOtherChecksAddNoneAndTheCapHolds) {
    serve("<lastversion>1.0.0</lastversion>");
    constexpr qint64 huge = 32 * 1024 * 1024;
    fakes.dialogs->whileAlertIsOpen = [&] {
        server.response.body = LocalHttpServer::document("") + QByteArray(huge, ' ');
        server.response.sendContentLength = false;
        check->checkForUpdates(true);
        waitForFinishes(2);
    };
    check->checkForUpdates(true);
    ASSERT_TRUE(waitForFinishes(2));
    EXPECT_EQ(outcome(1), -1);
    EXPECT_EQ(fakes.dialogs->alerts.size(), 1);
    EXPECT_LT(server.bytesSent, huge / 4) << "the cap was enforced late";
}

TEST_F(VersionCheckTest, OverlappingChecksEachFinish) {
    serve("<lastversion>1.0.0</lastversion>");
    check->checkForUpdates(false);
    check->checkForUpdates(true);
    ASSERT_TRUE(waitForFinishes(2));
    EXPECT_EQ(server.requests.size(), 2);
    EXPECT_NE(finishes[0].value(kRequestedByUserKey), finishes[1].value(kRequestedByUserKey));
    EXPECT_EQ(fakes.dialogs->alerts.size(), 1);
}

TEST_F(VersionCheckTest, AStoredValueThatIsNotADateIsNoLastCheck) {
    for (const QVariant& stored : {QVariant(QStringLiteral("yesterday")), QVariant(42.0)}) {
        fakes.defaults->setObject(kLastSuccessfulUpdateCheckDateKey.key(), stored);
        EXPECT_FALSE(check->lastSuccessfulCheckDate());
    }
}

TEST_F(VersionCheckTest, WithTheReservedHostTheLaunchCheckRunsOnlyWhenOnAndFailsSilently) {
    if (!isReservedExampleHost(makerWebHost()))
        GTEST_SKIP() << "built for a real web host";
    EXPECT_TRUE(makerVersionDocumentURL().isEmpty());
    // Absent means on.
    checkForUpdatesAtLaunch(*services);
    EXPECT_TRUE(finishes.isEmpty()) << "reported later, not from inside the call";
    ASSERT_TRUE(waitForFinishes(1));
    EXPECT_EQ(outcome(0), -1);
    EXPECT_EQ(finishes[0].value(kRequestedByUserKey), QVariant(false));

    services->get<PeloraUpdatePreferences>().setAutoCheckForUpdates(false);
    checkForUpdatesAtLaunch(*services);
    // A check asked for afterwards is the only other one that finishes.
    services->get<VersionCheckService>().checkForUpdates(true);
    ASSERT_TRUE(waitForFinishes(2));
    drainEvents();
    EXPECT_EQ(finishes.size(), 2);
    EXPECT_EQ(finishes[1].value(kRequestedByUserKey), QVariant(true));
    EXPECT_EQ(alertTitles(), QStringList{L("updates.alert.unavailable.title")});
    EXPECT_TRUE(server.requests.isEmpty());
}

TEST(MakerWebsite, ReservedNamesAreRecognised) {
    for (const char* host : {"pelora.example.org", "EXAMPLE.COM", "site.test"})
        EXPECT_TRUE(isReservedExampleHost(QLatin1String(host))) << host;
    for (const char* host : {"pelora.org", "notexample.org"})
        EXPECT_FALSE(isReservedExampleHost(QLatin1String(host))) << host;
}

TEST_F(VersionCheckTest, ARedirectFromHttpsToPlainHttpIsRefused) {
    // A self-signed certificate for 127.0.0.1, made with the openssl tool.
    QTemporaryDir dir;
    const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
    if (!QSslSocket::supportsSsl() || openssl.isEmpty())
        GTEST_SKIP() << "no TLS";
    QProcess process;
    process.start(openssl, {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj",
                            "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout",
                            dir.filePath("key.pem"), "-out", dir.filePath("cert.pem")});
    ASSERT_TRUE(process.waitForFinished(30000) && process.exitCode() == 0);
    const auto certificates = QSslCertificate::fromPath(dir.filePath("cert.pem"));
    QFile keyFile(dir.filePath("key.pem"));
    ASSERT_TRUE(keyFile.open(QIODevice::ReadOnly) && certificates.size() == 1);

    auto* tls = new QSslServer;
    QSslConfiguration serverConfig = QSslConfiguration::defaultConfiguration();
    serverConfig.setLocalCertificate(certificates[0]);
    serverConfig.setPrivateKey(QSslKey(&keyFile, QSsl::Rsa, QSsl::Pem));
    tls->setSslConfiguration(serverConfig);
    LocalHttpServer secure(tls);
    ASSERT_TRUE(secure.isListening());
    // Trust the test certificate for the length of this test only.
    const QSslConfiguration saved = QSslConfiguration::defaultConfiguration();
    const auto restore = qScopeGuard([&] { QSslConfiguration::setDefaultConfiguration(saved); });
    QSslConfiguration trusting = saved;
    trusting.addCaCertificate(certificates[0]);
    QSslConfiguration::setDefaultConfiguration(trusting);

    serve("<lastversion>9.0</lastversion>");
    secure.response.body = server.response.body;
    check = checkAt(secure.url());
    // The https server itself answers: the setup is sound.
    check->checkForUpdates(false);
    ASSERT_TRUE(waitForFinishes(1, 15000));
    EXPECT_EQ(outcome(0), std::nullopt);

    // Then it sends the client to plain http, which has a document too.
    secure.response = {};
    secure.response.status = 302;
    secure.response.headers = {{"Location", server.url().toEncoded()}};
    check->checkForUpdates(false);
    ASSERT_TRUE(waitForFinishes(2, 15000));
    EXPECT_EQ(outcome(1), -1);
    EXPECT_EQ(secure.requests.size(), 2);
    EXPECT_TRUE(server.requests.isEmpty());
}
