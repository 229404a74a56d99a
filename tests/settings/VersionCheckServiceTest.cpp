#include "LocalHttpServer.h"
#include "SettingsTestSupport.h"
#include "common/Texts.h"
#include "common/Translations.h"
#include "common/WebPages.h"
#include "settings/PeloraUpdatePreferences.h"
#include "settings/UpdateWindowController.h"
#include "settings/VersionCheckUpdateView.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QScopeGuard>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace std::chrono_literals;

namespace {
class VersionCheckTest : public SettingsTest {
protected:
    LocalHttpServer server;

    void SetUp() override {
        SettingsTest::SetUp();
        ASSERT_TRUE(server.isListening());
        pointChecksAt(server.url());
    }

    void serve(const QByteArray& inner) { server.response.body = LocalHttpServer::document(inner); }
    bool waitForFinishes(int count, int ms = 5000) {
        return waitUntil([&] { return finishes.size() >= count; }, ms);
    }
    QDialog* updateWindow() {
        return services->get<UpdateWindowController>().currentUpdateWindow();
    }
    QString header(int request, const QByteArray& name) {
        for (const QByteArray& line : server.requests.value(request).split('\n')) {
            const qsizetype colon = line.indexOf(':');
            if (colon > 0 && line.left(colon).trimmed().toLower() == name.toLower())
                return QString::fromLatin1(line.mid(colon + 1).trimmed());
        }
        return {};
    }
};
} // namespace

TEST_F(VersionCheckTest, TheSameVersionIsUpToDateAndOnlyTheUserHearsOfIt) {
    bundle->info[QStringLiteral("CFBundleShortVersionString")] = QStringLiteral("2.4.1");
    serve("<lastversion>2.4.1</lastversion>");

    versionCheck().checkForUpdates(false);
    ASSERT_TRUE(waitForFinishes(1));
    EXPECT_EQ(finishes[0].value(kRequestedByUserKey), QVariant(false));
    const VersionCheckError silent = errorOf(finishes[0]);
    EXPECT_EQ(silent.domain, QStringLiteral("Pelora.VersionCheck"));
    EXPECT_EQ(silent.code, 0);
    EXPECT_TRUE(dialogs->alerts.isEmpty());
    EXPECT_EQ(updateWindow(), nullptr);
    const auto firstDate = versionCheck().lastSuccessfulCheckDate();
    ASSERT_TRUE(firstDate);
    EXPECT_LE(firstDate->secsTo(QDateTime::currentDateTimeUtc()), 5);

    // The request: a plain GET of the document, named Pelora, bypassing caches.
    EXPECT_TRUE(server.requests[0].startsWith("GET /version_checking/Pelora.xml HTTP/1.1"));
    EXPECT_EQ(header(0, "User-Agent"), QStringLiteral("Pelora"));
    EXPECT_EQ(header(0, "Cache-Control"), QStringLiteral("no-cache"));

    versionCheck().checkForUpdates(true);
    ASSERT_TRUE(waitForFinishes(2));
    EXPECT_EQ(finishes[1].value(kRequestedByUserKey), QVariant(true));
    ASSERT_EQ(dialogs->alerts.size(), 1);
    const AlertOptions& alert = dialogs->alerts[0];
    EXPECT_EQ(alert.style, AlertStyle::informational);
    EXPECT_EQ(alert.messageText, L("updates.alert.upToDate.title"));
    EXPECT_EQ(alert.informativeText, L("updates.alert.upToDate.message").arg("Pelora 2.4.1"));
    EXPECT_EQ(alert.buttons, QStringList{L("buttonOK")});
    EXPECT_TRUE(workspace->openedURLs.isEmpty());
}

