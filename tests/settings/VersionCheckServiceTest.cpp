#include "settings/VersionCheckService.h"
#include "common/Texts.h"
#include "common/Translations.h"
#include "common/WebPages.h"
#include "composition/PeloraServices.h"
#include "settings/PeloraUpdatePreferences.h"
#include "settings/UpdateWindowController.h"
#include "settings/VersionCheckUpdateView.h"
#include "support/FakePlatform.h"
#include "support/TestSupport.h"

#include <QLabel>
#include <QScopeGuard>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {
// Checks against a web server on 127.0.0.1 that answers every request with one canned
// response, or never answers at all; every finished check is recorded.
class VersionCheckTest : public ::testing::Test {
protected:
    int status = 200;
    QByteArray body;
    bool announceLength = true; // else the end of the connection ends the body
    bool stall = false;         // read the request, then say nothing
    int trickleMs = 0;          // else send the body one byte this often
    QList<QByteArray> requests; // their heads
    qint64 bytesSent = 0;
    QTcpServer server;
    QUrl url;

    FakePlatform fakes;
    std::unique_ptr<PeloraServices> services;
    VersionCheckService* check = nullptr;
    QList<VersionCheckResult> finishes;

    void SetUp() override {
        QObject::connect(&server, &QTcpServer::pendingConnectionAvailable, [this] {
            while (QTcpSocket* socket = server.nextPendingConnection())
                serve(socket);
        });
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
        url = QUrl(QStringLiteral("http://127.0.0.1:%1/version_checking/Pelora.xml")
                       .arg(server.serverPort()));
        make(url);
        fakes.bundle->info[QStringLiteral("CFBundleShortVersionString")] = QStringLiteral("1.0.0");
    }
    void serve(QTcpSocket* socket) {
        auto head = std::make_shared<QByteArray>();
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QTcpSocket::bytesWritten, [this](qint64 n) { bytesSent += n; });
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, head] {
            *head += socket->readAll();
            if (!head->contains("\r\n\r\n") || stall)
                return;
            requests << *head;
            socket->write("HTTP/1.1 " + QByteArray::number(status) + " X\r\nConnection: close\r\n" +
                          (announceLength
                               ? "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n"
                               : "\r\n"));
            auto* timer = new QTimer(socket);
            QObject::connect(timer, &QTimer::timeout, socket, [this, socket, at = 0]() mutable {
                socket->write(body.mid(at, trickleMs ? 1 : -1));
                at += trickleMs ? 1 : body.size();
                if (at >= body.size())
                    socket->disconnectFromHost();
            });
            timer->setSingleShot(trickleMs == 0);
            timer->start(trickleMs);
        });
    }
    bool waitForFinishes(int count) {
        return waitUntil([&] { return finishes.size() >= count; }, 10000);
    }
    // -1: the check failed; 0: up to date; nullopt: a newer version.
    std::optional<int> outcome(int index) const {
        const std::optional<VersionCheckError> error = finishes.value(index).error;
        if (!error)
            return std::nullopt;
        return error->code;
    }
    QDialog* updateWindow() { return services->updateWindows.currentUpdateWindow(); }
    // The program's services, asking for the version document there.
    void make(const QUrl& document) {
        services = std::make_unique<PeloraServices>(fakes.platform(), document);
        check = &services->versionCheck;
        QObject::connect(check, &VersionCheckService::checkFinished,
                         [this](const VersionCheckResult& result) { finishes << result; });
    }
};
} // namespace

