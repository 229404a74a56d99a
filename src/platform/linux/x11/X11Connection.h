#pragma once

#include <QByteArray>
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

// The xcb connection Qt opened for this application, or null when it does not run on X11.
inline xcb_connection_t* qtX11Connection() {
    if (!qGuiApp || QGuiApplication::platformName() != u"xcb")
        return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

// xcb hands each reply over to the caller, to be released with free().
struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <class R> using XcbReply = std::unique_ptr<R, FreeDeleter>;

// Takes ownership of what an xcb_..._reply() call returned; empty when the request failed.
template <class R> XcbReply<R> takeReply(R* reply) {
    return XcbReply<R>(reply);
}

// The atom for a name on connection c; XCB_ATOM_NONE when the request failed.
inline xcb_atom_t internAtom(xcb_connection_t* c, const QByteArray& name) {
    const auto reply = takeReply(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, uint16_t(name.size()), name.constData()), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The screen number of the display name (":0.1" is screen 1).
inline int x11ScreenNumber() {
    const QByteArray display = qgetenv("DISPLAY");
    const qsizetype colon = display.lastIndexOf(':');
    const qsizetype dot = display.indexOf('.', colon < 0 ? 0 : colon);
    if (colon < 0 || dot < 0)
        return 0;
    bool ok = false;
    const int n = display.mid(dot + 1).toInt(&ok);
    return ok && n >= 0 ? n : 0;
}