TEST_F(VersionCheckTest, ANewerVersionOpensTheUpdateWindowEvenForTheSilentCheck) {
    bundle->info[QStringLiteral("CFBundleShortVersionString")] = QStringLiteral("1.9");
    // A French system, a program shown in German (as if no French table shipped): the
    // document's texts follow the program.
    bundle->localizations = {QStringLiteral("fr-FR")};
    installTranslations({QStringLiteral("de-CH")});
    const auto backToEnglish = qScopeGuard([] { installTranslations({}); });
    serve("<LastVersion> 1.10 </LastVersion>\n"
          "<downloadurl>https://downloads.example.org/pelora-1.10.tar.xz</downloadurl>\n"
          "<titletext><english>Pelora 1.10 is out</english><french>Pelora 1.10 est là</french>"
          "<german>Pelora 1.10 ist da</german></titletext>\n"
          "<infotext><english>Faster menus.</english></infotext>");

    versionCheck().checkForUpdates(false);
    ASSERT_TRUE(waitForFinishes(1));
    const QVariantMap& info = finishes[0];
    EXPECT_FALSE(info.contains(kErrorKey));
    EXPECT_EQ(info.value(kRequestedByUserKey), QVariant(false));
    EXPECT_EQ(info.value(kInfoLatestVersion), QStringLiteral("1.10"));
    EXPECT_EQ(info.value(kInfoTitleText), QStringLiteral("Pelora 1.10 ist da"));
    // No German information text: English stands in.
    EXPECT_EQ(info.value(kInfoInfoText), QStringLiteral("Faster menus."));
    EXPECT_EQ(info.value(kInfoDownloadUrl),
              QStringLiteral("https://downloads.example.org/pelora-1.10.tar.xz"));
    EXPECT_TRUE(dialogs->alerts.isEmpty());
    EXPECT_TRUE(versionCheck().lastSuccessfulCheckDate());

    QDialog* window = updateWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Pelora 1.10 ist da"));
    auto* view = services->get<UpdateWindowController>().currentUpdateView();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->versionLineLabel()->text(),
              L("updates.window.versionLine").arg(QStringLiteral("1.10"), QStringLiteral("1.9")));
    ASSERT_NE(view->infoLabel(), nullptr);
    EXPECT_EQ(view->infoLabel()->text(), QStringLiteral("Faster menus."));
}

TEST_F(VersionCheckTest, AnOlderPublishedVersionIsUpToDate) {
    bundle->info[QStringLiteral("CFBundleShortVersionString")] = QStringLiteral("1.10");
    serve("<lastversion>1.9</lastversion>");
    versionCheck().checkForUpdates(false);
    ASSERT_TRUE(waitForFinishes(1));
    EXPECT_EQ(errorOf(finishes[0]).code, 0);
    EXPECT_EQ(updateWindow(), nullptr);
}

TEST_F(VersionCheckTest, AnErrorPageFailsAndLeavesTheLastCheckDateAlone) {
    const QDateTime earlier = QDateTime::currentDateTimeUtc().addDays(-3);
    defaults->setObject(kLastSuccessfulUpdateCheckDateKey.key(), earlier);
    server.response.status = 404;
    server.response.reason = "Not Found";
    server.response.contentType = "text/html";
    server.response.body = "<html><head><title>404 Not Found</title></head>"
                           "<body><h1>Not Found</h1></body></html>";

    versionCheck().checkForUpdates(true);
    ASSERT_TRUE(waitForFinishes(1));
    const VersionCheckError error = errorOf(finishes[0]);
    EXPECT_EQ(error.domain, QStringLiteral("Pelora.VersionCheck"));
    EXPECT_EQ(error.code, -1);
    EXPECT_TRUE(error.userInfo.isEmpty());
    EXPECT_EQ(versionCheck().lastSuccessfulCheckDate(), earlier);

    // The unavailable alert, whose first button opens the home page.
    ASSERT_EQ(dialogs->alerts.size(), 1);
    const AlertOptions& alert = dialogs->alerts[0];
    EXPECT_EQ(alert.style, AlertStyle::warning);
    EXPECT_EQ(alert.messageText, L("updates.alert.unavailable.title"));
    EXPECT_EQ(alert.informativeText, L("updates.alert.unavailable.message").arg("1.0.0"));
    EXPECT_EQ(alert.buttons, QStringList({L("updates.alert.openPage"), L("updates.alert.ignore")}));
    EXPECT_EQ(workspace->openedURLs, QList<QUrl>{peloraHomePageURL()});
}

