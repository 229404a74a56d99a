#pragma once

// The test programs that need a real X server: before the shared test main creates the
// QApplication, a private Xvfb with openbox starts and Qt is put on it. Tests skip without them.
#include "support/TestSupport.h"

#include <QProcess>
#include <gtest/gtest.h>

#include <xcb/xcb.h>

bool x11Available();
#define REQUIRE_X11()                                                                              \
    if (!x11Available())                                                                           \
    GTEST_SKIP() << "needs Xvfb and openbox"

// A connection of the test's own, as another program on the display would have.
class X11Client {
public:
    X11Client();
    ~X11Client() { xcb_disconnect(c); }

    xcb_atom_t atom(const char* name);
    // Unmapped: input-only without a class, else a normal top-level window with WM_CLASS.
    xcb_window_t window(const QByteArray& wmClass = {});
    void set(xcb_window_t w, const char* name, xcb_atom_t type, int format, quint32 count,
             const void* data);
    QByteArray get(xcb_window_t w, const char* name);
    void sync(); // the server has handled every request sent so far

    xcb_connection_t* const c;
    xcb_window_t root = XCB_WINDOW_NONE;
};

// This test program started again as another X client, showing one window of class wmClass
// until it is destroyed. Without setsPid only the X server knows its process, as with most Xt
// programs; launchedFrom is the desktop entry it says it was started from.
class OtherClient {
public:
    OtherClient(const QString& wmClass, bool setsPid, const QString& launchedFrom = {});
    ~OtherClient() {
        process.kill();
        process.waitForFinished();
    }
    QProcess process;
};
