#include "settings/VersionCheckService.h"
#include "common/Texts.h"
#include "common/Translations.h"
#include "common/WebPages.h"
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
// A web server on 127.0.0.1 that answers every request with one canned response, or never
// answers at all, and records the requests it received.
class LocalHttpServer : public QObject {
public:
    struct Response {
        int status = 200;
        QByteArray body;
        bool sendContentLength = true; // else the end of the connection ends the body
        bool stall = false;            // read the request, then say nothing
        int trickleMs = 0;             // else send the body one byte this often
    };

    Response response;
    QList<QByteArray> requests; // the request heads, as received
    qint64 bytesSent = 0;       // what the peers took, heads and bodies

    LocalHttpServer() {
        connect(&server_, &QTcpServer::pendingConnectionAvailable, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection())
                serve(socket);
        });
        server_.listen(QHostAddress::LocalHost);
    }

    bool isListening() const { return server_.isListening(); }
    QUrl url() const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/version_checking/Pelora.xml")
                        .arg(server_.serverPort()));
    }
    static QByteArray document(const QByteArray& inner) {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<pelora>\n" + inner + "\n</pelora>\n";
    }

private:
    void serve(QTcpSocket* socket) {
        // Owned by the connection below, so it goes with the socket or the server alike.
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::bytesWritten, this, [this](qint64 n) { bytesSent += n; });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
            buffer->append(socket->readAll());
            const qsizetype end = buffer->indexOf("\r\n\r\n");
            if (end < 0)
                return;
            requests << buffer->left(end);
            buffer->clear();
            if (response.stall)
                return;
            QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) +
                              " X\r\nContent-Type: text/xml\r\nConnection: close\r\n";
            if (response.sendContentLength)
                head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
            socket->write(head + "\r\n");
            if (response.trickleMs == 0) {
                socket->write(response.body);
                socket->disconnectFromHost();
                return;
            }
            auto* timer = new QTimer(socket);
            connect(timer, &QTimer::timeout, socket,
                    [socket, body = response.body, at = 0]() mutable {
                        if (at < body.size())
                            socket->write(body.mid(at++, 1));
                        else
                            socket->disconnectFromHost();
                    });
            timer->start(response.trickleMs);
        });
    }

    QTcpServer server_;
};

// Checks against a web server on this machine, recording every finished check.
class VersionCheckTest : public ::testing::Test {
protected:
    FakePlatform fakes;
    std::unique_ptr<Services> services = fakes.makeServices();
    LocalHttpServer server;
    std::unique_ptr<VersionCheckService> check =
        std::make_unique<VersionCheckService>(*services, server.url());
    QList<QVariantMap> finishes;

    void SetUp() override {
        ASSERT_TRUE(server.isListening());
        services->notifications().addObserver(
            kVersionCheckDidFinish, [this](const QVariantMap& info) { finishes << info; });
        fakes.bundle->info[QStringLiteral("CFBundleShortVersionString")] = QStringLiteral("1.0.0");
    }
    void serve(const QByteArray& inner) { server.response.body = LocalHttpServer::document(inner); }
    bool waitForFinishes(int count) {
        return waitUntil([&] { return finishes.size() >= count; }, 10000);
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
};
} // namespace