TEST_F(VersionCheckTest, ABodyTheServerSendsWithAnErrorStatusIsStillRead) {
    // The answer's status is not looked at: only the document decides.
    server.response.status = 500;
    server.response.reason = "Internal Server Error";
    serve("<lastversion>1.0.0</lastversion>");
    versionCheck().checkForUpdates(false);
    ASSERT_TRUE(waitForFinishes(1));
    EXPECT_EQ(errorOf(finishes[0]).code, 0);
}

TEST_F(VersionCheckTest, UnusableAnswersFailSilentlyUnlessTheUserAsked) {
    const QList<QByteArray> bodies{
        QByteArray(),                                         // nothing
        QByteArray(" \n\t \r\n"),                             // blanks
        QByteArray("<lastversion>2.0\xff\xfe</lastversion>"), // not UTF-8
        QByteArray("<version>9.9</version>"),                 // no latest version
    };
    for (const QByteArray& body : bodies) {
        server.response.body = body;
        const int before = finishes.size();
        versionCheck().checkForUpdates(false);
        ASSERT_TRUE(waitForFinishes(before + 1)) << body.toStdString();
        EXPECT_EQ(errorOf(finishes.last()).code, -1) << body.toStdString();
    }
    EXPECT_TRUE(dialogs->alerts.isEmpty());
    EXPECT_FALSE(versionCheck().lastSuccessfulCheckDate());
    EXPECT_EQ(updateWindow(), nullptr);
}

TEST_F(VersionCheckTest, AStalledServerFailsAfterTheTimeout) {
    server.response.stall = true;
    versionCheck().setRequestTimeout(300ms);
    versionCheck().checkForUpdates(true);
    ASSERT_TRUE(waitForFinishes(1, 10000));
    EXPECT_EQ(errorOf(finishes[0]).code, -1);
    ASSERT_EQ(dialogs->alerts.size(), 1);
    EXPECT_EQ(dialogs->alerts[0].messageText, L("updates.alert.unavailable.title"));
}

TEST_F(VersionCheckTest, ATricklingServerFailsAtTheDeadline) {
    // Always some progress, so the inactivity timeout never fires.
    server.response.body =
        LocalHttpServer::document("<lastversion>1.0.0</lastversion>") + QByteArray(1000, ' ');
    server.response.trickleMs = 20;
    versionCheck().setCheckDeadline(500ms);
    versionCheck().checkForUpdates(true);
    ASSERT_TRUE(waitForFinishes(1, 10000));
    EXPECT_EQ(errorOf(finishes[0]).code, -1);
    ASSERT_EQ(dialogs->alerts.size(), 1);
    EXPECT_EQ(dialogs->alerts[0].messageText, L("updates.alert.unavailable.title"));
}

TEST_F(VersionCheckTest, WhileAnAlertIsOpenOtherChecksAddNoneAndTheCapHolds) {
    serve("<lastversion>1.0.0</lastversion>");
    constexpr qint64 huge = 32 * 1024 * 1024;
    dialogs->whileAlertIsOpen = [&] {
        server.response.body = LocalHttpServer::document("") + QByteArray(huge, ' ');
        server.response.sendContentLength = false; // found out only by reading
        versionCheck().checkForUpdates(true);
        waitForFinishes(2, 10000);
        serve("<lastversion>1.0.0</lastversion>");
        server.response.sendContentLength = true;
        versionCheck().checkForUpdates(true);
        waitForFinishes(3, 10000);
    };
    versionCheck().checkForUpdates(true);
    ASSERT_TRUE(waitForFinishes(3, 20000));
    EXPECT_EQ(errorOf(finishes[1]).code, -1);
    EXPECT_EQ(dialogs->alerts.size(), 1);
    EXPECT_LT(server.bytesSent, huge / 4) << "the cap was enforced late";
}

