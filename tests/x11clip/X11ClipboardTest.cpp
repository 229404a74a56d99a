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
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <xcb/xcb.h>

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

const QList<PasteboardWant> everything = {{PasteboardType::plainText, 1 << 20},
                                          {PasteboardType::png, 1 << 20},
                                          {PasteboardType::uriList, 1 << 20}};

PasteboardSnapshot snapshotOf(Pasteboard& pasteboard,
                              const QList<PasteboardWant>& wanted = everything) {
    std::optional<PasteboardSnapshot> result;
    pasteboard.readSnapshot({wanted, 2000}, [&](const PasteboardSnapshot& s) { result = s; });
    EXPECT_TRUE(waitUntil([&] { return result.has_value(); }));
    return result.value_or(PasteboardSnapshot());
}

// The longest the main thread went without running a 10 ms timer while fn's condition was
// awaited: what a user of the strip would feel as a freeze.
template <class Condition> qint64 longestStall(Condition&& done, int timeoutMs = 10000) {
    QElapsedTimer sinceTick;
    sinceTick.start();
    qint64 longest = 0;
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout,
                     [&] { longest = std::max(longest, sinceTick.restart()); });
    ticker.start();
    EXPECT_TRUE(waitUntil(done, timeoutMs));
    return std::max(longest, sinceTick.elapsed());
}

// A clipboard owner of the test's own, on a connection and thread of its own: it offers text
// and a password manager's hint, answers TARGETS and the text, and never answers for the
// hint, as a stuck or hostile program would.
class SilentHintOwner {
public:
    explicit SilentHintOwner(QByteArray text) : text_(std::move(text)) {
        thread_ = std::thread([this] { run(); });
        waitUntil([this] { return owning_.load(); }, 2000);
    }
    ~SilentHintOwner() {
        stop_ = true;
        thread_.join();
    }

private:
    void run() {
        xcb_connection_t* c = xcb_connect(nullptr, nullptr);
        auto atom = [c](const char* name) {
            xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(
                c, xcb_intern_atom(c, 0, uint16_t(strlen(name)), name), nullptr);
            const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
            free(r);
            return a;
        };
        const xcb_atom_t clipboard = atom("CLIPBOARD"), targets = atom("TARGETS"),
                         utf8 = atom("UTF8_STRING"), hint = atom("x-kde-passwordManagerHint");
        const xcb_window_t window = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window,
                          xcb_setup_roots_iterator(xcb_get_setup(c)).data->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_set_selection_owner(c, window, clipboard, XCB_CURRENT_TIME);
        xcb_flush(c);
        owning_ = true;
        while (!stop_) {
            pollfd pfd{xcb_get_file_descriptor(c), POLLIN, 0};
            ::poll(&pfd, 1, 50);
            while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
                if ((event->response_type & 0x7f) == XCB_SELECTION_REQUEST) {
                    const auto* request = reinterpret_cast<xcb_selection_request_event_t*>(event);
                    xcb_atom_t property = request->property;
                    if (request->target == targets) {
                        const xcb_atom_t offered[] = {targets, utf8, hint};
                        xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property,
                                            XCB_ATOM_ATOM, 32, 3, offered);
                    } else if (request->target == utf8) {
                        xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property,
                                            utf8, 8, uint32_t(text_.size()), text_.constData());
                    } else if (request->target == hint) {
                        free(event);
                        continue; // never answered
                    } else {
                        property = XCB_ATOM_NONE;
                    }
                    xcb_selection_notify_event_t notify{};
                    notify.response_type = XCB_SELECTION_NOTIFY;
                    notify.time = request->time;
                    notify.requestor = request->requestor;
                    notify.selection = request->selection;
                    notify.target = request->target;
                    notify.property = property;
                    xcb_send_event(c, 0, request->requestor, 0,
                                   reinterpret_cast<const char*>(&notify));
                    xcb_flush(c);
                }
                free(event);
            }
        }
        xcb_disconnect(c);
    }

    QByteArray text_;
    std::thread thread_;
    std::atomic<bool> owning_{false};
    std::atomic<bool> stop_{false};
};

struct HistoryFixture {
    std::shared_ptr<QtPasteboard> pasteboard = std::make_shared<QtPasteboard>();
    std::shared_ptr<FakeRunningApplications> apps = std::make_shared<FakeRunningApplications>();
    std::unique_ptr<Services> services = [this] {
        Platform platform;
        platform.pasteboard = pasteboard;
        platform.runningApplications = apps;
        platform.workspace = std::make_shared<FakeWorkspace>();
        return std::make_unique<Services>(platform);
    }();
    ClipboardHistoryService& history = services->get<ClipboardHistoryService>();

    // Waits for the change, then for its capture to end.
    void capture(qint64 countBefore) {
        EXPECT_TRUE(waitForChange(*pasteboard, countBefore));
        history.checkPasteboard();
        EXPECT_TRUE(waitUntil([&] { return !history.isCapturing(); }, 5000));
    }
};

#define REQUIRE_X11()                                                                              \
    if (!g_unavailable.isEmpty())                                                                  \
        GTEST_SKIP() << g_unavailable.toStdString();                                               \
    settle()

} // namespace