TEST_F(VersionCheckTest, EachAnswerHasItsOutcomeAndOnlyTheUserHearsOfFailures) {
    const QByteArray latest = LocalHttpServer::document("<lastversion>1.0.0</lastversion>");
    const QByteArray fits = latest.leftJustified(VersionCheckService::kMaximumDocumentSize);
    const QByteArray tooLarge = latest + QByteArray(2 << 20, ' ');
    const struct {
        const char* what;
        int status;
        QByteArray body;
        std::optional<int> code;
        bool announceLength = true;
    } cases[] = {
        {"the same version", 200, latest, 0},
        {"an older version", 200, LocalHttpServer::document("<lastversion>0.9</lastversion>"), 0},
        {"an error status with a document", 500, latest, 0},
        {"just under the cap", 200, fits, 0},
        {"a newer version", 200, LocalHttpServer::document("<lastversion>1.10</lastversion>"), {}},
        {"an error page", 404, "<html><body><h1>Not Found</h1></body></html>", -1},
        {"nothing", 200, "", -1},
        {"blanks", 200, " \n\t \r\n", -1},
        {"not UTF-8", 200, "<lastversion>2.0\xff\xfe</lastversion>", -1},
        {"no latest version", 200, "<version>9.9</version>", -1},
        {"over the cap, announced", 200, tooLarge, -1},
        {"over the cap, found out by reading", 200, tooLarge, -1, false},
    };
    int index = 0;
    for (const auto& c : cases) {
        for (const bool byUser : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (byUser ? ", by the user" : ", silent"));
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
            EXPECT_EQ(check->lastSuccessfulCheckDate().has_value(), c.code != -1);
            QStringList alerts;
            if (byUser && c.code)
                alerts << L(*c.code ? "updates.alert.unavailable.title"
                                    : "updates.alert.upToDate.title");
            EXPECT_EQ(alertTitles(), alerts);
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

TEST_F(VersionCheckTest, TheAlertsNameTheRunningVersionAndTheFirstButtonOpensTheHomePage) {
    serve("<lastversion>1.0.0</lastversion>");
    check->checkForUpdates(true);
    ASSERT_TRUE(waitForFinishes(1));
    server.response.body.clear();
    check->checkForUpdates(true);
    ASSERT_TRUE(waitForFinishes(2));
    ASSERT_EQ(fakes.dialogs->alerts.size(), 2);
    for (const AlertOptions& alert : fakes.dialogs->alerts)
        EXPECT_TRUE(alert.informativeText.contains(QLatin1String("1.0.0")));
    EXPECT_EQ(fakes.workspace->openedURLs, QList<QUrl>{peloraHomePageURL()});
}

TEST_F(VersionCheckTest, ANewerVersionsTextsFollowTheProgramsLanguage) {
    // A French system, a program shown in German (as if no French table shipped).
    fakes.bundle->localizations = {QStringLiteral("fr-FR")};
    installTranslations({QStringLiteral("de-CH")});
    const auto backToEnglish = qScopeGuard([] { installTranslations({}); });
    serve("<lastversion>1.10</lastversion><downloadurl>https://example.org/dl</downloadurl>"
          "<titletext><english>Pelora 1.10 is out</english><french>Pelora 1.10 est là</french>"
          "<german>Pelora 1.10 ist da</german></titletext>"
          "<infotext><english>Faster menus.</english></infotext>");
    check->checkForUpdates(false);
    ASSERT_TRUE(waitForFinishes(1));
    EXPECT_EQ(finishes[0].value(kInfoDownloadUrl), QStringLiteral("https://example.org/dl"));
    ASSERT_NE(updateWindow(), nullptr);
    EXPECT_EQ(updateWindow()->windowTitle(), QStringLiteral("Pelora 1.10 ist da"));
    // No German information text: English stands in.
    auto* view = services->get<UpdateWindowController>().currentUpdateView();
    ASSERT_NE(view->infoLabel(), nullptr);
    EXPECT_EQ(view->infoLabel()->text(), QStringLiteral("Faster menus."));
    EXPECT_TRUE(view->versionLineLabel()->text().contains(QLatin1String("1.10")));
}

TEST_F(VersionCheckTest, SilentTricklingAndUnreachableServersFail) {
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const QUrl unreachable(QStringLiteral("http://127.0.0.1:%1/").arg(closed.serverPort()));
    closed.close();
    server.response.body = LocalHttpServer::document("<lastversion>2.0</lastversion>");
    server.response.body += QByteArray(1000, ' ');
    // Silent: the inactivity timeout; trickling, always some progress: the deadline.
    for (const auto& [stall, trickleMs, url] :
         {std::tuple{true, 0, server.url()}, std::tuple{false, 20, server.url()},
          std::tuple{false, 0, unreachable}}) {
        server.response.stall = stall;
        server.response.trickleMs = trickleMs;
        check = std::make_unique<VersionCheckService>(*services, url);
        check->setRequestTimeout(300ms);
        check->setCheckDeadline(1500ms);
        const int before = finishes.size();
        check->checkForUpdates(false);
        ASSERT_TRUE(waitForFinishes(before + 1)) << url.toString().toStdString();
        EXPECT_EQ(outcome(before), -1) << trickleMs;
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

TEST_F(VersionCheckTest, AStoredValueThatIsNotADateIsNoLastCheck) {
    for (const QVariant& stored : {QVariant(QStringLiteral("yesterday")), QVariant(42.0)}) {
        fakes.defaults->setObject(kLastSuccessfulUpdateCheckDateKey.key(), stored);
        EXPECT_FALSE(check->lastSuccessfulCheckDate());
    }
}

TEST_F(VersionCheckTest, TheReservedExampleHostHasNoServerAndTheUserIsToldSo) {
    if (!isReservedExampleHost(makerWebHost()))
        GTEST_SKIP() << "built for a real web host";
    EXPECT_TRUE(makerVersionDocumentURL().isEmpty());
    services->get<VersionCheckService>().checkForUpdates(true);
    EXPECT_TRUE(finishes.isEmpty()) << "reported later, like every outcome";
    ASSERT_TRUE(waitForFinishes(1));
    EXPECT_EQ(outcome(0), -1);
    EXPECT_EQ(alertTitles(), QStringList{L("updates.alert.unavailable.title")});
}