TEST_F(VersionCheckTest, ADocumentOverOneMebibyteIsNotRead) {
    QByteArray big = LocalHttpServer::document("<lastversion>9.0</lastversion>");
    big += QByteArray(2 * 1024 * 1024, ' ');
    server.response.body = big;
    for (bool announced : {true, false}) {
        server.response.sendContentLength = announced;
        const int before = finishes.size();
        versionCheck().checkForUpdates(false);
        ASSERT_TRUE(waitForFinishes(before + 1, 10000));
        EXPECT_EQ(errorOf(finishes.last()).code, -1) << "length announced: " << announced;
    }
    EXPECT_EQ(updateWindow(), nullptr);
    EXPECT_FALSE(versionCheck().lastSuccessfulCheckDate());

    // Just under the limit is still a document.
    QByteArray fits = LocalHttpServer::document("<lastversion>9.0</lastversion>");
    fits += QByteArray(VersionCheckService::kMaximumDocumentSize - fits.size(), ' ');
    server.response.body = fits;
    versionCheck().checkForUpdates(false);
    ASSERT_TRUE(waitForFinishes(3, 10000));
    EXPECT_FALSE(finishes.last().contains(kErrorKey));
}

TEST_F(VersionCheckTest, AnUnreachableServerShowsTheUnavailableAlertWhoseSecondButtonDoesNothing) {
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    pointChecksAt(
        QUrl(QStringLiteral("http://127.0.0.1:%1/version_checking/Pelora.xml").arg(port)));
    dialogs->alertAnswers.enqueue(1);
    versionCheck().checkForUpdates(true);
    ASSERT_TRUE(waitForFinishes(1));
    EXPECT_EQ(errorOf(finishes[0]).code, -1);
    EXPECT_EQ(dialogs->alerts.size(), 1);
    EXPECT_TRUE(workspace->openedURLs.isEmpty());
}

TEST_F(VersionCheckTest, OverlappingChecksEachFinish) {
    serve("<lastversion>1.0.0</lastversion>");
    versionCheck().checkForUpdates(false);
    versionCheck().checkForUpdates(true);
    ASSERT_TRUE(waitForFinishes(2));
    EXPECT_EQ(server.requests.size(), 2);
    QList<bool> byUser;
    for (const QVariantMap& f : finishes)
        byUser << f.value(kRequestedByUserKey).toBool();
    std::sort(byUser.begin(), byUser.end());
    EXPECT_EQ(byUser, QList<bool>({false, true}));
    EXPECT_EQ(dialogs->alerts.size(), 1);
}

TEST_F(VersionCheckTest, TheLaunchCheckRunsOnlyWhenAutomaticChecksAreOn) {
    serve("<lastversion>1.0.0</lastversion>");
    // Absent means on.
    checkForUpdatesAtLaunch(*services);
    ASSERT_TRUE(waitForFinishes(1));
    EXPECT_EQ(finishes[0].value(kRequestedByUserKey), QVariant(false));
    EXPECT_EQ(server.requests.size(), 1);
    EXPECT_TRUE(dialogs->alerts.isEmpty());

    services->get<PeloraUpdatePreferences>().setAutoCheckForUpdates(false);
    checkForUpdatesAtLaunch(*services);
    // A check asked for afterwards is the only other request the server sees.
    versionCheck().checkForUpdates(true);
    ASSERT_TRUE(waitForFinishes(2));
    drainEvents();
    EXPECT_EQ(server.requests.size(), 2);
    EXPECT_EQ(finishes.size(), 2);
}

TEST_F(VersionCheckTest, AStoredValueThatIsNotADateIsNoLastCheck) {
    defaults->setObject(kLastSuccessfulUpdateCheckDateKey.key(), QStringLiteral("yesterday"));
    EXPECT_FALSE(versionCheck().lastSuccessfulCheckDate());
    defaults->setObject(kLastSuccessfulUpdateCheckDateKey.key(), 42.0);
    EXPECT_FALSE(versionCheck().lastSuccessfulCheckDate());
}

TEST_F(SettingsTest, WithTheReservedExampleHostTheCheckHonestlyReportsItIsUnavailable) {
    if (!isReservedExampleHost(makerWebHost()))
        GTEST_SKIP() << "built for a real web host";
    EXPECT_TRUE(versionCheck().versionDocumentURL().isEmpty());
    versionCheck().checkForUpdates(true);
    // Reported later, like every outcome, not from inside the call.
    EXPECT_TRUE(finishes.isEmpty());
    ASSERT_TRUE(waitUntil([&] { return !finishes.isEmpty(); }));
    EXPECT_EQ(errorOf(finishes[0]).code, -1);
    ASSERT_EQ(dialogs->alerts.size(), 1);
    EXPECT_EQ(dialogs->alerts[0].messageText, L("updates.alert.unavailable.title"));
}