TEST(X11Pasteboard, SeesTextPicturesAndFileListsFromAnotherProgram) {
    REQUIRE_X11();
    QtPasteboard pasteboard;
    EXPECT_TRUE(pasteboard.readsOffMainThread());

    qint64 count = pasteboard.changeCount();
    Xclip text(QStringLiteral("UTF8_STRING"), QStringLiteral("gr\u00fc\u00dfe").toUtf8());
    ASSERT_TRUE(waitForChange(pasteboard, count));
    PasteboardSnapshot s = snapshotOf(pasteboard);
    EXPECT_TRUE(s.types.contains(PasteboardType::plainText));
    EXPECT_FALSE(s.types.contains(QStringLiteral("TARGETS")));
    EXPECT_EQ(s.string(), QStringLiteral("gr\u00fc\u00dfe"));

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
    EXPECT_EQ(snapshotOf(pasteboard).dataForType(PasteboardType::png), png);

    count = pasteboard.changeCount();
    Xclip files(PasteboardType::uriList, "file:///tmp/a%20b.txt\r\nfile:///etc/hosts\r\n");
    ASSERT_TRUE(waitForChange(pasteboard, count));
    EXPECT_EQ(snapshotOf(pasteboard).urls(),
              (QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/tmp/a b.txt")),
                           QUrl::fromLocalFile(QStringLiteral("/etc/hosts"))}));
    // One write, one change.
    const qint64 settled = pasteboard.changeCount();
    waitUntil([] { return false; }, 300);
    EXPECT_EQ(pasteboard.changeCount(), settled);

    // An owner that quits takes its content along: a change with nothing offered.
    files.quit();
    ASSERT_TRUE(waitForChange(pasteboard, settled));
    EXPECT_TRUE(snapshotOf(pasteboard).types.isEmpty());
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
    HistoryFixture f;
    auto copy = [&](const QString& type, const QByteArray& content, const QString& app) {
        f.apps->frontmost = makeRunningApplication(app, QStringLiteral("org.example.") + app, {});
        const qint64 count = f.pasteboard->changeCount();
        auto writer = std::make_unique<Xclip>(type, content);
        f.capture(count);
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

    ClipboardHistoryService& history = f.history;
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
    EXPECT_TRUE(waitUntil([&] { return !history.isCapturing(); }));
    ASSERT_EQ(history.items().size(), 3);
    EXPECT_EQ(ClipboardHistoryService::contentKey(history.items()[2]), keys[2]);

    // The picture goes back as the PNG it came as.
    history.paste(history.items()[1]);
    EXPECT_EQ(xclipRead(PasteboardType::png), png);
}

TEST(X11History, AnOwnerThatNeverAnswersHoldsNothingUp) {
    REQUIRE_X11();
    HistoryFixture f;
    qint64 count = f.pasteboard->changeCount();
    Xclip stuck(QStringLiteral("UTF8_STRING"), "stuck");
    ASSERT_TRUE(waitForChange(*f.pasteboard, count));
    stuck.stop(); // owns the clipboard but answers nobody
    f.history.checkPasteboard();
    // Qt's own read would freeze the main thread for five seconds here.
    EXPECT_LT(longestStall([&] { return !f.history.isCapturing(); }), 1000);
    EXPECT_TRUE(f.history.items().isEmpty());
    // The change is not asked again; the next copy is taken as usual.
    const int reads = f.pasteboard->contentReads();
    f.history.checkPasteboard();
    EXPECT_EQ(f.pasteboard->contentReads(), reads);
    count = f.pasteboard->changeCount();
    Xclip next(QStringLiteral("UTF8_STRING"), "next");
    f.capture(count);
    ASSERT_EQ(f.history.items().size(), 1);
    EXPECT_EQ(ClipboardHistoryService::contentKey(f.history.items()[0]),
              QStringLiteral("text:next"));
}

TEST(X11History, ASecretWhoseHintNeverComesIsNotKept) {
    REQUIRE_X11();
    HistoryFixture f;
    const qint64 count = f.pasteboard->changeCount();
    SilentHintOwner owner("hunter2");
    f.capture(count);
    EXPECT_TRUE(f.history.items().isEmpty());
}

TEST(X11History, AHugeTextIsKeptCut) {
    REQUIRE_X11();
    HistoryFixture f;
    const qint64 count = f.pasteboard->changeCount();
    // Larger than one X request: it comes in INCR chunks, of which only the first are read.
    const QByteArray line(3 * ClipboardHistoryService::maxTextBytes, 'x');
    Xclip writer(QStringLiteral("UTF8_STRING"), line);
    f.capture(count);
    ASSERT_EQ(f.history.items().size(), 1);
    const auto& text = std::get<ClipboardPlainText>(f.history.items()[0].content);
    EXPECT_TRUE(text.truncated);
    EXPECT_EQ(text.text.size(), ClipboardHistoryService::maxTextBytes);
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new XvfbEnvironment(argc, argv));
    return RUN_ALL_TESTS();
}