TEST_F(VersionCheckTest, EachAnswerHasItsOutcomeAndOnlyTheUserHearsOfFailures) {
    const QByteArray latest = "<?xml version=\"1.0\"?><pelora><lastversion>1.0.0</lastversion>";
    const QByteArray tooLarge = latest + QByteArray(2 << 20, ' ');
    const struct {
        const char* what;
        int status;
        QByteArray body;
        std::optional<int> code;
        bool announceLength = true;
    } cases[] = {
        {"the same version", 200, latest, 0},
        {"an older version", 200, "<lastversion>0.9</lastversion>", 0},
        {"an error status with a document", 500, latest, 0},
        {"just under the cap", 200, latest.leftJustified(VersionCheckService::kMaximumDocumentSize),
         0},
        {"a newer version", 200, "<lastversion>1.10</lastversion>", {}},
        {"an error page", 404, "<html><body><h1>Not Found</h1></body></html>", -1},
        {"nothing", 200, "", -1},
        {"not UTF-8", 200, "<lastversion>2.0\xff\xfe</lastversion>", -1},
        {"over the cap, announced", 200, tooLarge, -1},
        {"over the cap, found out by reading", 200, tooLarge, -1, false},
    };
    int index = 0;
    for (const auto& c : cases) {
        for (const bool byUser : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (byUser ? ", by the user" : ", silent"));
            fakes.defaults->removeObject(kLastSuccessfulUpdateCheckDateKey.key());
            fakes.dialogs->alerts.clear(); // each answered with its first button
            std::tie(status, body, announceLength) = std::tuple(c.status, c.body, c.announceLength);
            check->checkForUpdates(byUser);
            ASSERT_TRUE(waitForFinishes(++index));
            EXPECT_EQ(outcome(index - 1), c.code);
            EXPECT_EQ(finishes.last().requestedByUser, byUser);
            EXPECT_EQ(check->lastSuccessfulCheckDate().has_value(), c.code != -1);
            QStringList shown, expected;
            for (const AlertOptions& alert : fakes.dialogs->alerts) {
                shown << alert.messageText;
                EXPECT_TRUE(alert.informativeText.contains(QLatin1String("1.0.0"))); // running
            }
            if (byUser && c.code)
                expected << L(*c.code ? "updates.alert.unavailable.title"
                                      : "updates.alert.upToDate.title");
            EXPECT_EQ(shown, expected);
            // A newer version shows its window, even for the silent check.
            EXPECT_EQ(updateWindow() != nullptr, !c.code);
            if (updateWindow())
                updateWindow()->reject();
        }
    }
    // Only the unavailable alert's first button opens the home page; Ignore is the program
    // script's (tests/e2e/test_program.sh).
    EXPECT_EQ(fakes.workspace->openedURLs, QList<QUrl>(5, peloraHomePageURL()));
    // A plain GET of the document, named Pelora, bypassing caches.
    const QByteArray request = requests.value(0).toLower();
    EXPECT_TRUE(request.startsWith("get /version_checking/pelora.xml http/1.1\r\n"));
    EXPECT_TRUE(request.contains("\r\nuser-agent: pelora\r\n"));
    EXPECT_TRUE(request.contains("\r\ncache-control: no-cache\r\n"));
}

TEST_F(VersionCheckTest, ANewerVersionsTextsFollowTheProgramsLanguage) {
    // A French system, a program shown in German (as if no French table shipped).
    fakes.bundle->localizations = {QStringLiteral("fr-FR")};
    installTranslations({QStringLiteral("de-CH")});
    const auto backToEnglish = qScopeGuard([] { installTranslations({}); });
    body = "<lastversion>1.10</lastversion><downloadurl>https://example.org/dl</downloadurl>"
           "<titletext><english>Pelora 1.10 is out</english><french>Pelora 1.10 est là</french>"
           "<german>Pelora 1.10 ist da</german></titletext>"
           "<infotext><english>Faster menus.</english></infotext>";
    check->checkForUpdates(false);
    ASSERT_TRUE(waitForFinishes(1));
    EXPECT_EQ(finishes[0].newerVersion.value_or(VersionInfo()).value(kInfoDownloadUrl),
              QStringLiteral("https://example.org/dl"));
    ASSERT_NE(updateWindow(), nullptr);
    EXPECT_EQ(updateWindow()->windowTitle(), QStringLiteral("Pelora 1.10 ist da"));
    // No German information text: English stands in.
    auto* view = services->updateWindows.currentUpdateView();
    ASSERT_NE(view->infoLabel(), nullptr);
    EXPECT_EQ(view->infoLabel()->text(), QStringLiteral("Faster menus."));
    EXPECT_TRUE(view->versionLineLabel()->text().contains(QLatin1String("1.10")));
}

