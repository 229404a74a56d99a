// The pasteboard and the clipboard history on a real X server, with xclip as the other
// program. The program starts its own Xvfb.
#include "clipboard/ClipboardHistoryService.h"
#include "common/Services.h"
#include "fakes/FakeRunningApplications.h"
#include "fakes/FakeWorkspace.h"
#include "platform/linux/QtPasteboard.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QString g_unavailable; // why the tests cannot run here, if they cannot

class XvfbEnvironment : public ::testing::Environment {
public:
    XvfbEnvironment(int& argc, char** argv) : argc_(argc), argv_(argv) {}

    void SetUp() override {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("xclip")).isEmpty()) {
            g_unavailable = QStringLiteral("Xvfb and xclip are needed");
            return;
        }
        dir_ = std::make_unique<QTemporaryDir>();
        const QByteArray root = dir_->path().toLocal8Bit();
        QDir().mkpath(dir_->path() + QStringLiteral("/runtime"));
        QFile::setPermissions(dir_->path() + QStringLiteral("/runtime"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                  QFileDevice::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", root + "/runtime");
        qputenv("XDG_CONFIG_HOME", root + "/config");
        qputenv("XDG_DATA_HOME", root + "/data");
        qputenv("XDG_CACHE_HOME", root + "/cache");

        const QByteArray display = startXvfb(xvfb.toLocal8Bit());
        if (display.isEmpty()) {
            g_unavailable = QStringLiteral("Xvfb did not start");
            return;
        }
        qputenv("DISPLAY", ":" + display);
        qputenv("QT_QPA_PLATFORM", "xcb");
        app_ = std::make_unique<QApplication>(argc_, argv_);
    }

    void TearDown() override {
        app_.reset();
        if (xvfbPid_ > 0) {
            ::kill(xvfbPid_, SIGTERM);
            ::waitpid(xvfbPid_, nullptr, 0);
        }
        dir_.reset();
    }

private:
    // Before the application object exists, so plain fork and exec; the display number
    // comes back through -displayfd.
    QByteArray startXvfb(const QByteArray& program) {
        int fds[2];
        if (::pipe(fds) != 0)
            return {};
        const QByteArray fd = QByteArray::number(fds[1]);
        xvfbPid_ = ::fork();
        if (xvfbPid_ == 0) {
            ::close(fds[0]);
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            std::vector<const char*> args = {program.constData(), "-displayfd", fd.constData(),
                                             "-screen",           "0",          "640x480x24",
                                             "-nolisten",         "tcp"};
            args.push_back(nullptr);
            ::execv(program.constData(), const_cast<char* const*>(args.data()));
            ::_exit(127);
        }
        ::close(fds[1]);
        QByteArray number;
        pollfd pfd{fds[0], POLLIN, 0};
        while (::poll(&pfd, 1, 5000) > 0) {
            char c;
            if (::read(fds[0], &c, 1) != 1 || c == '\n')
                break;
            number += c;
        }
        ::close(fds[0]);
        return number;
    }

    int& argc_;
    char** argv_;
    pid_t xvfbPid_ = -1;
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<QApplication> app_;
};

// Another program that owns the clipboard until someone else takes it.
class Xclip {
public:
    Xclip(const QString& type, const QByteArray& content) {
        process_.start(QStringLiteral("xclip"),
                       {QStringLiteral("-quiet"), QStringLiteral("-selection"),
                        QStringLiteral("clipboard"), QStringLiteral("-t"), type,
                        QStringLiteral("-i")});
        process_.waitForStarted();
        process_.write(content);
        process_.closeWriteChannel();
    }
    ~Xclip() { quit(); }
    qint64 pid() const { return process_.processId(); }
    void stop() { ::kill(pid_t(pid()), SIGSTOP); }
    void quit() {
        if (process_.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(pid()), SIGCONT);
        process_.kill();
        process_.waitForFinished(2000);
    }

private:
    QProcess process_;
};

// What another program reads from the clipboard. Our event loop keeps running meanwhile,
// since we may be the owner that has to answer.
QByteArray xclipRead(const QString& type = QString()) {
    QStringList args = {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                        QStringLiteral("-o")};
    if (!type.isEmpty())
        args << QStringLiteral("-t") << type;
    QProcess reader;
    reader.start(QStringLiteral("xclip"), args);
    waitUntil([&] { return reader.state() == QProcess::NotRunning; }, 5000);
    return reader.readAllStandardOutput();
}

bool waitForChange(Pasteboard& pasteboard, qint64 from) {
    return waitUntil([&] { return pasteboard.changeCount() != from; }, 2000);
}

