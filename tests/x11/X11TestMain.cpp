#include "x11/X11TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool displayReady = false;

pid_t spawn(const QString& program, const QStringList& args, int keepFd = -1) {
    const QByteArray path = QFile::encodeName(program);
    QList<QByteArray> storage{path};
    for (const QString& a : args)
        storage << a.toLocal8Bit();
    std::vector<char*> argv;
    for (QByteArray& s : storage)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        if (keepFd >= 0)
            fcntl(keepFd, F_SETFD, 0);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

void stop(pid_t& pid) {
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    pid = -1;
}

// Xvfb writes its display number to the descriptor once it accepts connections.
QByteArray readDisplayNumber(int fd) {
    QByteArray number;
    pollfd p{fd, POLLIN, 0};
    while (poll(&p, 1, 10000) > 0) {
        char c;
        if (read(fd, &c, 1) != 1 || c == '\n')
            break;
        number += c;
    }
    return number;
}

bool waitForWindowManager(const QByteArray& display) {
    xcb_connection_t* c = xcb_connect(display.constData(), nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return false;
    }
    const char* name = "_NET_SUPPORTING_WM_CHECK";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    bool ready = false;
    for (int i = 0; atom && i < 100 && !ready; ++i) {
        xcb_get_property_reply_t* reply = xcb_get_property_reply(
            c, xcb_get_property(c, 0, root, atom->atom, XCB_ATOM_WINDOW, 0, 1), nullptr);
        ready = reply && xcb_get_property_value_length(reply) == 4;
        std::free(reply);
        if (!ready)
            usleep(50000);
    }
    std::free(atom);
    xcb_disconnect(c);
    return ready;
}

class X11Environment : public ::testing::Environment {
public:
    X11Environment(int& argc, char** argv) : argc_(argc), argv_(argv) {}

    void SetUp() override {
        home_ = std::make_unique<QTemporaryDir>();
        const QByteArray root = home_->path().toLocal8Bit();
        qputenv("XDG_CONFIG_HOME", root + "/config");
        qputenv("XDG_DATA_HOME", root + "/data");
        qputenv("XDG_CACHE_HOME", root + "/cache");
        QDir().mkpath(home_->path() + QStringLiteral("/data/applications"));
        QDir().mkpath(home_->path() + QStringLiteral("/runtime"));
        QFile::setPermissions(home_->path() + QStringLiteral("/runtime"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", root + "/runtime");
        // No session bus: GIO must not start one for the private display.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + root + "/no-bus");

        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        const QString openbox = QStandardPaths::findExecutable(QStringLiteral("openbox"));
        if (!xvfb.isEmpty() && !openbox.isEmpty())
            startDisplay(xvfb, openbox);
        qputenv("QT_QPA_PLATFORM", displayReady ? "xcb" : "offscreen");
        app_ = std::make_unique<QApplication>(argc_, argv_);
    }

    void TearDown() override {
        app_.reset();
        stop(openbox_);
        stop(xvfb_);
        home_.reset();
    }

private:
    void startDisplay(const QString& xvfb, const QString& openbox) {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        fcntl(fds[0], F_SETFD, FD_CLOEXEC);
        fcntl(fds[1], F_SETFD, FD_CLOEXEC);
        xvfb_ =
            spawn(xvfb,
                  {QStringLiteral("-displayfd"), QString::number(fds[1]), QStringLiteral("-screen"),
                   QStringLiteral("0"), QStringLiteral("1280x800x24"), QStringLiteral("-nolisten"),
                   QStringLiteral("tcp")},
                  fds[1]);
        close(fds[1]);
        const QByteArray number = readDisplayNumber(fds[0]);
        close(fds[0]);
        if (number.isEmpty())
            return stop(xvfb_);
        const QByteArray display = ':' + number;
        qputenv("DISPLAY", display);
        openbox_ = spawn(openbox, {});
        displayReady = waitForWindowManager(display);
    }

    int& argc_;
    char** argv_;
    pid_t xvfb_ = -1;
    pid_t openbox_ = -1;
    std::unique_ptr<QTemporaryDir> home_;
    std::unique_ptr<QApplication> app_;
};

} // namespace

bool x11TestDisplayAvailable() {
    return displayReady;
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new X11Environment(argc, argv));
    return RUN_ALL_TESTS();
}