TEST_F(VersionCheckTest, SilentTricklingAndUnreachableServersFail) {
    body = "<lastversion>2.0</lastversion>" + QByteArray(1000, ' ');
    const QUrl unreachable(QStringLiteral("http://127.0.0.1:1/"));
    // Silent: the inactivity timeout; trickling, always some progress: the deadline.
    for (const auto& [stalls, trickles, at] : {std::tuple{true, 0, url}, std::tuple{false, 20, url},
                                               std::tuple{false, 0, unreachable}}) {
        std::tie(stall, trickleMs) = std::tuple(stalls, trickles);
        make(at);
        check->setRequestTimeout(300ms);
        check->setCheckDeadline(1500ms);
        const int before = finishes.size();
        check->checkForUpdates(false);
        ASSERT_TRUE(waitForFinishes(before + 1)) << trickles;
        EXPECT_EQ(outcome(before), -1) << trickles;
    }
}

TEST_F(VersionCheckTest, WhileAnAlertIsOpenOtherChecksAddNoneAndTheCapHolds) {
    body = "<lastversion>1.0.0</lastversion>";
    constexpr qint64 huge = 32 * 1024 * 1024;
    fakes.dialogs->whileAlertIsOpen = [&] {
        body = QByteArray(huge, ' ');
        announceLength = false;
        check->checkForUpdates(true);
        waitForFinishes(2);
    };
    check->checkForUpdates(true);
    ASSERT_TRUE(waitForFinishes(2));
    EXPECT_EQ(outcome(1), -1);
    EXPECT_EQ(fakes.dialogs->alerts.size(), 1);
    EXPECT_LT(bytesSent, huge / 4) << "the cap was enforced late";
}

TEST_F(VersionCheckTest, AStoredFeedReplacesTheBuildsAddressWhenItCanBeTrusted) {
    const struct {
        QVariant stored;
        bool used;
    } cases[] = {
        {QStringLiteral("https://updates.example.net:8443/feed.xml"), true},
        {QStringLiteral("http://127.0.0.1:8080/feed.xml"), true},
        {QStringLiteral("http://[::1]:80/feed.xml"), true},
        // Plain http elsewhere can be rewritten on the way, and a name can point anywhere.
        {QStringLiteral("http://updates.example.net/feed.xml"), false},
        {QStringLiteral("http://localhost/feed.xml"), false},
        {QStringLiteral("http://192.168.1.2/feed.xml"), false},
        {QStringLiteral("file:///etc/passwd"), false},
        {QStringLiteral("ftp://127.0.0.1/feed.xml"), false},
        {QStringLiteral("not a url"), false},
        {QByteArray("https://updates.example.net/"), false}, // data, not a string
        {42, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(updateFeedURL(c.stored).has_value(), c.used) << qPrintable(c.stored.toString());

    // A build without an address asks the stored feed, read at each check; a feed that cannot
    // be used counts as none.
    make(QUrl());
    body = "<lastversion>1.0.0</lastversion>";
    for (const QString& stored : {url.toString(), QStringLiteral("http://example.net/")}) {
        kUpdateFeedURLKey.write(*fakes.defaults, stored);
        check->checkForUpdates(false);
        ASSERT_TRUE(waitForFinishes(finishes.size() + 1));
    }
    EXPECT_EQ(outcome(0), 0);
    EXPECT_EQ(outcome(1), -1);
    EXPECT_EQ(requests.size(), 1);
}