// Lets the news of earlier tests' writers quitting arrive before a test starts counting.
void settle() {
    waitUntil([] { return false; }, 300);
}

#define REQUIRE_X11()                                                                              \
    if (!g_unavailable.isEmpty())                                                                  \
        GTEST_SKIP() << g_unavailable.toStdString();                                               \
    settle()

} // namespace

TEST(X11Pasteboard, SeesTextPicturesAndFileListsFromAnotherProgram) {
    REQUIRE_X11();
    QtPasteboard pasteboard;
    EXPECT_TRUE(pasteboard.checksOwner());

    qint64 count = pasteboard.changeCount();
    Xclip text(QStringLiteral("UTF8_STRING"), QStringLiteral("gr\u00fc\u00dfe").toUtf8());
    ASSERT_TRUE(waitForChange(pasteboard, count));
    EXPECT_TRUE(pasteboard.types().contains(PasteboardType::plainText));
    EXPECT_FALSE(pasteboard.types().contains(QStringLiteral("TARGETS")));
    EXPECT_EQ(pasteboard.string(), QStringLiteral("gr\u00fc\u00dfe"));

    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
    }
    count = pasteboard.changeCount();
    Xclip picture(PasteboardType::png, png);
    ASSERT_TRUE(waitForChange(pasteboard, count));
    EXPECT_EQ(pasteboard.dataForType(PasteboardType::png), png);

    count = pasteboard.changeCount();
    Xclip files(PasteboardType::uriList, "file:///tmp/a%20b.txt\r\nfile:///etc/hosts\r\n");
    ASSERT_TRUE(waitForChange(pasteboard, count));
    EXPECT_EQ(pasteboard.urls(), (QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/tmp/a b.txt")),
                                              QUrl::fromLocalFile(QStringLiteral("/etc/hosts"))}));
    // One write, one change: the owner check does not count what Qt already told.
    const qint64 settled = pasteboard.changeCount();
    waitUntil([] { return false; }, 700);
    EXPECT_EQ(pasteboard.changeCount(), settled);
}

TEST(X11Pasteboard, CountsEveryWriteOfAnotherProgram) {
    REQUIRE_X11();
    QtPasteboard pasteboard;
    // Each writer gives way to the next by itself; none quits while a change is awaited.
    std::vector<std::unique_ptr<Xclip>> writers;
    for (const char* word : {"first", "second", "third"}) {
        const qint64 count = pasteboard.changeCount();
        writers.push_back(std::make_unique<Xclip>(QStringLiteral("UTF8_STRING"), word));
        ASSERT_TRUE(waitForChange(pasteboard, count)) << word;
        EXPECT_EQ(pasteboard.string(), QString::fromLatin1(word));
    }
}

TEST(X11Pasteboard, TheOwnerCheckCountsWritesWhoseSignalGotLost) {
    REQUIRE_X11();
    QtPasteboard pasteboard;
    const qint64 count = pasteboard.changeCount();
    QSignalBlocker lost(QGuiApplication::clipboard());
    Xclip writer(QStringLiteral("UTF8_STRING"), "unannounced");
    ASSERT_TRUE(waitForChange(pasteboard, count));
    EXPECT_EQ(pasteboard.changeCount(), count + 1);
    EXPECT_EQ(pasteboard.string(), QStringLiteral("unannounced"));
}

TEST(X11Pasteboard, AnOwnerThatQuitsTakesItsContentAlong) {
    REQUIRE_X11();
    QtPasteboard pasteboard;
    qint64 count = pasteboard.changeCount();
    Xclip writer(QStringLiteral("UTF8_STRING"), "short-lived");
    ASSERT_TRUE(waitForChange(pasteboard, count));
    count = pasteboard.changeCount();
    writer.quit();
    ASSERT_TRUE(waitForChange(pasteboard, count));
    const int reads = pasteboard.contentReads();
    EXPECT_TRUE(pasteboard.types().isEmpty());
    EXPECT_FALSE(pasteboard.string().has_value());
    EXPECT_LE(pasteboard.contentReads(), reads + 1);
}