TEST(MakerWebsite, ReservedNamesAreRecognised) {
    EXPECT_TRUE(isReservedExampleHost(QStringLiteral("pelora.example.org")));
    EXPECT_TRUE(isReservedExampleHost(QStringLiteral("EXAMPLE.COM")));
    EXPECT_TRUE(isReservedExampleHost(QStringLiteral("site.test")));
    EXPECT_FALSE(isReservedExampleHost(QStringLiteral("pelora.org")));
    EXPECT_FALSE(isReservedExampleHost(QStringLiteral("notexample.org")));
}

namespace {
// A self-signed certificate for 127.0.0.1, made with the openssl tool.
struct TestCertificate {
    QSslCertificate certificate;
    QSslKey key;
};

std::optional<TestCertificate> makeTestCertificate(const QString& dir) {
    const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
    if (openssl.isEmpty())
        return std::nullopt;
    QProcess process;
    process.start(openssl, {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj",
                            "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout",
                            dir + "/key.pem", "-out", dir + "/cert.pem"});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return std::nullopt;
    QFile certFile(dir + "/cert.pem"), keyFile(dir + "/key.pem");
    if (!certFile.open(QIODevice::ReadOnly) || !keyFile.open(QIODevice::ReadOnly))
        return std::nullopt;
    TestCertificate result{QSslCertificate(&certFile, QSsl::Pem),
                           QSslKey(&keyFile, QSsl::Rsa, QSsl::Pem)};
    if (result.certificate.isNull() || result.key.isNull())
        return std::nullopt;
    return result;
}
} // namespace

TEST_F(VersionCheckTest, ARedirectFromHttpsToPlainHttpIsRefused) {
    if (!QSslSocket::supportsSsl())
        GTEST_SKIP() << "no TLS backend";
    QTemporaryDir dir;
    const auto cert = makeTestCertificate(dir.path());
    if (!cert)
        GTEST_SKIP() << "cannot make a test certificate";

    auto* tls = new QSslServer;
    QSslConfiguration serverConfig = QSslConfiguration::defaultConfiguration();
    serverConfig.setLocalCertificate(cert->certificate);
    serverConfig.setPrivateKey(cert->key);
    tls->setSslConfiguration(serverConfig);
    LocalHttpServer secure(tls);
    ASSERT_TRUE(secure.isListening());

    // Trust the test certificate for the length of this test only.
    struct TrustGuard {
        QSslConfiguration saved = QSslConfiguration::defaultConfiguration();
        ~TrustGuard() { QSslConfiguration::setDefaultConfiguration(saved); }
    } guard;
    QSslConfiguration trusting = guard.saved;
    trusting.addCaCertificate(cert->certificate);
    QSslConfiguration::setDefaultConfiguration(trusting);

    serve("<lastversion>9.0</lastversion>");
    secure.response.body = LocalHttpServer::document("<lastversion>9.0</lastversion>");
    pointChecksAt(secure.url());
    // The https server itself answers: the test setup is sound.
    versionCheck().checkForUpdates(false);
    ASSERT_TRUE(waitForFinishes(1, 15000));
    EXPECT_FALSE(finishes[0].contains(kErrorKey));
    EXPECT_EQ(secure.requests.size(), 1);

    // Then it sends the client to plain http, which has a document too.
    secure.response = {};
    secure.response.status = 302;
    secure.response.reason = "Found";
    secure.response.headers = {{"Location", server.url().toEncoded()}};
    versionCheck().checkForUpdates(false);
    ASSERT_TRUE(waitForFinishes(2, 15000));
    EXPECT_EQ(errorOf(finishes[1]).code, -1);
    EXPECT_EQ(secure.requests.size(), 2);
    EXPECT_TRUE(server.requests.isEmpty());
}
