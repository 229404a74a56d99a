#include "x11/X11Harness.h"

#include "platform/linux/x11/X11Connection.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {

bool displayReady = false;

// The first lines a shell command writes, while what it started in the background runs on.
QByteArrayList shell(const QByteArray& command, int lines) {
    QByteArrayList result;
    FILE* out = popen(command.constData(), "r");
    char line[64];
    while (out && result.size() < lines && std::fgets(line, sizeof line, out))
        result << QByteArray(line).trimmed();
    if (out)
        pclose(out);
    return result;
}

// The other client's side: its window until it is killed or the display goes away.
[[noreturn]] void runOtherClient(const QByteArray& wmClass, bool setsPid) {
    X11Client x;
    const xcb_window_t w = x.window(wmClass);
    const quint32 pid = quint32(getpid());
    if (setsPid)
        x.set(w, "_NET_WM_PID", XCB_ATOM_CARDINAL, 32, 1, &pid);
    xcb_map_window(x.c, w);
    x.sync();
    while (xcb_generic_event_t* event = xcb_wait_for_event(x.c))
        std::free(event);
    std::_Exit(0);
}

// Not while CTest only lists the tests; the other client's process runs only its window.
struct PrivateDisplay {
    PrivateDisplay() {
        if (const QByteArray client = qgetenv("PELORA_X11_CLIENT"); !client.isEmpty())
            runOtherClient(client.split(' ').value(0), client.endsWith(" pid"));
        QFile cmdline(u"/proc/self/cmdline"_s);
        if (!cmdline.open(QIODevice::ReadOnly) ||
            cmdline.readAll().contains("--gtest_list_tests") ||
            QStandardPaths::findExecutable(u"openbox"_s).isEmpty())
            return;
        // Xvfb writes its display number to descriptor 3 once it accepts connections.
        const QByteArrayList xvfb = shell("Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp "
                                          "3>&1 >/dev/null 2>&1 & echo $!",
                                          2);
        pids << xvfb.value(0).toInt();
        if (xvfb.size() < 2)
            return;
        qputenv("DISPLAY", ':' + xvfb[1]);
        pids << shell("openbox >/dev/null 2>&1 & echo $!", 1).value(0).toInt();
        X11Client x;
        const QDeadlineTimer deadline(10000);
        while (!(displayReady = !x.get(x.root, "_NET_SUPPORTING_WM_CHECK").isEmpty()) &&
               !deadline.hasExpired())
            QThread::msleep(20);
        if (displayReady)
            qputenv("QT_QPA_PLATFORM", "xcb");
    }
    ~PrivateDisplay() {
        for (pid_t pid : pids)
            if (pid > 0)
                kill(pid, SIGTERM);
    }
    QList<pid_t> pids;
} const display;

} // namespace

bool x11Available() {
    return displayReady;
}

X11Client::X11Client() : c(xcb_connect(nullptr, nullptr)) {
    if (!xcb_connection_has_error(c))
        root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

xcb_atom_t X11Client::atom(const char* name) {
    return internAtom(c, name);
}

xcb_window_t X11Client::window(const QByteArray& wmClass) {
    const xcb_window_t w = xcb_generate_id(c);
    const bool normal = !wmClass.isEmpty();
    xcb_create_window(c, XCB_COPY_FROM_PARENT, w, root, 0, 0, normal ? 200 : 1, normal ? 100 : 1, 0,
                      normal ? XCB_WINDOW_CLASS_INPUT_OUTPUT : XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    if (normal) {
        const QByteArray instanceAndClass = wmClass.toLower() + '\0' + wmClass + '\0';
        set(w, "WM_CLASS", XCB_ATOM_STRING, 8, quint32(instanceAndClass.size()),
            instanceAndClass.constData());
    }
    return w;
}

void X11Client::set(xcb_window_t w, const char* name, xcb_atom_t type, int format, quint32 count,
                    const void* data) {
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, atom(name), type, uint8_t(format), count,
                        data);
    sync();
}

QByteArray X11Client::get(xcb_window_t w, const char* name) {
    const auto reply = takeReply(xcb_get_property_reply(
        c, xcb_get_property(c, 0, w, atom(name), XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 16), nullptr));
    return reply ? QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
                              xcb_get_property_value_length(reply.get()))
                 : QByteArray();
}

void X11Client::sync() {
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

OtherClient::OtherClient(const QString& wmClass, bool setsPid, const QString& launchedFrom) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"PELORA_X11_CLIENT"_s, wmClass + (setsPid ? u" pid"_s : QString()));
    if (!launchedFrom.isEmpty())
        environment.insert(u"GIO_LAUNCHED_DESKTOP_FILE"_s, launchedFrom);
    process.setProcessEnvironment(environment);
    process.start(QCoreApplication::applicationFilePath(), {});
}