TEST(X11Pasteboard, AStalledOwnerDoesNotBlockTheIdleTick) {
    REQUIRE_X11();
    QtPasteboard pasteboard;
    const qint64 count = pasteboard.changeCount();
    Xclip writer(QStringLiteral("UTF8_STRING"), "stuck");
    ASSERT_TRUE(waitForChange(pasteboard, count));
    writer.stop(); // owns the clipboard but answers nobody

    // A read from the stuck owner costs Qt's five-second timeout; twenty idle ticks together
    // stay far below one such read.
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 20; ++i)
        pasteboard.changeCount();
    EXPECT_LT(timer.elapsed(), 2500);
    EXPECT_EQ(pasteboard.contentReads(), 0);

    // The change itself is read once, gives nothing, and is not asked again.
    EXPECT_TRUE(pasteboard.types().isEmpty());
    EXPECT_EQ(pasteboard.contentReads(), 1);
    timer.restart();
    EXPECT_TRUE(pasteboard.types().isEmpty());
    EXPECT_FALSE(pasteboard.string().has_value());
    EXPECT_LT(timer.elapsed(), 2500);
    EXPECT_EQ(pasteboard.contentReads(), 1);
}

TEST(X11Pasteboard, OtherProgramsReadWhatItWrites) {
    REQUIRE_X11();
    QtPasteboard pasteboard;
    pasteboard.clearAndWrite(
        {QStringLiteral("caf\u00e9"), {}, {{PasteboardType::rtf, "{\\rtf1 caf\\'e9}"}}});
    EXPECT_EQ(QString::fromUtf8(xclipRead()), QStringLiteral("caf\u00e9"));
    EXPECT_EQ(xclipRead(PasteboardType::rtf), QByteArray("{\\rtf1 caf\\'e9}"));

    const QUrl file = QUrl::fromLocalFile(QStringLiteral("/tmp/x y"));
    pasteboard.writeURLs({file});
    EXPECT_EQ(xclipRead(PasteboardType::uriList).trimmed(), QByteArray("file:///tmp/x%20y"));
    EXPECT_EQ(xclipRead(PasteboardType::gnomeCopiedFiles), QByteArray("copy\nfile:///tmp/x%20y"));

    pasteboard.clearContents();
    EXPECT_TRUE(xclipRead().isEmpty());
}

TEST(X11History, CapturesWhatOtherProgramsCopyAndPastesItBack) {
    REQUIRE_X11();
    auto pasteboard = std::make_shared<QtPasteboard>();
    auto apps = std::make_shared<FakeRunningApplications>();
    Platform platform;
    platform.pasteboard = pasteboard;
    platform.runningApplications = apps;
    platform.workspace = std::make_shared<FakeWorkspace>();
    Services services(platform);
    ClipboardHistoryService& history = services.get<ClipboardHistoryService>();

    auto copy = [&](const QString& type, const QByteArray& content, const QString& app) {
        apps->frontmost = makeRunningApplication(app, QStringLiteral("org.example.") + app, {});
        const qint64 count = pasteboard->changeCount();
        auto writer = std::make_unique<Xclip>(type, content);
        EXPECT_TRUE(waitForChange(*pasteboard, count));
        history.checkPasteboard();
        return writer;
    };
    QImage image(300, 200, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
    }
    auto a = copy(QStringLiteral("UTF8_STRING"), "hello from A", QStringLiteral("A"));
    auto b = copy(PasteboardType::png, png, QStringLiteral("B"));
    auto c = copy(PasteboardType::uriList, "file:///etc/hosts\n", QStringLiteral("C"));

    ASSERT_EQ(history.items().size(), 3);
    QStringList keys, sources;
    for (const ClipboardItem& item : history.items()) {
        keys << ClipboardHistoryService::contentKey(item);
        sources << item.sourceAppName.value_or(QString());
    }
    EXPECT_EQ(keys[0], QStringLiteral("files:/etc/hosts"));
    EXPECT_TRUE(keys[1].startsWith(QStringLiteral("img:")));
    EXPECT_EQ(keys[2], QStringLiteral("text:hello from A"));
    EXPECT_EQ(sources,
              (QStringList{QStringLiteral("C"), QStringLiteral("B"), QStringLiteral("A")}));
    EXPECT_EQ(std::get<ClipboardImage>(history.items()[1].content).size, QSizeF(300, 200));

    // Choosing the text puts it back for everyone, and is not a new copy.
    history.paste(history.items()[2]);
    EXPECT_EQ(xclipRead(), QByteArray("hello from A"));
    waitUntil([] { return false; }, 300);
    history.checkPasteboard();
    ASSERT_EQ(history.items().size(), 3);
    EXPECT_EQ(ClipboardHistoryService::contentKey(history.items()[2]), keys[2]);

    // The picture goes back as the PNG it came as.
    history.paste(history.items()[1]);
    EXPECT_EQ(xclipRead(PasteboardType::png), png);
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new XvfbEnvironment(argc, argv));
    return RUN_ALL_TESTS();
}
